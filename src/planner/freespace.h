#pragma once

#include "backend/backend.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

/// What can be removed to free space on the system disk, what each removal
/// frees, and the removal of a chosen set under one authorization. Blocking
/// free functions: callers run them on Tavrin::taskPool().
namespace Tavrin::FreeSpace {

class Texts
{
    Q_DECLARE_TR_FUNCTIONS(FreeSpace)
};

enum class Kind { Snapshot, Deployment, UpgradeCache };

/// One thing the planner offers to remove.
struct Candidate
{
    Kind kind = Kind::Snapshot;
    /// Snapshot id, deployment commit, or "" for the upgrade cache.
    QString id;
    QString title;
    /// Seconds since the epoch; 0 when it has none (the cache).
    qint64 time = 0;
};

/// The candidates of one group, or why they could not be read.
struct Group
{
    Kind kind = Kind::Snapshot;
    bool ok = false;
    QString error;
    QList<Candidate> items;
};

/// Everything the planner shows before any size is known.
struct Inventory
{
    /// Snapshots (oldest first), deployments, the upgrade cache: always three.
    QList<Group> groups;
    /// Free space of the system disk; -1 when it could not be read.
    qint64 freeBytes = -1;
    /// Every snapshot as read, for the size computation (what a snapshot
    /// shares with the ones not offered decides what it frees).
    QList<SnapshotInfo> snapshots;
};

/// What removing a candidate frees.
struct Size
{
    /// -1: not measurable ("未知").
    qint64 bytes = -1;
    /// Only part could be measured: the removal frees at least `bytes`.
    bool atLeast = false;
};

/// Reads snapshots, deployments, the rollback state and the upgrade cache.
/// Never offered: the initial snapshot, the backup snapshot of a pending
/// rollback, the booted and the staged deployment.
Inventory readInventory();

/// The pure filter behind readInventory(), over answers already read.
QList<Candidate> snapshotCandidates(const QList<SnapshotInfo> &snapshots, const RollbackState &state);
QList<Candidate> deploymentCandidates(const QList<DeployInfo> &deploys);

/// Sizes of every candidate of `inventory`, keyed by keyOf(). Uses the
/// snapshot and deployment size computations of the backend (and their caches).
QHash<QString, Size> measure(const Inventory &inventory);

/// The upgrade cache: bytes of its files (atLeast when part of it cannot be read).
Size upgradeCacheSize();
/// Whether the upgrade cache holds any file.
bool upgradeCacheHasFiles();

/// Key of a candidate in size maps and selections.
QString keyOf(const Candidate &c);

/// The helper's plan that removes `items` in order, one step each.
QJsonArray removalSteps(const QList<Candidate> &items);

/// What became of one item.
enum class ItemStatus { Done, Failed, NotRun };

struct Outcome
{
    /// The authorization was given and the helper ran; false: nothing changed.
    bool authorized = false;
    bool ok = false;
    /// One entry per requested item, in order.
    QList<ItemStatus> statuses;
    /// The tool's text for the failed item ("" when none failed).
    QString failure;
    /// Message for the user when not `ok`.
    QString error;
};

/// Removes `items` in order with one authorization. A failure stops there:
/// the items after it are left as they were.
Outcome remove(const QList<Candidate> &items);

/// "至少 1.50 MB", "1.50 MB" or "未知".
QString sizeText(const Size &size);

} // namespace Tavrin::FreeSpace
