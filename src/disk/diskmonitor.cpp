#include "disk/diskmonitor.h"

#include "backend/backend.h"
#include "disk/diskmetrics.h"
#include "disk/forecastnotice.h"
#include "disk/historylock.h"
#include "disk/jsonfileio.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace Tavrin {

namespace {

constexpr int kMaxStoredSpikes = 200;
constexpr int kMaxCauses = 5;
constexpr int kPreviousDaySearch = 60;
constexpr qint64 kMiB = 1048576;
constexpr int kForecastWindowDays = 14;

QString dayString(const QDate &date)
{
    // Only a strict "yyyy-MM-dd" may reach a command line or another process.
    const QString text = date.toString(Qt::ISODate);
    return parseIsoDay(text).isValid() ? text : QString();
}

// A record without its drill caches: the monitor picks the directory to drill into from the
// top-level growth only. With the caches, a later cycle of the same day would prefer a child of
// the directory drilled earlier (listed at its full size) and walk one level deeper each run,
// raising a new alert for every level.
DiskDayRecord withoutDrillCache(DiskDayRecord record)
{
    record.drillCache.clear();
    return record;
}

} // namespace

QJsonObject spikeToJson(const DiskSpikeInfo &spike)
{
    QJsonArray causes;
    for (int i = 0; i < spike.causes.size() && i < kMaxCauses; ++i)
        causes.append(itemToJson(spike.causes.at(i)));
    return QJsonObject{{QStringLiteral("date"), spike.date.toString(Qt::ISODate)},
                       {QStringLiteral("growth"), double(spike.growth)},
                       {QStringLiteral("causeDir"), spike.causeDir},
                       {QStringLiteral("alerted"), spike.alerted},
                       {QStringLiteral("causes"), causes}};
}

QJsonArray mergeSpikes(QJsonArray existing, const QList<DiskSpikeInfo> &spikes)
{
    for (const DiskSpikeInfo &spike : spikes) {
        const QString date = spike.date.toString(Qt::ISODate);
        bool known = false;
        for (const QJsonValue &entry : std::as_const(existing)) {
            const QJsonObject obj = entry.toObject();
            if (obj.value(QLatin1String("date")).toString() == date &&
                obj.value(QLatin1String("causeDir")).toString() == spike.causeDir) {
                known = true;
                break;
            }
        }
        if (!known)
            existing.append(spikeToJson(spike));
    }
    while (existing.size() > kMaxStoredSpikes)
        existing.removeFirst();
    return existing;
}

QList<DiskItem> largestCauses(QList<DiskItem> items, const QStringList &patterns, const QString &home, int n)
{
    items.removeIf([&](const DiskItem &item) { return isExcludedPath(item.path, patterns, home); });
    std::stable_sort(items.begin(), items.end(),
                     [](const DiskItem &a, const DiskItem &b) { return a.size > b.size; });
    if (items.size() > n)
        items.resize(std::max(n, 0));
    return items;
}

bool isQuietTime(const QTime &time, const QString &start, const QString &end)
{
    const QTime from = QTime::fromString(start, QStringLiteral("HH:mm"));
    const QTime to = QTime::fromString(end, QStringLiteral("HH:mm"));
    if (!from.isValid() || !to.isValid() || !time.isValid())
        return false;
    if (to < from)
        return time >= from || time < to;
    return time >= from && time < to;
}

namespace {

// "~" and "~/…" relative to `home`, trailing slashes dropped ("/var/cache/" is "/var/cache").
QString expandExclusion(QString pattern, const QString &home)
{
    if (pattern == QLatin1String("~"))
        pattern = home;
    else if (pattern.startsWith(QLatin1String("~/")))
        pattern = home + pattern.mid(1);
    while (pattern.size() > 1 && pattern.endsWith(QLatin1Char('/')))
        pattern.chop(1);
    return pattern;
}

} // namespace

bool isExcludedPath(const QString &path, const QStringList &patterns, const QString &home)
{
    for (const QString &entry : patterns) {
        if (entry.isEmpty())
            continue;
        const QString pattern = expandExclusion(entry, home);
        if (path == pattern || path.startsWith(pattern + QLatin1Char('/')))
            return true;
    }
    return false;
}

QStringList incomparableTopLevel(const DiskDayRecord &earlier, const DiskDayRecord &later)
{
    QStringList paths;
    if (!earlier.scanExcludedKnown || !later.scanExcludedKnown)
        return paths;
    const auto inside = [](const QString &path, const QString &dir) {
        return path == dir || path.startsWith(dir + QLatin1Char('/')) || dir == QLatin1String("/");
    };
    for (const QString &gone : earlier.scanExcluded) {
        // Still left out, by the same or a wider exclusion: both days miss it alike.
        if (std::any_of(later.scanExcluded.cbegin(), later.scanExcluded.cend(),
                        [&](const QString &kept) { return inside(gone, kept); }))
            continue;
        for (const DiskItem &item : later.topLevel) {
            if (inside(gone, item.path) && !paths.contains(item.path))
                paths.append(item.path);
        }
    }
    // An exclusion added since makes a directory look smaller than it grew: its growth is a lower
    // bound and still names no directory falsely, so it is compared as before.
    return paths;
}

QStringList excludedScanPaths(const QStringList &patterns, const QString &home)
{
    QStringList paths;
    for (const QString &entry : patterns) {
        const QString path = expandExclusion(entry, home);
        if (!path.startsWith(QLatin1Char('/')) || path.size() < 2)
            continue;
        paths.append(path);
        // du walks the real directories: a home reached through a link ("/home" -> "/var/home")
        // is listed under its target.
        const QString real = QFileInfo(path).canonicalFilePath();
        if (!real.isEmpty() && real != path && real != QLatin1String("/"))
            paths.append(real);
    }
    paths.removeDuplicates();
    return paths;
}

qint64 baselineGrowth(const DiskHistoryIndex &index, const QDate &today, int days)
{
    const int limit = std::max(days, 3);
    int considered = 0;
    int positive = 0;
    qint64 sum = 0;
    for (int i = index.days.size() - 1; i >= 0 && considered < limit; --i) {
        const DiskDaySummary &day = index.days.at(i);
        if (!(day.date < today))
            continue;
        ++considered;
        // A day's growth counts per day elapsed since the record before it: after a gap it is
        // several days' growth, not one day's.
        qint64 elapsed = 1;
        if (i > 0 && index.days.at(i - 1).date.isValid() && day.date.isValid())
            elapsed = std::max<qint64>(1, index.days.at(i - 1).date.daysTo(day.date));
        const qint64 perDay = day.growth / elapsed;
        if (perDay > 0) {
            sum += perDay;
            ++positive;
        }
    }
    return positive > 0 ? sum / positive : 0;
}

QVariantList notificationArguments(const DiskSpikeInfo &spike)
{
    const QString date = dayString(spike.date);
    if (date.isEmpty())
        return {};
    QVariantMap hints;
    hints.insert(QStringLiteral("x-zarnex-action-view"),
                 QStringLiteral("tavrin-manager,--show-disk,%1").arg(date));
    return {QStringLiteral("tavrin-manager"),
            QVariant::fromValue(uint(0)),
            QStringLiteral("drive-harddisk"),
            DiskMonitor::tr("磁盘空间异常增长"),
            DiskMonitor::tr("系统盘 %1 增长 %2，主要来源：%3")
                .arg(date, formatSize(spike.growth), spike.causeDir),
            QStringList{QStringLiteral("default"), DiskMonitor::tr("查看详情")},
            hints,
            QVariant::fromValue(int(-1))};
}

int runMonitor(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrin-manager"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));

    DiskMonitor monitor;
    QObject::connect(&monitor, &DiskMonitor::finished, &app, [](bool ok, const QString &message) {
        const char *state = ok ? "ok" : "failed";
        if (message.isEmpty())
            std::fprintf(stderr, "[tavrin-monitor] %s\n", state);
        else
            std::fprintf(stderr, "[tavrin-monitor] %s: %s\n", state, message.toLocal8Bit().constData());
        std::fflush(stderr);
        QCoreApplication::quit();
    });
    QTimer::singleShot(0, &monitor, &DiskMonitor::runCycle);
    app.exec();
    return 0;
}

DiskMonitor::DiskMonitor(QObject *parent) : QObject(parent)
{
    store = new DiskHistoryStore(this);
    scanner = new DiskScanner(this);
    alertsPath = DiskHistoryStore::historyDir() + QStringLiteral("/alert.json");
    forecastPath = DiskHistoryStore::historyDir() + QStringLiteral("/forecast.json");
    loadAlerts();
    scanner->useElevation = true;
    scanner->interactive = 0;
    connect(scanner, &DiskScanner::topLevelFinished, this, &DiskMonitor::onTopLevelFinished);
    connect(scanner, &DiskScanner::drillFinished, this, &DiskMonitor::onDrillFinished);
    connect(scanner, &DiskScanner::scanFinished, this, &DiskMonitor::onScanFinished);
    watchdog = new QTimer(this);
    watchdog->setSingleShot(true);
    connect(watchdog, &QTimer::timeout, this, &DiskMonitor::onWatchdog);
}

DiskMonitor::~DiskMonitor()
{
    scanner->cancel();
}

void DiskMonitor::runCycle()
{
    if (running) {
        emit finished(false, tr("监控周期已在运行"));
        return;
    }
    running = true;
    alertsWriteFailed = false;
    if (!config.enabled()) {
        finish(false, tr("监控未开启"));
        return;
    }
    // Excluded growth never counts in the stored sizes, so it can neither cause an alert nor a drill.
    scanner->excludedPaths = excludedScanPaths(config.excludes(), QDir::homePath());
    // A cycle started by hand while the timer's cycle runs ends at once instead of interleaving.
    cycleLock = std::make_unique<HistoryLock>(HistoryLock::Kind::Monitor, 0);
    if (cycleLock->isBusy()) {
        finish(false, tr("监控周期已在运行"));
        return;
    }
    spikeDetected = false;
    spikeGrowth = 0;
    drillPath.clear();
    spikes.clear();
    drills.clear();
    resultDelivered = false;
    scannedTopLevel = false;
    rescanning = false;
    spikeStored = false;
    secondSource = false;
    alertedToday.clear();
    alertsError.clear();
    forecastError.clear();
    watchdog->start(watchdogMs);

    qint64 capacity = 0;
    qint64 used = 0;
    if (!DiskScanner::dfRoot(&capacity, &used, nullptr)) {
        finish(false, tr("df 查询失败"));
        return;
    }

    now = diskNow();
    const QDate date = now.date();
    // Days a clock that ran ahead left in the future must not become today once it comes.
    store->setAsideFutureDays(date);
    today = DiskDayRecord();
    if (!store->loadDay(date, &today))
        today = DiskDayRecord();
    today.date = date;
    today.capacity = capacity;
    today.total = used;
    sample = DiskSample();
    sample.time = now;
    sample.total = used;
    today.samples.append(sample);

    // Only days before today: a file left in the future by a clock that ran ahead never counts.
    previous = DiskDayRecord();
    for (int n = 1; n <= kPreviousDaySearch; ++n) {
        DiskDayRecord candidate;
        if (store->loadDay(date.addDays(-n), &candidate) && !candidate.topLevel.isEmpty()) {
            previous = candidate;
            // The index update at the save compares with it again: not read a second time.
            store->addToCache(previous);
            break;
        }
    }

    // One read of the index per cycle: the baseline's, before the save, serves the forecast too;
    // without a baseline the forecast takes the days the save reads anyway. A few more days than
    // the windows cover days dated ahead of today.
    const bool baseline = config.alertMode() == QLatin1String("baseline");
    const bool forecast = config.forecastDays() > 0;
    recentDays = baseline ? store->loadRecentSummaries(
                                std::max({config.baselineDays(), 3, forecast ? kForecastWindowDays : 0}) + 8)
                          : QList<DiskDaySummary>();
    store->keepRecentDays = forecast && !baseline ? kForecastWindowDays + 8 : 0;
    threshold = computeThresholdBytes();
    store->spikeThresholdBytes = threshold;

    const QJsonObject alerts = readJson(alertsPath).object();
    const QString dayText = date.toString(Qt::ISODate);
    // A top-level scan that ran out of time today is not started again on every cycle.
    const bool scanTimedOut = alerts.value(QLatin1String("timeoutDate")).toString() == dayText;
    auto scanOrFinalize = [&] {
        if (!today.topLevel.isEmpty() || scanTimedOut)
            finalize();
        else
            startTopLevelScan();
    };

    // Growth per elapsed day: after days without a record, their growth is not one day's.
    elapsedDays = previous.date.isValid() ? std::max<qint64>(1, previous.date.daysTo(date)) : 1;
    if (!previous.date.isValid() || (used - previous.total) / elapsedDays < threshold) {
        scanOrFinalize();
        return;
    }
    spikeDetected = true;
    spikeGrowth = used - previous.total;
    qint64 alertedGrowth = 0;
    for (const QJsonValue &entry : alerts.value(QLatin1String("spikes")).toArray()) {
        const QJsonObject spike = entry.toObject();
        if (spike.value(QLatin1String("date")).toString() != dayText)
            continue;
        spikeStored = true;
        alertedToday.append(spike.value(QLatin1String("causeDir")).toString());
        alertedGrowth = std::max(alertedGrowth, jsonBytes(spike.value(QLatin1String("growth"))));
    }
    const bool rescanDone = alerts.value(QLatin1String("rescanDate")).toString() == dayText;
    if (spikeStored) {
        // The day's spike was recorded. Growth since then that crosses the threshold again has a
        // source of its own: the day's second full scan looks for it among the other directories.
        const qint64 sinceAlert = used - (previous.total + alertedGrowth);
        if (sinceAlert < threshold || rescanDone || scanTimedOut || today.topLevel.isEmpty()) {
            finalize();
            return;
        }
        secondSource = true;
        rescanning = true;
        startTopLevelScan();
        return;
    }
    if (today.topLevel.isEmpty()) {
        scanOrFinalize();
        return;
    }
    // Growth that came after the day's scan: look at the top level once more, unless that scan ran
    // out of time today already.
    if (!growthExplained() && !rescanDone && !scanTimedOut) {
        rescanning = true;
        startTopLevelScan();
        return;
    }
    if (!alertableGrowth() || !startDrillFromGrowth())
        finalize();
}

void DiskMonitor::startTopLevelScan()
{
    if (!scanner->startTopLevelScan())
        finalize();
}

DiskItem DiskMonitor::growthTarget() const
{
    // The largest grower that is a directory and not excluded; the drill caches of earlier runs
    // do not compete, or each run would walk one level deeper.
    const DiskDayRecord current = withoutDrillCache(today);
    const QStringList incomparable = incomparableTopLevel(previous, today);
    for (const DiskItem &item :
         DiskHistoryStore::topGrowthItems(previous, current, int(current.topLevel.size()))) {
        if (item.isDir && !isExcluded(item.path) && !incomparable.contains(item.path) &&
            !alertedToday.contains(item.path))
            return item;
    }
    return {};
}

bool DiskMonitor::alertableGrowth() const
{
    // Growth inside excluded directories is not alertable, and du leaves it out of the sizes: with
    // exclusions in force only what the scan measured outside them may cross the threshold. A
    // second source of the day must cross it on its own, without the directories alerted already.
    const bool exclusions = !scanner->excludedPaths.isEmpty() || !today.scanExcluded.isEmpty();
    if (!exclusions && !secondSource)
        return true;
    qint64 grown = 0;
    const QStringList incomparable = incomparableTopLevel(previous, today);
    for (const DiskItem &item :
         DiskHistoryStore::topGrowthItems(previous, withoutDrillCache(today), int(today.topLevel.size()))) {
        if (!incomparable.contains(item.path) && !isExcluded(item.path) && !alertedToday.contains(item.path))
            grown += item.size;
    }
    return grown / std::max<qint64>(1, elapsedDays) >= threshold;
}

bool DiskMonitor::growthExplained() const
{
    qint64 grown = 0;
    const QStringList incomparable = incomparableTopLevel(previous, today);
    for (const DiskItem &item :
         DiskHistoryStore::topGrowthItems(previous, withoutDrillCache(today), int(today.topLevel.size()))) {
        if (!incomparable.contains(item.path))
            grown += item.size;
    }
    return grown * 2 >= spikeGrowth;
}

bool DiskMonitor::startDrillFromGrowth()
{
    const DiskItem target = growthTarget();
    if (target.path.isEmpty())
        return false;
    drillPath = target.path;
    // A drill of this day saved by a cycle whose alert could not be recorded: not run again.
    const auto saved = today.drillCache.constFind(drillPath);
    if (saved != today.drillCache.cend() && !saved.value().isEmpty()) {
        const QList<DiskItem> items = saved.value();
        QTimer::singleShot(0, this, [this, path = drillPath, items] {
            if (running && drillPath == path)
                onDrillFinished(path, items);
        });
        return true;
    }
    if (scanner->drillInto(drillPath))
        return true;
    recordSpike(drillPath, {target});
    return false;
}

void DiskMonitor::recordSpike(const QString &causeDir, const QList<DiskItem> &causes)
{
    DiskSpikeInfo spike;
    spike.date = today.date;
    spike.growth = spikeGrowth;
    spike.causeDir = causeDir;
    spike.causes = causes;
    spikes.append(spike);
}

void DiskMonitor::onTopLevelFinished(const QList<DiskItem> &items, bool complete)
{
    if (!running)
        return;
    resultDelivered = true;
    // An incomplete list never replaces a complete one of the same day.
    if (complete || today.topLevel.isEmpty() || !today.complete) {
        today.topLevel = items;
        today.complete = complete;
        noteScanExclusions();
        scannedTopLevel = true;
    }
    if (rescanning) {
        QJsonObject mark;
        mark.insert(QStringLiteral("rescanDate"), today.date.toString(Qt::ISODate));
        setAlertMarks(mark);
    }
    if (spikeDetected && alertableGrowth() && startDrillFromGrowth())
        return;
    finalize();
}

void DiskMonitor::onDrillFinished(const QString &path, const QList<DiskItem> &items)
{
    if (!running)
        return;
    resultDelivered = true;
    today.drillCache.insert(path, items);
    drills.insert(path, items);
    if (spikeDetected)
        recordSpike(path, largestCauses(items, config.excludes(), QDir::homePath(), kMaxCauses));
    finalize();
}

void DiskMonitor::onScanFinished(bool ok, const QString &message)
{
    if (!running)
        return;
    // A run that delivered its list (du exiting non-zero on unreadable directories is normal for
    // "/") is a result, not a failure: the cycle goes on with it.
    if (resultDelivered) {
        resultDelivered = false;
        return;
    }
    if (ok)
        return;
    // The drill-down could not run: keep the day, and the spike with the top-level grower.
    if (!drillPath.isEmpty() && !today.topLevel.isEmpty()) {
        const DiskItem target = growthTarget();
        if (spikeDetected && spikes.isEmpty() && !target.path.isEmpty())
            recordSpike(target.path, {target});
        finalize();
        return;
    }
    failAfterSaving(message);
}

void DiskMonitor::onWatchdog()
{
    if (!running)
        return;
    if (drillPath.isEmpty()) {
        // Keep what the top-level scan measured so far, and do not start it again today.
        const QList<DiskItem> partial = scanner->partialItems();
        if (!partial.isEmpty() && (today.topLevel.isEmpty() || !today.complete)) {
            today.topLevel = partial;
            today.complete = false;
            noteScanExclusions();
            scannedTopLevel = true;
        }
        QJsonObject mark;
        mark.insert(QStringLiteral("timeoutDate"), today.date.toString(Qt::ISODate));
        setAlertMarks(mark);
    } else if (spikeDetected && spikes.isEmpty()) {
        const DiskItem target = growthTarget();
        if (!target.path.isEmpty())
            recordSpike(target.path, {target});
    }
    failAfterSaving(tr("监控周期超时"));
}

bool DiskMonitor::saveDay(QString *error)
{
    store->retentionDays = config.retentionDays();
    store->budgetBytes = qint64(config.storageBudgetMB()) * kMiB;
    store->samplesRetentionDays = config.samplesRetentionDays();
    store->memoryCacheDays = config.memoryCacheDays();
    // Merged into the file as it is now: a writer in another process (the window, a cycle that
    // overlapped this one) keeps what it wrote.
    const QDateTime saveTime = diskNow();
    const bool saved = store->updateDayRecord(today.date, [this, saveTime](DiskDayRecord &day) {
        bool known = false;
        for (const DiskSample &s : std::as_const(day.samples))
            known = known || (s.time == sample.time && s.total == sample.total);
        if (!known)
            day.samples.append(sample);
        std::stable_sort(day.samples.begin(), day.samples.end(),
                         [](const DiskSample &a, const DiskSample &b) { return a.time < b.time; });
        // Samples stamped ahead of this cycle (a clock that ran ahead) never make the day's total.
        DiskHistoryStore::setAsideFutureSamples(&day, saveTime);
        day.capacity = today.capacity;
        day.total = day.samples.isEmpty() ? sample.total : day.samples.constLast().total;
        const bool keepComplete = !today.complete && day.complete && !day.topLevel.isEmpty();
        if (scannedTopLevel && !keepComplete) {
            day.topLevel = today.topLevel;
            day.complete = today.complete;
            day.scanExcluded = today.scanExcluded;
            day.scanExcludedKnown = today.scanExcludedKnown;
        }
        for (auto it = drills.cbegin(); it != drills.cend(); ++it)
            day.drillCache.insert(it.key(), it.value());
    });
    if (!saved && error)
        *error = store->lastError();
    return saved;
}

void DiskMonitor::failAfterSaving(const QString &message)
{
    QString error;
    const bool saved = saveDay(&error);
    const QList<DiskSpikeInfo> notify = updateAlerts();
    for (const DiskSpikeInfo &spike : notify)
        sendNotification(spike);
    const QJsonObject forecast = updateForecast(saved);
    if (!forecast.isEmpty())
        sendCall(forecastNotificationArguments(forecast));
    finish(false, forecastError.isEmpty()
                      ? message
                      : message + QStringLiteral("；") + tr("预测记录保存失败：%1").arg(forecastError));
}

void DiskMonitor::finalize()
{
    if (!running)
        return;
    const QList<DiskSpikeInfo> notify = updateAlerts();
    QString error;
    const bool saved = saveDay(&error);
    for (const DiskSpikeInfo &spike : notify)
        sendNotification(spike);
    const QJsonObject forecast = updateForecast(saved);
    if (!forecast.isEmpty())
        sendCall(forecastNotificationArguments(forecast));
    QStringList failures;
    if (!saved)
        failures << tr("监控记录保存失败：%1").arg(error);
    // Not recorded, so not sent: the next cycle raises the alert again.
    if (alertsWriteFailed)
        failures << tr("告警记录保存失败：%1").arg(alertsError.isEmpty() ? alertsPath : alertsError);
    if (!forecastError.isEmpty())
        failures << tr("预测记录保存失败：%1").arg(forecastError);
    if (!failures.isEmpty()) {
        finish(false, failures.join(QStringLiteral("；")));
        return;
    }
    finish(true, tr("监控完成"));
}

void DiskMonitor::finish(bool ok, const QString &message)
{
    if (!running)
        return;
    running = false;
    watchdog->stop();
    scanner->cancel();
    exportCycleMetrics(config, ok, cycleLock && cycleLock->isLocked());
    cycleLock.reset();
    emit finished(ok, message);
}

void DiskMonitor::shutdown()
{
    watchdog->stop();
    scanner->cancel();
}

DiskHistoryIndex DiskMonitor::recentIndex(int baselineDays) const
{
    // Only the newest days count; a few more cover today and days dated ahead of it.
    DiskHistoryIndex index;
    index.days = recentDays.mid(std::max<qsizetype>(0, recentDays.size() - (std::max(baselineDays, 3) + 8)));
    return index;
}

qint64 DiskMonitor::computeThresholdBytes()
{
    const qint64 floor = qint64(config.minAlertMB()) * kMiB;
    if (config.alertMode() == QLatin1String("baseline")) {
        const qint64 baseline =
            baselineGrowth(recentIndex(config.baselineDays()), diskToday(), config.baselineDays());
        const double scaled = config.baselineMultiplier() * double(baseline);
        // Out-of-range products (a huge multiplier) saturate instead of overflowing.
        const qint64 threshold = scaled >= 9.2e18    ? std::numeric_limits<qint64>::max()
                                 : scaled <= -9.2e18 ? std::numeric_limits<qint64>::min()
                                                     : qint64(scaled);
        return std::max(threshold, floor);
    }
    return qint64(std::max(config.fixedThresholdMB(), config.minAlertMB())) * kMiB;
}

bool DiskMonitor::inCooldown(const QString &path) const
{
    const auto it = lastAlert.constFind(path);
    if (it == lastAlert.cend() || !it.value().isValid())
        return false;
    const QDateTime at = now.isValid() ? now : diskNow();
    return it.value().secsTo(at) < qint64(config.cooldownHours()) * 3600;
}

bool DiskMonitor::isQuietHours(const QDateTime &time) const
{
    return isQuietTime(time.time(), config.quietStart(), config.quietEnd());
}

void DiskMonitor::noteScanExclusions()
{
    // Kept with the sizes they shaped, so a later day knows what it compares with.
    today.scanExcluded = scanner->excludedPaths;
    today.scanExcluded.sort();
    today.scanExcluded.removeDuplicates();
    today.scanExcludedKnown = true;
}

bool DiskMonitor::isExcluded(const QString &path) const
{
    return isExcludedPath(path, config.excludes(), QDir::homePath());
}

void DiskMonitor::sendNotification(const DiskSpikeInfo &spike)
{
    sendCall(notificationArguments(spike));
}

void DiskMonitor::sendCall(const QVariantList &arguments)
{
    if (arguments.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call.setArguments(arguments);
    bus.call(call, QDBus::Block, kNotifyTimeoutMs);
}

void DiskMonitor::recordAlertTime(const QString &path)
{
    lastAlert.insert(path, now.isValid() ? now : diskNow());
}

void DiskMonitor::loadAlerts()
{
    const QJsonDocument doc = readJson(alertsPath);
    if (!doc.isObject())
        return;
    const QJsonObject times = doc.object().value(QLatin1String("lastAlert")).toObject();
    for (auto it = times.constBegin(); it != times.constEnd(); ++it) {
        const QDateTime when = QDateTime::fromString(it.value().toString(), Qt::ISODateWithMs);
        if (when.isValid())
            lastAlert.insert(it.key(), when);
    }
}

void DiskMonitor::saveAlerts()
{
    for (const DiskSpikeInfo &spike : updateAlerts())
        sendNotification(spike);
}

void DiskMonitor::setAlertMarks(const QJsonObject &marks)
{
    HistoryLock lock;
    if (!lock.isLocked())
        return;
    QJsonObject root = readJson(alertsPath).object();
    for (auto it = marks.constBegin(); it != marks.constEnd(); ++it)
        root.insert(it.key(), it.value());
    writeJsonAtomic(alertsPath, QJsonDocument(root));
}

QList<DiskSpikeInfo> DiskMonitor::updateAlerts()
{
    QList<DiskSpikeInfo> notify;
    const bool quiet = isQuietHours(now.isValid() ? now : diskNow());
    if (spikes.isEmpty() && quiet)
        return notify;
    // Read, merged and written under the history lock: the window and another cycle may write it.
    HistoryLock lock;
    if (!lock.isLocked()) {
        if (!spikes.isEmpty()) {
            alertsWriteFailed = true;
            alertsError = lock.isBusy() ? tr("历史目录正被另一个进程占用")
                                        : tr("无法在 %1 中加锁").arg(DiskHistoryStore::historyDir());
        }
        return notify;
    }
    const QJsonDocument doc = readJson(alertsPath);
    QJsonObject root = doc.isObject() ? doc.object() : QJsonObject();
    const QJsonObject times = root.value(QLatin1String("lastAlert")).toObject();
    for (auto it = times.constBegin(); it != times.constEnd(); ++it) {
        const QDateTime when = QDateTime::fromString(it.value().toString(), Qt::ISODateWithMs);
        if (when.isValid() && (!lastAlert.contains(it.key()) || lastAlert.value(it.key()) < when))
            lastAlert.insert(it.key(), when);
    }
    QJsonArray stored = root.value(QLatin1String("spikes")).toArray();
    bool changed = false;
    auto alert = [&](QJsonObject &entry) {
        entry.insert(QStringLiteral("alerted"), true);
        entry.remove(QStringLiteral("deferred"));
        DiskSpikeInfo spike;
        spike.date = parseIsoDay(entry.value(QLatin1String("date")).toString());
        spike.growth = jsonBytes(entry.value(QLatin1String("growth")));
        spike.causeDir = entry.value(QLatin1String("causeDir")).toString();
        spike.alerted = true;
        recordAlertTime(spike.causeDir);
        notify.append(spike);
    };
    // Spikes held back by quiet hours go out at the first cycle outside them, once each.
    if (!quiet) {
        for (int i = 0; i < stored.size(); ++i) {
            QJsonObject entry = stored.at(i).toObject();
            if (!entry.value(QLatin1String("deferred")).toBool() ||
                entry.value(QLatin1String("alerted")).toBool())
                continue;
            // In cooldown when it could go out: suppressed as any other spike of that directory.
            if (inCooldown(entry.value(QLatin1String("causeDir")).toString())) {
                entry.remove(QStringLiteral("deferred"));
                stored.replace(i, entry);
                changed = true;
                continue;
            }
            alert(entry);
            stored.replace(i, entry);
            changed = true;
        }
    }
    for (const DiskSpikeInfo &spike : std::as_const(spikes)) {
        const QString date = spike.date.toString(Qt::ISODate);
        bool known = false;
        for (const QJsonValue &entry : std::as_const(stored)) {
            const QJsonObject obj = entry.toObject();
            known = known || (obj.value(QLatin1String("date")).toString() == date &&
                              obj.value(QLatin1String("causeDir")).toString() == spike.causeDir);
        }
        if (known)
            continue;
        QJsonObject entry = spikeToJson(spike);
        // A directory in cooldown is stored and never sent, in quiet hours as at any other time.
        if (!inCooldown(spike.causeDir)) {
            if (quiet)
                entry.insert(QStringLiteral("deferred"), true);
            else
                alert(entry);
        }
        stored.append(entry);
        changed = true;
    }
    if (!changed)
        return notify;
    while (stored.size() > kMaxStoredSpikes)
        stored.removeFirst();
    QJsonObject encodedTimes;
    for (auto it = lastAlert.cbegin(); it != lastAlert.cend(); ++it)
        encodedTimes.insert(it.key(), it.value().toString(Qt::ISODateWithMs));
    root.insert(QStringLiteral("lastAlert"), encodedTimes);
    root.insert(QStringLiteral("spikes"), stored);
    if (!writeJsonAtomic(alertsPath, QJsonDocument(root))) {
        alertsWriteFailed = true;
        alertsError = alertsPath;
        // Not recorded: not sent either, so the next cycle's alert is the first one.
        notify.clear();
    }
    return notify;
}

} // namespace Tavrin
