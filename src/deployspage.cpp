#include "deployspage.h"

#include "backend/freedspacecache.h"
#include "backend/reclaim.h"
#include "deploydeletedialog.h"
#include "mainwindow.h"
#include "scrollpage.h"
#include "ui/components.h"
#include "ui/pageblocks.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

#include "zlabel.h"
#include "zwarningbutton.h"

namespace {

constexpr int kColumnCount = 6;
constexpr int kActionColumn = 5;
constexpr int kActionMinWidth = 120;
constexpr int kVersionMinWidth = 140;

struct Status
{
    QString text;
    TavrinUi::Semantic semantic;
    QString tip;
    QString deleteTip;
};

Status statusOf(const Tavrin::DeployInfo &d)
{
    const QString deletableTip =
        d.commit.isEmpty() ? DeploysPage::tr("该部署缺少标识信息，无法删除，请刷新列表后重试。")
                           : DeploysPage::tr("删除该部署实例以释放磁盘空间，删除后该系统将无法再启动。");
    if (d.isBooted)
        return {DeploysPage::tr("当前启动"), TavrinUi::Accent,
                DeploysPage::tr("此刻正在运行的系统，受系统保护，不能删除。"),
                DeploysPage::tr("这是当前正在运行的系统，不能删除。")};
    if (d.hidden)
        return {
            DeploysPage::tr("待生效"), TavrinUi::Warning,
            DeploysPage::tr("系统更新后待生效的新系统，重启电脑后才会启用，届时它会变成「当前启动」。"
                            "受系统保护，不能删除。"),
            DeploysPage::tr("这是系统更新后待生效的新系统，重启电脑后才会启用，目前受系统保护，不能删除。")};
    if (d.isRollbackBackup)
        return {DeploysPage::tr("回滚备份"), TavrinUi::Warning,
                DeploysPage::tr("还原系统时自动创建的安全部署，确认系统正常后可以删除。"), deletableTip};
    return {DeploysPage::tr("历史"), TavrinUi::Muted,
            DeploysPage::tr("已不再使用的旧系统，可删除以释放磁盘空间。"), deletableTip};
}

QTableWidgetItem *centredItem(const QString &text, const QString &tip)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setToolTip(tip);
    return item;
}

} // namespace

DeploysPage::DeploysPage(MainWindow *window, QWidget *parent)
    : BasePage(parent ? parent : window), window(window)
{
    useLoadingMask = false;
    freedFigures = new Tavrin::FreedSpaceCache(this);

    const ScrollPage frame = buildScrollPage(this, 12);
    auto *scroll = frame.scroll;
    QWidget *content = frame.content;
    QVBoxLayout *layout = frame.layout;

    banner = new TavrinUi::TavrinInlineBanner(content);
    banner->setVisible(false);
    feedbackBanner = banner;
    layout->addWidget(banner);

    cardRow = new TavrinUi::TavrinResponsiveCardRow(3, content);
    totalCard = new TavrinUi::TavrinStateCard(tr("部署总数"), cardRow);
    bootedCard = new TavrinUi::TavrinStateCard(tr("当前启动"), cardRow);
    deletableCard = new TavrinUi::TavrinStateCard(tr("可删除部署"), cardRow);
    cardRow->addCard(totalCard);
    cardRow->addCard(bootedCard);
    cardRow->addCard(deletableCard);
    layout->addWidget(cardRow);
    setCards(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"));

    loading = new TavrinUi::TavrinLocalLoading(tr("正在读取部署状态..."), content);
    loading->stop();
    layout->addWidget(loading);

    table = TavrinUi::makeRecordTable(
        {tr("索引"), tr("版本号"), tr("状态"), tr("部署时间"), tr("提交ID"), tr("操作")}, tr("系统部署列表"),
        content);
    Q_ASSERT(table->columnCount() == kColumnCount);
    table->setObjectName(QStringLiteral("tavrinDeployTable"));
    table->setMinimumSize(320, 260);
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, &DeploysPage::onSectionResized);
    table->viewport()->installEventFilter(this);
    table->setVisible(false);
    layout->addWidget(table, 1);

    emptyState = new TavrinUi::TavrinEmptyState(content);
    emptyState->setIcon(QStringLiteral("system-upgrade"));
    emptyState->setTitle(tr("暂无系统部署实例"));
    emptyState->setDescription(tr("每次系统升级或回滚都会生成一个新的可启动系统（部署实例）。"));
    emptyState->setVisible(false);
    layout->addWidget(emptyState);

    // A failed read is not an empty system: say so and offer the read again.
    failState = new TavrinUi::TavrinEmptyState(content);
    failState->setObjectName(QStringLiteral("tavrinDeployReadFailure"));
    failState->setIcon(QStringLiteral("dialog-error"));
    failState->setTitle(tr("无法读取部署列表"));
    QPushButton *retry = failState->addAction(tr("重试"), true);
    retry->setAccessibleName(tr("重新读取部署列表"));
    connect(retry, &QPushButton::clicked, this, &DeploysPage::refresh);
    failState->setVisible(false);
    layout->addWidget(failState);

    ZLabel *hint = TavrinUi::makeLabel(tr("提示：带「当前启动」「待生效」标记的部署受系统保护，不能删除；"
                                          "要回到某个时间点，请到「系统快照」页还原。"),
                                       TavrinUi::Body, TavrinUi::Muted);
    hint->setObjectName(QStringLiteral("tavrinRowDesc"));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    scroll->setWidget(content);
    registerResponsiveCardRow(cardRow, scroll, 48);
}

void DeploysPage::setCards(const QString &total, const QString &booted, const QString &deletable)
{
    totalCard->setValue(total, TavrinUi::Normal, TavrinUi::Hero);
    bootedCard->setValue(booted,
                         booted == QLatin1String("0") || booted == QLatin1String("-") ? TavrinUi::Normal
                                                                                      : TavrinUi::Accent,
                         TavrinUi::Hero);
    deletableCard->setValue(deletable, TavrinUi::Normal, TavrinUi::Hero);
}

void DeploysPage::refresh()
{
    if (operationRunning)
        return;
    loading->setText(tr("正在读取部署状态..."));
    loading->start();
    runAsyncQuiet(
        [] {
            const Tavrin::DeployListRead read = Tavrin::readDeployList();
            QVariantMap payload;
            payload.insert(QStringLiteral("ok"), read.ok);
            payload.insert(QStringLiteral("list"), QVariant::fromValue(read.deploys));
            payload.insert(QStringLiteral("msg"), read.error);
            payload.insert(QStringLiteral("raw"), read.rawOutput);
            return QVariant(payload);
        },
        [this](const QVariant &payload) {
            loading->stop();
            onLoaded(payload);
        });
}

void DeploysPage::showReadFailure(const QString &error, const QString &raw)
{
    deploys.clear();
    table->setRowCount(0);
    table->setVisible(false);
    emptyState->setVisible(false);
    setCards(QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"));
    const QString text = Tavrin::friendlyExecError(error);
    failState->setDescription(text.isEmpty() ? tr("未知错误") : text);
    failState->setVisible(true);
    showFeedbackWithDetails(TavrinUi::Danger, tr("读取部署列表失败，请查看详情了解具体原因。"),
                            tr("完整输出"), raw.isEmpty() ? error : raw, false);
}

void DeploysPage::onLoaded(const QVariant &payload)
{
    const QVariantMap map = payload.toMap();
    if (!map.value(QStringLiteral("ok")).toBool()) {
        showReadFailure(map.value(QStringLiteral("msg")).toString(),
                        map.value(QStringLiteral("raw")).toString());
        return;
    }
    failState->setVisible(false);
    // A failure banner left from an earlier read is no longer true.
    if (banner->isVisible() && banner->semantic() == TavrinUi::Danger &&
        banner->text() == tr("读取部署列表失败，请查看详情了解具体原因。"))
        banner->setVisible(false);

    deploys = map.value(QStringLiteral("list")).value<QList<Tavrin::DeployInfo>>();
    QStringList commits;
    for (const Tavrin::DeployInfo &d : std::as_const(deploys))
        commits.append(d.commit);
    // Another list: every "frees" figure may have changed.
    freedFigures->setDeployments(commits);
    table->setRowCount(0);
    int booted = 0;
    int deletable = 0;
    for (const Tavrin::DeployInfo &d : std::as_const(deploys)) {
        booted += d.isBooted ? 1 : 0;
        deletable += Tavrin::isDeployDeletable(d) ? 1 : 0;
    }
    setCards(QString::number(deploys.size()), QString::number(booted), QString::number(deletable));
    table->setVisible(!deploys.isEmpty());
    emptyState->setVisible(deploys.isEmpty());

    for (int i = 0; i < deploys.size(); ++i) {
        const Tavrin::DeployInfo &d = deploys.at(i);
        table->insertRow(i);
        table->setItem(i, 0, centredItem(QString::number(i), QString()));

        const QString version = d.version.isEmpty() ? QStringLiteral("-") : d.version;
        auto *versionCell = new QWidget(table);
        auto *versionLayout = new QHBoxLayout(versionCell);
        versionLayout->setContentsMargins(6, 2, 6, 2);
        versionLayout->setSpacing(8);
        auto *versionLabel = new Ui::ElidedLabel(QString(), versionCell);
        versionLabel->setTextFormat(Qt::PlainText);
        versionLabel->setText(version);
        if (d.isBooted) {
            QFont bold = versionLabel->font();
            bold.setWeight(QFont::Bold);
            versionLabel->setFont(bold);
        }
        versionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        versionLabel->setToolTip(version);
        versionLabel->setAccessibleName(version);
        versionLayout->addWidget(versionLabel, 1);
        auto *versionItem = new QTableWidgetItem(version);
        versionItem->setForeground(Qt::transparent);
        table->setItem(i, 1, versionItem);
        table->setCellWidget(i, 1, versionCell);

        const Status status = statusOf(d);
        QTableWidgetItem *statusItem = centredItem(status.text, status.tip);
        statusItem->setForeground(TavrinUi::semanticColor(status.semantic));
        table->setItem(i, 2, statusItem);

        const QString time = Tavrin::formatTime(d.time);
        table->setItem(i, 3, centredItem(time, time));
        table->setItem(i, 4, centredItem(d.commit.left(16) + QStringLiteral("..."), d.commit));

        auto *actions = new QWidget(table);
        auto *actionLayout = new QHBoxLayout(actions);
        actionLayout->setContentsMargins(4, 2, 4, 2);
        actionLayout->setSpacing(6);
        auto *remove = new ZWarningButton(actions);
        remove->setText(tr("删除部署"));
        remove->setCursor(Qt::PointingHandCursor);
        remove->setEnabled(Tavrin::isDeployDeletable(d));
        remove->setToolTip(status.deleteTip);
        remove->setAccessibleName(tr("删除部署：%1").arg(version));
        const QString commit = d.commit;
        connect(remove, &QPushButton::clicked, this, [this, commit] {
            if (!commit.isEmpty())
                onUndeploy(commit);
        });
        actionLayout->addWidget(remove);
        actionLayout->addStretch(1);
        table->setItem(i, kActionColumn, new QTableWidgetItem());
        table->setCellWidget(i, kActionColumn, actions);
    }

    applyColumnWidths();
    TavrinUi::finalizeTableAccessible(table);
}

void DeploysPage::applyColumnWidths()
{
    if (columnsApplied)
        return;
    columnsApplied = true;
    const int widths[kColumnCount] = {50, 210, 90, 140, 100, 120};
    for (int i = 0; i < kColumnCount; ++i)
        table->setColumnWidth(i, widths[i]);
    fitVersionColumn();
}

// The version column takes the width the fixed columns leave, so the table
// has no empty strip at its right edge.
void DeploysPage::fitVersionColumn()
{
    if (!columnsApplied)
        return;
    int others = 0;
    for (int i = 0; i < kColumnCount; ++i)
        others += i == 1 ? 0 : table->columnWidth(i);
    table->setColumnWidth(1, qMax(210, table->viewport()->width() - others));
}

bool DeploysPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == table->viewport() && event->type() == QEvent::Resize)
        fitVersionColumn();
    return BasePage::eventFilter(watched, event);
}

void DeploysPage::onSectionResized(int logicalIndex, int, int newSize)
{
    if (logicalIndex == kActionColumn && newSize < kActionMinWidth)
        table->setColumnWidth(kActionColumn, kActionMinWidth);
    else if (logicalIndex == 1 && newSize <= kVersionMinWidth - 1)
        table->setColumnWidth(1, kVersionMinWidth);
}

const Tavrin::DeployInfo *DeploysPage::findDeploy(const QString &commit) const
{
    if (commit.isEmpty())
        return nullptr;
    for (const Tavrin::DeployInfo &d : deploys) {
        if (d.commit == commit)
            return &d;
    }
    return nullptr;
}

QString DeploysPage::humanizeUndeployError(const QString &raw)
{
    const QString lower = raw.toLower();
    auto any = [&lower](std::initializer_list<const char *> needles) {
        for (const char *n : needles) {
            if (lower.contains(QString::fromUtf8(n)))
                return true;
        }
        return false;
    };
    if (any({"replacement mainline", "替换主线", "待生效"}))
        return tr("该版本是系统更新后待生效的新系统，重启电脑后才会启用，目前受系统保护，无法删除。");
    if (any({"current deployment", "last visible", "当前部署", "正在使用"}))
        return tr("这是当前正在运行的系统版本，无法删除。");
    if (any({"out of range", "not exist", "不存在", "no such"}))
        return tr("找不到对应的系统版本（索引越界或已不存在），请刷新列表后重试。");
    if (any({"not authorized", "需要密码", "authentication", "授权", "密码"}))
        return tr("没有获得管理员授权，删除未执行。请确认已正确输入密码；若仍失败，请检查系统的授权（polkit）"
                  "设置。");
    return tr("删除失败，请查看详情了解具体原因。");
}

void DeploysPage::onUndeploy(const QString &commit)
{
    const Tavrin::DeployInfo *found = findDeploy(commit);
    if (!found)
        return;
    // Copied: a reload may replace the list while the dialog is open.
    const Tavrin::DeployInfo d = *found;

    QPointer<DeploysPage> self(this);
    if (!confirmDeployDelete(this, d, freedFigures) || !self || operationRunning)
        return;

    operationRunning = true;
    loading->setText(tr("正在删除部署..."));
    loading->start();
    runAsync(
        [commit] {
            const Tavrin::CommandResult r = Tavrin::undeploy(commit);
            QVariantMap result;
            result.insert(QStringLiteral("ok"), r.ok);
            result.insert(QStringLiteral("msg"), r.error);
            result.insert(QStringLiteral("child"), r.runningChild);
            return QVariant(result);
        },
        [this](const QVariant &value) {
            const QVariantMap result = value.toMap();
            if (holdWhileChildRuns(result, [this] {
                    loading->stop();
                    operationRunning = false;
                    freedFigures->invalidate();
                    refresh();
                }))
                return;
            loading->stop();
            operationRunning = false;
            freedFigures->invalidate();
            if (result.value(QStringLiteral("ok")).toBool()) {
                banner->setDetails(QString(), QString());
                banner->setSemantic(TavrinUi::Success);
                banner->setClosable(false);
                banner->setText(tr("部署已删除，占用空间已释放。"));
                banner->autoDismiss(3000);
            } else {
                const QString msg = result.value(QStringLiteral("msg")).toString();
                showFeedbackWithDetails(TavrinUi::Danger, humanizeUndeployError(msg), tr("完整输出"), msg,
                                        false);
            }
            refresh();
        });
}

QString DeploysPage::selectedCommit() const
{
    const int row = table->currentRow();
    return row >= 0 && row < deploys.size() && table->selectionModel()->isRowSelected(row) ? deploys.at(row).commit
                                                                                          : QString();
}
