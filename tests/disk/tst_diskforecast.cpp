#include "disk/diskforecast.h"

#include "testsupport.h"

using namespace Tavrin;

Q_DECLARE_METATYPE(DiskForecast::State)

namespace {
constexpr qint64 GiB = 1024LL * 1024 * 1024;
const QDate kToday(2026, 12, 9);

// "offset:usedGiB:capacityGiB" per day, offsets counted back from today.
QList<DiskForecastPoint> points(const QStringList &rows)
{
    QList<DiskForecastPoint> list;
    for (const QString &entry : rows) {
        const QStringList f = entry.split(':');
        list.append({kToday.addDays(-f.at(0).toInt()), qint64(f.at(1).toDouble() * GiB),
                     qint64(f.at(2).toDouble() * GiB)});
    }
    return list;
}
} // namespace

class TestDiskForecast : public QObject
{
    Q_OBJECT
private slots:
    void forecast_data()
    {
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<DiskForecast::State>("state");
        QTest::addColumn<qint64>("daysToFull");
        QTest::addColumn<int>("fromOffset");

        using S = DiskForecast::State;
        QTest::newRow("no history") << QStringList{} << S::NoHistory << qint64(-1) << -1;
        QTest::newRow("one day") << QStringList{"0:10:100"} << S::NoHistory << qint64(-1) << 0;
        QTest::newRow("steady growth")
            << QStringList{"2:10:100", "1:11:100", "0:12:100"} << S::Forecast << qint64(88) << 2;
        // Six days without a record between two: the growth is spread over the days that passed.
        QTest::newRow("gap inside the window")
            << QStringList{"7:10:100", "0:17:100"} << S::Forecast << qint64(83) << 7;
        QTest::newRow("newest day a week and more ago")
            << QStringList{"9:10:100", "8:20:100"} << S::Gap << qint64(-1) << -1;
        QTest::newRow("older days outside the window")
            << QStringList{"60:1:100", "30:50:100", "0:60:100"} << S::Forecast << qint64(120) << 30;
        QTest::newRow("shrinking disk")
            << QStringList{"3:20:100", "0:15:100"} << S::NotGrowing << qint64(-1) << 3;
        QTest::newRow("flat disk") << QStringList{"3:20:100", "0:20:100"} << S::NotGrowing << qint64(-1) << 3;
        QTest::newRow("full disk") << QStringList{"1:99:100", "0:100:100"} << S::Full << qint64(0) << 1;
        QTest::newRow("over capacity") << QStringList{"0:120:100"} << S::Full << qint64(0) << 0;
        QTest::newRow("capacity unknown")
            << QStringList{"1:10:100", "0:11:0"} << S::UnknownCapacity << qint64(-1) << 1;
        // Less than a day left rounds down to 0 days, which is still a forecast.
        QTest::newRow("hours left") << QStringList{"1:90:100", "0:99.5:100"} << S::Forecast << qint64(0) << 1;
        QTest::newRow("order does not matter")
            << QStringList{"0:12:100", "2:10:100"} << S::Forecast << qint64(88) << 2;
        QTest::newRow("clock ahead of the newest day")
            << QStringList{"-1:12:100", "1:10:100"} << S::Forecast << qint64(88) << 1;
        QTest::newRow("byte counts near the limit")
            << QStringList{"1:1e9:8e9", "0:2e9:8e9"} << S::Forecast << qint64(6) << 1;
    }

    void forecast()
    {
        QFETCH(QStringList, days);
        QFETCH(DiskForecast::State, state);
        QFETCH(qint64, daysToFull);
        QFETCH(int, fromOffset);
        const DiskForecast f = forecastDaysToFull(points(days), kToday);
        QCOMPARE(f.state, state);
        QCOMPARE(f.daysToFull, daysToFull);
        QCOMPARE(f.hasDays(), daysToFull >= 0);
        if (fromOffset >= 0)
            QCOMPARE(f.from, kToday.addDays(-fromOffset));
    }

    // The index's lines and the day records give the same answer; a date listed twice counts once.
    void recordsAndSummaries()
    {
        QList<DiskDayRecord> records;
        QList<DiskDaySummary> summaries;
        for (int back = 4; back >= 0; --back) {
            DiskDayRecord r;
            r.date = kToday.addDays(-back);
            r.total = (50 + 2 * (4 - back)) * GiB;
            r.capacity = 100 * GiB;
            records << r;
            summaries << DiskDaySummary{r.date, QString(), r.capacity, r.total, 0, false, {}};
        }
        DiskDayRecord stale = records.first();
        stale.total = 1;
        records.prepend(stale);
        const DiskForecast a = forecastDaysToFull(records, kToday);
        const DiskForecast b = forecastDaysToFull(summaries, kToday);
        QCOMPARE(a.state, DiskForecast::State::Forecast);
        QCOMPARE(a.daysToFull, qint64(21));
        QCOMPARE(b.daysToFull, a.daysToFull);
        QCOMPARE(a.bytesPerDay, double(2 * GiB));
        QCOMPARE(forecastStateName(a.state), QStringLiteral("forecast"));
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestDiskForecast)
#include "tst_diskforecast.moc"
