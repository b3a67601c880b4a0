#pragma once

#include "disk/diskrecords.h"

#include <QDate>
#include <QList>
#include <QString>

namespace Tavrin {

/// When the system disk fills up at the pace of its recent growth.
struct DiskForecast
{
    enum class State {
        /// `daysToFull` days at `bytesPerDay`.
        Forecast,
        /// Used has reached capacity: `daysToFull` is 0.
        Full,
        /// Fewer than two days measured in the window.
        NoHistory,
        /// The newest day is too long before today to speak for now.
        Gap,
        /// The disk shrank or stayed the same over the window.
        NotGrowing,
        /// The newest day has no capacity (0 or less).
        UnknownCapacity,
    };
    State state = State::NoHistory;
    /// Whole days until used reaches capacity (rounded down); -1 without a forecast.
    qint64 daysToFull = -1;
    /// The same before rounding (0 when full, -1 without a forecast).
    double daysExact = -1;
    /// Growth per elapsed calendar day over the window (bytes; may be 0 or negative).
    double bytesPerDay = 0;
    /// The first and the newest day the figure rests on (invalid when none).
    QDate from;
    QDate to;

    bool hasDays() const { return state == State::Forecast || state == State::Full; }
};

/// One measured day: used bytes and capacity.
struct DiskForecastPoint
{
    QDate date;
    qint64 used = 0;
    qint64 capacity = 0;
};

/// Days newer than `to` − `windowDays` count; a newest day more than `maxAgeDays` before `today`
/// gives `Gap`. Growth is divided by the calendar days between the first and the newest day, so
/// days without a record do not raise the pace. Points with invalid dates are ignored; for a date
/// listed twice the later point counts.
DiskForecast forecastDaysToFull(QList<DiskForecastPoint> points, const QDate &today, int windowDays = 30,
                                int maxAgeDays = 7);
/// The same over the history index's day lines.
DiskForecast forecastDaysToFull(const QList<DiskDaySummary> &days, const QDate &today, int windowDays = 30,
                                int maxAgeDays = 7);
/// The same over day records.
DiskForecast forecastDaysToFull(const QList<DiskDayRecord> &records, const QDate &today, int windowDays = 30,
                                int maxAgeDays = 7);

/// "forecast", "full", "noHistory", "gap", "notGrowing", "unknownCapacity".
QString forecastStateName(DiskForecast::State state);

} // namespace Tavrin
