#include "disk/diskforecast.h"

#include <QMap>

#include <cmath>

namespace Tavrin {

DiskForecast forecastDaysToFull(QList<DiskForecastPoint> points, const QDate &today, int windowDays,
                                int maxAgeDays)
{
    QMap<QDate, DiskForecastPoint> byDate;
    for (const DiskForecastPoint &p : std::as_const(points)) {
        if (p.date.isValid())
            byDate.insert(p.date, p);
    }
    DiskForecast result;
    if (byDate.isEmpty())
        return result;
    const DiskForecastPoint newest = byDate.last();
    result.to = newest.date;
    // A record dated after today (a clock that ran ahead) still counts as the newest day.
    if (today.isValid() && newest.date.daysTo(today) > maxAgeDays) {
        result.state = DiskForecast::State::Gap;
        return result;
    }
    const QDate start = newest.date.addDays(-qMax(1, windowDays));
    DiskForecastPoint first = newest;
    for (auto it = byDate.cbegin(); it != byDate.cend(); ++it) {
        if (it.key() >= start) {
            first = it.value();
            break;
        }
    }
    result.from = first.date;
    if (newest.capacity <= 0) {
        result.state = DiskForecast::State::UnknownCapacity;
        return result;
    }
    if (newest.used >= newest.capacity) {
        result.state = DiskForecast::State::Full;
        result.daysToFull = 0;
        result.daysExact = 0;
        return result;
    }
    const qint64 elapsed = first.date.daysTo(newest.date);
    if (elapsed < 1) {
        result.state = DiskForecast::State::NoHistory;
        return result;
    }
    // In double: byte counts near the int64 range must not overflow the difference.
    result.bytesPerDay = (double(newest.used) - double(first.used)) / double(elapsed);
    if (!(result.bytesPerDay > 0)) {
        result.state = DiskForecast::State::NotGrowing;
        return result;
    }
    const double days = (double(newest.capacity) - double(newest.used)) / result.bytesPerDay;
    result.state = DiskForecast::State::Forecast;
    result.daysExact = days;
    result.daysToFull = days >= 9.0e15 ? qint64(9.0e15) : qint64(std::floor(days));
    return result;
}

DiskForecast forecastDaysToFull(const QList<DiskDaySummary> &days, const QDate &today, int windowDays,
                                int maxAgeDays)
{
    QList<DiskForecastPoint> points;
    points.reserve(days.size());
    for (const DiskDaySummary &d : days)
        points.append({d.date, d.total, d.capacity});
    return forecastDaysToFull(points, today, windowDays, maxAgeDays);
}

DiskForecast forecastDaysToFull(const QList<DiskDayRecord> &records, const QDate &today, int windowDays,
                                int maxAgeDays)
{
    QList<DiskForecastPoint> points;
    points.reserve(records.size());
    for (const DiskDayRecord &r : records)
        points.append({r.date, r.total, r.capacity});
    return forecastDaysToFull(points, today, windowDays, maxAgeDays);
}

QString forecastStateName(DiskForecast::State state)
{
    switch (state) {
    case DiskForecast::State::Forecast:
        return QStringLiteral("forecast");
    case DiskForecast::State::Full:
        return QStringLiteral("full");
    case DiskForecast::State::NoHistory:
        return QStringLiteral("noHistory");
    case DiskForecast::State::Gap:
        return QStringLiteral("gap");
    case DiskForecast::State::NotGrowing:
        return QStringLiteral("notGrowing");
    case DiskForecast::State::UnknownCapacity:
        return QStringLiteral("unknownCapacity");
    }
    return QStringLiteral("noHistory");
}

} // namespace Tavrin
