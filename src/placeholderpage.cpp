#include "placeholderpage.h"

#include <QCoreApplication>
#include <QFrame>
#include <QScrollArea>
#include <QVBoxLayout>

#include "basepage.h"
#include "ui/components.h"
#include "ui/pageblocks.h"

namespace {

class PlaceholderText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinPlaceholder)
};

} // namespace

PlaceholderParts buildPlaceholderPage(BasePage *page, const QString &title, const QString &subtitle,
                                      const QString &icon)
{
    auto *outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(page);
    scroll->setObjectName(QStringLiteral("tavrinScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("tavrinPageContent"));
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(16);
    layout->addWidget(Ui::pageHeader(title, subtitle, icon));

    auto *banner = new TavrinUi::TavrinInlineBanner(content);
    banner->setVisible(false);
    layout->addWidget(banner);

    auto *panel = new TavrinUi::TavrinPanel(content, TavrinUi::TavrinPanel::Card);
    auto *empty = new TavrinUi::TavrinEmptyState(panel);
    empty->setIcon(QStringLiteral("dialog-information"));
    empty->setTitle(PlaceholderText::tr("该功能将在后续版本中提供"));
    empty->setDescription(PlaceholderText::tr("此页面的内容正在开发中，暂不显示任何系统数据。"));
    panel->contentLayout()->addWidget(empty);
    layout->addWidget(panel);
    layout->addStretch(1);
    scroll->setWidget(content);

    page->setProperty("tavrinPlaceholder", true);
    return PlaceholderParts{layout, banner, empty};
}
