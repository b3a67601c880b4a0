#pragma once

#include "backend/backend.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

/// The program's own snapshot retention preferences ("备份保留") and what they
/// mean for a new snapshot: which old ones go when it would pass the limit.
namespace Tavrin {

struct RetentionPrefs
{
    /// Most snapshots to keep; 0: no limit.
    int limit = 0;
    /// Remove the oldest ordinary snapshots beyond the limit when one is created.
    bool autoPrune = true;
    /// How the rollback's safety backup is cleaned up by default: "manual" or "reboot3".
    QString rollbackClean = QStringLiteral("manual");

    bool prunes() const { return limit > 0 && autoPrune; }
};

/// The preferences file the policy page writes ("config.json" in the user's
/// configuration directory, below "tavrin-manager").
QString appPreferencesPath();
/// The preferences in `bytes` (the file's content), with the defaults for
/// what is missing or of the wrong type; a negative limit is no limit.
RetentionPrefs retentionPrefsFromJson(const QByteArray &bytes);
/// The preferences as stored now; the defaults when the file is missing or unreadable.
RetentionPrefs readRetentionPrefs();

/// Most snapshots one creation removes: they share its single privileged plan.
int maxPrunedPerCreate();

/// What a creation does to stay within the limit.
struct PrunePlan
{
    /// Oldest first.
    QList<SnapshotInfo> remove;
    /// Snapshots still beyond the limit afterwards: the protected ones count
    /// but are never removed, and one creation removes at most
    /// maxPrunedPerCreate().
    int stillOver = 0;
};

/// The snapshots to remove when `adding` new ones join `snapshots` under
/// `limit` (0 or less: none): the oldest ordinary ones, never the initial
/// snapshot nor one whose id is in `keep` (the safety backup of a rollback),
/// at most `maxRemovals`.
PrunePlan planPruning(const QList<SnapshotInfo> &snapshots, int limit, int adding, const QStringList &keep,
                      int maxRemovals);

/// What became of a creation with removals.
struct PruningCreateOutcome
{
    /// The authorization was given and the helper ran; false: nothing changed.
    bool authorized = false;
    bool created = false;
    /// Ids removed, and ids that could not be removed (the new snapshot stays).
    QStringList removed;
    QStringList notRemoved;
    /// Message for the user with the tool's own text; empty when everything was done.
    QString error;
    quint64 runningChild = 0;
};

/// Creates a snapshot and then removes `removeIds`, under one authorization.
/// Nothing is removed unless the creation succeeded; a removal that fails does
/// not undo the creation nor stop the other removals.
PruningCreateOutcome createSnapshotPruning(const QString &name, const QString &desc,
                                           const QStringList &removeIds);

} // namespace Tavrin
