// The deployments page's discard of the deployment staged for the next boot.
#include "backend/staged.h"
#include "deployrowdelegate.h"
#include "deployspage.h"
#include "ui/components.h"
#include "ui/confirmdialog.h"

#include <QPointer>

void DeploysPage::onDiscard(const QString &commit)
{
    const Tavrin::DeployInfo *found = findDeploy(commit);
    if (!found || !found->hidden || found->isBooted)
        return;
    // Copied: a reload may replace the list while the dialog is open.
    const Tavrin::DeployInfo d = *found;
    const QString name = d.version.isEmpty() ? d.commit.left(12) : d.version;

    TavrinUi::ConfirmRequest req;
    req.title = tr("放弃待生效部署");
    if (staged == DeployRowDelegate::StagedRollback)
        req.message = tr("放弃后，重启电脑时仍启动当前系统，这次还原不会生效。回滚前安全备份会保留，"
                         "可在「系统快照」页手动删除。此操作不可撤销。");
    else if (staged == DeployRowDelegate::StagedUpgrade)
        req.message = tr("放弃后，重启电脑时仍启动当前系统，这次升级不会生效，需要时可以重新升级。此操作不可撤销。");
    else
        req.message = tr("放弃后，重启电脑时仍启动当前系统，待生效的部署会被删除。此操作不可撤销。");
    req.facts = {tr("系统版本: %1").arg(name), tr("部署时间: %1").arg(Tavrin::formatTime(d.time)),
                 tr("提交ID: %1").arg(d.commit.left(12) + QStringLiteral("..."))};
    req.confirmText = tr("放弃部署");
    req.cancelText = tr("取消");
    req.tone = 2;
    QPointer<DeploysPage> self(this);
    if (!TavrinUi::askConfirm(this, req) || !self || operationRunning)
        return;

    operationRunning = true;
    loading->setText(tr("正在放弃待生效部署..."));
    loading->start();
    runAsync(
        [d] {
            const Tavrin::DiscardOutcome outcome = Tavrin::discardStaged(d);
            QVariantMap result;
            result.insert(QStringLiteral("ok"), outcome.ok);
            result.insert(QStringLiteral("authorized"), outcome.authorized);
            result.insert(QStringLiteral("cancelled"), outcome.rollbackCancelled);
            result.insert(QStringLiteral("msg"), outcome.error);
            result.insert(QStringLiteral("child"), outcome.runningChild);
            return QVariant(result);
        },
        [this](const QVariant &value) { onDiscarded(value.toMap()); });
}

void DeploysPage::onDiscarded(const QVariantMap &result)
{
    if (holdWhileChildRuns(result, [this] {
            loading->stop();
            operationRunning = false;
            refresh();
        }))
        return;
    loading->stop();
    operationRunning = false;
    const QString msg = result.value(QStringLiteral("msg")).toString();
    if (result.value(QStringLiteral("ok")).toBool()) {
        showFeedback(TavrinUi::Success,
                     result.value(QStringLiteral("cancelled")).toBool()
                         ? tr("已放弃待生效的还原，重启后仍启动当前系统。回滚前安全备份已保留，可在「系统快照」页手动删除。")
                         : tr("已放弃待生效的部署，重启后仍启动当前系统。"),
                     false);
    } else if (!result.value(QStringLiteral("authorized")).toBool()) {
        showFeedbackWithDetails(TavrinUi::Warning, tr("没有获得管理员授权，待生效的部署保持不变。"), tr("完整输出"),
                                msg, false);
    } else {
        showFeedbackWithDetails(TavrinUi::Danger, tr("放弃待生效部署失败，系统未做任何更改。"), tr("完整输出"), msg,
                                false);
    }
    refresh();
}
