#pragma once

#include "disk/diskhistorystore.h"
#include "disk/diskscanner.h"
#include "disk/historylock.h"
#include "disk/monitorconfig.h"

#include <QDateTime>
#include <QJsonArray>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <memory>

namespace Tavrin {

/// Process entry of "--monitor": one monitor cycle without a window, one "[tavrin-monitor]" line on
/// standard error, exit status 0.
int runMonitor(int argc, char **argv);

/// Spike object of "alert.json".
QJsonObject spikeToJson(const DiskSpikeInfo &spike);
/// Appends the spikes not yet in `existing` (same "date" and "causeDir") and keeps the newest 200.
QJsonArray mergeSpikes(QJsonArray existing, const QList<DiskSpikeInfo> &spikes);
/// The `n` largest of `items` that are not excluded, largest first.
QList<DiskItem> largestCauses(QList<DiskItem> items, const QStringList &patterns, const QString &home, int n);
/// Whether `time` lies in the quiet period "HH:mm"–"HH:mm" (across midnight when end < start);
/// never quiet when either bound is invalid or both are equal.
bool isQuietTime(const QTime &time, const QString &start, const QString &end);
/// Whether `path` equals or lies below one of `patterns` ("~" and "~/…" relative to `home`).
bool isExcludedPath(const QString &path, const QStringList &patterns, const QString &home);
/// The absolute paths `patterns` name ("~" expanded), each also by its real path when that differs.
QStringList excludedScanPaths(const QStringList &patterns, const QString &home);
/// The top-level paths of `later` whose growth since `earlier` cannot be told: `earlier`'s scan left
/// out a path inside them that `later`'s scan counted (an exclusion was removed), so their sizes
/// differ by data that did not arrive. Empty when either scan's exclusions are unknown.
QStringList incomparableTopLevel(const DiskDayRecord &earlier, const DiskDayRecord &later);
/// Mean of the positive growths among the newest max(days, 3) index days dated before `today`.
qint64 baselineGrowth(const DiskHistoryIndex &index, const QDate &today, int days);
/// The arguments of the "Notify" call for a spike, in call order; empty when the date is invalid.
QVariantList notificationArguments(const DiskSpikeInfo &spike);

/// One background monitor cycle: df sample, daily top-level scan, spike decision, drill-down into
/// the biggest grower, alert file and desktop notification, save of the day.
class DiskMonitor : public QObject
{
    Q_OBJECT
public:
    explicit DiskMonitor(QObject *parent = nullptr);
    ~DiskMonitor() override;

    void runCycle();
    void shutdown();

    /// Bound of the blocking "Notify" call, so a hung notification server cannot hold the cycle.
    static constexpr int kNotifyTimeoutMs = 5000;
    /// Time limit of one cycle (30 minutes).
    int watchdogMs = 30 * 60 * 1000;

signals:
    void finished(bool ok, const QString &message);

private:
    void onTopLevelFinished(const QList<Tavrin::DiskItem> &items, bool complete);
    void onDrillFinished(const QString &path, const QList<Tavrin::DiskItem> &items);
    void onScanFinished(bool ok, const QString &message);
    void onWatchdog();
    void finalize();
    void finish(bool ok, const QString &message);
    bool startDrillFromGrowth();
    DiskItem growthTarget() const;
    bool growthExplained() const;
    bool alertableGrowth() const;
    void recordSpike(const QString &causeDir, const QList<DiskItem> &causes);
    bool saveDay(QString *error);
    void failAfterSaving(const QString &message);
    QList<DiskSpikeInfo> updateAlerts();
    void setAlertMarks(const QJsonObject &marks);
    void startTopLevelScan();
    qint64 computeThresholdBytes();
    DiskHistoryIndex recentIndex(int baselineDays) const;
    bool inCooldown(const QString &path) const;
    bool isQuietHours(const QDateTime &time) const;
    bool isExcluded(const QString &path) const;
    void noteScanExclusions();
    void sendNotification(const DiskSpikeInfo &spike);
    void sendCall(const QVariantList &arguments);
    QJsonObject updateForecast(bool daySaved);
    void recordAlertTime(const QString &path);
    void loadAlerts();
    void saveAlerts();

    DiskHistoryStore *store = nullptr;
    DiskScanner *scanner = nullptr;
    MonitorConfig config;
    DiskDayRecord today;
    DiskDayRecord previous;
    QList<DiskSpikeInfo> spikes;
    bool running = false;
    bool spikeDetected = false;
    bool resultDelivered = false;
    qint64 spikeGrowth = 0;
    QString drillPath;
    QTimer *watchdog = nullptr;
    QMap<QString, QDateTime> lastAlert;
    QString alertsPath;
    QString forecastPath;
    // The index's newest days, read once per cycle for the threshold and the forecast.
    QList<DiskDaySummary> recentDays;
    bool alertsWriteFailed = false;
    // Why this cycle's forecast could not be recorded; empty when it was (or had nothing to record).
    QString forecastError;
    // This cycle's own contributions, merged into the day file as it is when saving.
    QDateTime now;
    DiskSample sample;
    bool scannedTopLevel = false;
    bool rescanning = false;
    bool spikeStored = false;
    // Growth after the day's alert, looked for among the directories not alerted today.
    bool secondSource = false;
    QStringList alertedToday;
    QString alertsError;
    qint64 threshold = 0;
    qint64 elapsedDays = 1;
    QMap<QString, QList<DiskItem>> drills;
    std::unique_ptr<HistoryLock> cycleLock;
};

} // namespace Tavrin
