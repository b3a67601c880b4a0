#pragma once

#include "backend/backend.h"

#include <QJsonArray>
#include <QJsonObject>

namespace Tavrin {

/// What the deployment staged for the next boot brings.
enum class StagedKind { None, Rollback, Upgrade, Unknown };

/// The staged deployment of `deploys` (hidden, not booted, with a commit), or nullptr.
const DeployInfo *stagedDeploy(const QList<DeployInfo> &deploys);

/// A staged deployment is the rollback when the rollback state names it; an
/// upgrade when its version is newer than the booted one; else Unknown.
StagedKind stagedKind(const QList<DeployInfo> &deploys, const RollbackState &state);

/// Outcome of discarding the staged deployment.
struct DiscardOutcome
{
    /// The helper ran (the authorization was given); false leaves the system as it was.
    bool authorized = false;
    bool ok = false;
    /// The staged deployment was the pending rollback, now marked "cancelled".
    bool rollbackCancelled = false;
    QString error;
    quint64 runningChild = 0;
};

/// The plan that discards `staged`: a pending rollback it carries is marked
/// "cancelled" first (undone when the undeploy fails), then "ostree admin
/// undeploy" of its index, which the helper runs only while that index is
/// still the staged commit. `stateFile` is the rollback state file's object
/// (empty when there is none).
QJsonArray discardStagedSteps(const DeployInfo &staged, const QJsonObject &stateFile);

/// Discards the staged deployment (one authorization).
DiscardOutcome discardStaged(const DeployInfo &staged);

} // namespace Tavrin
