#include "ui/aboutdialog.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "startup.h"
#include "ui/components.h"
#include "ui/pageblocks.h"
#include "zguiapplicationhelper.h"
#include "zicontheme.h"
#include "zlabel.h"

namespace TavrinUi {

namespace {

class AboutText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinAbout)
};

// Feature rows show the program's own icon when it has one, else the theme's.
QWidget *techRow(const QString &icon, const QString &title, const QString &description, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto *iconLabel = new QLabel(row);
    iconLabel->setFixedSize(32, 32);
    iconLabel->setAlignment(Qt::AlignCenter);
    const QString resource = QStringLiteral(":/icons/nav/%1.svg").arg(icon);
    auto render = [iconLabel, icon, resource] {
        const QIcon found =
            QFile::exists(resource) ? QIcon(resource) : themedIcon(icon, QStyle::SP_MessageBoxInformation);
        iconLabel->setPixmap(found.pixmap(24, 24));
    };
    render();
    QObject::connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged,
                     iconLabel, render);
    layout->addWidget(iconLabel, 0, Qt::AlignTop);
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    ZLabel *titleLabel = makeLabel(title, ItemTitle, Normal);
    titleLabel->setObjectName(QStringLiteral("tavrinRowLabel"));
    column->addWidget(titleLabel);
    column->addWidget(Ui::rowDesc(description));
    layout->addLayout(column, 1);
    return row;
}

// Asks for room for all of its content, so the dialog shows every row when
// the screen is tall enough (QScrollArea caps its own hint at 24 lines).
class FittingScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override
    {
        QWidget *content = widget();
        if (!content)
            return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        const int bar = verticalScrollBar()->sizeHint().width();
        const int width = qMax(minimumWidth(), content->sizeHint().width() + bar + frame);
        const int contentWidth = width - bar - frame;
        const int height = content->hasHeightForWidth() ? content->heightForWidth(contentWidth)
                                                        : content->sizeHint().height();
        return QSize(width, height + frame);
    }
};

} // namespace

QString productVersion()
{
    return TavrinStartup::productVersion();
}

QString productVersionLine()
{
    return AboutText::tr("版本 %1  ·  Zarnex 25 Tavrin系统管理工具").arg(productVersion());
}

QIcon productIcon()
{
    QIcon icon(QStringLiteral(":/icons/tavrin.svg"));
    if (icon.isNull())
        icon = ZIconTheme::findQIcon(QStringLiteral("tavrin"));
    return icon;
}

QWidget *createProductFacts(QWidget *parent)
{
    auto *facts = new QWidget(parent);
    auto *grid = new QGridLayout(facts);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(8);
    const QList<QPair<QString, QString>> rows = {
        {AboutText::tr("技术基础"),
         QStringLiteral("zarnex-immutable-ctl / zarnex-immutable-writable / OSTree")},
        {AboutText::tr("支持平台"), AboutText::tr("Zarnex 25（X11 / Wayland），ZDE 桌面风格（ZENTK）")},
        {AboutText::tr("开发者"), TavrinStartup::productDevelopers()},
        {AboutText::tr("许可证"), TavrinStartup::productLicense()},
    };
    for (int i = 0; i < rows.size(); ++i) {
        ZLabel *name = makeLabel(rows.at(i).first, Body, Muted);
        name->setWordWrap(false);
        ZLabel *value = makeLabel(rows.at(i).second, Body, Normal);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(name, i, 0, Qt::AlignTop);
        grid->addWidget(value, i, 1);
    }
    grid->setColumnStretch(1, 1);
    return facts;
}

QWidget *createTechReference(QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    const struct
    {
        const char *icon;
        QString title;
        QString description;
    } rows[] = {
        {"shield-check", AboutText::tr("核心目录只读保护"),
         AboutText::tr("/usr 只读 overlay，/etc /opt 可写 overlay")},
        {"cycle-update", AboutText::tr("原子更新"),
         AboutText::tr("升级失败自动回滚（auto-rollback-on-failure）")},
        {"layers-snapshot", AboutText::tr("快照备份"),
         AboutText::tr("基于 OSTree 秒级增量快照，支持导出/导入")},
        {"shield-check", AboutText::tr("初始备份保护"), AboutText::tr("初始备份受系统保护，不可删除/修改")},
        {"system-reboot", AboutText::tr("还原需重启"),
         AboutText::tr("快照还原需重启生效，可写层开启时禁止还原")},
        {"drive-harddisk", AboutText::tr("分层存储"),
         AboutText::tr("系统与数据分区分层，/home 等数据分区不受还原影响")},
    };
    for (const auto &row : rows)
        layout->addWidget(techRow(QString::fromLatin1(row.icon), row.title, row.description, box));
    return box;
}

QWidget *createCommandReference(QWidget *parent, const QString &copyText)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    const QList<QPair<QString, QString>> rows = {
        {AboutText::tr("列出快照"), QStringLiteral("sudo zarnex-immutable-ctl snapshot list")},
        {AboutText::tr("创建快照"), AboutText::tr("sudo zarnex-immutable-ctl snapshot create <名称> <描述>")},
        {AboutText::tr("还原快照"), QStringLiteral("sudo zarnex-immutable-ctl snapshot rollback <id>")},
        {AboutText::tr("保护状态"), QStringLiteral("sudo zarnex-immutable-writable status")},
        {AboutText::tr("开/关可写层"), QStringLiteral("sudo zarnex-immutable-writable enable|disable")},
        {AboutText::tr("部署状态"), QStringLiteral("sudo zarnex-immutable-ctl admin status")},
    };
    for (const auto &row : rows)
        layout->addWidget(Ui::makeCommandRow(row.first, row.second, box, copyText));
    return box;
}

QPushButton *createCopyVersionButton(QWidget *parent)
{
    QPushButton *copy = Ui::button(AboutText::tr("复制版本信息"));
    copy->setParent(parent);
    copy->setObjectName(QStringLiteral("tavrinCopyVersion"));
    QObject::connect(copy, &QPushButton::clicked, copy, [copy] {
        QGuiApplication::clipboard()->setText(AboutText::tr("Tavrin设置") + QStringLiteral("  ") +
                                              productVersionLine());
        copy->setText(AboutText::tr("已复制"));
        QTimer::singleShot(2000, copy, [copy] { copy->setText(AboutText::tr("复制版本信息")); });
    });
    return copy;
}

TavrinAboutDialog::TavrinAboutDialog(QWidget *parent) : ZAboutDialog(parent)
{
    setProductName(tr("Tavrin设置"));
    // After the product name, which the toolkit also puts in the title.
    setWindowTitle(tr("关于Tavrin设置"));
    setProductIcon(productIcon());
    setVersion(productVersion());
    setDescription(productVersionLine());
    setWebsiteName(QString(TavrinStartup::productHomepage()).remove(QStringLiteral("https://")));
    setWebsiteLink(TavrinStartup::productHomepage());

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    // Room between the rows and the scroll bar, and below the last row when
    // scrolled to the end.
    layout->setContentsMargins(0, 0, 12, 12);
    layout->setSpacing(12);
    layout->addWidget(createProductFacts(content));
    layout->addWidget(createCopyVersionButton(content), 0, Qt::AlignLeft);
    layout->addWidget(new TavrinSeparator(content));
    layout->addWidget(makeLabel(tr("Tavrin系统技术参考"), SectionTitle, Normal));
    layout->addWidget(createTechReference(content));
    layout->addWidget(new TavrinSeparator(content));
    layout->addWidget(makeLabel(tr("常用命令参考"), SectionTitle, Normal));
    layout->addWidget(createCommandReference(content));

    auto *scroll = new FittingScrollArea;
    scroll->setObjectName(QStringLiteral("tavrinScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    scroll->setMinimumSize(520, 360);
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    addContent(scroll);
}

void TavrinAboutDialog::showEvent(QShowEvent *event)
{
    // Before the base class centres the dialog: as tall as the content wants,
    // within the screen; the scroll area takes over only on a short screen.
    if (!m_fitted) {
        m_fitted = true;
        QSize size = sizeHint();
        if (const QScreen *s = screen())
            size = size.boundedTo(s->availableGeometry().size() * 9 / 10);
        resize(size.expandedTo(minimumSizeHint()).expandedTo(minimumSize()));
    }
    ZAboutDialog::showEvent(event);
}

} // namespace TavrinUi
