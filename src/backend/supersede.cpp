#include "backend/backend_p.h"
#include "backend/privplan.h"
#include "backend/reclaim.h"

namespace Tavrin {

namespace {

const QString kStateFile = QStringLiteral("/var/lib/tavrin-manager/rollback-state.json");

bool pendingWithCommit(const RollbackState &state)
{
    return state.valid && state.status == QLatin1String("pending") && !state.rollbackCommit.isEmpty();
}

} // namespace

bool rollbackSuperseded(const RollbackState &state, const QList<DeployInfo> &deploys)
{
    // A system always has a booted deployment: an empty list is a failed read.
    if (!pendingWithCommit(state) || deploys.isEmpty())
        return false;
    bool present = false;
    QString booted;
    QString staged;
    for (const DeployInfo &d : deploys) {
        present = present || d.commit == state.rollbackCommit;
        if (d.isBooted)
            booted = d.commit;
        else if (d.hidden && staged.isEmpty())
            staged = d.commit;
    }
    if (!present)
        return true;
    return !staged.isEmpty() && staged != state.rollbackCommit && booted != state.rollbackCommit;
}

StagedRollback readStagedRollback()
{
    StagedRollback staged;
    const RollbackState state = getRollbackState();
    if (!pendingWithCommit(state))
        return staged;
    const DeployListRead read = readDeployList();
    if (!read.ok || stagedDeployFromList(read.deploys) != state.rollbackCommit)
        return staged;
    staged.staged = true;
    staged.targetId = state.rollbackTarget;
    staged.targetName = state.rollbackTargetName;
    staged.backupName = state.backupSnapshotName;
    return staged;
}

CommandResult removeSupersededBackup(const RollbackState &state)
{
    QJsonArray steps;
    if (!state.backupSnapshotId.isEmpty()) {
        bool exists = false;
        for (const SnapshotInfo &s : getSnapshots())
            exists = exists || s.id == state.backupSnapshotId;
        if (exists)
            steps.append(Plan::runStep(
                QStringLiteral("ctl"),
                {QStringLiteral("snapshot"), QStringLiteral("delete"), state.backupSnapshotId}, 600000));
    }
    steps.append(Plan::removeStep(kStateFile));
    return planResult(runPlan(steps, 0));
}

} // namespace Tavrin
