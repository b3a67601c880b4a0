#pragma once

#include "backend/backend.h"

/// What the pages need to know before they remove something or fill the disk:
/// the deployment list with the tool's own text when it cannot be read, the
/// space a deployment's removal frees, and the free space of the system disk.
namespace Tavrin {

/// The "admin status" answer read for display: a failure keeps the tool's text
/// so that the page can show it instead of an empty list.
struct DeployListRead
{
    bool ok = false;
    QList<DeployInfo> deploys;
    /// Message for the user; empty when `ok` is true.
    QString error;
    /// The tool's standard output and error, for the details.
    QString rawOutput;
};

/// Reads the deployments; `ok` is false when the tool fails or answers
/// something that is not a deployment list.
DeployListRead readDeployList();

/// Bytes of the tree of the deployment with commit `commit` that no other
/// deployment or snapshot keeps, i.e. what removing it frees; -1 when it cannot
/// be known (no such deployment ref, a tree that cannot be listed).
qint64 deployFreedBytes(const QString &commit);

/// The deployment and snapshot refs of the system repository as one text:
/// what a deployment's removal frees depends on all of them, so a figure
/// computed under other refs is stale.
QString repoRefsSignature();

/// What removing a deployment frees, with the refs it was computed under.
struct FreedFigure
{
    MeasuredSize size;
    QString refs;
};

/// The same as deployFreedBytes with the reason when it is unknown.
FreedFigure measureDeployFreed(const QString &commit);

/// Space available to unprivileged users on the file system of "/"; -1 on failure.
qint64 systemDiskFreeBytes();

} // namespace Tavrin
