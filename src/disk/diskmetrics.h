#pragma once

#include "disk/diskforecast.h"
#include "disk/diskrecords.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace Tavrin {

class MonitorConfig;

/// The file each monitor cycle leaves for node_exporter's textfile collector.
inline constexpr char kMetricsFileName[] = "tavrin-manager.prom";
/// Directories listed by their growth, largest first.
inline constexpr int kMetricsGrowthDirs = 15;

/// What one cycle exports; a figure whose `…Known` flag is false is left out of the file, never
/// written as 0.
struct DiskMetrics
{
    QDateTime cycleTime;
    bool cycleFailed = false;
    /// Invalid when no cycle has succeeded yet.
    QDateTime lastSuccess;
    bool diskKnown = false;
    qint64 used = 0;
    qint64 capacity = 0;
    DiskForecast forecast;
    bool dayGrowthKnown = false;
    qint64 dayGrowth = 0;
    /// Top-level directories that grew since the previous scanned day, largest first.
    QList<DiskItem> directoryGrowth;
    /// Spikes in the alert file dated on the cycle's day, and in all.
    int spikesToday = 0;
    int spikesRecorded = 0;
};

/// A label value in the text exposition format: backslash, double quote and line feed escaped.
QString escapeMetricLabel(const QString &value);
/// The whole file in the text exposition format (HELP and TYPE for every family).
QByteArray formatDiskMetrics(const DiskMetrics &metrics);
/// The last success time a previous file recorded (invalid when it holds none).
QDateTime lastSuccessFromMetrics(const QByteArray &previousFile);
/// The figures of the history directory as a cycle at `now` left it.
DiskMetrics collectDiskMetrics(const QString &historyDir, const QDateTime &now, bool cycleOk,
                               const QDateTime &previousSuccess);
/// Writes `metrics` to `directory`/tavrin-manager.prom, replacing the file atomically.
bool writeDiskMetrics(const QString &directory, const DiskMetrics &metrics, QString *error = nullptr);

/// The monitor's end-of-cycle hook: when the setting names a directory and this process ran a
/// cycle (`cycleRan`: it held the cycle lock), exports what the cycle left. Failures are logged,
/// never change the cycle's outcome.
void exportCycleMetrics(const MonitorConfig &config, bool cycleOk, bool cycleRan);

} // namespace Tavrin
