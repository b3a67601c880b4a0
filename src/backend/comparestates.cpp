#include "backend/comparestates.h"

#include "backend/backend_p.h"
#include "backend/treediff.h"

namespace Tavrin {

CompareStateList listCompareStates()
{
    CompareStateList list;
    const SnapshotListResult snapshots = readSnapshots();
    if (!snapshots.ok)
        list.error = snapshots.error;
    for (const SnapshotInfo &s : snapshots.snapshots)
        list.states.append({CompareState::Snapshot, s.id, s.name, snapshotCommit(s.id), s.time, false, false});
    const CommandResult status =
        runProcess(ctlPath(), {QStringLiteral("admin"), QStringLiteral("status"), QStringLiteral("-j")}, 60000, false);
    if (!status.ok) {
        if (!list.error.isEmpty())
            list.error += QLatin1Char('\n');
        list.error += friendlyExecError(status.error);
        return list;
    }
    for (const DeployInfo &d : parseDeployList(status.output))
        list.states.append({CompareState::Deployment, d.commit, d.version, d.commit, d.time, d.isBooted,
                            d.hidden && !d.isBooted});
    return list;
}

const CompareState *bootedState(const CompareStateList &list)
{
    for (const CompareState &s : list.states)
        if (s.kind == CompareState::Deployment && s.isBooted)
            return &s;
    return nullptr;
}

const CompareState *stagedState(const CompareStateList &list)
{
    for (const CompareState &s : list.states)
        if (s.kind == CompareState::Deployment && s.isStaged)
            return &s;
    return nullptr;
}

} // namespace Tavrin
