#pragma once

// Internals of the backend shared by its source files and its tests.

#include "backend/backend.h"
#include "backend/syspaths.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <QStringList>

#include <functional>

namespace Tavrin {

class Backend
{
    Q_DECLARE_TR_FUNCTIONS(Backend)
};

// Fixed system paths, mapped below the simulated root when one is set.
QString ctlPath();
QString writablePath();
QString ostreePath();
QString sysRepoPath();
QString persistRepoPath();
QString snapshotDirPath();
QString ctlConfPath();
QString stateFilePath();
QString osVersionPath();
QString zarnexVersionPath();
QString rebootCounterScriptPath();
QString cleanupServicePath();
QString cleanupTimerPath();
QString rebootCounterRunMarkerPath();
// Programs that grant root or run as root: always by absolute path (sudo,
// pkexec and du: see syspaths.h).
QString installToolPath();
QString rmToolPath();
QString mvToolPath();
QString systemctlToolPath();

inline constexpr int kStartTimeoutMs = 5000;
inline constexpr int kKillGraceMs = 3000;

// Runs one program with an argument list (never a shell). With `elevate` and a
// non-root user it goes through "sudo -n" and, when that asks for a password,
// once through "pkexec", both by absolute path.
CommandResult runProcess(const QString &program, const QList<QString> &args, int timeoutMs, bool elevate);
// The same, with `input` written to the program's standard input.
CommandResult runProcessWithInput(const QString &program, const QList<QString> &args, const QByteArray &input,
                                  int timeoutMs, bool elevate);

// The privileged helper, started by absolute path: beside the program, or at
// its fixed place inside the simulated system.
QString helperPath();

// What the helper did with a plan (see privplan.h).
struct PlanReport
{
    // The helper ran and answered; false when it never ran (authorization
    // refused or dismissed, not installed): then nothing was changed.
    bool answered = false;
    bool ok = false;
    // A step that cannot be undone succeeded: later failures were not undone.
    bool committed = false;
    // The failed step (-1 for none) and each step's status ("done", "undone",
    // "failed", "not-run", "tolerated").
    int failedStep = -1;
    QStringList statuses;
    // Values the helper looked up for the plan ("backup_snapshot_id", …).
    QJsonObject values;
    // The runner's result; `error` holds the helper's or the runner's text.
    CommandResult command;
};

// Runs the helper once, elevated, with `steps` as its plan.
PlanReport runPlan(const QJsonArray &steps, int timeoutMs);
// A plan's report as the runner's result of a single command.
CommandResult planResult(const PlanReport &report);

// Whether /usr cannot be written (mounted read-only, as on Zarnex; the
// simulated system says so with a marker).
bool usrReadOnly();

// Up to `limit` bytes of an open device. QIODevice::read(n) reserves all n
// bytes before it reads, which for a limit of megabytes over a file of a few
// lines costs that much memory for nothing.
QByteArray readAtMost(QIODevice &device, qint64 limit);

// Top-level object of a JSON text; empty for anything else.
QJsonObject parseJson(const QString &text);


// Pure parsers over the tools' answers.
QList<SnapshotInfo> parseSnapshotList(const QString &json);
SnapshotInfo snapshotFromJson(const QJsonObject &object);
QList<DeployInfo> parseDeployList(const QString &json);
QString bootedDeployFromList(const QList<DeployInfo> &deploys);
QString deployVersionFromList(const QList<DeployInfo> &deploys);
QString stagedDeployFromList(const QList<DeployInfo> &deploys);
QHash<QString, qint64> parseOstreeListing(const QByteArray &output);
qint64 parseDuOutput(const QString &output);
void applyOsVersionText(const QString &text, QJsonObject &into);
RollbackState parseRollbackState(const QByteArray &data);
QMap<QString, QString> parseCtlConfig(const QString &text);
QMap<QString, CtlConfigEntry> parseCtlConfigEntries(const QString &text);
CtlConfigRead parseCtlConfigRead(const QString &text);
WritableStatus parseWritableStatus(const QString &json);
bool isImmutableAnswer(const QString &output);

// Directory size through "du -sb", cached for 30 seconds per path. A directory
// only root may read is measured through "sudo -n" when that needs no password;
// otherwise what du could read is a lower bound, with du's text.
MeasuredSize measureDir(const QString &path);
// Its bytes alone (what could be measured; 0 when nothing could).
qint64 duPath(const QString &path);

// Content checksum -> size of every regular file of `commit`, from the cache
// file of `key` when it records the same commit, else from "ostree ls". Only a
// successful, non-empty listing is cached; `listed` says whether the answer is
// a real listing (false when "ostree ls" failed).
QHash<QString, qint64> ostreeLsTreeCached(const QString &key, const QString &commit, bool *listed = nullptr);

// Cache file name part for a key: anything but [A-Za-z0-9_-] becomes "_".
QString treeCacheFileName(const QString &key);

// Test hook: called with every command line before it runs (an empty function
// removes it), so tests can check time-outs and elevation without waiting.
using RunObserver =
    std::function<void(const QString &program, const QList<QString> &args, int timeoutMs, bool elevate)>;
void setRunObserverForTesting(RunObserver observer);

// Test hook: a time-out sends no signal, as when the child runs as root and
// the user may not kill it.
void setKillDisabledForTesting(bool disabled);
// Test hook: every time-out at most `ms` (0 restores them).
void setTimeoutLimitForTesting(int ms);
// Test hook: timed-out children still running, held until they end.
int runningOrphansForTesting();

// Test hook: the most output a command may print before it is stopped (0
// restores the default).
void setOutputLimitForTesting(qint64 bytes);

// Test hooks: replace the clock used by the size caches (seconds since the
// epoch; an empty function restores the real clock) and forget both caches.
void setBackendClockForTesting(std::function<qint64()> clock);
void resetSizeCachesForTesting();
qint64 backendNow();

} // namespace Tavrin
