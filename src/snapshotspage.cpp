#include "snapshotspage.h"

#include "backend/pools.h"
#include "backend/reclaim.h"
#include "mainwindow.h"
#include "snapshotdeletedialog.h"
#include "snapshotdialogs.h"
#include "snapshotrowdelegate.h"
#include "supersedednotice.h"
#include "ui/appearance.h"
#include "ui/components.h"
#include "ui/confirmdialog.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "zlabel.h"

namespace {

constexpr int kColumnCount = 6;
constexpr int kActionColumn = 5;
constexpr int kIdColumn = 4;
constexpr int kTypeColumn = 1;
constexpr int kDialogNameLimit = 60;
constexpr int kMaxSizeRetries = 3;
constexpr int kSizesPaintWaitMs = 250;
int g_sizeRetryDelay = 60000;

// The banner's details: the tool's own text, led by the plain explanation when
// there is one.
QString failureDetails(const QString &raw)
{
    const QString text = raw.trimmed();
    const QString friendly = Tavrin::friendlyExecError(text);
    return friendly == text || text.isEmpty() ? friendly : friendly + QLatin1Char('\n') + text;
}

QString pageTr(const char *text)
{
    return QCoreApplication::translate("SnapshotsPage", text);
}

// What did and did not happen to a rollback that is not complete.
QString rollbackSummary(const Tavrin::RollbackOutcome &outcome)
{
    if (outcome.ok)
        return QString();
    if (!outcome.authorized)
        return pageTr(QT_TRANSLATE_NOOP("SnapshotsPage", "还原未执行，系统未做任何更改。"));
    const Tavrin::RollbackOutcome::Step failed =
        outcome.failedStep >= 0 && outcome.failedStep < outcome.steps.size()
            ? outcome.steps.at(outcome.failedStep)
            : Tavrin::RollbackOutcome::Rollback;
    if (outcome.rolledBack)
        return pageTr(QT_TRANSLATE_NOOP("SnapshotsPage", "还原已就绪，但回滚状态未能记录：回滚前备份已保留，不会自动清理。"));
    switch (failed) {
    case Tavrin::RollbackOutcome::Backup:
        return pageTr(QT_TRANSLATE_NOOP("SnapshotsPage", "创建回滚前备份失败，未执行还原，系统未做任何更改。"));
    case Tavrin::RollbackOutcome::Cleanup:
        return pageTr(QT_TRANSLATE_NOOP("SnapshotsPage", "安装自动清理失败，已撤销回滚前备份，未执行还原。"));
    default:
        return pageTr(QT_TRANSLATE_NOOP("SnapshotsPage", "还原失败，已撤销已完成的步骤，系统未做任何更改。"));
    }
}

// Snapshot names and descriptions come from whoever created them: show them on
// one line, never as markup.
QString oneLine(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        out.append(c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                           c == QChar::ParagraphSeparator
                       ? QChar(QLatin1Char(' '))
                       : c);
    return out;
}

// Names shortened for dialogs and banners, which show their texts as plain
// text.
QString shortText(const QString &text, int limit = kDialogNameLimit)
{
    QString line = oneLine(text);
    if (line.size() > limit) {
        const int head = (limit - 1) / 2;
        line = line.left(head) + QChar(0x2026) + line.right(limit - 1 - head);
    }
    return line;
}

QString plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

SnapshotsPage::SnapshotsPage(MainWindow *window, QWidget *parent)
    : BasePage(parent ? parent : window), window(window)
{
    useLoadingMask = false;

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    // The banner stays above the scrolled content: appearing, it neither
    // brings a scroll bar nor makes the cards reflow, and it stays in view.
    auto *bannerRow = new QVBoxLayout;
    bannerRow->setContentsMargins(24, 12, 24, 0);
    banner = new TavrinUi::TavrinInlineBanner(this);
    banner->setVisible(false);
    feedbackBanner = banner;
    bannerRow->addWidget(banner);
    outer->addLayout(bannerRow);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("tavrinScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The table gives way before the page scrolls (see its minimum height), so
    // the bar shows only when the page really cannot fit.
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    outer->addWidget(scroll);

    auto *content = new QWidget(scroll);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);

    cardRow = new TavrinUi::TavrinResponsiveCardRow(3, content);
    limitCard = new TavrinUi::TavrinStateCard(tr("备份数量上限"), cardRow);
    countCard = new TavrinUi::TavrinStateCard(tr("当前数量"), cardRow);
    backupCard = new TavrinUi::TavrinStateCard(tr("回滚前安全备份"), cardRow);
    cardRow->addCard(limitCard);
    cardRow->addCard(countCard);
    cardRow->addCard(backupCard);
    layout->addWidget(cardRow);
    supersededNotice = new SupersededNotice(content);
    connect(supersededNotice, &SupersededNotice::removeRequested, this,
            &SnapshotsPage::onRemoveSupersededBackup);
    layout->addWidget(supersededNotice);

    loading = new TavrinUi::TavrinLocalLoading(tr("正在读取快照列表..."), content);
    // Its line is kept while it is hidden: the table never jumps when a
    // refresh starts or ends.
    QSizePolicy loadingPolicy = loading->sizePolicy();
    loadingPolicy.setRetainSizeWhenHidden(true);
    loading->setSizePolicy(loadingPolicy);
    if (QLayout *loadingLayout = loading->layout())
        loadingLayout->setContentsMargins(8, 0, 8, 0);
    loading->stop();
    layout->addWidget(loading);

    table = TavrinUi::makeRecordTable(
        {tr("名称"), tr("类型"), tr("创建时间"), tr("占用空间"), tr("ID"), tr("操作")}, tr("系统备份列表"),
        content);
    Q_ASSERT(table->columnCount() == kColumnCount);
    table->setObjectName(QStringLiteral("tavrinSnapshotTable"));
    TavrinUi::applySnapshotTableLook(table);
    table->setMinimumWidth(320);
    rowDelegate = new SnapshotRowDelegate(table, 0, kActionColumn);
    table->setItemDelegateForColumn(0, rowDelegate);
    table->setItemDelegateForColumn(kActionColumn, rowDelegate);
    // The drawn buttons light up under the pointer.
    table->viewport()->setMouseTracking(true);
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, &SnapshotsPage::onSectionResized);
    table->viewport()->installEventFilter(this);
    table->installEventFilter(this);
    table->setContextMenuPolicy(Qt::DefaultContextMenu);
    layout->addWidget(table, 1);

    emptyState = new TavrinUi::TavrinEmptyState(content);
    emptyState->setIcon(QStringLiteral("document-save"));
    emptyState->setTitle(tr("暂无备份"));
    emptyState->setDescription(
        tr("创建备份后可在系统出问题时还原到当前状态。系统初始备份由Tavrin自动创建，受保护、不可删除。"));
    QPushButton *emptyCreate = emptyState->addAction(tr("创建备份"), true);
    connect(emptyCreate, &QPushButton::clicked, this, &SnapshotsPage::onCreate);
    emptyState->setVisible(false);
    layout->addWidget(emptyState);

    loadError = new TavrinUi::TavrinInlineBanner(content);
    loadError->setObjectName(QStringLiteral("tavrinSnapshotLoadError"));
    loadError->setSemantic(TavrinUi::Danger);
    loadError->setClosable(false);
    loadError->setText(tr("无法读取备份列表。这不表示系统中没有备份，请查看详情或重试。"));
    QPushButton *retry = loadError->addAction(tr("重试"), true);
    retry->setObjectName(QStringLiteral("tavrinSnapshotRetry"));
    connect(retry, &QPushButton::clicked, this, &SnapshotsPage::refresh);
    loadError->setVisible(false);
    layout->addWidget(loadError);

    ZLabel *hint =
        TavrinUi::makeLabel(tr("提示：悬停名称列可查看完整描述与用途；系统初始备份受Tavrin保护，不可删除。"),
                            TavrinUi::Body, TavrinUi::Muted);
    hint->setObjectName(QStringLiteral("tavrinRowDesc"));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    scroll->setWidget(content);
    registerResponsiveCardRow(cardRow, scroll, 48);
    applyColumnWidths();
}

void SnapshotsPage::refresh()
{
    if (operationRunning)
        return;
    refreshWith(startListRead());
}

QFuture<QVariant> SnapshotsPage::startListRead()
{
    return QtConcurrent::run(&Tavrin::taskPool(), &SnapshotsPage::loadPayload);
}

// A refresh whose read is already under way: one task of the page, like a
// quiet run of its own.
void SnapshotsPage::refreshWith(const QFuture<QVariant> &read)
{
    if (operationRunning)
        return;
    loading->setText(tr("正在读取快照列表..."));
    loading->start();
    const quint64 request = ++listRequests;
    beginTask();
    // Parented to the page: a closed page never gets the list.
    auto *watcher = new QFutureWatcher<QVariant>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        const QVariant payload = watcher->future().resultCount() > 0 ? watcher->result() : QVariant();
        watcher->deleteLater();
        if (request == listRequests && !operationRunning)
            loading->stop();
        onLoaded(request, payload);
        endTask();
    });
    watcher->setFuture(read);
}

// The list and the rollback state (one small file): enough for the rows. The
// sizes take far longer and follow in a second step.
QVariant SnapshotsPage::loadPayload()
{
    QVariantMap payload;
    const Tavrin::SnapshotListResult listed = Tavrin::readSnapshots();
    payload.insert(QStringLiteral("ok"), listed.ok);
    payload.insert(QStringLiteral("error"), listed.error);
    payload.insert(QStringLiteral("snaps"), QVariant::fromValue(listed.snapshots));
    const Tavrin::RollbackState state = Tavrin::getRollbackState();
    payload.insert(QStringLiteral("state"), QVariant::fromValue(state));
    // Only a pending rollback can have been replaced; the deployments tell.
    if (state.valid && state.status == QLatin1String("pending") && !state.rollbackCommit.isEmpty()) {
        const Tavrin::DeployListRead deploys = Tavrin::readDeployList();
        payload.insert(QStringLiteral("superseded"),
                       deploys.ok && Tavrin::rollbackSuperseded(state, deploys.deploys));
    }
    const Tavrin::RetentionPrefs prefs = Tavrin::readRetentionPrefs();
    payload.insert(QStringLiteral("limit"), prefs.limit);
    payload.insert(QStringLiteral("autoPrune"), prefs.autoPrune);
    return payload;
}

void SnapshotsPage::onLoaded(quint64 request, const QVariant &payload)
{
    // A slower, older read must not replace a newer list.
    if (request < listShown)
        return;
    listShown = request;
    const QVariantMap map = payload.toMap();
    if (map.contains(QStringLiteral("limit"))) {
        retention.limit = map.value(QStringLiteral("limit")).toInt();
        retention.autoPrune = map.value(QStringLiteral("autoPrune")).toBool();
    }
    if (!map.value(QStringLiteral("ok"), true).toBool()) {
        showLoadFailure(map.value(QStringLiteral("error")).toString());
        return;
    }
    stateSuperseded = map.value(QStringLiteral("superseded")).toBool();
    render(map.value(QStringLiteral("snaps")).value<QList<Tavrin::SnapshotInfo>>(),
           map.value(QStringLiteral("state")).value<Tavrin::RollbackState>());
    startSizesAfterPaint();
}

// The sizes wait until the rows are on screen: their du and ostree runs would
// otherwise take the processor the first paint of the rows needs. A page that
// is not shown, or a paint that does not come, does not hold them back.
void SnapshotsPage::startSizesAfterPaint()
{
    if (!sizesAwaited)
        return;
    if (!table->isVisible()) {
        startSizes();
        return;
    }
    sizesAfterPaint = true;
    table->viewport()->update();
    if (!sizesPaintWait) {
        sizesPaintWait = new QTimer(this);
        sizesPaintWait->setSingleShot(true);
        connect(sizesPaintWait, &QTimer::timeout, this, [this] {
            sizesAfterPaint = false;
            startSizes();
        });
    }
    sizesPaintWait->start(kSizesPaintWaitMs);
}

// One computation at a time: a second one would only wait for the first (the
// backend serialises them) while holding another pool thread.
void SnapshotsPage::startSizes()
{
    if (!sizesAwaited || sizesRunning)
        return;
    sizesRunning = true;
    const quint64 request = listShown;
    const QList<Tavrin::SnapshotInfo> list = snapshots;
    // Parented to the page: a closed page never gets the result.
    auto *watcher = new QFutureWatcher<QVariant>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        const QVariant result = watcher->future().resultCount() > 0 ? watcher->result() : QVariant();
        watcher->deleteLater();
        onSizesComputed(request, result);
    });
    watcher->setFuture(QtConcurrent::run(&Tavrin::taskPool(), [list] {
        return QVariant::fromValue(Tavrin::measureSnapshotSizes(list));
    }));
}

void SnapshotsPage::onSizesComputed(quint64 request, const QVariant &payload)
{
    sizesRunning = false;
    if (request != listShown) {
        // Computed for a list no longer shown: the one shown now gets its own.
        startSizes();
        return;
    }
    sizesAwaited = false;
    sizes = payload.value<Tavrin::SnapshotSizes>();
    bool sizesMissing = false;
    for (int row = 0; row < table->rowCount(); ++row) {
        setSizeCell(row);
        const auto size = sizes.constFind(rowId(row));
        sizesMissing = sizesMissing || size == sizes.constEnd() || !size->total().complete();
    }
    scheduleSizeRetry(sizesMissing);
    emit sizesChanged();
}

void SnapshotsPage::render(const QList<Tavrin::SnapshotInfo> &list, const Tavrin::RollbackState &state)
{
    snapshots = list;
    safetyBackupId = state.valid ? state.backupSnapshotId : QString();
    sizes.clear();
    sizesAwaited = !list.isEmpty();
    updatePolicyCards(list.size(), state);
    showListState(list.isEmpty() ? ListState::Empty : ListState::Rows);

    // Rows are updated in place rather than rebuilt: an assistive tool may
    // still hold the cells while the list is read again. One repaint for the
    // whole fill.
    table->setUpdatesEnabled(false);
    table->setRowCount(int(list.size()));
    for (int row = 0; row < list.size(); ++row) {
        const Tavrin::SnapshotInfo &snap = list.at(row);
        const bool isBackup = !state.backupSnapshotId.isEmpty() && snap.id == state.backupSnapshotId;
        fillRow(row, snap, isBackup);
    }
    TavrinUi::finalizeTableAccessible(table);
    for (int row = 0; row < list.size(); ++row)
        describeRow(row, list.at(row));
    table->setUpdatesEnabled(true);
    emit sizesChanged();
}

// The name and the actions are drawn by the delegate; the cells say what they
// hold and how to reach the actions.
void SnapshotsPage::describeRow(int row, const Tavrin::SnapshotInfo &snap)
{
    const QString name = oneLine(snap.name);
    const QString described = snap.desc.isEmpty() ? name : tr("%1，%2").arg(name, oneLine(snap.desc));
    const QString actions =
        snap.isInitial ? tr("还原（Enter 或菜单键）") : tr("还原、编辑、删除（Enter 或菜单键）");
    table->item(row, 0)->setData(
        Qt::AccessibleTextRole,
        QStringLiteral("%1: %2").arg(table->horizontalHeaderItem(0)->text(), described));
    table->item(row, kActionColumn)
        ->setData(Qt::AccessibleTextRole,
                  QStringLiteral("%1: %2").arg(table->horizontalHeaderItem(kActionColumn)->text(), actions));
}

// The system always holds its initial snapshot: an unreadable list is a
// failure to show, never "no snapshots".
void SnapshotsPage::showLoadFailure(const QString &error)
{
    snapshots.clear();
    sizes.clear();
    sizesAwaited = false;
    countCard->setValue(tr("未知"), TavrinUi::Muted, TavrinUi::Hero);
    updateLimitCard(-1);
    loadError->setDetails(tr("完整输出"), failureDetails(error));
    showListState(ListState::Failed);
    emit sizesChanged();
}

void SnapshotsPage::showListState(ListState state)
{
    table->setVisible(state == ListState::Rows);
    emptyState->setVisible(state == ListState::Empty);
    loadError->setVisible(state == ListState::Failed);
}

void SnapshotsPage::setCell(int row, int column, const QString &text, Qt::Alignment align, const QString &tip)
{
    QTableWidgetItem *item = table->item(row, column);
    const bool fresh = !item;
    if (fresh)
        item = new QTableWidgetItem;
    item->setText(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
    item->setToolTip(plainToolTip(tip));
    // Filled before it joins the table: one change for the model, not three.
    if (fresh)
        table->setItem(row, column, item);
}

void SnapshotsPage::fillRow(int row, const Tavrin::SnapshotInfo &snap, bool isBackup)
{
    // The delegate draws the name bold with its badges, and the row's buttons.
    const QString type = snap.isInitial ? tr("系统初始备份") : (isBackup ? tr("回滚前备份") : tr("普通备份"));
    // The type too: a narrow window hides its column.
    QString tip = snap.desc.isEmpty() ? snap.name : tr("%1\n描述: %2").arg(snap.name, snap.desc);
    tip += QLatin1Char('\n') + tr("类型: %1").arg(type);
    setCell(row, 0, oneLine(snap.name), Qt::AlignLeft, tip);
    QTableWidgetItem *name = table->item(row, 0);
    name->setData(Qt::UserRole, snap.id);
    name->setData(SnapshotRowDelegate::InitialRole, snap.isInitial);
    name->setData(SnapshotRowDelegate::BackupRole, isBackup);

    setCell(row, 1, type, Qt::AlignHCenter, type);

    const QString time = Tavrin::formatTime(snap.time);
    setCell(row, 2, time, Qt::AlignLeft, time);

    setSizeCell(row);

    setCell(row, 4, snap.id.left(12) + QStringLiteral("..."), Qt::AlignHCenter, snap.id);
    setCell(row, kActionColumn, QString(), Qt::AlignLeft, QString());
}

// The size of the row's snapshot, while it is computed, or why it is not known:
// a measurement that failed never stays "computing" for ever.
void SnapshotsPage::setSizeCell(int row)
{
    QString text;
    QString tip;
    const auto size = sizes.constFind(rowId(row));
    if (size != sizes.constEnd()) {
        const Tavrin::MeasuredSize total = size->total();
        text = Tavrin::formatMeasuredSize(total);
        tip = tr("增量数据: %1\n独占对象: %2")
                  .arg(Tavrin::formatMeasuredSize(size->extra), Tavrin::formatMeasuredSize(size->unique));
        // Never a guess shown as the size: what could not be measured, and why.
        if (!total.complete())
            tip += QLatin1Char('\n') + tr("无法完整测量，稍后将自动重试：") + QLatin1Char('\n') + total.error;
    } else if (sizesAwaited) {
        text = tr("计算中...");
        tip = tr("正在计算占用空间");
    } else {
        text = Tavrin::formatMeasuredSize(Tavrin::MeasuredSize());
        tip = tr("无法测量此备份的占用空间。稍后将自动重试。");
    }
    setCell(row, 3, text, Qt::AlignHCenter, tip);
    table->item(row, 3)->setData(Qt::AccessibleTextRole,
                                 QStringLiteral("%1: %2").arg(table->horizontalHeaderItem(3)->text(), text));
}

QString SnapshotsPage::freedText(const QString &id) const
{
    const auto size = sizes.constFind(id);
    if (size != sizes.constEnd())
        return Tavrin::formatMeasuredSize(size->total());
    return sizesAwaited ? tr("计算中…") : Tavrin::formatMeasuredSize(Tavrin::MeasuredSize());
}

void SnapshotsPage::setSizeRetryDelay(int ms)
{
    g_sizeRetryDelay = qMax(1, ms);
}

void SnapshotsPage::scheduleSizeRetry(bool sizesMissing)
{
    if (!sizesMissing) {
        sizeRetries = 0;
        if (sizeRetryTimer)
            sizeRetryTimer->stop();
        return;
    }
    if (sizeRetries >= kMaxSizeRetries)
        return;
    ++sizeRetries;
    if (!sizeRetryTimer) {
        sizeRetryTimer = new QTimer(this);
        sizeRetryTimer->setObjectName(QStringLiteral("tavrinSizeRetry"));
        sizeRetryTimer->setSingleShot(true);
        connect(sizeRetryTimer, &QTimer::timeout, this, [this] {
            if (isVisible())
                refresh();
        });
    }
    sizeRetryTimer->start(g_sizeRetryDelay);
}

void SnapshotsPage::updatePolicyCards(int count, const Tavrin::RollbackState &state)
{
    updateLimitCard(count);
    countCard->setValue(tr("%1 个").arg(count), TavrinUi::Normal, TavrinUi::Hero);
    supersededNotice->showState(state, state.valid && stateSuperseded);
    if (!state.valid) {
        backupCard->setToolTip(QString());
        backupCard->setAccessibleDescription(QString());
        backupCard->setValue(tr("未启用"), TavrinUi::Normal, TavrinUi::Hero);
        return;
    }
    QString text;
    if (state.status == QLatin1String("manual"))
        text = tr("手动");
    else if (state.status == QLatin1String("failed"))
        text = tr("失败");
    else if (state.status == QLatin1String("reboot3"))
        text = tr("重启 3 次后");
    else if (state.status == QLatin1String("done"))
        text = tr("已完成");
    else if (state.status == QLatin1String("cancelled"))
        text = tr("已取消");
    else
        text = tr("进行中");
    // A pending "reboot3" waits for the rolled-back system, or cannot tell it and never deletes.
    QString note = Tavrin::rollbackStateNote(state);
    if (!note.isEmpty())
        text = state.rollbackCommit.isEmpty() ? tr("需手动清理") : tr("等待还原生效");
    // Replaced by an upgrade: nothing will ever boot it, nothing will delete the backup.
    if (stateSuperseded) {
        text = tr("已被升级取代");
        note = tr("还原未生效，安全备份需手动删除");
    }
    backupCard->setToolTip(note);
    backupCard->setAccessibleDescription(note);
    backupCard->setValue(text, TavrinUi::Warning, TavrinUi::Hero);
}

// Widths follow the font and what the columns can hold (the type texts, a
// time, the widest size, an id's head), so large fonts cut none of them and no
// pass over the rows is needed; the actions always stay in view and the name
// gives way first, then the id column, whose full text is also in its tooltip.
void SnapshotsPage::applyColumnWidths()
{
    columnsApplied = true;
    const QFontMetrics fm(table->font());
    const int padding = fm.averageCharWidth() * 3;
    auto widest = [&fm](const QStringList &texts) {
        int width = 0;
        for (const QString &text : texts)
            width = qMax(width, fm.horizontalAdvance(text));
        return width;
    };
    int hexWidth = 0;
    for (const QChar c : QStringLiteral("0123456789abcdef"))
        hexWidth = qMax(hexWidth, fm.horizontalAdvance(c));
    const int contents[] = {
        0,
        widest({tr("系统初始备份"), tr("回滚前备份"), tr("普通备份")}),
        // Digits share one width in the fonts the desktop uses: any time is as wide as this one.
        widest({Tavrin::formatTime(QDateTime(QDate(2000, 12, 28), QTime(20, 58, 58)).toSecsSinceEpoch())}),
        widest({tr("计算中..."), Tavrin::formatMeasuredSize(Tavrin::MeasuredSize()),
                Tavrin::formatMeasuredSize(Tavrin::MeasuredSize::atLeast(
                    qint64(1023) * 1024 * 1024 * 1024 + 1023 * 1024 * 1024, QString()))}),
        12 * hexWidth + fm.horizontalAdvance(QStringLiteral("...")),
    };
    QHeaderView *header = table->horizontalHeader();
    for (int column = 1; column < kActionColumn; ++column)
        table->setColumnWidth(column, qMax(header->sectionSizeHint(column), contents[column] + padding));
    actionWidth = qMax(header->sectionSizeHint(kActionColumn), rowDelegate->actionsWidth());
    table->setColumnWidth(kActionColumn, actionWidth);

    const int rowHeight = std::max({48, fm.height() + 24, rowDelegate->buttonHeight() + 8});
    table->verticalHeader()->setDefaultSectionSize(rowHeight);
    header->setFixedHeight(qMax(42, header->sizeHint().height() + 8));
    // Room for the header and two rows: below that the page scrolls, above it
    // the table gives way so the page fits the window without a scroll bar.
    table->setMinimumHeight(header->height() + 2 * rowHeight + 2 * table->frameWidth());
    fitNameColumn();
}

int SnapshotsPage::nameMinWidth() const
{
    return QFontMetrics(table->font()).averageCharWidth() * 18;
}

void SnapshotsPage::fitNameColumn()
{
    if (!columnsApplied)
        return;
    const int room = table->viewport()->width();
    auto othersWidth = [this] {
        int others = 0;
        for (int column = 1; column < kColumnCount; ++column) {
            if (!table->isColumnHidden(column))
                others += table->columnWidth(column);
        }
        return others;
    };
    table->setColumnHidden(kIdColumn, false);
    table->setColumnHidden(kTypeColumn, false);
    if (room - othersWidth() < nameMinWidth())
        table->setColumnHidden(kIdColumn, true);
    // Then the type, which the name's tooltip also gives, before the actions
    // would leave the view.
    if (room - othersWidth() < nameMinWidth())
        table->setColumnHidden(kTypeColumn, true);
    table->setColumnWidth(0, qMax(nameMinWidth(), room - othersWidth()));
}

bool SnapshotsPage::eventFilter(QObject *watched, QEvent *event)
{
    if (sizesAfterPaint && watched == table->viewport() && event->type() == QEvent::Paint) {
        sizesAfterPaint = false;
        sizesPaintWait->stop();
        // Queued: the paint and its flush to the screen come first.
        QMetaObject::invokeMethod(this, &SnapshotsPage::startSizes, Qt::QueuedConnection);
    }
    if (watched == table->viewport() && event->type() == QEvent::Resize)
        fitNameColumn();
    if (watched == table && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        applyColumnWidths();
    if (watched == table->viewport() && handleRowButtonMouse(event))
        return true;
    if ((watched == table || watched == table->viewport()) && event->type() == QEvent::ContextMenu) {
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        if (menuEvent->reason() == QContextMenuEvent::Mouse && watched == table->viewport()) {
            const int row = table->rowAt(menuEvent->pos().y());
            if (row >= 0) {
                table->selectRow(row);
                showRowMenu(row, menuEvent->globalPos());
            }
        } else {
            showRowMenu(table->currentRow(), QPoint());
        }
        return true;
    }
    if (watched == table && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return BasePage::eventFilter(watched, event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
        case Qt::Key_Menu:
            showRowMenu(table->currentRow(), QPoint());
            return true;
        case Qt::Key_Delete:
            if (table->currentRow() >= 0)
                onDelete(rowId(table->currentRow()));
            return true;
        case Qt::Key_F2:
            if (table->currentRow() >= 0)
                onEdit(rowId(table->currentRow()));
            return true;
        default:
            break;
        }
    }
    return BasePage::eventFilter(watched, event);
}

// The drawn row buttons act like real ones: lit under the pointer, pressed
// and released on the same button of the same snapshot to act.
bool SnapshotsPage::handleRowButtonMouse(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        break;
    case QEvent::Leave:
        rowDelegate->setHover(-1, SnapshotRowDelegate::NoAction);
        table->viewport()->unsetCursor();
        return false;
    default:
        return false;
    }
    const auto *mouse = static_cast<QMouseEvent *>(event);
    int row = -1;
    const SnapshotRowDelegate::Action action = rowDelegate->actionAt(mouse->position().toPoint(), &row);
    const bool enabled = action != SnapshotRowDelegate::NoAction && rowDelegate->actionEnabled(row, action);
    if (event->type() == QEvent::MouseMove) {
        rowDelegate->setHover(row, enabled ? action : SnapshotRowDelegate::NoAction);
        if (enabled)
            table->viewport()->setCursor(Qt::PointingHandCursor);
        else
            table->viewport()->unsetCursor();
        // A press that started on a button belongs to it until the release.
        return !pressedId.isEmpty();
    }
    if (mouse->button() != Qt::LeftButton)
        return action != SnapshotRowDelegate::NoAction;
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        if (action == SnapshotRowDelegate::NoAction)
            return false;
        if (enabled) {
            pressedId = rowId(row);
            pressedAction = action;
            rowDelegate->setPressed(row, action);
        }
        return true;
    }
    // Release.
    if (pressedId.isEmpty())
        return action != SnapshotRowDelegate::NoAction;
    const QString id = std::exchange(pressedId, QString());
    rowDelegate->setPressed(-1, SnapshotRowDelegate::NoAction);
    // The rows may have been refilled since the press: only the same snapshot counts.
    if (action == pressedAction && rowId(row) == id) {
        if (action == SnapshotRowDelegate::Restore)
            onRollback(id);
        else if (action == SnapshotRowDelegate::Edit)
            onEdit(id);
        else
            onDelete(id);
    }
    return true;
}

QString SnapshotsPage::rowId(int row) const
{
    const QTableWidgetItem *item = row >= 0 ? table->item(row, 0) : nullptr;
    return item ? item->data(Qt::UserRole).toString() : QString();
}

// The keyboard's and the context menu's way to the row's buttons.
void SnapshotsPage::showRowMenu(int row, QPoint globalPos)
{
    const Tavrin::SnapshotInfo *snap = findSnapshot(rowId(row));
    if (!snap)
        return;
    const QString id = snap->id;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("tavrinSnapshotMenu"));
    menu.setAccessibleName(tr("备份操作：%1").arg(oneLine(snap->name)));
    QAction *restore = menu.addAction(tr("还原到此备份…"));
    restore->setEnabled(!operationRunning);
    QAction *edit = menu.addAction(tr("编辑名称与描述…"));
    edit->setShortcut(Qt::Key_F2);
    edit->setEnabled(!snap->isInitial && !operationRunning);
    QAction *remove = menu.addAction(tr("删除此备份…"));
    remove->setShortcut(QKeySequence::Delete);
    remove->setEnabled(!snap->isInitial && !operationRunning);
    if (globalPos.isNull()) {
        const QRect cell = table->visualRect(table->model()->index(row, kActionColumn));
        globalPos = table->viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : QPoint());
    }
    QPointer<SnapshotsPage> self(this);
    QAction *chosen = menu.exec(globalPos);
    if (!self)
        return;
    if (chosen == restore)
        onRollback(id);
    else if (chosen == edit)
        onEdit(id);
    else if (chosen == remove)
        onDelete(id);
}

void SnapshotsPage::onSectionResized(int logicalIndex, int, int newSize)
{
    if (logicalIndex == kActionColumn && newSize < actionWidth)
        table->setColumnWidth(kActionColumn, actionWidth);
    else if (logicalIndex == 0 && newSize < nameMinWidth())
        table->setColumnWidth(0, nameMinWidth());
}

const Tavrin::SnapshotInfo *SnapshotsPage::findSnapshot(const QString &id) const
{
    for (const Tavrin::SnapshotInfo &snap : snapshots) {
        if (snap.id == id)
            return &snap;
    }
    return nullptr;
}

void SnapshotsPage::startOperation(const QString &loadingText)
{
    operationRunning = true;
    loading->setText(loadingText);
    loading->start();
}

void SnapshotsPage::finishOperation()
{
    loading->stop();
    operationRunning = false;
}

// Success texts are short-lived and not closable; they replace any details left
// over from an earlier failure.
void SnapshotsPage::showSuccess(const QString &text)
{
    banner->setDetails(QString(), QString());
    banner->setSemantic(TavrinUi::Success);
    banner->setClosable(false);
    banner->setText(text);
    banner->autoDismiss(3000);
}

void SnapshotsPage::showFailure(const QString &text, const QString &raw)
{
    showFeedbackWithDetails(TavrinUi::Danger, text, tr("完整输出"), failureDetails(raw), false);
}

void SnapshotsPage::onDelete(const QString &id)
{
    const Tavrin::SnapshotInfo *snap = operationRunning ? nullptr : findSnapshot(id);
    if (!snap || snap->isInitial)
        return;

    QPointer<SnapshotsPage> self(this);
    if (!confirmSnapshotDelete(this, *snap, shortText(snap->name)) || !self || operationRunning)
        return;

    startOperation(tr("正在删除备份..."));
    runAsync(
        [id] {
            const Tavrin::CommandResult r = Tavrin::deleteSnapshot(id);
            QVariantMap result;
            result.insert(QStringLiteral("ok"), r.ok);
            result.insert(QStringLiteral("msg"), r.error);
            result.insert(QStringLiteral("child"), r.runningChild);
            return QVariant(result);
        },
        [this](const QVariant &value) {
            const QVariantMap result = value.toMap();
            if (holdWhileChildRuns(result, [this] {
                    finishOperation();
                    refresh();
                }))
                return;
            finishOperation();
            if (result.value(QStringLiteral("ok")).toBool())
                showSuccess(tr("备份已删除，占用空间已释放。"));
            else
                showFailure(tr("删除失败，请查看详情了解具体原因。"),
                            result.value(QStringLiteral("msg")).toString());
            refresh();
        });
}

void SnapshotsPage::onRollback(const QString &id)
{
    if (operationRunning || !findSnapshot(id))
        return;
    // Copied: the list may be re-rendered while the check and the dialogs run.
    const Tavrin::SnapshotInfo snap = *findSnapshot(id);
    // The status tool may take its whole time-out: never on the GUI thread.
    startOperation(tr("正在检查可写层状态..."));
    runAsync(
        [] {
            QVariantMap checked;
            checked.insert(QStringLiteral("writable"), QVariant::fromValue(Tavrin::getWritableStatus()));
            checked.insert(QStringLiteral("cleanup"), Tavrin::readRetentionPrefs().rollbackClean);
            return QVariant(checked);
        },
        [this, snap](const QVariant &value) {
            finishOperation();
            const QVariantMap checked = value.toMap();
            confirmRollback(snap, checked.value(QStringLiteral("writable")).value<Tavrin::WritableStatus>(),
                            checked.value(QStringLiteral("cleanup")).toString());
        });
}

void SnapshotsPage::confirmRollback(const Tavrin::SnapshotInfo &snap, const Tavrin::WritableStatus &writable,
                                    const QString &cleanup)
{
    QPointer<SnapshotsPage> self(this);
    // Unknown is not "off": the tool would refuse, or worse, act on a layer nobody looked at.
    if (!writable.known()) {
        showFailure(tr("无法读取可写层状态，未执行还原。"), writable.error);
        return;
    }
    if (writable.enabled) {
        TavrinUi::ConfirmRequest req;
        req.title = tr("可写层冲突");
        req.message = tr("当前可写层（只读保护已关闭）处于开启状态，Tavrin会拒绝还原操作。\n"
                         "请先关闭可写层、恢复只读保护。");
        req.facts = {tr("要还原的备份: %1").arg(shortText(snap.name))};
        req.confirmText = tr("前往设置");
        req.tone = 0;
        if (TavrinUi::askConfirm(this, req) && self && window) {
            MainWindow *w = window;
            window->gotoPage(PageId::Protection, [w] {
                if (BasePage *page = w->page(PageId::Protection))
                    QMetaObject::invokeMethod(page, "highlightEnableProtect", Qt::DirectConnection);
            });
        }
        return;
    }

    int option = 0;
    TavrinUi::ConfirmRequest req;
    req.title = tr("还原到备份");
    req.message = tr("系统将还原到所选备份的状态，重启后生效。");
    req.facts = {tr("目标备份: %1").arg(shortText(snap.name)),
                 tr("创建时间: %1").arg(Tavrin::formatTime(snap.time)),
                 tr("描述: %1").arg(snap.desc.isEmpty() ? tr("无") : shortText(snap.desc, 120))};
    req.consequences = {tr("该备份之后对【系统层】的修改（安装的软件、系统配置）将丢失"),
                        tr("用户数据（/home 数据分区）不受影响"),
                        tr("还原期间请勿断电，系统会在失败时自动回退")};
    req.options = {tr("自动创建回滚前备份，保留待手动删除（推荐）"),
                   tr("自动创建，且系统重启 3 次正常后自动删除"), tr("不创建回滚前备份（不推荐）")};
    // The clean-up the preferences ask for comes first.
    req.defaultOption = cleanup == QLatin1String("reboot3") ? 1 : 0;
    req.selectedOption = &option;
    req.confirmText = tr("开始还原");
    req.cancelText = tr("取消");
    req.tone = 1;
    if (!TavrinUi::askConfirm(this, req) || !self)
        return;

    static const char *const strategies[] = {"manual", "reboot3", "none"};
    const QString strategy = QLatin1String(strategies[qBound(0, option, 2)]);
    doRollback(snap.id, snap.name, strategy);
}

void SnapshotsPage::doRollback(const QString &id, const QString &name, const QString &strategy)
{
    if (operationRunning)
        return;
    startOperation(tr("正在准备还原..."));

    const QString backupPrefix = tr("回滚前备份-");
    const QString backupDesc = tr("回滚到[%1]前的系统状态").arg(name);
    runAsync(
        [id, name, strategy, backupPrefix, backupDesc] {
            Tavrin::RollbackRequest request;
            request.targetId = id;
            request.targetName = name;
            request.strategy = strategy;
            request.bootedId = Tavrin::getBootedDeployId();
            if (strategy != QLatin1String("none")) {
                request.backupName =
                    backupPrefix + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
                request.backupDesc = backupDesc;
            }
            // One authorization for the backup, the clean-up, the rollback and its state.
            const Tavrin::RollbackOutcome outcome = Tavrin::rollBackToSnapshot(request);
            QVariantMap result;
            result.insert(QStringLiteral("ok"), outcome.ok);
            result.insert(QStringLiteral("rolledBack"), outcome.rolledBack);
            result.insert(QStringLiteral("msg"), outcome.error);
            result.insert(QStringLiteral("summary"), rollbackSummary(outcome));
            result.insert(QStringLiteral("backupId"), outcome.backupId);
            result.insert(QStringLiteral("child"), outcome.runningChild);
            return QVariant(result);
        },
        [this, name](const QVariant &value) {
            const QVariantMap result = value.toMap();
            if (holdWhileChildRuns(result, [this] {
                    finishOperation();
                    refresh();
                }))
                return;
            finishOperation();
            if (result.value(QStringLiteral("ok")).toBool()) {
                TavrinUi::ConfirmRequest req;
                req.title = tr("还原已就绪");
                req.message = tr("系统将在重启后自动还原到所选备份。请先保存您的工作。");
                req.facts = {tr("目标备份: %1").arg(shortText(name))};
                req.confirmText = tr("立即重启");
                req.cancelText = tr("稍后手动重启");
                req.tone = 0;
                QPointer<SnapshotsPage> self(this);
                const bool reboot = TavrinUi::askConfirm(this, req);
                if (!self)
                    return;
                if (reboot) {
                    Tavrin::startReboot();
                } else {
                    banner->setDetails(QString(), QString());
                    banner->setSemantic(TavrinUi::Warning);
                    banner->setClosable(true);
                    banner->setText(tr("还原已就绪，请稍后手动重启系统以生效。"));
                }
            } else if (result.value(QStringLiteral("rolledBack")).toBool()) {
                // Staged for the next boot: only what came after it is missing.
                showFeedbackWithDetails(TavrinUi::Warning, result.value(QStringLiteral("summary")).toString(),
                                        tr("完整输出"),
                                        failureDetails(result.value(QStringLiteral("msg")).toString()), false);
            } else {
                showFailure(result.value(QStringLiteral("summary")).toString(),
                            result.value(QStringLiteral("msg")).toString());
            }
            refresh();
        });
}

void SnapshotsPage::onRemoveSupersededBackup()
{
    if (operationRunning)
        return;
    const Tavrin::RollbackState state = supersededNotice->state();
    const QString backup =
        state.backupSnapshotName.isEmpty() ? state.backupSnapshotId : state.backupSnapshotName;
    TavrinUi::ConfirmRequest req;
    req.title = tr("删除安全备份");
    req.message = backup.isEmpty() ? tr("该还原已被升级取代，将清除它的还原记录。")
                                   : tr("该还原已被升级取代，其回滚前安全备份将被删除，且无法恢复。");
    if (!backup.isEmpty())
        req.facts = {tr("安全备份: %1").arg(shortText(backup))};
    req.confirmText = backup.isEmpty() ? tr("清除") : tr("删除");
    req.cancelText = tr("取消");
    req.tone = 2;
    QPointer<SnapshotsPage> self(this);
    if (!TavrinUi::askConfirm(this, req) || !self)
        return;
    startOperation(tr("正在删除安全备份..."));
    runAsync(
        [state] {
            const Tavrin::CommandResult r = Tavrin::removeSupersededBackup(state);
            return QVariant(QVariantMap{{QStringLiteral("ok"), r.ok},
                                        {QStringLiteral("msg"), r.error},
                                        {QStringLiteral("child"), r.runningChild}});
        },
        [this](const QVariant &value) {
            const QVariantMap result = value.toMap();
            if (holdWhileChildRuns(result, [this] {
                    finishOperation();
                    refresh();
                }))
                return;
            finishOperation();
            if (result.value(QStringLiteral("ok")).toBool())
                showSuccess(tr("安全备份已删除"));
            else
                showFailure(
                    tr("删除安全备份失败: %1")
                        .arg(Tavrin::friendlyExecError(result.value(QStringLiteral("msg")).toString())),
                    result.value(QStringLiteral("msg")).toString());
            refresh();
        });
}

QString SnapshotsPage::selectedSnapshotId() const
{
    const int row = table->currentRow();
    return row >= 0 && row < snapshots.size() && table->selectionModel()->isRowSelected(row) ? snapshots.at(row).id
                                                                                            : QString();
}
