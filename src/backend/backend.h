#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QStringList>

/// The system control backend: blocking free functions that drive the immutable
/// system's tools and files and return plain records. Every function may run a
/// child process and wait for it, so callers run them on a worker thread.
/// Nothing here throws; failures travel in `CommandResult` or as empty values.
namespace Tavrin {

/// Outcome of one external command.
struct CommandResult
{
    /// True only when the command (or its elevated retry) exited normally with 0.
    bool ok = false;
    /// The exit code; -1 when the process never started or timed out.
    int exitCode = -1;
    /// Standard output, UTF-8, trimmed.
    QString output;
    /// Standard error, UTF-8, trimmed.
    QString errorOutput;
    /// Message for the user; empty when `ok` is true.
    QString error;
    /// A root child that outlived its time-out and still runs (the user may
    /// not stop it): its id for childStillRunning(); 0 when there is none.
    quint64 runningChild = 0;
};

/// Whether the root child `id` of a timed-out command is still at work.
bool childStillRunning(quint64 id);

/// One snapshot as the control tool lists it.
struct SnapshotInfo
{
    QString id;
    QString name;
    QString desc;
    /// Creation time, seconds since the epoch (0 when unknown).
    qint64 time = 0;
    /// The system's initial snapshot (name contains "First" or the description
    /// contains "System initialization").
    bool isInitial = false;
};

/// Snapshot id -> (extra bytes of the snapshot directory, bytes of the tree no
/// reference tree contains).
using SnapshotSizeMap = QMap<QString, QPair<qint64, qint64>>;

/// A size with how much of it could be measured: a directory only root may
/// read, or a tree that cannot be listed, leaves it partial or unknown, and
/// such a figure is never to be shown as exact.
struct MeasuredSize
{
    enum State { Complete, Partial, Unknown };
    /// Exact when Complete; what could be measured (a lower bound) when
    /// Partial; 0 when Unknown.
    qint64 bytes = 0;
    State state = Unknown;
    /// Why it is not complete, with the tool's own text; "" when complete.
    QString error;

    static MeasuredSize exact(qint64 bytes);
    /// Partial; a lower bound of 0 says nothing, so that is Unknown.
    static MeasuredSize atLeast(qint64 bytes, const QString &error);
    static MeasuredSize unknown(const QString &error);

    bool complete() const { return state == Complete; }
    bool known() const { return state != Unknown; }
    /// The sum of two parts: complete only when both are, unknown when
    /// neither tells anything; the errors of both are kept.
    MeasuredSize plus(const MeasuredSize &other) const;
    bool operator==(const MeasuredSize &other) const
    {
        return bytes == other.bytes && state == other.state && error == other.error;
    }
};

/// "12.00 KB", "至少 12.00 KB" or "未知".
QString formatMeasuredSize(const MeasuredSize &size);

/// The disk use of one snapshot: its directory's own data and the objects of
/// its tree no other deployment or snapshot keeps.
struct SnapshotSize
{
    MeasuredSize extra;
    MeasuredSize unique;
    MeasuredSize total() const { return extra.plus(unique); }
    bool operator==(const SnapshotSize &other) const
    {
        return extra == other.extra && unique == other.unique;
    }
};
using SnapshotSizes = QMap<QString, SnapshotSize>;

/// One deployment of the "admin status" answer.
struct DeployInfo
{
    QString version;
    QString commit;
    /// Seconds since the epoch.
    qint64 time = 0;
    bool isBooted = false;
    bool isRollbackBackup = false;
    int index = 0;
    bool hidden = false;
};

/// Sizes of the repositories, each with what could be measured of it.
struct RepoSizes
{
    MeasuredSize systemRepo;
    MeasuredSize persistentRepo;
    MeasuredSize snapshotDir;
    /// Space available to unprivileged users on the file system of "/".
    MeasuredSize rootAvailable;
};

/// The parsed rollback state file.
struct RollbackState
{
    QString rollbackTarget;
    QString rollbackTargetName;
    QString backupSnapshotId;
    QString backupSnapshotName;
    QString originalBooted;
    /// Commit of the deployment the rollback staged ("rollback_commit"); only its
    /// boot moves a "reboot3" state from "pending" to "active".
    QString rollbackCommit;
    QString strategy;
    /// "pending", "active", "done", "failed" or "cancelled".
    QString status;
    int rebootCount = 0;
    int rebootLimit = 3;
    qint64 createdAt = 0;
    /// True when the file was read and held a non-empty JSON object.
    bool valid = false;
};

/// State of the temporary writable layer.
struct WritableStatus
{
    bool enabled = false;
    bool clearAfterReboot = false;
    /// The tool's whole "conf" object (empty on failure).
    QJsonObject conf;
    /// Why the state is unknown (the tool's own text), "" when it was read.
    QString error;

    /// The tool said whether the layer is on; a "conf" without a boolean
    /// "enable" tells nothing.
    bool known() const { return conf.value(QLatin1String("enable")).isBool(); }
};

// ---------------------------------------------------------------- helpers

/// Maps a raw failure text (pkexec, sudo, a tool's standard error) to a text for
/// the user; an unknown text is returned trimmed.
QString friendlyExecError(const QString &message);

/// The value of the first key of `keys` that `object` contains, converted with
/// QJsonValue::toString() (a non-string yields ""); `fallback` when none is present.
QString jsonField(const QJsonObject &object, const QList<QString> &keys, const QString &fallback = QString());

/// "512 B", "1.50 KB", … up to "TB" (two decimals above bytes).
QString formatSize(qint64 bytes);

/// Local time as "yyyy-MM-dd HH:mm:ss"; "-" for 0 or a negative value.
QString formatTime(qint64 epochSeconds);

/// The running kernel's release ("" when uname fails).
QString getKernel();

/// Whether the system runs in immutable mode; true unless the control tool
/// clearly says "Immutable mode: false".
bool isImmutable();

/// The control tool's "Immutable mode:" answer, or why it could not be read.
struct ImmutableRead
{
    bool ok = false;
    bool immutable = false;
    /// Message for the user with the tool's own text; empty when `ok` is true.
    QString error;
};
/// The immutable mode as "-s" reports it; a failed run or an answer without
/// the line is a failure, never "protected".
ImmutableRead readImmutableMode();

/// Starts "systemctl reboot" (by absolute path) without waiting for it; false
/// when it could not be started.
bool startReboot();

// -------------------------------------------------------------- snapshots

/// All snapshots, oldest first; empty on any failure.
QList<SnapshotInfo> getSnapshots();

/// The snapshot list with the outcome of reading it, so that a failed read is
/// not taken for an empty list.
struct SnapshotListResult
{
    bool ok = false;
    QList<SnapshotInfo> snapshots;
    /// Message for the user with the tool's own text; empty when `ok` is true.
    QString error;
};

/// All snapshots, oldest first, or the failure of the list command.
SnapshotListResult readSnapshots();

/// One snapshot (`isInitial` always false); all fields empty on failure.
SnapshotInfo getSnapshotDetail(const QString &id);

/// Why a snapshot name or description cannot be passed to the control tool (a
/// leading "-" would read as an option), or "" when both are fine.
QString snapshotTextProblem(const QString &name, const QString &desc);
/// Whether a snapshot with this name and description counts as the system's
/// initial snapshot (name contains "First" or the description "System initialization").
bool snapshotLooksInitial(const QString &name, const QString &desc);
/// Creates a snapshot (elevated). An empty `name` is left out; `desc` is always
/// passed. Refused without running anything when snapshotTextProblem() objects.
CommandResult createSnapshot(const QString &name, const QString &desc);

/// Deletes a snapshot (elevated).
CommandResult deleteSnapshot(const QString &id);

/// Renames / re-describes a snapshot (elevated). An empty `name` is left out.
CommandResult modifySnapshot(const QString &id, const QString &name, const QString &desc);

/// Rolls the system back to a snapshot, applied at the next boot (elevated).
CommandResult rollbackSnapshot(const QString &id, bool deleteOthers);

/// Disk use of every snapshot, keyed by snapshot id: `first` the extra data of
/// its snapshot directory, `second` the bytes of its tree that no other
/// deployment or snapshot ref keeps. Cached for 59 s in the process; tree
/// listings are cached per commit in the user's cache directory. Safe to call
/// from several threads at once. Empty when there are no snapshots.
SnapshotSizeMap computeSnapshotSizes();
/// The same for a list the caller has already read, so the control tool is
/// not asked twice. `complete`, when given, is set to false when a tree could
/// not be listed: such sizes are not cached and are not to be trusted.
SnapshotSizeMap computeSnapshotSizes(const QList<SnapshotInfo> &snapshots, bool *complete = nullptr);
/// The same sizes with what could be measured of each part: a snapshot
/// directory du cannot read (root only, no password-free sudo) is partial or
/// unknown with du's text; when a tree cannot be listed every "unique" part is
/// unknown, since objects would look unshared. Shares the caches above.
SnapshotSizes measureSnapshotSizes(const QList<SnapshotInfo> &snapshots);

// ------------------------------------------------- deployments and upgrades

/// All deployments in the tool's order; empty on failure.
QList<DeployInfo> getDeploys();

/// Commit of the booted deployment; "" when none or on failure.
QString getBootedDeployId();

/// Version of the booted deployment, else the first non-empty version, else "".
QString getDeployVersion();

/// The argument list that removes a deployment: "admin" "undeploy" id.
QStringList undeployArgs(const QString &id);

/// Removes a deployment (elevated).
CommandResult undeploy(const QString &id);

/// Whether a deployment may be removed: not booted, not hidden, has a commit.
bool isDeployDeletable(const DeployInfo &d);

/// Checks for an upgrade (elevated); the output is the tool's JSON answer.
CommandResult checkUpgrade();

/// Downloads and applies the upgrade (elevated).
CommandResult runUpgrade();

/// Cleans the upgrade cache, everything with `all` (elevated).
CommandResult cleanUpgradeCache(bool all);

/// {"system", "version", "edition"} from the version files; "system" defaults to "Zarnex".
QJsonObject getOsVersion();

/// Sizes of the repositories (du, cached 30 s) and the free space of "/";
/// what du could not read is partial or unknown with its text.
RepoSizes getRepoSizes();

// ------------------------------------------------ rollback state and cleanup

/// The rollback state file; defaults with `valid` false when missing or not a JSON object.
RollbackState getRollbackState();

/// Writes the rollback state file as root (private temporary copy + elevated "install").
CommandResult saveRollbackState(const QJsonObject &state);

/// Removes the rollback state file (elevated; the result is ignored).
void clearRollbackState();

/// Installs the boot counter script and the clean-up service and timer, then
/// reloads systemd and enables the timer (elevated).
CommandResult installRollbackCleanup();

/// Disables the timer and removes the three clean-up files (elevated).
CommandResult uninstallRollbackCleanup();

/// Whether the clean-up files are in place and the timer is enabled (reads
/// them and asks "systemctl is-enabled", unelevated).
bool rollbackCleanupInstalled();
/// Commit of the deployment staged for the next boot (hidden, not booted); ""
/// when none is staged or on failure. Recorded as "rollback_commit" right after
/// a rollback.
QString getStagedDeployId();
/// A line for the user about a "reboot3" state that is still pending: whether
/// the clean-up waits for the rolled-back system to boot or cannot tell and
/// leaves the backup to be removed by hand; "" for any other state.
QString rollbackStateNote(const RollbackState &state);

/// The boot counter script text for the given state file, control tool and
/// interpreter paths (what installRollbackCleanup installs, exposed so it can
/// be checked and run against a simulated system). `runMarker` is the
/// once-per-boot marker file.
QString rebootCounterScript(const QString &stateFile, const QString &ctlPath, const QString &runMarker,
                            const QString &python = QStringLiteral("/usr/bin/python3"));

/// The clean-up service unit text for the given state file, naming the script
/// where it is installed on this system (or at `scriptPath`).
QString rollbackCleanupServiceUnit(const QString &stateFile);
QString rollbackCleanupServiceUnit(const QString &stateFile, const QString &scriptPath);

/// Whether the rollback the state file records can no longer take effect: it
/// is still pending, and the deployment it staged is gone, or another one is
/// staged while it is neither staged nor booted (an upgrade replaced it).
/// `deploys` is a list the tool answered; an empty one tells nothing.
bool rollbackSuperseded(const RollbackState &state, const QList<DeployInfo> &deploys);

/// A rollback staged for the next boot, which an upgrade would replace.
struct StagedRollback
{
    bool staged = false;
    QString targetId;
    QString targetName;
    QString backupName;
};
/// Reads the state file and the deployments (unelevated).
StagedRollback readStagedRollback();

/// Deletes the safety backup of a superseded rollback (when it still exists)
/// and the state file, under one authorization.
CommandResult removeSupersededBackup(const RollbackState &state);

/// A rollback as the user asked for it.
struct RollbackRequest
{
    QString targetId;
    QString targetName;
    /// "none", "manual" or "reboot3".
    QString strategy;
    /// The backup snapshot made first (unless the strategy is "none").
    QString backupName;
    QString backupDesc;
    /// Commit of the deployment booted now ("original_booted").
    QString bootedId;
};

/// What became of a rollback.
struct RollbackOutcome
{
    enum Step { Backup, Cleanup, Rollback, State };
    /// The whole action is done.
    bool ok = false;
    /// The authorization was given and the privileged step ran; false: nothing
    /// was changed.
    bool authorized = false;
    /// The rollback is staged (it cannot be undone). With `ok` false the steps
    /// after it were not done; without it every earlier step was undone.
    bool rolledBack = false;
    /// The parts of the action, in order, with the helper's status of each
    /// ("done", "undone", "failed", "not-run"), and the failed one (-1: none).
    QList<Step> steps;
    QStringList statuses;
    int failedStep = -1;
    QString backupId;
    /// Message for the user with the tool's own text; empty when `ok`.
    QString error;
    /// The helper outlived its time-out and still runs (see CommandResult).
    quint64 runningChild = 0;
};

/// The backup snapshot, the "reboot3" clean-up, the rollback and the state
/// file, under one authorization: a failure before the rollback undoes what
/// was done (the backup is deleted again, the clean-up removed).
RollbackOutcome rollBackToSnapshot(const RollbackRequest &request);

/// The clean-up timer unit text.
QString rollbackCleanupTimerUnit();

// --------------------------------------- writable layer and configuration

/// The writable layer's state; both flags false and an empty `conf` on failure.
WritableStatus getWritableStatus();

/// Switches the writable layer on (elevated); `all` adds "-a", `clearAfterReboot` adds "-c".
CommandResult enableWritable(bool clearAfterReboot, bool all);

/// Switches the writable layer off (elevated).
CommandResult disableWritable();

/// Every "key=value" entry of the control tool's configuration file (all sections
/// in one map); empty when the file cannot be read.
QMap<QString, QString> getCtlConfig();

/// One value of the control tool's configuration file and the section it was
/// read from ("[global]", "[upgrade]", …; "" before the first header).
struct CtlConfigEntry
{
    QString value;
    QString section;
};
/// The same merged view as getCtlConfig() (a later entry wins), with the section
/// each value came from, so a caller can tell a "[global]" value from one read
/// elsewhere; empty when the file cannot be read.
QMap<QString, CtlConfigEntry> getCtlConfigEntries();
/// The configuration as the Policy page needs it: the "[global]" values it
/// edits beside the value the tool really uses, which a later section may set.
struct CtlConfigRead
{
    /// False when the file exists but cannot be read; `error` then says why.
    bool ok = false;
    QString error;
    /// Values written in "[global]" (the last one when a key repeats).
    QMap<QString, QString> global;
    /// The value each key ends up with and the section it came from.
    QMap<QString, CtlConfigEntry> effective;

    /// The entry that overrides the "[global]" value (or the missing one) of
    /// `key`; nullptr when the key's value comes from "[global]" or nowhere.
    const CtlConfigEntry *overrideOf(const QString &key) const;
};
/// Reads the control tool's configuration file; a missing file reads as empty.
CtlConfigRead readCtlConfig();

/// Writes exactly the keys of `values` into the "[global]" section of the control
/// tool's configuration file and installs it as root: pass only the keys the
/// user changed, since a value read from another section would otherwise be
/// copied into "[global]". Everything else in the file is kept byte for byte;
/// keys the section lacks are added at its end.
CommandResult setCtlConfig(const QMap<QString, QString> &values);

/// The pure rewrite behind setCtlConfig: `original` with `values` set in
/// "[global]" (an empty `original` gives a new "[global]" section).
QString rewriteCtlConfig(const QString &original, const QMap<QString, QString> &values);

/// Registers the records and their lists with the meta-type system (idempotent;
/// also done at static initialisation).
void registerBackendMetaTypes();

} // namespace Tavrin

Q_DECLARE_METATYPE(Tavrin::CommandResult)
Q_DECLARE_METATYPE(Tavrin::SnapshotInfo)
Q_DECLARE_METATYPE(Tavrin::DeployInfo)
Q_DECLARE_METATYPE(Tavrin::RepoSizes)
Q_DECLARE_METATYPE(Tavrin::MeasuredSize)
Q_DECLARE_METATYPE(Tavrin::SnapshotSizes)
Q_DECLARE_METATYPE(Tavrin::ImmutableRead)
Q_DECLARE_METATYPE(Tavrin::RollbackState)
Q_DECLARE_METATYPE(Tavrin::StagedRollback)
Q_DECLARE_METATYPE(Tavrin::WritableStatus)
