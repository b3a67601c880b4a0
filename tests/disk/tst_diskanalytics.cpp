#include "disk/diskhistorystore.h"

#include "testsupport.h"

using namespace Tavrin;

namespace {

constexpr qint64 GiB = 1024LL * 1024 * 1024;

DiskDayRecord day(const QDate &date, qint64 total, QList<DiskItem> top = {}, qint64 capacity = 0)
{
    DiskDayRecord r;
    r.date = date;
    r.total = total;
    r.capacity = capacity;
    r.topLevel = top;
    return r;
}

QStringList paths(const QList<DiskItem> &items)
{
    QStringList out;
    for (const DiskItem &item : items)
        out << item.path;
    return out;
}

} // namespace

class TestDiskAnalytics : public QObject
{
    Q_OBJECT
private slots:
    void topGrowthItems_data();
    void topGrowthItems();
    void rangeStatsWorkedExample();
    void rangeStatsEdges();
    void rangeStatsTopGrowth();
    void detectSpikes();
};

void TestDiskAnalytics::topGrowthItems_data()
{
    QTest::addColumn<QList<DiskItem>>("previous");
    QTest::addColumn<QList<DiskItem>>("current");
    QTest::addColumn<QList<DiskItem>>("drilled");
    QTest::addColumn<int>("n");
    QTest::addColumn<QStringList>("expectedPaths");
    QTest::addColumn<QList<qint64>>("expectedSizes");

    QTest::newRow("empty previous: full sizes, then drill entries")
        << QList<DiskItem>{} << QList<DiskItem>{{"/usr", 5, true}, {"/opt", 9, true}, {"/var", 1, true}}
        << QList<DiskItem>{{"/var/log", 7, true}} << 3 << QStringList{"/opt", "/var/log", "/usr"}
        << QList<qint64>{9, 7, 5};
    QTest::newRow("shrinking entries never listed")
        << QList<DiskItem>{{"/usr", 4 * GiB, true}, {"/opt", GiB, true}}
        << QList<DiskItem>{{"/usr", 2 * GiB, true}, {"/opt", GiB, true}} << QList<DiskItem>{} << 5
        << QStringList{} << QList<qint64>{};
    QTest::newRow("drill children compete with growth")
        << QList<DiskItem>{{"/home", GiB, true}} << QList<DiskItem>{{"/home", 4 * GiB, true}}
        << QList<DiskItem>{{"/var/a", 5 * GiB, true}, {"/var/b", GiB, false}} << 2
        << QStringList{"/var/a", "/home"} << QList<qint64>{5 * GiB, 3 * GiB};
    QTest::newRow("later duplicate in previous counts")
        << QList<DiskItem>{{"/usr", 1, true}, {"/usr", 8, true}} << QList<DiskItem>{{"/usr", 10, true}}
        << QList<DiskItem>{} << 3 << QStringList{"/usr"} << QList<qint64>{2};
    QTest::newRow("n of zero") << QList<DiskItem>{} << QList<DiskItem>{{"/usr", 10, true}}
                               << QList<DiskItem>{} << 0 << QStringList{} << QList<qint64>{};
}

void TestDiskAnalytics::topGrowthItems()
{
    QFETCH(QList<DiskItem>, previous);
    QFETCH(QList<DiskItem>, current);
    QFETCH(QList<DiskItem>, drilled);
    QFETCH(int, n);
    QFETCH(QStringList, expectedPaths);
    QFETCH(QList<qint64>, expectedSizes);
    DiskDayRecord cur = day(QDate(2026, 1, 2), 0, current);
    if (!drilled.isEmpty())
        cur.drillCache.insert("/var", drilled);
    const QList<DiskItem> top = DiskHistoryStore::topGrowthItems(day(QDate(2026, 1, 1), 0, previous), cur, n);
    QCOMPARE(paths(top), expectedPaths);
    for (int i = 0; i < top.size(); ++i)
        QCOMPARE(top.at(i).size, expectedSizes.at(i));
}

void TestDiskAnalytics::rangeStatsWorkedExample()
{
    const QDate d0(2026, 3, 1);
    const QList<qint64> totals{10, 20, 15, 25, 35};
    QList<DiskDayRecord> records;
    // Handed over in reverse: the computation sorts by date itself.
    for (int i = totals.size() - 1; i >= 0; --i)
        records.append(day(d0.addDays(i), totals.at(i) * GiB, {}, 100 * GiB));
    const DiskRangeStats s = DiskHistoryStore::computeRangeStats(records);
    QCOMPARE(s.startTotal, 10 * GiB);
    QCOMPARE(s.endTotal, 35 * GiB);
    QCOMPARE(s.netGrowth, 25 * GiB);
    QCOMPARE(s.avgDailyGrowth, 25 * GiB / 4);
    QCOMPARE(s.maxDailyGrowth, 10 * GiB);
    QCOMPARE(s.maxGrowthDate, d0.addDays(1));
    QCOMPARE(s.longestStreakStart, d0.addDays(3));
    QCOMPARE(s.daysToFull, (65 * GiB) / (25 * GiB / 4));
}

void TestDiskAnalytics::rangeStatsEdges()
{
    const DiskRangeStats none = DiskHistoryStore::computeRangeStats({});
    QCOMPARE(none.daysToFull, qint64(-1));
    QVERIFY(!none.maxGrowthDate.isValid());

    const DiskRangeStats one =
        DiskHistoryStore::computeRangeStats({day(QDate(2026, 1, 1), 7 * GiB, {}, 9 * GiB)});
    QCOMPARE(one.startTotal, 7 * GiB);
    QCOMPARE(one.endTotal, 7 * GiB);
    QCOMPARE(one.netGrowth, qint64(0));
    QCOMPARE(one.avgDailyGrowth, qint64(0));
    QCOMPARE(one.daysToFull, qint64(-1));

    const DiskRangeStats shrinking = DiskHistoryStore::computeRangeStats(
        {day(QDate(2026, 1, 1), 9 * GiB, {}, 20 * GiB), day(QDate(2026, 1, 2), 8 * GiB, {}, 20 * GiB)});
    QCOMPARE(shrinking.daysToFull, qint64(-1));
    QCOMPARE(shrinking.maxDailyGrowth, qint64(0));
    QVERIFY(!shrinking.longestStreakStart.isValid());

    // Growth without a known capacity cannot be projected; a gap raises the average.
    const DiskRangeStats noCapacity =
        DiskHistoryStore::computeRangeStats({day(QDate(2026, 1, 1), GiB), day(QDate(2026, 1, 10), 3 * GiB)});
    QCOMPARE(noCapacity.avgDailyGrowth, 2 * GiB);
    QCOMPARE(noCapacity.daysToFull, qint64(-1));
    QCOMPARE(noCapacity.longestStreakStart, QDate(2026, 1, 10));
}

void TestDiskAnalytics::rangeStatsTopGrowth()
{
    QList<DiskItem> first;
    QList<DiskItem> last;
    for (int i = 0; i < 12; ++i) {
        first.append({QString("/d%1").arg(i, 2, 10, QChar('0')), 100, true});
        last.append({QString("/d%1").arg(i, 2, 10, QChar('0')), 100 + i, false});
    }
    last.append({"/new", 50, true});
    const DiskRangeStats s = DiskHistoryStore::computeRangeStats(
        {day(QDate(2026, 1, 1), 0, first), day(QDate(2026, 1, 2), 0, {}), day(QDate(2026, 1, 3), 0, last)});
    QCOMPARE(s.topGrowth.size(), 10);
    QCOMPARE(s.topGrowth.first().path, QString("/new"));
    QCOMPARE(s.topGrowth.at(1).path, QString("/d11"));
    QCOMPARE(s.topGrowth.at(1).size, qint64(11));
    QVERIFY(s.topGrowth.at(1).isDir);
    QVERIFY(!paths(s.topGrowth).contains("/d00"));
}

void TestDiskAnalytics::detectSpikes()
{
    const QList<DiskDayRecord> records{
        day(QDate(2026, 1, 10), 20 * GiB, {{"/usr", 5 * GiB, true}, {"/var", 9 * GiB, true}}),
        day(QDate(2026, 1, 1), 10 * GiB, {{"/usr", 4 * GiB, true}}),
        day(QDate(2026, 1, 11), 20 * GiB),
        day(QDate(2026, 1, 12), 19 * GiB),
    };
    QVERIFY(DiskHistoryStore::detectSpikes(records.mid(0, 1), 0).isEmpty());

    const QList<DiskSpikeInfo> big = DiskHistoryStore::detectSpikes(records, 10 * GiB);
    QCOMPARE(big.size(), 1);
    QCOMPARE(big.first().date, QDate(2026, 1, 10));
    QCOMPARE(big.first().growth, 10 * GiB);
    QCOMPARE(big.first().causeDir, QString("/var"));
    QCOMPARE(paths(big.first().causes), (QStringList{"/var", "/usr"}));
    QVERIFY(!big.first().alerted);

    // Threshold 0: every day that did not shrink.
    const QList<DiskSpikeInfo> all = DiskHistoryStore::detectSpikes(records, 0);
    QCOMPARE(all.size(), 2);
    QCOMPARE(all.at(1).date, QDate(2026, 1, 11));
    QVERIFY(all.at(1).causeDir.isEmpty());
}

TAVRIN_TEST_GUILESS_MAIN(TestDiskAnalytics)
#include "tst_diskanalytics.moc"
