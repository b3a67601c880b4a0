#pragma once

#include "disk/diskforecast.h"
#include "disk/diskrecords.h"

#include <QJsonObject>
#include <QStringList>
#include <QVariantList>

namespace Tavrin {

/// The forecast of one monitor cycle with the directory behind it.
struct ForecastCause
{
    DiskForecast forecast;
    /// The directory that grew most over the window (excluded ones never count) and its growth.
    QString causeDir;
    qint64 causeGrowth = 0;
    /// Days with a record in the window, today included.
    int recordDays = 0;
};

/// Forecast over the index's days of the last `windowDays` and today's measurement. Growth the
/// index attributes to excluded directories is taken off; days measured at another capacity than
/// today's (a resized or replaced disk) do not count.
ForecastCause forecastWithCause(const QList<DiskDaySummary> &days, const DiskForecastPoint &today,
                                const QStringList &excludes, const QString &home, int windowDays = 14);

/// Whether the forecast rests on enough days and reaches full within `limitDays` (0: never).
bool forecastWithin(const ForecastCause &forecast, int limitDays);
/// Whether a forecast of `daysLeft` days at `today` calls for a notification within `limitDays`,
/// given the last one sent ("date", "daysLeft"; empty when none): not before `limitDays`/2 days
/// have passed since it, unless the days left have shortened by half.
bool forecastDue(const ForecastCause &forecast, const QDate &today, int limitDays,
                 const QJsonObject &lastSent);

/// The entry kept in "forecast.json" for a forecast raised on `today`.
QJsonObject forecastNoticeJson(const ForecastCause &forecast, const QDate &today);
/// The "current" object of "forecast.json": what the last cycle forecast, notified or not.
QJsonObject forecastStateJson(const ForecastCause &forecast, const QDate &today);
/// The arguments of the "Notify" call for such an entry, in call order; empty when it is not one.
QVariantList forecastNotificationArguments(const QJsonObject &notice);

} // namespace Tavrin
