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

/// Space available to unprivileged users on the file system of "/"; -1 on failure.
qint64 systemDiskFreeBytes();

} // namespace Tavrin
