#include "deployspage.h"

#include "backend/freedspacecache.h"
#include "backend/reclaim.h"
#include "backend/staged.h"
#include "deploydeletedialog.h"
#include "deployrowdelegate.h"
#include "deploytable.h"
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

namespace {

int stagedValue(Tavrin::StagedKind kind)
{
    switch (kind) {
    case Tavrin::StagedKind::Rollback:
        return DeployRowDelegate::StagedRollback;
    case Tavrin::StagedKind::Upgrade:
        return DeployRowDelegate::StagedUpgrade;
    case Tavrin::StagedKind::Unknown:
        return DeployRowDelegate::StagedOther;
    case Tavrin::StagedKind::None:
        break;
    }
    return DeployRowDelegate::NotStaged;
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

    table = new DeployTable(content);
    table->setBusyCheck([this] { return operationRunning; });
    connect(table, &DeployTable::deleteRequested, this, &DeploysPage::onUndeploy);
    connect(table, &DeployTable::discardRequested, this, &DeploysPage::onDiscard);
    table->widget()->setVisible(false);
    layout->addWidget(table->widget(), 1);

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
            // The rollback state tells a staged rollback from an upgrade.
            const Tavrin::StagedKind kind =
                read.ok ? Tavrin::stagedKind(read.deploys, Tavrin::getRollbackState()) : Tavrin::StagedKind::None;
            QVariantMap payload;
            payload.insert(QStringLiteral("staged"), stagedValue(kind));
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
    table->clear();
    table->widget()->setVisible(false);
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
    staged = map.value(QStringLiteral("staged")).toInt();
    int booted = 0;
    int deletable = 0;
    for (const Tavrin::DeployInfo &d : std::as_const(deploys)) {
        booted += d.isBooted ? 1 : 0;
        deletable += Tavrin::isDeployDeletable(d) ? 1 : 0;
    }
    setCards(QString::number(deploys.size()), QString::number(booted), QString::number(deletable));
    table->widget()->setVisible(!deploys.isEmpty());
    emptyState->setVisible(deploys.isEmpty());
    table->setRows(deploys, staged);
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
    return table->selectedCommit();
}
