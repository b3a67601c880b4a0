#pragma once

// The user systemd side of the disk monitor: a small blocking "systemctl --user" runner with a
// time-out, enabling and disabling the monitor's timer, and where its unit file may be installed.

#include <QString>
#include <QStringList>

namespace MonitorService {

inline constexpr char kTimerUnit[] = "tavrin-monitor.timer";
inline constexpr char kServiceUnit[] = "tavrin-monitor.service";

struct SystemctlResult
{
    bool ok = false;
    QString message;
};

// Runs "systemctl --user ARGS", waiting at most `timeoutMs` (then killed). Blocks the caller.
SystemctlResult runSystemctlUser(const QStringList &args, int timeoutMs);

// Enables (daemon-reload, cat, enable --now) or disables (disable --now) the timer. A failed
// disable counts as success when the timer is not enabled afterwards.
bool setTimerEnabled(bool enable, QString *error);

// The timer's unit file at its first installed place, empty when none exists.
QString findTimerFile();
QStringList timerFileCandidates();

// The first line of an error text, at most 120 characters (then "…").
QString briefError(const QString &text);

} // namespace MonitorService
