#include "disk/diskmetrics.h"

#include "disk/historylock.h"
#include "disk/jsonfileio.h"
#include "disk/monitorconfig.h"

#include <QDir>
#include <QJsonArray>
#include <QMap>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>

namespace Tavrin {

namespace {

constexpr int kPreviousDaySearch = 60;
constexpr int kForecastWindowDays = 30;
const QByteArray kLastSuccessName = "tavrin_monitor_last_success_timestamp_seconds";

struct Family
{
    QByteArray text;
    void begin(const char *name, const char *type, const char *help)
    {
        text += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    }
    void sample(const char *name, const QByteArray &value, const QByteArray &labels = QByteArray())
    {
        text += QByteArray(name) + labels + ' ' + value + '\n';
    }
};

QByteArray integer(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray seconds(const QDateTime &time)
{
    return QByteArray::number(double(time.toMSecsSinceEpoch()) / 1000.0, 'f', 3);
}

bool loadRecord(const QString &historyDir, const QDate &date, DiskDayRecord *out)
{
    return dayRecordFromBytes(
        readFileBytes(historyDir + QLatin1Char('/') + date.toString(Qt::ISODate) + QStringLiteral(".json")),
        out);
}

} // namespace

QString escapeMetricLabel(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out;
}

QByteArray formatDiskMetrics(const DiskMetrics &m)
{
    Family f;
    if (m.diskKnown) {
        f.begin("tavrin_disk_used_bytes", "gauge", "Bytes used on the system disk at the newest sample.");
        f.sample("tavrin_disk_used_bytes", integer(m.used));
        // A capacity of 0 is what df said: exported as measured, the forecast then has none.
        f.begin("tavrin_disk_capacity_bytes", "gauge", "Size of the system disk in bytes.");
        f.sample("tavrin_disk_capacity_bytes", integer(m.capacity));
    }
    if (m.forecast.hasDays()) {
        // In seconds, the exposition format's base unit; the rules compare with 7 * 86400.
        f.begin("tavrin_disk_time_to_full_seconds", "gauge",
                "Time until the system disk is full at its growth per day over the last 30 days.");
        f.sample("tavrin_disk_time_to_full_seconds",
                 QByteArray::number(std::min(m.forecast.daysExact, 1e12) * 86400.0, 'f', 0));
    }
    if (m.dayGrowthKnown) {
        f.begin("tavrin_disk_day_growth_bytes", "gauge",
                "Growth of the system disk since the previous day with a record (negative when it shrank).");
        f.sample("tavrin_disk_day_growth_bytes", integer(m.dayGrowth));
    }
    if (!m.directoryGrowth.isEmpty()) {
        f.begin("tavrin_disk_directory_growth_bytes", "gauge",
                "Growth since the previous scanned day of the top-level directories that grew most.");
        QStringList seen;
        for (const DiskItem &item : m.directoryGrowth) {
            // One series per path: a path listed twice would be a duplicate the collector rejects.
            if (seen.contains(item.path))
                continue;
            seen << item.path;
            f.sample("tavrin_disk_directory_growth_bytes", integer(item.size),
                     "{path=\"" + escapeMetricLabel(item.path).toUtf8() + "\"}");
        }
    }
    f.begin("tavrin_disk_spikes_today", "gauge", "Abnormal growth alerts recorded for the cycle's day.");
    f.sample("tavrin_disk_spikes_today", integer(m.spikesToday));
    f.begin("tavrin_disk_spikes_recorded", "gauge", "Abnormal growth alerts kept in the alert history.");
    f.sample("tavrin_disk_spikes_recorded", integer(m.spikesRecorded));
    f.begin("tavrin_monitor_last_cycle_timestamp_seconds", "gauge", "When the last monitor cycle ended.");
    f.sample("tavrin_monitor_last_cycle_timestamp_seconds", seconds(m.cycleTime));
    if (m.lastSuccess.isValid()) {
        f.begin(kLastSuccessName.constData(), "gauge", "When the last successful monitor cycle ended.");
        f.sample(kLastSuccessName.constData(), seconds(m.lastSuccess));
    }
    f.begin("tavrin_monitor_last_cycle_failed", "gauge", "1 when the last monitor cycle failed, else 0.");
    f.sample("tavrin_monitor_last_cycle_failed", m.cycleFailed ? "1" : "0");
    return f.text;
}

QDateTime lastSuccessFromMetrics(const QByteArray &previousFile)
{
    for (const QByteArray &line : previousFile.split('\n')) {
        if (!line.startsWith(kLastSuccessName + ' '))
            continue;
        bool ok = false;
        const double value = line.mid(kLastSuccessName.size() + 1).trimmed().toDouble(&ok);
        if (ok && value > 0 && value < 1e13)
            return QDateTime::fromMSecsSinceEpoch(qint64(value * 1000.0));
    }
    return QDateTime();
}

DiskMetrics collectDiskMetrics(const QString &historyDir, const QDateTime &now, bool cycleOk,
                               const QDateTime &previousSuccess)
{
    DiskMetrics m;
    m.cycleTime = now;
    m.cycleFailed = !cycleOk;
    m.lastSuccess = cycleOk ? now : previousSuccess;
    const QDate today = now.date();

    DiskDayRecord current;
    const bool haveToday = loadRecord(historyDir, today, &current);
    if (haveToday) {
        m.diskKnown = true;
        m.used = current.total;
        m.capacity = current.capacity;
    }

    DiskDayRecord before;
    DiskDayRecord scannedBefore;
    for (int n = 1; n <= kPreviousDaySearch; ++n) {
        DiskDayRecord r;
        if (!loadRecord(historyDir, today.addDays(-n), &r))
            continue;
        if (!before.date.isValid())
            before = r;
        if (!r.topLevel.isEmpty()) {
            scannedBefore = r;
            break;
        }
    }
    if (haveToday && before.date.isValid()) {
        m.dayGrowthKnown = true;
        m.dayGrowth = current.total - before.total;
    }
    if (haveToday && !current.topLevel.isEmpty() && scannedBefore.date.isValid()) {
        QMap<QString, qint64> earlier;
        for (const DiskItem &item : std::as_const(scannedBefore.topLevel))
            earlier.insert(item.path, item.size);
        QList<DiskItem> grown;
        for (const DiskItem &item : std::as_const(current.topLevel)) {
            const qint64 growth = item.size - earlier.value(item.path, 0);
            if (growth > 0 && item.isDir)
                grown.append({item.path, growth, true});
        }
        std::stable_sort(grown.begin(), grown.end(),
                         [](const DiskItem &a, const DiskItem &b) { return a.size > b.size; });
        m.directoryGrowth = grown.mid(0, kMetricsGrowthDirs);
    }

    QList<DiskForecastPoint> points;
    const QJsonDocument index = readJson(historyDir + QStringLiteral("/index.json"));
    for (const DiskDaySummary &d : historyIndexFromJson(index.object()).days)
        points.append({d.date, d.total, d.capacity});
    // Without the index (deleted, or not written yet) the window's day files speak for it.
    if (points.isEmpty()) {
        for (int back = kForecastWindowDays; back >= 1; --back) {
            DiskDayRecord r;
            if (loadRecord(historyDir, today.addDays(-back), &r))
                points.append({r.date, r.total, r.capacity});
        }
    }
    if (haveToday)
        points.append({today, current.total, current.capacity});
    m.forecast = forecastDaysToFull(points, today, kForecastWindowDays);

    const QJsonArray spikes = readJson(historyDir + QStringLiteral("/alert.json"))
                                  .object()
                                  .value(QLatin1String("spikes"))
                                  .toArray();
    m.spikesRecorded = int(spikes.size());
    const QString dayText = today.toString(Qt::ISODate);
    for (const QJsonValue &v : spikes)
        m.spikesToday += v.toObject().value(QLatin1String("date")).toString() == dayText ? 1 : 0;
    return m;
}

bool writeDiskMetrics(const QString &directory, const DiskMetrics &metrics, QString *error)
{
    return writeFileAtomic(QDir(directory).filePath(QLatin1String(kMetricsFileName)),
                           formatDiskMetrics(metrics), error);
}

void exportCycleMetrics(const MonitorConfig &config, bool cycleOk, bool cycleRan)
{
    QString directory = config.metricsDirectory();
    if (!cycleRan || directory.isEmpty())
        return;
    if (directory == QLatin1String("~") || directory.startsWith(QLatin1String("~/")))
        directory = QDir::homePath() + directory.mid(1);
    const QString historyDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                               QStringLiteral("/tavrin-manager/disk-history");
    const QString file = QDir(directory).filePath(QLatin1String(kMetricsFileName));
    const DiskMetrics metrics =
        collectDiskMetrics(historyDir, diskNow(), cycleOk, lastSuccessFromMetrics(readFileBytes(file)));
    QString error;
    if (!writeDiskMetrics(directory, metrics, &error))
        qWarning().noquote() << QStringLiteral("[DiskMetrics] cannot write %1: %2").arg(file, error);
}

} // namespace Tavrin
