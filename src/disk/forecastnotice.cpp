#include "disk/forecastnotice.h"

#include "backend/backend.h"
#include "disk/diskmonitor.h"

#include <QCoreApplication>
#include <QMap>
#include <QVariantMap>

namespace Tavrin {

namespace {

constexpr int kMinRecordDays = 3;

} // namespace

ForecastCause forecastWithCause(const QList<DiskDaySummary> &days, const DiskForecastPoint &today,
                                const QStringList &excludes, const QString &home, int windowDays)
{
    ForecastCause result;
    if (!today.date.isValid())
        return result;
    const QDate start = today.date.addDays(-std::max(1, windowDays));
    // Today's line (from an earlier cycle of the day) keeps its growth items; its figures are now's.
    QMap<QDate, DiskDaySummary> byDate;
    for (const DiskDaySummary &day : days) {
        if (day.date.isValid() && day.date >= start && day.date <= today.date)
            byDate.insert(day.date, day);
    }
    DiskDaySummary &now = byDate[today.date];
    now.date = today.date;
    now.total = today.used;
    now.capacity = today.capacity;

    // Only the run of days at today's capacity: growth across a disk change says nothing.
    QList<DiskDaySummary> window;
    const QList<DiskDaySummary> ordered = byDate.values();
    for (auto it = ordered.crbegin(); it != ordered.crend(); ++it) {
        if (it->capacity != today.capacity)
            break;
        window.prepend(*it);
    }
    result.recordDays = int(window.size());

    QList<DiskForecastPoint> points;
    QMap<QString, qint64> growth;
    qint64 excludedSoFar = 0;
    for (int i = 0; i < window.size(); ++i) {
        const DiskDaySummary &day = window.at(i);
        // The first day's items are its growth over a day before the window.
        if (i > 0) {
            for (const DiskItem &item : day.top) {
                if (item.size <= 0)
                    continue;
                if (isExcludedPath(item.path, excludes, home))
                    excludedSoFar += item.size;
                else
                    growth[item.path] += item.size;
            }
        }
        points.append({day.date, day.total - excludedSoFar, day.capacity});
    }
    if (result.recordDays < kMinRecordDays) {
        result.forecast.state = DiskForecast::State::NoHistory;
        return result;
    }
    result.forecast = forecastDaysToFull(points, today.date, windowDays, 7);
    for (auto it = growth.cbegin(); it != growth.cend(); ++it) {
        if (it.value() > result.causeGrowth) {
            result.causeDir = it.key();
            result.causeGrowth = it.value();
        }
    }
    return result;
}

bool forecastWithin(const ForecastCause &forecast, int limitDays)
{
    return limitDays > 0 && forecast.forecast.hasDays() && forecast.recordDays >= kMinRecordDays &&
           forecast.forecast.daysToFull <= limitDays;
}

bool forecastDue(const ForecastCause &forecast, const QDate &today, int limitDays,
                 const QJsonObject &lastSent)
{
    if (!forecastWithin(forecast, limitDays) || !today.isValid())
        return false;
    const QDate sentOn = parseIsoDay(lastSent.value(QLatin1String("date")).toString());
    if (!sentOn.isValid())
        return true;
    const qint64 sentDays = jsonBytes(lastSent.value(QLatin1String("daysLeft")));
    // Half the days left of the last notice: the disk fills faster than it said.
    if (sentDays > 0 && forecast.forecast.daysToFull * 2 <= sentDays)
        return true;
    // A notice dated ahead of today (a clock that ran ahead) holds back as one of today would.
    return sentOn.daysTo(today) * 2 >= limitDays;
}

QJsonObject forecastNoticeJson(const ForecastCause &forecast, const QDate &today)
{
    const qint64 days = std::max<qint64>(0, forecast.forecast.daysToFull);
    return QJsonObject{{QStringLiteral("date"), today.toString(Qt::ISODate)},
                       {QStringLiteral("disk"), QStringLiteral("/")},
                       {QStringLiteral("daysLeft"), double(days)},
                       {QStringLiteral("fullDate"), today.addDays(days).toString(Qt::ISODate)},
                       {QStringLiteral("bytesPerDay"), forecast.forecast.bytesPerDay},
                       {QStringLiteral("causeDir"), forecast.causeDir},
                       {QStringLiteral("causeGrowth"), double(forecast.causeGrowth)},
                       {QStringLiteral("alerted"), false}};
}

QJsonObject forecastStateJson(const ForecastCause &forecast, const QDate &today)
{
    QJsonObject state{{QStringLiteral("date"), today.toString(Qt::ISODate)},
                      {QStringLiteral("state"), forecastStateName(forecast.forecast.state)},
                      {QStringLiteral("recordDays"), forecast.recordDays},
                      {QStringLiteral("causeDir"), forecast.causeDir},
                      {QStringLiteral("causeGrowth"), double(forecast.causeGrowth)}};
    if (forecast.forecast.hasDays() && forecast.recordDays >= kMinRecordDays) {
        const qint64 days = std::max<qint64>(0, forecast.forecast.daysToFull);
        state.insert(QStringLiteral("daysLeft"), double(days));
        // Far-off forecasts have no calendar date worth writing.
        if (days < 100000)
            state.insert(QStringLiteral("fullDate"), today.addDays(days).toString(Qt::ISODate));
        state.insert(QStringLiteral("bytesPerDay"), forecast.forecast.bytesPerDay);
    } else if (forecast.recordDays < kMinRecordDays) {
        state.insert(QStringLiteral("state"), QStringLiteral("noHistory"));
    }
    return state;
}

QVariantList forecastNotificationArguments(const QJsonObject &notice)
{
    // Only a strict "yyyy-MM-dd" may reach a command line or another process.
    const QDate date = parseIsoDay(notice.value(QLatin1String("date")).toString());
    const QDate full = parseIsoDay(notice.value(QLatin1String("fullDate")).toString());
    if (!date.isValid() || !full.isValid())
        return {};
    const qint64 days = jsonBytes(notice.value(QLatin1String("daysLeft")));
    const QString causeDir = notice.value(QLatin1String("causeDir")).toString();
    const QString cause =
        causeDir.isEmpty()
            ? QCoreApplication::translate("Tavrin::DiskMonitor", "增长最多的目录未知")
            : QCoreApplication::translate("Tavrin::DiskMonitor", "增长最多：%1（14 天内 %2）")
                  .arg(causeDir, formatSize(jsonBytes(notice.value(QLatin1String("causeGrowth")))));
    const QString body = days <= 0
                             ? QCoreApplication::translate("Tavrin::DiskMonitor", "系统盘已满。%1").arg(cause)
                             : QCoreApplication::translate("Tavrin::DiskMonitor",
                                                           "按近 14 天的增长，系统盘约 %1 天后（%2）写满。%3")
                                   .arg(QString::number(days), full.toString(Qt::ISODate), cause);
    QVariantMap hints;
    hints.insert(QStringLiteral("x-zarnex-action-view"),
                 QStringLiteral("tavrin-manager,--show-disk,%1").arg(date.toString(Qt::ISODate)));
    return {QStringLiteral("tavrin-manager"),
            QVariant::fromValue(uint(0)),
            QStringLiteral("drive-harddisk"),
            QCoreApplication::translate("Tavrin::DiskMonitor", "系统盘即将写满"),
            body,
            QStringList{QStringLiteral("default"),
                        QCoreApplication::translate("Tavrin::DiskMonitor", "查看详情")},
            hints,
            QVariant::fromValue(int(-1))};
}

} // namespace Tavrin
