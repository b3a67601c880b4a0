#include "protectionpage.h"

#include "mainwindow.h"
#include "ui/components.h"
#include "ui/pageblocks.h"
#include "ui/settingindex.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
// The card texts are shared with the overview page's cards.
struct CardText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinProtection)
};
} // namespace

ProtectionPage::ProtectionPage(MainWindow *window) : BasePage(window), window(window)
{
    useLoadingMask = false;

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName(QStringLiteral("tavrinScroll"));
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scrollArea);

    auto *content = new QWidget(scrollArea);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(16);

    layout->addWidget(Ui::pageHeader(tr("系统保护"), tr("Tavrin系统只读保护(可写层)管理"),
                                     TavrinSwitch::securityIconName()));

    banner = new TavrinUi::TavrinInlineBanner(content);
    banner->setVisible(false);
    feedbackBanner = banner;
    layout->addWidget(banner);

    loading = new TavrinUi::TavrinLocalLoading(tr("正在读取保护状态..."), content);
    loading->stop();
    layout->addWidget(loading);

    cardRow = new TavrinUi::TavrinResponsiveCardRow(3, content);
    readOnlyCard = new TavrinUi::TavrinStateCard(CardText::tr("只读保护"), cardRow);
    writableCard = new TavrinUi::TavrinStateCard(CardText::tr("可写层"), cardRow);
    afterRebootCard = new TavrinUi::TavrinStateCard(CardText::tr("重启后状态"), cardRow);
    cardRow->addCard(readOnlyCard);
    cardRow->addCard(writableCard);
    cardRow->addCard(afterRebootCard);
    layout->addWidget(cardRow);

    auto *switchSection =
        new TavrinUi::TavrinSection(tr("保护开关"), tr("总开关：开启或关闭Tavrin系统保护"), content);
    switchRow = new TavrinSwitch::TavrinSwitchRow(this, false, switchSection);
    switchSection->contentLayout()->addWidget(switchRow);
    layout->addWidget(switchSection);

    auto *aboutSection = new TavrinUi::TavrinSection(tr("说明"), QString(), content);
    aboutSection->contentLayout()->addWidget(
        TavrinUi::makeLabel(tr("Tavrin系统将核心目录(/usr 等)以只读方式挂载, 防止误操作或恶意软件破坏系统。\n"
                               "开启“可写层”将解除只读保护(适合开发调试), 关闭后恢复保护。"),
                            TavrinUi::Body, TavrinUi::Normal));
    aboutSection->contentLayout()->addWidget(TavrinUi::makeLabel(
        tr("注意: 开启可写层后系统将拒绝执行快照还原。"), TavrinUi::Body, TavrinUi::Warning));
    layout->addWidget(aboutSection);
    layout->addStretch(1);

    scrollArea->setWidget(content);

    registerResponsiveCardRow(cardRow, scrollArea, 48);
    registerSearchTarget(tr("Tavrin功能"), switchRow, scrollArea);

    connect(switchRow, &TavrinSwitch::TavrinSwitchRow::switchChanged, this, [this] {
        if (this->window)
            this->window->refreshTavrinPages();
        else
            refresh();
    });
}

void ProtectionPage::refresh()
{
    loading->setText(tr("正在读取保护状态..."));
    loading->start();
    useLoadingMask = false;
    runAsync([] { return QVariant::fromValue(Tavrin::getWritableStatus()); },
             [this](const QVariant &result) {
                 loading->stop();
                 onLoaded(result);
             });
}

void ProtectionPage::onLoaded(const QVariant &payload)
{
    const auto status = payload.value<Tavrin::WritableStatus>();
    switchRow->applyStatus(TavrinSwitch::presentationFor(status));

    using TavrinUi::Danger;
    using TavrinUi::Hero;
    using TavrinUi::Muted;
    using TavrinUi::Success;
    using TavrinUi::Warning;
    // The kit's badge keeps the size it had while hidden and empty.
    const auto relayoutBadges = qScopeGuard([this] {
        for (TavrinUi::TavrinStateCard *card : {readOnlyCard, writableCard, afterRebootCard})
            card->statusBadge()->adjustSize();
    });
    // A failed read is not "protected": say so, with the tool's text.
    if (!status.known()) {
        for (TavrinUi::TavrinStateCard *card : {readOnlyCard, writableCard, afterRebootCard}) {
            card->setValue(CardText::tr("未知"), Muted, Hero);
            card->setStatus(CardText::tr("读取失败"), Danger);
        }
        showFeedbackWithDetails(Danger, tr("无法读取可写层状态。"), tr("完整输出"), status.error, false);
        readFailureShown = true;
        return;
    }
    if (readFailureShown) {
        readFailureShown = false;
        banner->setVisible(false);
    }
    if (!status.enabled) {
        readOnlyCard->setValue(CardText::tr("已开启"), Success, Hero);
        readOnlyCard->setStatus(CardText::tr("核心目录只读"), Muted);
        writableCard->setValue(CardText::tr("已锁定"), Success, Hero);
        writableCard->setStatus(CardText::tr("未启用"), Muted);
        afterRebootCard->setValue(CardText::tr("仍为只读"), Success, Hero);
        afterRebootCard->setStatus(CardText::tr("未做变更"), Muted);
        return;
    }
    readOnlyCard->setValue(CardText::tr("已关闭"), Danger, Hero);
    readOnlyCard->setStatus(CardText::tr("核心目录可写"), Danger);
    writableCard->setValue(CardText::tr("已解锁"), Warning, Hero);
    writableCard->setStatus(CardText::tr("开发调试模式"), Warning);
    if (status.clearAfterReboot) {
        afterRebootCard->setValue(CardText::tr("恢复只读"), Warning, Hero);
        afterRebootCard->setStatus(CardText::tr("临时关闭"), Warning);
    } else {
        afterRebootCard->setValue(CardText::tr("仍保持可写"), Danger, Hero);
        afterRebootCard->setStatus(CardText::tr("永久关闭"), Danger);
    }
}

QList<TavrinUi::SettingEntry> ProtectionPage::searchableSettings() const
{
    TavrinUi::SettingEntry entry;
    entry.page = int(PageId::Protection);
    entry.group = tr("保护开关");
    entry.title = tr("Tavrin功能");
    entry.description = tr("总开关：控制Tavrin系统保护的启用状态");
    entry.key = entry.title;
    return {entry};
}

void ProtectionPage::highlightEnableProtect()
{
    scrollArea->ensureWidgetVisible(switchRow, 12, 12);
    switchRow->flashHighlight();
}
