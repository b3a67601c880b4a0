#pragma once

#include <QList>
#include <QString>

/// The states a person can compare: snapshots and deployments, each with the
/// commit its tree is in.
namespace Tavrin {

struct CompareState
{
    enum Kind { Snapshot, Deployment };
    Kind kind = Snapshot;
    /// Snapshot id, or the deployment's commit.
    QString id;
    /// Name of the snapshot, or version of the deployment.
    QString label;
    /// "" when the state has no commit in the repository.
    QString commit;
    qint64 time = 0;
    bool isBooted = false;
    /// Staged for the next boot.
    bool isStaged = false;
};

struct CompareStateList
{
    QList<CompareState> states;
    /// The control tool's failure, with its text; "" when both lists were read.
    QString error;
};

/// Snapshots (with the commits of their refs), then deployments.
CompareStateList listCompareStates();

/// The booted deployment of `list`, or null.
const CompareState *bootedState(const CompareStateList &list);
/// The deployment staged for the next boot, or null.
const CompareState *stagedState(const CompareStateList &list);

} // namespace Tavrin
