#include "status/systemstatus.h"

#include "backend/backend_p.h"
#include "disk/diskscanner.h"
#include "disk/historylock.h"
#include "disk/jsonfileio.h"
#include "disk/monitorconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent>

namespace Tavrin {

namespace {

constexpr int kStatusToolTimeoutMs = 30000;
constexpr int kForecastWindowDays = 30;
// Day files read when the index is missing; also the days the index is trusted for.
constexpr int kRecentDays = kForecastWindowDays + 10;

QString failureText(const CommandResult &r)
{
    if (!r.error.isEmpty())
        return r.error;
    return !r.errorOutput.isEmpty() ? r.errorOutput : r.output;
}

// The tool answered, but not with what it answers: keep its words for the user.
QString unparsable(const QString &what, const QString &output)
{
    return StatusText::tr("无法解析%1：%2").arg(what, output.left(2000));
}

// The tools answer {"data": {...}}: the member a reader needs, undefined when absent.
QJsonValue dataMember(const QString &output, const char *key)
{
    return parseJson(output).value(QLatin1String("data")).toObject().value(QLatin1String(key));
}

void readDeployment(DeploymentStatus *out)
{
    const CommandResult r =
        runProcess(ctlPath(), {QStringLiteral("admin"), QStringLiteral("status"), QStringLiteral("-j")},
                   kStatusToolTimeoutMs, false);
    if (!r.ok) {
        out->error = failureText(r);
        return;
    }
    if (!dataMember(r.output, "deploy_list").isArray()) {
        out->error = unparsable(StatusText::tr("部署列表"), r.output);
        return;
    }
    const QList<DeployInfo> deploys = parseDeployList(r.output);
    out->ok = true;
    for (const DeployInfo &d : deploys) {
        if (d.isBooted && out->bootedCommit.isEmpty()) {
            out->bootedVersion = d.version;
            out->bootedCommit = d.commit;
            out->bootedTime = d.time;
        }
    }
    const QString staged = stagedDeployFromList(deploys);
    for (const DeployInfo &d : deploys) {
        if (!staged.isEmpty() && d.commit == staged) {
            out->staged = true;
            out->stagedCommit = d.commit;
            out->stagedVersion = d.version;
            break;
        }
    }
}

void readSnapshotPart(SnapshotStatus *out)
{
    const SnapshotListResult r = readSnapshots();
    if (!r.ok) {
        out->error = r.error;
        return;
    }
    out->ok = true;
    out->count = int(r.snapshots.size());
    // Oldest first; equal times keep the tool's order, so the last listed wins.
    for (const SnapshotInfo &s : r.snapshots) {
        if (!out->hasNewest || s.time >= out->newestTime) {
            out->hasNewest = true;
            out->newestId = s.id;
            out->newestName = s.name;
            out->newestTime = s.time;
        }
    }
}

void readProtection(ProtectionStatus *out)
{
    const CommandResult r = runProcess(ctlPath(), {QStringLiteral("-s")}, kStatusToolTimeoutMs, false);
    if (!r.ok) {
        out->error = failureText(r);
        return;
    }
    if (!r.output.contains(QLatin1String("Immutable mode:"), Qt::CaseInsensitive)) {
        out->error = unparsable(StatusText::tr("保护状态"), r.output);
        return;
    }
    out->ok = true;
    out->immutable = isImmutableAnswer(r.output);
}

void readWritable(WritableLayerStatus *out)
{
    const CommandResult r = runProcess(writablePath(), {QStringLiteral("status"), QStringLiteral("-j")},
                                       kStatusToolTimeoutMs, false);
    if (!r.ok) {
        out->error = failureText(r);
        return;
    }
    const WritableStatus w = parseWritableStatus(r.output);
    if (!w.known()) {
        out->error = unparsable(StatusText::tr("可写层状态"), r.output);
        return;
    }
    out->ok = true;
    out->enabled = w.enabled;
    out->clearAfterReboot = w.clearAfterReboot;
}

void readDisk(DiskUsageStatus *out)
{
    QString error;
    if (!DiskScanner::dfRoot(&out->capacity, &out->used, &error)) {
        out->capacity = 0;
        out->used = 0;
        out->error = error.isEmpty() ? StatusText::tr("df 查询失败") : error;
        return;
    }
    out->ok = true;
}

void readTimer(MonitorStatus *out)
{
    // The user's own systemd: no elevation, found on PATH as the disk page finds it.
    const CommandResult r = runProcess(
        QStringLiteral("systemctl"),
        {QStringLiteral("--user"), QStringLiteral("is-active"), QStringLiteral("tavrin-monitor.timer")},
        kStatusToolTimeoutMs, false);
    // "is-active" answers "inactive" with exit code 3: an answer, not a failure.
    const QString state = r.output.section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!state.isEmpty() && r.exitCode >= 0) {
        out->timerOk = true;
        out->timerState = state;
        return;
    }
    out->timerError = failureText(r);
    if (out->timerError.isEmpty())
        out->timerError = StatusText::tr("systemctl --user 没有回答");
}

QList<DiskDaySummary> recentDays(const QString &historyDir, QDate *newestFile, bool *readable)
{
    QDir dir(historyDir);
    QList<QDate> dates;
    *readable = true;
    if (dir.exists()) {
        if (!QFileInfo(historyDir).isReadable()) {
            *readable = false;
            return {};
        }
        for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
            const QDate date = dayFileDate(name);
            if (date.isValid() && name == date.toString(Qt::ISODate) + QStringLiteral(".json"))
                dates.append(date);
        }
    }
    std::sort(dates.begin(), dates.end());
    *newestFile = dates.isEmpty() ? QDate() : dates.constLast();

    QMap<QDate, DiskDaySummary> days;
    const QJsonDocument index = readJson(dir.filePath(QStringLiteral("index.json")));
    if (index.isObject()) {
        for (const DiskDaySummary &d : historyIndexFromJson(index.object()).days)
            days.insert(d.date, d);
    }
    // The index may lag behind the files (a save cut short) or be gone: the newest files count.
    const int fromFiles = index.isObject() ? 2 : kRecentDays;
    for (int i = int(dates.size()) - 1; i >= 0 && i >= int(dates.size()) - fromFiles; --i) {
        DiskDayRecord record;
        if (!dayRecordFromBytes(
                readFileBytes(dir.filePath(dates.at(i).toString(Qt::ISODate) + QStringLiteral(".json"))),
                &record))
            continue;
        DiskDaySummary s;
        s.date = dates.at(i);
        s.total = record.total;
        s.capacity = record.capacity;
        days.insert(s.date, s);
    }
    return days.values();
}

QDateTime newestSampleTime(const QString &historyDir, const QDate &newestFile)
{
    QDateTime newest;
    // A day written by the window's scan has no samples: look a few days further back.
    for (int back = 0; back < 3 && newestFile.isValid(); ++back) {
        DiskDayRecord record;
        const QString file = historyDir + QLatin1Char('/') + newestFile.addDays(-back).toString(Qt::ISODate) +
                             QStringLiteral(".json");
        if (!dayRecordFromBytes(readFileBytes(file), &record))
            continue;
        for (const DiskSample &s : std::as_const(record.samples)) {
            if (s.time.isValid() && (!newest.isValid() || s.time > newest))
                newest = s.time;
        }
        if (newest.isValid())
            break;
    }
    return newest;
}

void readAlerts(AlertStatus *out, const QString &historyDir)
{
    const QString path = historyDir + QStringLiteral("/alert.json");
    if (!QFileInfo::exists(path)) {
        out->ok = true;
        return;
    }
    const QJsonDocument doc = readJson(path);
    if (!doc.isObject()) {
        out->error = StatusText::tr("告警文件已损坏：%1").arg(path);
        return;
    }
    out->ok = true;
    const QJsonArray spikes = doc.object().value(QLatin1String("spikes")).toArray();
    out->count = int(spikes.size());
    for (const QJsonValue &value : spikes) {
        const QJsonObject o = value.toObject();
        const QDate date = parseIsoDay(o.value(QLatin1String("date")).toString());
        if (!date.isValid())
            continue;
        // Oldest first in the file; the newest date wins, the later entry among equals.
        if (out->hasAlert && date < out->newest.date)
            continue;
        out->hasAlert = true;
        out->newest.date = date;
        out->newest.growth = jsonBytes(o.value(QLatin1String("growth")));
        out->newest.causeDir = o.value(QLatin1String("causeDir")).toString();
        out->newest.alerted = o.value(QLatin1String("alerted")).toBool();
    }
    if (!out->hasAlert)
        return;
    // What the disk page remembers: dismissed banners and the count seen in its history.
    const QJsonObject ui = readJson(historyDir + QStringLiteral("/alert-ui-state.json")).object();
    QSet<QString> dismissed;
    for (const QJsonValue &v : ui.value(QLatin1String("dismissed")).toArray())
        dismissed.insert(v.toString());
    const int seen = qMax(0, ui.value(QLatin1String("seen")).toInt());
    const QString key = out->newest.date.toString(Qt::ISODate) + QLatin1Char('|') + out->newest.causeDir;
    out->unseen = !dismissed.contains(key) && out->count > seen;
}

} // namespace

int MonitorStatus::staleAfterMinutes() const
{
    return qMax(60, pollMinutes > 0 ? 3 * pollMinutes : 60);
}

QStringList SystemStatus::attention() const
{
    QStringList keys;
    if (alert.ok && alert.unseen)
        keys << QStringLiteral("unseenAlert");
    if (disk.ok && disk.capacity > 0 && disk.used >= disk.capacity)
        keys << QStringLiteral("diskFull");
    else if (forecast.ok && forecast.forecast.hasDays() && forecast.forecast.daysToFull <= forecast.limitDays)
        keys << QStringLiteral("forecast");
    if (monitor.ok && monitor.enabled && monitor.stale)
        keys << QStringLiteral("monitorStale");
    if (monitor.enabled && monitor.timerOk && monitor.timerState != QLatin1String("active"))
        keys << QStringLiteral("timerInactive");
    return keys;
}

QStringList SystemStatus::unreadable() const
{
    QStringList keys;
    const std::pair<const StatusPart *, const char *> parts[] = {{&deployment, "deployment"},
                                                                 {&snapshots, "snapshots"},
                                                                 {&protection, "protection"},
                                                                 {&writable, "writableLayer"},
                                                                 {&disk, "disk"},
                                                                 {&forecast, "forecast"},
                                                                 {&alert, "alert"},
                                                                 {&monitor, "monitor"}};
    for (const auto &[part, key] : parts) {
        if (!part->ok)
            keys << QLatin1String(key);
    }
    if (!monitor.timerOk)
        keys << QStringLiteral("monitor.timer");
    return keys;
}

int SystemStatus::exitCode() const
{
    if (!unreadable().isEmpty())
        return 2;
    return attention().isEmpty() ? 0 : 1;
}

void readHistoryParts(SystemStatus *status, const QString &historyDir, const QDateTime &now)
{
    MonitorConfig config;
    status->monitor.enabled = config.enabled();
    status->monitor.pollMinutes = config.pollMinutes();

    QDate newestFile;
    bool readable = true;
    const QList<DiskDaySummary> days = recentDays(historyDir, &newestFile, &readable);
    if (!readable) {
        status->forecast.error = StatusText::tr("无法读取历史目录：%1").arg(historyDir);
        status->monitor.error = status->forecast.error;
    } else {
        status->forecast.ok = true;
        status->forecast.forecast = forecastDaysToFull(days, now.date(), kForecastWindowDays);
        status->monitor.ok = true;
        status->monitor.newestSample = newestSampleTime(historyDir, newestFile);
        const QDateTime &sample = status->monitor.newestSample;
        status->monitor.stale =
            status->monitor.enabled &&
            (!sample.isValid() || sample.secsTo(now) > qint64(status->monitor.staleAfterMinutes()) * 60);
    }
    readAlerts(&status->alert, historyDir);
}

SystemStatus readSystemStatus()
{
    SystemStatus status;
    status.time = diskNow();
    // The tools answer side by side; none of this waits on the global pool, which painting uses.
    QThreadPool pool;
    pool.setMaxThreadCount(6);
    const QList<std::function<void()>> jobs = {
        [&] { readDeployment(&status.deployment); },
        [&] { readSnapshotPart(&status.snapshots); },
        [&] { readProtection(&status.protection); },
        [&] { readWritable(&status.writable); },
        [&] { readDisk(&status.disk); },
        [&] { readTimer(&status.monitor); },
    };
    for (const std::function<void()> &job : jobs)
        pool.start(job);
    const QString historyDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                               QStringLiteral("/tavrin-manager/disk-history");
    readHistoryParts(&status, historyDir, status.time);
    pool.waitForDone();
    return status;
}

} // namespace Tavrin
