#include "status/statusreport.h"

#include "backend/backend.h"
#include "startup.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <cstdio>

namespace Tavrin {

namespace {

QJsonValue timeValue(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate))
                          : QJsonValue(QJsonValue::Null);
}

QJsonValue epochValue(qint64 seconds)
{
    return seconds > 0 ? timeValue(QDateTime::fromSecsSinceEpoch(seconds)) : QJsonValue(QJsonValue::Null);
}

// Every part carries "ok"; a failed one carries the tool's text and nothing that would look read.
QJsonObject part(const StatusPart &p, const QJsonObject &fields)
{
    QJsonObject o{{QStringLiteral("ok"), p.ok}};
    if (!p.ok) {
        o.insert(QStringLiteral("error"), p.error);
        return o;
    }
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        o.insert(it.key(), it.value());
    return o;
}

QString unknown(const QString &error)
{
    return StatusText::tr("无法读取（%1）").arg(error.simplified().left(300));
}

QString yesNo(bool on)
{
    return on ? StatusText::tr("开启") : StatusText::tr("关闭");
}

} // namespace

QJsonObject statusToJson(const SystemStatus &s)
{
    QJsonObject root;
    root.insert(QStringLiteral("schema"), QLatin1String(kStatusSchema));
    root.insert(QStringLiteral("version"), kStatusSchemaVersion);
    root.insert(QStringLiteral("time"), timeValue(s.time));
    root.insert(QStringLiteral("exitCode"), s.exitCode());
    root.insert(QStringLiteral("attention"), QJsonArray::fromStringList(s.attention()));
    root.insert(QStringLiteral("unreadable"), QJsonArray::fromStringList(s.unreadable()));

    const DeploymentStatus &d = s.deployment;
    QJsonValue staged = QJsonValue::Null;
    if (d.staged)
        staged = QJsonObject{{QStringLiteral("version"), d.stagedVersion},
                             {QStringLiteral("commit"), d.stagedCommit}};
    root.insert(
        QStringLiteral("deployment"),
        part(d, {{QStringLiteral("bootedVersion"),
                  d.bootedVersion.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(d.bootedVersion)},
                 {QStringLiteral("bootedCommit"),
                  d.bootedCommit.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(d.bootedCommit)},
                 {QStringLiteral("bootedTime"), epochValue(d.bootedTime)},
                 {QStringLiteral("staged"), staged}}));

    const SnapshotStatus &sn = s.snapshots;
    QJsonValue newest = QJsonValue::Null;
    if (sn.hasNewest)
        newest = QJsonObject{{QStringLiteral("id"), sn.newestId},
                             {QStringLiteral("name"), sn.newestName},
                             {QStringLiteral("time"), epochValue(sn.newestTime)}};
    root.insert(QStringLiteral("snapshots"),
                part(sn, {{QStringLiteral("count"), sn.count}, {QStringLiteral("newest"), newest}}));

    root.insert(QStringLiteral("protection"),
                part(s.protection, {{QStringLiteral("immutable"), s.protection.immutable}}));
    root.insert(QStringLiteral("writableLayer"),
                part(s.writable, {{QStringLiteral("enabled"), s.writable.enabled},
                                  {QStringLiteral("clearAfterReboot"), s.writable.clearAfterReboot}}));
    // Byte counts as numbers: exact up to 2^53 bytes (8 PiB).
    root.insert(QStringLiteral("disk"),
                part(s.disk, {{QStringLiteral("usedBytes"), double(s.disk.used)},
                              {QStringLiteral("capacityBytes"), double(s.disk.capacity)}}));

    const DiskForecast &f = s.forecast.forecast;
    root.insert(
        QStringLiteral("forecast"),
        part(s.forecast,
             {{QStringLiteral("state"), forecastStateName(f.state)},
              {QStringLiteral("daysToFull"), f.hasDays() ? QJsonValue(double(f.daysToFull)) : QJsonValue()},
              {QStringLiteral("bytesPerDay"),
               f.state == DiskForecast::State::Forecast || f.state == DiskForecast::State::NotGrowing
                   ? QJsonValue(std::round(f.bytesPerDay))
                   : QJsonValue()},
              {QStringLiteral("from"),
               f.from.isValid() ? QJsonValue(f.from.toString(Qt::ISODate)) : QJsonValue()},
              {QStringLiteral("to"), f.to.isValid() ? QJsonValue(f.to.toString(Qt::ISODate)) : QJsonValue()},
              {QStringLiteral("limitDays"), s.forecast.limitDays}}));

    const AlertStatus &a = s.alert;
    QJsonValue newestAlert = QJsonValue::Null;
    if (a.hasAlert)
        newestAlert = QJsonObject{{QStringLiteral("date"), a.newest.date.toString(Qt::ISODate)},
                                  {QStringLiteral("growthBytes"), double(a.newest.growth)},
                                  {QStringLiteral("causeDir"), a.newest.causeDir},
                                  {QStringLiteral("notified"), a.newest.alerted},
                                  {QStringLiteral("unseen"), a.unseen}};
    root.insert(QStringLiteral("alert"),
                part(a, {{QStringLiteral("count"), a.count}, {QStringLiteral("newest"), newestAlert}}));

    const MonitorStatus &m = s.monitor;
    QJsonObject timer{{QStringLiteral("ok"), m.timerOk}};
    if (m.timerOk)
        timer.insert(QStringLiteral("state"), m.timerState);
    else
        timer.insert(QStringLiteral("error"), m.timerError);
    QJsonObject monitor = part(m, {{QStringLiteral("enabled"), m.enabled},
                                   {QStringLiteral("newestSample"), timeValue(m.newestSample)},
                                   {QStringLiteral("staleAfterMinutes"), m.staleAfterMinutes()},
                                   {QStringLiteral("stale"), m.stale}});
    monitor.insert(QStringLiteral("timer"), timer);
    root.insert(QStringLiteral("monitor"), monitor);
    return root;
}

QString statusToText(const SystemStatus &s)
{
    QStringList lines;
    const auto line = [&lines](const QString &label, const QString &value) {
        lines << StatusText::tr("%1：%2").arg(label, value);
    };

    const DeploymentStatus &d = s.deployment;
    if (!d.ok) {
        line(StatusText::tr("当前部署"), unknown(d.error));
    } else {
        line(StatusText::tr("当前部署"),
             d.bootedCommit.isEmpty()
                 ? StatusText::tr("无")
                 : StatusText::tr("%1（%2）").arg(d.bootedVersion, d.bootedCommit.left(12)));
        line(StatusText::tr("待生效部署"),
             d.staged ? StatusText::tr("%1（%2），重启后生效").arg(d.stagedVersion, d.stagedCommit.left(12))
                      : StatusText::tr("无"));
    }

    const SnapshotStatus &sn = s.snapshots;
    if (!sn.ok)
        line(StatusText::tr("快照"), unknown(sn.error));
    else if (!sn.hasNewest)
        line(StatusText::tr("快照"), StatusText::tr("共 0 个"));
    else
        line(StatusText::tr("快照"), StatusText::tr("共 %1 个，最新 %2（%3）")
                                         .arg(sn.count)
                                         .arg(sn.newestName, formatTime(sn.newestTime)));

    line(StatusText::tr("只读保护"),
         s.protection.ok ? (s.protection.immutable ? StatusText::tr("已启用") : StatusText::tr("已关闭"))
                         : unknown(s.protection.error));
    if (!s.writable.ok)
        line(StatusText::tr("临时可写层"), unknown(s.writable.error));
    else
        line(StatusText::tr("临时可写层"), s.writable.enabled && s.writable.clearAfterReboot
                                               ? StatusText::tr("开启（重启后清除）")
                                               : yesNo(s.writable.enabled));

    line(StatusText::tr("系统盘"),
         s.disk.ok
             ? StatusText::tr("已用 %1 / 共 %2").arg(formatSize(s.disk.used), formatSize(s.disk.capacity))
             : unknown(s.disk.error));

    const DiskForecast &f = s.forecast.forecast;
    QString forecast;
    if (!s.forecast.ok)
        forecast = unknown(s.forecast.error);
    else if (f.state == DiskForecast::State::Full)
        forecast = StatusText::tr("已写满");
    else if (f.state == DiskForecast::State::Forecast)
        forecast = StatusText::tr("约 %1 天（每天增长 %2）")
                       .arg(f.daysToFull)
                       .arg(formatSize(qint64(f.bytesPerDay)));
    else if (f.state == DiskForecast::State::NotGrowing)
        forecast = StatusText::tr("无预测：近期未增长");
    else if (f.state == DiskForecast::State::Gap)
        forecast = StatusText::tr("无预测：最近 %1 之后没有记录").arg(f.to.toString(Qt::ISODate));
    else if (f.state == DiskForecast::State::UnknownCapacity)
        forecast = StatusText::tr("无预测：容量未知");
    else
        forecast = StatusText::tr("无预测：历史不足两天");
    line(StatusText::tr("预计写满"), forecast);

    const AlertStatus &a = s.alert;
    if (!a.ok)
        line(StatusText::tr("最新告警"), unknown(a.error));
    else if (!a.hasAlert)
        line(StatusText::tr("最新告警"), StatusText::tr("无"));
    else
        line(StatusText::tr("最新告警"),
             (a.unseen ? StatusText::tr("%1 · %2 增长 %3（未查看）") : StatusText::tr("%1 · %2 增长 %3"))
                 .arg(a.newest.date.toString(Qt::ISODate), a.newest.causeDir, formatSize(a.newest.growth)));

    const MonitorStatus &m = s.monitor;
    QString monitor;
    if (!m.ok)
        monitor = unknown(m.error);
    else
        monitor =
            (m.stale ? StatusText::tr("%1，最新采样 %2（已停滞）") : StatusText::tr("%1，最新采样 %2"))
                .arg(yesNo(m.enabled), m.newestSample.isValid()
                                           ? m.newestSample.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                           : StatusText::tr("无"));
    line(StatusText::tr("磁盘监控"), monitor);
    line(StatusText::tr("监控定时器"), m.timerOk ? m.timerState : unknown(m.timerError));

    const int code = s.exitCode();
    lines << (code == 0   ? StatusText::tr("结论：一切正常")
              : code == 1 ? StatusText::tr("结论：有需要处理的事项")
                          : StatusText::tr("结论：部分状态无法读取"));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int runStatus(int argc, char **argv, bool json)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrin-manager"));
    QCoreApplication::setApplicationVersion(TavrinStartup::productVersion());
    // Our own words in the JSON's error texts follow the language too; keys and states never do.
    TavrinStartup::installCommandLineTranslation();
    const SystemStatus status = readSystemStatus();
    const QByteArray out = json ? QJsonDocument(statusToJson(status)).toJson(QJsonDocument::Indented)
                                : statusToText(status).toLocal8Bit();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return 2;
    return status.exitCode();
}

} // namespace Tavrin
