#include "disk/diskmonitor.h"

#include "backend/backend.h"
#include "disk/jsonfileio.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace Tavrin {

namespace {

constexpr int kMaxStoredSpikes = 200;
constexpr int kMaxCauses = 5;
constexpr int kPreviousDaySearch = 60;
constexpr qint64 kMiB = 1048576;

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

bool isExcludedPath(const QString &path, const QStringList &patterns, const QString &home)
{
    for (QString pattern : patterns) {
        if (pattern.isEmpty())
            continue;
        if (pattern == QLatin1String("~"))
            pattern = home;
        else if (pattern.startsWith(QLatin1String("~/")))
            pattern = home + pattern.mid(1);
        // "/var/cache/" means the directory "/var/cache".
        while (pattern.size() > 1 && pattern.endsWith(QLatin1Char('/')))
            pattern.chop(1);
        if (path == pattern || path.startsWith(pattern + QLatin1Char('/')))
            return true;
    }
    return false;
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
        if (day.growth > 0) {
            sum += day.growth;
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
    if (!config.enabled()) {
        finish(false, tr("监控未开启"));
        return;
    }
    spikeDetected = false;
    spikeGrowth = 0;
    drillPath.clear();
    spikes.clear();
    resultDelivered = false;
    watchdog->start(watchdogMs);

    qint64 capacity = 0;
    qint64 used = 0;
    if (!DiskScanner::dfRoot(&capacity, &used, nullptr)) {
        finish(false, tr("df 查询失败"));
        return;
    }

    const QDate date = QDate::currentDate();
    today = DiskDayRecord();
    if (!store->loadDay(date, &today))
        today = DiskDayRecord();
    today.date = date;
    today.capacity = capacity;
    today.total = used;
    DiskSample sample;
    sample.time = QDateTime::currentDateTime();
    sample.total = used;
    today.samples.append(sample);

    previous = DiskDayRecord();
    for (int n = 1; n <= kPreviousDaySearch; ++n) {
        DiskDayRecord candidate;
        if (store->loadDay(date.addDays(-n), &candidate) && !candidate.topLevel.isEmpty()) {
            previous = candidate;
            break;
        }
    }

    const qint64 threshold = computeThresholdBytes();
    store->spikeThresholdBytes = threshold;

    if (!previous.date.isValid() || used - previous.total < threshold) {
        if (!today.topLevel.isEmpty())
            finalize();
        else
            scanner->startTopLevelScan();
        return;
    }
    spikeDetected = true;
    spikeGrowth = used - previous.total;
    if (today.topLevel.isEmpty()) {
        scanner->startTopLevelScan();
        return;
    }
    if (!startDrillFromGrowth())
        finalize();
}

bool DiskMonitor::startDrillFromGrowth()
{
    const QList<DiskItem> top = DiskHistoryStore::topGrowthItems(previous, withoutDrillCache(today), 1);
    if (top.isEmpty() || !top.first().isDir || isExcluded(top.first().path))
        return false;
    drillPath = top.first().path;
    return scanner->drillInto(drillPath);
}

void DiskMonitor::onTopLevelFinished(const QList<DiskItem> &items, bool complete)
{
    if (!running)
        return;
    resultDelivered = true;
    today.topLevel = items;
    today.complete = complete;
    if (spikeDetected && startDrillFromGrowth())
        return;
    finalize();
}

void DiskMonitor::onDrillFinished(const QString &path, const QList<DiskItem> &items)
{
    if (!running)
        return;
    resultDelivered = true;
    today.drillCache.insert(path, items);
    if (spikeDetected) {
        DiskSpikeInfo spike;
        spike.date = today.date;
        spike.growth = spikeGrowth;
        spike.causeDir = path;
        spike.causes = items.mid(0, kMaxCauses);
        if (!inCooldown(path) && !isQuietHours(QDateTime::currentDateTime())) {
            sendNotification(spike);
            recordAlertTime(path);
            spike.alerted = true;
        }
        spikes.append(spike);
        saveAlerts();
    }
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
    // The drill-down could not run: keep the day with its top-level scan rather than lose it.
    if (!drillPath.isEmpty() && !today.topLevel.isEmpty()) {
        finalize();
        return;
    }
    finish(false, message);
}

void DiskMonitor::onWatchdog()
{
    finish(false, tr("监控周期超时"));
}

void DiskMonitor::finalize()
{
    store->retentionDays = config.retentionDays();
    store->budgetBytes = qint64(config.storageBudgetMB()) * kMiB;
    store->samplesRetentionDays = config.samplesRetentionDays();
    store->memoryCacheDays = config.memoryCacheDays();
    store->saveDayRecord(today);
    finish(true, tr("监控完成"));
}

void DiskMonitor::finish(bool ok, const QString &message)
{
    if (!running)
        return;
    running = false;
    watchdog->stop();
    scanner->cancel();
    emit finished(ok, message);
}

void DiskMonitor::shutdown()
{
    watchdog->stop();
    scanner->cancel();
}

qint64 DiskMonitor::computeThresholdBytes()
{
    const qint64 floor = qint64(config.minAlertMB()) * kMiB;
    if (config.alertMode() == QLatin1String("baseline")) {
        const qint64 baseline =
            baselineGrowth(store->loadIndex(), QDate::currentDate(), config.baselineDays());
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
    return it.value().secsTo(QDateTime::currentDateTime()) < qint64(config.cooldownHours()) * 3600;
}

bool DiskMonitor::isQuietHours(const QDateTime &time) const
{
    return isQuietTime(time.time(), config.quietStart(), config.quietEnd());
}

bool DiskMonitor::isExcluded(const QString &path) const
{
    return isExcludedPath(path, config.excludes(), QDir::homePath());
}

void DiskMonitor::sendNotification(const DiskSpikeInfo &spike)
{
    const QVariantList arguments = notificationArguments(spike);
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
    lastAlert.insert(path, QDateTime::currentDateTime());
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
    QJsonObject times;
    for (auto it = lastAlert.cbegin(); it != lastAlert.cend(); ++it)
        times.insert(it.key(), it.value().toString(Qt::ISODateWithMs));
    const QJsonDocument existing = readJson(alertsPath);
    const QJsonArray stored =
        existing.isObject() ? existing.object().value(QLatin1String("spikes")).toArray() : QJsonArray();
    const QJsonObject root{{QStringLiteral("lastAlert"), times},
                           {QStringLiteral("spikes"), mergeSpikes(stored, spikes)}};
    writeJsonAtomic(alertsPath, QJsonDocument(root));
}

} // namespace Tavrin
