#include "overviewpage.h"
#include "diskpage/freespacedialog.h"

#include "mainwindow.h"
#include "masterswitch.h"
#include "scrollpage.h"
#include "ui/components.h"
#include "ui/pageblocks.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ziconbutton.h"
#include "zlabel.h"

namespace {
// The protection cards say what the protection page's cards say.
struct CardText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinProtection)
};
// New texts and the content shown in place of the skeleton are laid out at
// once rather than on a later pass of the event loop, so nothing is painted
// with a stale layout. Each pass can post requests for the parents.
void settleLayouts()
{
    for (int pass = 0; pass < 12; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

// A part that could not be read says so, with the tool's text at hand.
void markUnreadable(TavrinUi::TavrinStateCard *card, const QString &error)
{
    card->setValue(CardText::tr("未知"), TavrinUi::Muted);
    card->setStatus(CardText::tr("读取失败"), TavrinUi::Danger);
    card->setToolTip(error);
    card->setAccessibleDescription(error);
}

void markRead(TavrinUi::TavrinStateCard *card)
{
    card->setToolTip(QString());
    card->setAccessibleDescription(QString());
}

} // namespace

QColor barColor(BarRole role)
{
    const ZPalette pal = TavrinUi::appPalette();
    switch (role) {
    case SystemRepoRole:
        return pal.color(QPalette::Highlight);
    case DataRepoRole:
        return pal.color(ZPalette::TextWarning);
    case SnapshotDataRole:
        return pal.color(ZPalette::TextTips);
    case FreeSpaceRole:
        break;
    }
    // On a card the item background can be the card's own colour (dark theme):
    // the empty part of the bar still has to show.
    return TavrinUi::ensureContrast(pal.color(ZPalette::ItemBackground), TavrinUi::baseColor(), 1.35);
}

RoleDot::RoleDot(BarRole role, QWidget *parent) : QWidget(parent), role(role)
{
    setFixedSize(10, 10);
}

void RoleDot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(barColor(role));
    p.drawEllipse(QRectF(rect()));
}

StorageBar::StorageBar(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(14);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(OverviewPage::tr("存储空间占用"));
}

void StorageBar::setValues(const QList<qint64> &segments, qint64 total)
{
    values = segments.mid(0, 3);
    sum = total;
    update();
}

void StorageBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(r, r.height() / 2, r.height() / 2);
    p.fillPath(shape, barColor(FreeSpaceRole));
    if (sum <= 0 || values.isEmpty())
        return;
    p.setClipPath(shape);
    double x = r.left();
    for (int i = 0; i < values.size(); ++i) {
        if (values.at(i) <= 0)
            continue;
        const double w = double(values.at(i)) * r.width() / double(sum);
        if (w <= 0)
            continue;
        p.fillRect(QRectF(x, r.top(), w, r.height()), barColor(BarRole(i)));
        x += w;
    }
}

OverviewPage::OverviewPage(MainWindow *window) : BasePage(window), window(window)
{
    useLoadingMask = false;

    const ScrollPage frame = buildScrollPage(this, 16);
    auto *scroll = frame.scroll;
    QWidget *page = frame.content;
    QVBoxLayout *layout = frame.layout;

    QWidget *header =
        Ui::pageHeader(tr("总览"), tr("Tavrin系统运行状态一览"), QStringLiteral("utilities-system-monitor"));
    auto *refreshButton = new ZIconButton(
        TavrinUi::themedIcon(QStringLiteral("view-refresh"), QStyle::SP_BrowserReload), header);
    refreshButton->setFixedSize(36, 36);
    refreshButton->setToolTip(tr("刷新状态"));
    refreshButton->setAccessibleName(tr("刷新状态"));
    refreshButton->setFocusPolicy(Qt::StrongFocus);
    refreshButton->setAutoDefault(false);
    connect(refreshButton, &QPushButton::clicked, this, &OverviewPage::refresh);
    qobject_cast<QHBoxLayout *>(header->layout())->addWidget(refreshButton, 0, Qt::AlignVCenter);
    layout->addWidget(header);

    loading = new TavrinUi::TavrinLocalLoading(QString(), page);
    loading->stop();
    layout->addWidget(loading);

    banner = new TavrinUi::TavrinInlineBanner(page);
    banner->setVisible(false);
    feedbackBanner = banner;
    layout->addWidget(banner);

    switchRow = new TavrinSwitch::TavrinSwitchRow(this, true, page);
    layout->addWidget(switchRow);

    cardRow = new TavrinUi::TavrinResponsiveCardRow(4, page);
    protectCard = new TavrinUi::TavrinStateCard(tr("Tavrin保护"), cardRow);
    writableCard = new TavrinUi::TavrinStateCard(tr("系统可写层"), cardRow);
    snapshotCard = new TavrinUi::TavrinStateCard(tr("系统快照"), cardRow);
    diskCard = new TavrinUi::TavrinStateCard(tr("系统盘剩余"), cardRow);
    for (TavrinUi::TavrinStateCard *card : {protectCard, writableCard, snapshotCard, diskCard}) {
        card->setValue(QStringLiteral("-"), TavrinUi::Muted);
        cardRow->addCard(card);
    }
    layout->addWidget(cardRow);

    // Nothing is known before the first load: the skeleton stands in for the
    // content from the start, so the content is not measured before the
    // first paint only to be hidden by the first refresh.
    skeleton = new TavrinUi::TavrinSkeleton(page);
    skeleton->setRows(3);
    layout->addWidget(skeleton);

    content = new QWidget(page);
    content->setVisible(false);
    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(16);
    layout->addWidget(content);
    layout->addStretch(1);
    scroll->setWidget(page);
    registerResponsiveCardRow(cardRow, scroll, 48);

    if (window) {
        connect(switchRow, &TavrinSwitch::TavrinSwitchRow::switchChanged, window,
                &MainWindow::refreshTavrinPages);
        connect(switchRow, &TavrinSwitch::TavrinSwitchRow::detailRequested, this,
                [window] { window->gotoPage(Protection); });
    }
}

// The sections are built with the first data they show: until then the
// skeleton stands in for them, and building, measuring and looking up their
// icons before the first paint would be work for nothing.
void OverviewPage::buildContent()
{
    auto *contentLayout = static_cast<QVBoxLayout *>(content->layout());

    auto *storage = new TavrinUi::TavrinSection(tr("存储空间"), tr("Tavrin系统各仓库占用（物理）"), content);
    storageBar = new StorageBar(storage);
    storage->contentLayout()->addWidget(storageBar);
    auto *legend = new QGridLayout;
    legend->setHorizontalSpacing(24);
    legend->setVerticalSpacing(8);
    const QStringList legendTitles = {tr("系统仓库 /ostree"), tr("数据仓库 /persistent"), tr("快照数据"),
                                      tr("可用空间")};
    for (int i = 0; i < 4; ++i)
        legend->addWidget(makeLegendRow(legendTitles.at(i), BarRole(i), &legendValues[i]), i / 2, i % 2);
    storage->contentLayout()->addLayout(legend);
    // In the header: the overview has no height to spare at the smallest window size.
    QPushButton *freeSpace = makeShortcut(tr("释放空间"), QStringLiteral("edit-clear"));
    freeSpace->setObjectName(QStringLiteral("tavrinOverviewFreeSpace"));
    freeSpace->setAccessibleName(tr("释放空间：选择要删除的快照、旧部署和升级缓存"));
    storage->addHeaderWidget(freeSpace);
    connect(freeSpace, &QPushButton::clicked, this, [this] {
        FreeSpaceDialog *planner = openFreeSpacePlanner(this);
        connect(planner, &FreeSpaceDialog::spaceFreed, this, [this] {
            if (window)
                window->refreshStoragePages();
            else
                refresh();
        });
    });
    contentLayout->addWidget(storage);

    auto *info = new TavrinUi::TavrinSection(tr("系统信息"), tr("当前运行的系统与内核"), content);
    auto *infoGrid = new QGridLayout;
    infoGrid->setHorizontalSpacing(24);
    infoGrid->setVerticalSpacing(4);
    infoGrid->addWidget(makeInfoRow(tr("系统名称"), &systemName), 0, 0);
    infoGrid->addWidget(makeInfoRow(tr("系统版本"), &systemVersion), 0, 1);
    infoGrid->addWidget(makeInfoRow(tr("内核版本"), &kernelVersion), 1, 0);
    infoGrid->addWidget(makeInfoRow(tr("Tavrin部署"), &deployVersion), 1, 1);
    infoGrid->setColumnStretch(0, 1);
    infoGrid->setColumnStretch(1, 1);
    info->contentLayout()->addLayout(infoGrid);
    contentLayout->addWidget(info);

    auto *shortcuts = new TavrinUi::TavrinSection(tr("快速操作"), tr("常用功能快捷入口"), content);
    auto *shortcutRow = new QHBoxLayout;
    shortcutRow->setSpacing(12);
    QPushButton *createShortcut = makeShortcut(tr("立即创建备份"), QStringLiteral("document-save"));
    QPushButton *updateShortcut = makeShortcut(tr("检查系统更新"), QStringLiteral("system-software-update"));
    QPushButton *protectShortcut = makeShortcut(tr("保护设置"), TavrinSwitch::securityIconName());
    for (QPushButton *b : {createShortcut, updateShortcut, protectShortcut})
        shortcutRow->addWidget(b);
    shortcutRow->addStretch(1);
    shortcuts->contentLayout()->addLayout(shortcutRow);
    contentLayout->addWidget(shortcuts);

    if (!window)
        return;
    // The action runs once the target page is idle, i.e. after its lists loaded.
    auto invokeOn = [window = window](PageId id, const char *method) {
        return [window, id, method] {
            if (BasePage *target = window->page(id))
                QMetaObject::invokeMethod(target, method, Qt::DirectConnection);
        };
    };
    connect(createShortcut, &QPushButton::clicked, this, [window = window, invokeOn] {
        window->gotoPage(VersionManagement, Snapshots, invokeOn(VersionManagement, "requestCreateSnapshot"));
    });
    connect(updateShortcut, &QPushButton::clicked, this, [window = window, invokeOn] {
        window->gotoPage(Update, invokeOn(Update, "requestCheckUpdate"));
    });
    connect(protectShortcut, &QPushButton::clicked, this, [window = window, invokeOn] {
        window->gotoPage(Protection, invokeOn(Protection, "highlightEnableProtect"));
    });
}

QPushButton *OverviewPage::makeShortcut(const QString &text, const QString &icon)
{
    QPushButton *b = Ui::button(text);
    b->setIcon(TavrinUi::themedIcon(icon, QStyle::SP_FileDialogContentsView));
    b->setFocusPolicy(Qt::StrongFocus);
    b->setAutoDefault(false);
    b->setAccessibleName(text);
    return b;
}

QWidget *OverviewPage::makeInfoRow(const QString &title, ZLabel **valueOut)
{
    auto *row = new TavrinUi::TavrinRow;
    row->setTitle(title);
    auto *value = new Ui::ElidedLabel(QStringLiteral("-"));
    value->setTextFormat(Qt::PlainText);
    value->setAccessibleName(title);
    row->addControl(value);
    *valueOut = value;
    return row;
}

QWidget *OverviewPage::makeLegendRow(const QString &title, BarRole role, ZLabel **valueOut)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(new RoleDot(role, row), 0, Qt::AlignVCenter);
    // One line each: a wrapping label gives up its width to its neighbour.
    ZLabel *name = TavrinUi::makeLabel(title, TavrinUi::Body, TavrinUi::Muted);
    name->setWordWrap(false);
    layout->addWidget(name, 1);
    ZLabel *value = TavrinUi::makeLabel(QStringLiteral("-"), TavrinUi::Body, TavrinUi::Normal);
    value->setWordWrap(false);
    value->setAccessibleName(title);
    layout->addWidget(value);
    *valueOut = value;
    return row;
}

void OverviewPage::refresh()
{
    useLoadingMask = false;
    if (firstLoad) {
        content->setVisible(false);
        skeleton->setVisible(true);
        skeleton->startPulse();
    }
    loading->setText(tr("正在读取Tavrin系统状态…"));
    loading->start();
    runAsync(
        [] {
            QVariantMap payload;
            payload.insert(QStringLiteral("immutable"), QVariant::fromValue(Tavrin::readImmutableMode()));
            payload.insert(QStringLiteral("os"), Tavrin::getOsVersion());
            payload.insert(QStringLiteral("deploy"), Tavrin::getDeployVersion());
            payload.insert(QStringLiteral("kernel"), Tavrin::getKernel());
            payload.insert(QStringLiteral("writable"), QVariant::fromValue(Tavrin::getWritableStatus()));
            const Tavrin::SnapshotListResult listed = Tavrin::readSnapshots();
            payload.insert(QStringLiteral("snaps"), QVariant::fromValue(listed.snapshots));
            payload.insert(QStringLiteral("snapsError"),
                           listed.ok               ? QString()
                           : listed.error.isEmpty() ? Tavrin::friendlyExecError(QString())
                                                    : listed.error);
            return QVariant(payload);
        },
        [this](const QVariant &payload) {
            loading->stop();
            onLoadedFast(payload);
        });
}

void OverviewPage::onLoadedFast(const QVariant &payload)
{
    using namespace TavrinUi;
    const QVariantMap map = payload.toMap();
    snapshots = map.value(QStringLiteral("snaps")).value<QList<Tavrin::SnapshotInfo>>();
    snapshotsError = map.value(QStringLiteral("snapsError")).toString();
    if (firstLoad) {
        firstLoad = false;
        buildContent();
        skeleton->stopPulse();
        skeleton->setVisible(false);
        content->setVisible(true);
    }
    const auto writable = map.value(QStringLiteral("writable")).value<Tavrin::WritableStatus>();
    switchRow->applyStatus(TavrinSwitch::presentationFor(writable));

    // The kit's badge keeps the size it had while hidden and empty.
    const auto relayoutBadges = qScopeGuard([this] {
        for (TavrinStateCard *card : {protectCard, writableCard, snapshotCard, diskCard})
            card->statusBadge()->adjustSize();
    });
    const auto immutable = map.value(QStringLiteral("immutable")).value<Tavrin::ImmutableRead>();
    protectionError = immutable.ok ? QString() : immutable.error;
    if (!immutable.ok) {
        markUnreadable(protectCard, immutable.error);
    } else if (immutable.immutable) {
        markRead(protectCard);
        protectCard->setValue(CardText::tr("已开启"), Success);
        protectCard->setStatus(CardText::tr("核心目录只读"), Muted);
    } else {
        markRead(protectCard);
        protectCard->setValue(CardText::tr("已关闭"), Danger);
        protectCard->setStatus(CardText::tr("核心目录可写"), Danger);
    }
    writableError = writable.known() ? QString() : writable.error;
    if (!writable.known()) {
        markUnreadable(writableCard, writable.error);
    } else if (writable.enabled) {
        markRead(writableCard);
        writableCard->setValue(CardText::tr("已解锁"), Warning);
        writableCard->setStatus(CardText::tr("开发调试模式"), Warning);
    } else {
        markRead(writableCard);
        writableCard->setValue(CardText::tr("已锁定"), Success);
        writableCard->setStatus(CardText::tr("未启用"), Muted);
    }
    showSnapshotCount();
    showReadFailures();
    diskCard->setValue(tr("统计中…"), Muted);
    diskCard->setStatus(QString(), Muted);
    for (ZLabel *value : legendValues)
        value->setText(tr("统计中…"));

    const QJsonObject os = map.value(QStringLiteral("os")).toJsonObject();
    const QString system = os.value(QLatin1String("system")).toString();
    systemName->setText(system.isEmpty() ? QStringLiteral("-") : system);
    const QString version = (os.value(QLatin1String("edition")).toString() + QLatin1Char(' ') +
                             os.value(QLatin1String("version")).toString())
                                .trimmed();
    systemVersion->setText(version.isEmpty() ? QStringLiteral("-") : version);
    const QString kernel = map.value(QStringLiteral("kernel")).toString();
    kernelVersion->setText(kernel.isEmpty() ? QStringLiteral("-") : kernel);
    const QString deploy = map.value(QStringLiteral("deploy")).toString();
    deployVersion->setText(deploy.isEmpty() ? QStringLiteral("-") : deploy);
    for (ZLabel *label : {systemName, systemVersion, kernelVersion, deployVersion})
        label->setToolTip(label->text());

    settleLayouts();

    loading->setText(tr("正在统计存储空间…"));
    loading->start();
    runAsync([] { return QVariant::fromValue(Tavrin::getRepoSizes()); },
             [this](const QVariant &sizes) {
                 loading->stop();
                 onLoadedSizes(sizes);
             });
}

void OverviewPage::onLoadedSizes(const QVariant &payload)
{
    const auto sizes = payload.value<Tavrin::RepoSizes>();
    showSnapshotCount();
    const Tavrin::MeasuredSize values[4] = {sizes.systemRepo, sizes.persistentRepo, sizes.snapshotDir,
                                           sizes.rootAvailable};
    diskCard->setValue(Tavrin::formatMeasuredSize(sizes.rootAvailable),
                       sizes.rootAvailable.complete() ? TavrinUi::Normal : TavrinUi::Muted);
    diskCard->setToolTip(sizes.rootAvailable.error);
    for (int i = 0; i < 4; ++i) {
        // A figure du could not take in full is a bound or unknown, never a fact.
        legendValues[i]->setText(Tavrin::formatMeasuredSize(values[i]));
        legendValues[i]->setToolTip(values[i].error);
        legendValues[i]->setAccessibleDescription(values[i].error);
    }
    // The bar shows what was measured; what is not known takes no room.
    storageBar->setValues({sizes.systemRepo.bytes, sizes.persistentRepo.bytes, sizes.snapshotDir.bytes},
                          sizes.systemRepo.bytes + sizes.persistentRepo.bytes + sizes.snapshotDir.bytes +
                              sizes.rootAvailable.bytes);
    settleLayouts();
}

// The system always holds its initial snapshot: a list that cannot be read is
// a failure, never "0".
void OverviewPage::showSnapshotCount()
{
    if (!snapshotsError.isEmpty()) {
        markUnreadable(snapshotCard, snapshotsError);
        return;
    }
    markRead(snapshotCard);
    snapshotCard->setValue(tr("%1 个").arg(snapshots.size()), TavrinUi::Normal);
    snapshotCard->setStatus(QString(), TavrinUi::Muted);
}

// The tool's own words for what could not be read, in the banner's details.
void OverviewPage::showReadFailures()
{
    QStringList lines;
    const std::pair<QString, QString> parts[] = {{tr("Tavrin保护"), protectionError},
                                                 {tr("系统可写层"), writableError},
                                                 {tr("系统快照"), snapshotsError}};
    for (const auto &part : parts) {
        if (!part.second.isEmpty())
            lines << part.first + QLatin1String(": ") + part.second;
    }
    if (lines.isEmpty()) {
        if (readFailureShown)
            banner->setVisible(false);
        readFailureShown = false;
        return;
    }
    showFeedbackWithDetails(TavrinUi::Danger, tr("部分系统状态无法读取。"), tr("完整输出"),
                            lines.join(QLatin1Char('\n')), false);
    readFailureShown = true;
}
