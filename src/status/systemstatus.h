#pragma once

#include "disk/diskforecast.h"
#include "disk/diskrecords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

/// What "--status" reports: the system's state read without elevation and without a window, each
/// part with its own outcome, so one tool that fails leaves the others standing.
namespace Tavrin {

/// The outcome of reading one part: `error` holds the tool's own text when `ok` is false.
struct StatusPart
{
    bool ok = false;
    QString error;
};

struct DeploymentStatus : StatusPart
{
    QString bootedVersion;
    QString bootedCommit;
    qint64 bootedTime = 0;
    bool staged = false;
    QString stagedVersion;
    QString stagedCommit;
};

struct SnapshotStatus : StatusPart
{
    int count = 0;
    bool hasNewest = false;
    QString newestId;
    QString newestName;
    qint64 newestTime = 0;
};

struct ProtectionStatus : StatusPart
{
    bool immutable = true;
};

struct WritableLayerStatus : StatusPart
{
    bool enabled = false;
    bool clearAfterReboot = false;
};

struct DiskUsageStatus : StatusPart
{
    qint64 used = 0;
    qint64 capacity = 0;
};

struct ForecastStatus : StatusPart
{
    DiskForecast forecast;
    /// Days to full at or below this are something to act on.
    int limitDays = 7;
};

struct AlertStatus : StatusPart
{
    bool hasAlert = false;
    DiskSpikeInfo newest;
    /// Neither dismissed on the disk page nor counted as seen in its alert history.
    bool unseen = false;
    int count = 0;
};

struct MonitorStatus : StatusPart
{
    bool enabled = false;
    int pollMinutes = 15;
    QDateTime newestSample;
    /// Enabled, and no sample for longer than staleAfterMinutes().
    bool stale = false;
    /// The answer of "systemctl --user is-active tavrin-monitor.timer" ("active", "inactive", …).
    bool timerOk = false;
    QString timerState;
    QString timerError;
    int staleAfterMinutes() const;
};

struct SystemStatus
{
    QDateTime time;
    DeploymentStatus deployment;
    SnapshotStatus snapshots;
    ProtectionStatus protection;
    WritableLayerStatus writable;
    DiskUsageStatus disk;
    ForecastStatus forecast;
    AlertStatus alert;
    MonitorStatus monitor;

    /// Reasons to act, by key: "unseenAlert", "diskFull", "forecast", "monitorStale", "timerInactive".
    QStringList attention() const;
    /// The parts that could not be read, by their JSON key.
    QStringList unreadable() const;
    /// 2 when a part could not be read, else 1 when something asks for action, else 0.
    int exitCode() const;
};

/// Reads every part; the tools run side by side on threads of their own. Never elevates.
SystemStatus readSystemStatus();

/// The parts read from the user's files (history, alerts, monitor settings), for `now`.
void readHistoryParts(SystemStatus *status, const QString &historyDir, const QDateTime &now);

class StatusText
{
    Q_DECLARE_TR_FUNCTIONS(Status)
};

} // namespace Tavrin
