#include "disk/diskhistorystore.h"
#include "disk/jsonfileio.h"
#include "disk/pooltask.h"

#include "diskfixture.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Tavrin;

namespace {

constexpr qint64 MiB = 1024 * 1024;

DiskDayRecord makeDay(const QDate &date, qint64 total, QList<DiskItem> top = {})
{
    DiskDayRecord r;
    r.date = date;
    r.capacity = 1000 * 1024 * MiB;
    r.total = total;
    r.topLevel = top;
    return r;
}

DiskDayRecord richDay(const QDate &date)
{
    DiskDayRecord r = makeDay(date, 100 * MiB, {{"/usr", 50 * MiB, true}});
    for (int i = 0; i < 20; ++i) {
        DiskSample s;
        s.time = QDateTime(date, QTime(i, 0));
        s.total = 100 * MiB;
        r.samples.append(s);
    }
    r.drillCache.insert("/var", {{"/var/log", 10, true}, {"/var/lib", 20, true}});
    return r;
}

// Writes the file directly, as another process would, without touching any store's cache.
void writeDay(const DiskDayRecord &r)
{
    QVERIFY(writeJsonAtomic(DiskHistoryStore::dayFilePath(r.date), QJsonDocument(dayRecordToJson(r))));
}

DiskDayRecord readDayFile(const QDate &date)
{
    return dayRecordFromJson(readJson(DiskHistoryStore::dayFilePath(date)).object());
}

QDate today()
{
    return QDate::currentDate();
}

// Changes the day file's "total" to `total` (as many digits) in place, its inode, size and times kept:
// to a store it is the file it read, so what a load returns then says whether it came from the cache.
void rewriteTotalInPlace(const QDate &date, qint64 total)
{
    const QString path = DiskHistoryStore::dayFilePath(date);
    struct stat before;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const QByteArray old = "\"total\":" + QByteArray::number(readDayFile(date).total);
    const QByteArray now = "\"total\":" + QByteArray::number(total);
    QCOMPARE(now.size(), old.size());
    QVERIFY(bytes.contains(old));
    bytes.replace(old, now);
    QVERIFY(f.seek(0));
    QCOMPARE(f.write(bytes), bytes.size());
    f.close();
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

// Day `i` of a range: a total and an item that say which day's file they came from, so a record
// parsed into the wrong slot shows.
DiskDayRecord numberedDay(const QDate &from, int i)
{
    DiskDayRecord r = richDay(from.addDays(i));
    r.total = 1000 + i;
    r.topLevel = {{QStringLiteral("/day-%1").arg(i), i, true}};
    return r;
}

// Writes `days` days from `from`: every `gap`-th missing, every `corrupt`-th garbage (0: none).
// Returns the indices that hold a readable record.
QList<int> writeNumberedDays(const QDate &from, int days, int gap, int corrupt)
{
    QList<int> readable;
    for (int i = 0; i < days; ++i) {
        if (gap > 0 && i % gap == gap - 1)
            continue;
        QByteArray bytes =
            QJsonDocument(dayRecordToJson(numberedDay(from, i))).toJson(QJsonDocument::Compact);
        if (corrupt > 0 && i % corrupt == corrupt - 1)
            // Cut short, as a crash mid-write on another file system leaves it, or not JSON at all.
            bytes = i % 2 ? bytes.left(bytes.size() / 2) : QByteArray("\x01\xff not json");
        else
            readable.append(i);
        // Plain writes: a synced atomic save per day would make a year of fixtures slow.
        const QString path = DiskHistoryStore::dayFilePath(from.addDays(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
    }
    return readable;
}

void verifyNumberedRecords(const QList<DiskDayRecord> &records, const QDate &from, const QList<int> &expected)
{
    QCOMPARE(records.size(), expected.size());
    for (int k = 0; k < records.size(); ++k) {
        const int i = expected.at(k);
        QCOMPARE(records.at(k).date, from.addDays(i));
        QCOMPARE(records.at(k).total, qint64(1000 + i));
        QCOMPARE(records.at(k).topLevel.value(0).path, QStringLiteral("/day-%1").arg(i));
        QCOMPARE(records.at(k).samples.size(), 20);
    }
}

// Progress as the workers report it. Two loads report from two threads at once, and QSignalSpy's
// list is not safe for that: it lost reports. This records under a lock and hands out copies.
class ProgressLog
{
public:
    struct Report
    {
        quint64 id = 0;
        int done = 0;
        int total = 0;
    };

    explicit ProgressLog(DiskHistoryStore *store)
    {
        connection = QObject::connect(
            store, &DiskHistoryStore::rangeProgress, store,
            [this](quint64 id, int done, int total) {
                const std::lock_guard lock(mutex);
                reports.append({id, done, total});
            },
            Qt::DirectConnection);
    }
    ~ProgressLog() { QObject::disconnect(connection); }
    Q_DISABLE_COPY_MOVE(ProgressLog)

    QList<Report> all() const
    {
        const std::lock_guard lock(mutex);
        return reports;
    }
    qsizetype size() const { return all().size(); }
    void clear()
    {
        const std::lock_guard lock(mutex);
        reports.clear();
    }

private:
    mutable std::mutex mutex;
    QList<Report> reports;
    QMetaObject::Connection connection;
};

} // namespace

class TestDiskHistoryStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TAVRIN_REQUIRE_PRIVATE_HOME(); }
    void init();
    void saveAndLoad();
    void indexSpikeFlag_data();
    void indexSpikeFlag();
    void sameDateReplacesSummary();
    void savedRecentIsTheIndexTail_data();
    void savedRecentIsTheIndexTail();
    void brokenIndexIsRebuilt_data();
    void brokenIndexIsRebuilt();
    void retention();
    void pruneAndRebuildKeepTopItems();
    void hugeDrillResultsStayReadable();
    void budgetStagesStopWhenUnderBudget();
    void budgetStageThreeThinsOldest_data();
    void budgetStageThreeThinsOldest();
    void cacheEvictionOrder_data();
    void cacheEvictionOrder();
    void removeRange();
    void syncRange();
    void asyncRangeProgress();
    void asyncRangeRefusedAndIds();
    void cancelBeforeStart();
    void parallelRangeKeepsOrder_data();
    void parallelRangeKeepsOrder();
    void cancelDuringParallelLoad();
    void destroyedDuringLoad_data();
    void destroyedDuringLoad();
};

void TestDiskHistoryStore::init()
{
    QDir(DiskHistoryStore::historyDir()).removeRecursively();
}

void TestDiskHistoryStore::saveAndLoad()
{
    DiskHistoryStore store;
    QVERIFY(!store.saveDayRecord(makeDay(QDate(), 1)));
    QVERIFY(QDir(DiskHistoryStore::historyDir()).entryList(QDir::Files).isEmpty());

    DiskDayRecord r = richDay(today());
    r.complete = false;
    QVERIFY(store.saveDayRecord(r));

    DiskHistoryStore other;
    DiskDayRecord back;
    QVERIFY(other.loadDay(today(), &back));
    QCOMPARE(back.total, r.total);
    QCOMPARE(back.samples.size(), 20);
    QVERIFY(!back.complete);
    DiskDayRecord untouched = makeDay(QDate(1999, 1, 1), 5);
    QVERIFY(!other.loadDay(today().addDays(-1), &untouched));
    QCOMPARE(untouched.total, qint64(5));

    const DiskHistoryIndex index = other.loadIndex();
    QCOMPARE(index.days.size(), 1);
    QCOMPARE(index.days.first().file, today().toString(Qt::ISODate) + ".json");
    QCOMPARE(index.first, today());
    QCOMPARE(index.last, today());
    QVERIFY(index.storage > 0);
    QCOMPARE(index.budget, other.budgetBytes);

    // A day file without (or with a wrong) date inside still belongs to the day of its name.
    QVERIFY(writeFileAtomic(DiskHistoryStore::dayFilePath(today().addDays(-2)), R"({"total":7})"));
    QVERIFY(other.loadDay(today().addDays(-2), &back));
    QCOMPARE(back.date, today().addDays(-2));
    QCOMPARE(back.total, qint64(7));
}

void TestDiskHistoryStore::indexSpikeFlag_data()
{
    QTest::addColumn<qint64>("threshold");
    QTest::addColumn<bool>("spike");
    QTest::newRow("below growth") << 400 * MiB << true;
    QTest::newRow("equal to growth") << 500 * MiB << true;
    QTest::newRow("1 GiB") << 1024 * MiB << false;
}

void TestDiskHistoryStore::indexSpikeFlag()
{
    QFETCH(qint64, threshold);
    QFETCH(bool, spike);
    DiskHistoryStore store;
    store.spikeThresholdBytes = threshold;
    QVERIFY(store.saveDayRecord(makeDay(today().addDays(-1), 1000 * MiB, {{"/usr", 100 * MiB, true}})));
    QVERIFY(
        store.saveDayRecord(makeDay(today(), 1500 * MiB, {{"/usr", 300 * MiB, true}, {"/opt", 5, true}})));
    const DiskHistoryIndex index = store.loadIndex();
    QCOMPARE(index.days.size(), 2);
    const DiskDaySummary &day = index.days.last();
    QCOMPARE(day.growth, 500 * MiB);
    QCOMPARE(day.spike, spike);
    QCOMPARE(day.top.size(), 2);
    QCOMPARE(day.top.first().path, QString("/usr"));
    QCOMPARE(day.top.first().size, 200 * MiB);
    QCOMPARE(index.days.first().growth, qint64(0));
}

void TestDiskHistoryStore::sameDateReplacesSummary()
{
    DiskHistoryStore store;
    QVERIFY(store.saveDayRecord(makeDay(today().addDays(-3), 10)));
    QVERIFY(store.saveDayRecord(makeDay(today(), 20)));
    QVERIFY(store.saveDayRecord(makeDay(today(), 35)));
    // A day saved out of order still lands in date order.
    QVERIFY(store.saveDayRecord(makeDay(today().addDays(-5), 4)));
    const DiskHistoryIndex index = store.loadIndex();
    QCOMPARE(index.days.size(), 3);
    QCOMPARE(index.days.at(0).date, today().addDays(-5));
    QCOMPARE(index.days.at(2).total, qint64(35));
    QCOMPARE(index.days.at(2).growth, qint64(25));
    QCOMPARE(index.first, today().addDays(-5));
    QCOMPARE(index.last, today());
}

void TestDiskHistoryStore::savedRecentIsTheIndexTail_data()
{
    QTest::addColumn<int>("existing");
    QTest::addColumn<bool>("sameDay");
    QTest::addColumn<bool>("brokenIndex");
    QTest::newRow("appended") << 12 << false << false;
    QTest::newRow("today again") << 12 << true << false;
    QTest::newRow("fewer days than kept") << 3 << false << false;
    // No index to take the tail from: the full update rebuilds it from the day files.
    QTest::newRow("rebuilt") << 12 << false << true;
}

void TestDiskHistoryStore::savedRecentIsTheIndexTail()
{
    QFETCH(int, existing);
    QFETCH(bool, sameDay);
    QFETCH(bool, brokenIndex);
    DiskHistoryStore store;
    for (int k = existing; k >= 1; --k)
        QVERIFY(store.saveDayRecord(makeDay(today().addDays(-k), 1000 - k, {{"/var", 100 - k, true}})));
    if (sameDay)
        QVERIFY(store.saveDayRecord(makeDay(today(), 2000, {{"/var", 150, true}})));
    if (brokenIndex)
        QVERIFY(writeFileAtomic(DiskHistoryStore::historyDir() + "/index.json", "{"));
    store.keepRecentDays = 5;
    QVERIFY(store.saveDayRecord(makeDay(today(), 3000, {{"/var", 300, true}})));
    const QList<DiskDaySummary> kept = store.savedRecent();
    const QList<DiskDaySummary> read = DiskHistoryStore().loadRecentSummaries(5);
    QCOMPARE(kept.size(), std::min(5, existing + 1));
    QCOMPARE(kept.size(), read.size());
    for (int i = 0; i < kept.size(); ++i) {
        QCOMPARE(kept.at(i).date, read.at(i).date);
        QCOMPARE(kept.at(i).total, read.at(i).total);
        QCOMPARE(kept.at(i).top.size(), read.at(i).top.size());
    }
    QCOMPARE(kept.constLast().date, today());
    QCOMPARE(kept.constLast().total, qint64(3000));
    QCOMPARE(kept.constLast().growth, qint64(3001 - 1000));
    // A failed save leaves nothing that could pass for the index.
    QVERIFY(!store.saveDayRecord(makeDay(QDate(), 1)));
    QVERIFY(store.savedRecent().isEmpty());
}

void TestDiskHistoryStore::brokenIndexIsRebuilt_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty days") << QByteArray(R"({"version":1,"days":[]})");
    QTest::newRow("not json") << QByteArray("{\"days\":[{\"date\":");
    QTest::newRow("wrong types") << QByteArray(R"({"days":{"date":"2026-01-01"}})");
    QTest::newRow("array") << QByteArray("[1,2,3]");
    QTest::newRow("empty file") << QByteArray();
}

void TestDiskHistoryStore::brokenIndexIsRebuilt()
{
    QFETCH(QByteArray, content);
    writeDay(makeDay(today().addDays(-2), 100, {{"/usr", 1, true}}));
    writeDay(makeDay(today().addDays(-1), 300));
    // Unreadable day files and names that are not days are skipped.
    const QString dir = DiskHistoryStore::historyDir();
    QVERIFY(writeFileAtomic(DiskHistoryStore::dayFilePath(today()), "garbage"));
    QVERIFY(writeFileAtomic(dir + "/alert.json", R"({"spikes":[]})"));
    QVERIFY(writeFileAtomic(dir + "/index.json", content));

    DiskHistoryStore store;
    store.spikeThresholdBytes = 200;
    const DiskHistoryIndex index = store.loadIndex();
    QCOMPARE(index.days.size(), 2);
    QCOMPARE(index.days.at(1).growth, qint64(200));
    QVERIFY(index.days.at(1).spike);
    QVERIFY(index.days.at(1).top.isEmpty());
    QCOMPARE(index.last, today().addDays(-1));
    // The rebuilt index replaced the broken file.
    const QJsonObject written = readJson(dir + "/index.json").object();
    QCOMPARE(written.value("days").toArray().size(), 2);
    QCOMPARE(written.value("version").toInt(), 1);
}

void TestDiskHistoryStore::retention()
{
    DiskHistoryStore store;
    writeDay(makeDay(today().addDays(-11), 1));
    writeDay(makeDay(today().addDays(-10), 2));
    writeDay(makeDay(today().addDays(-9), 3));
    store.pruneExpired(0);
    store.pruneExpired(-4);
    QCOMPARE(store.loadIndex().days.size(), 3);

    // Ages count from the day after the newest record before today: after a gap (or a clock
    // that jumped ahead) nothing goes that the last recorded day would still keep.
    store.retentionDays = 10;
    QVERIFY(store.saveDayRecord(makeDay(today(), 4)));
    QVERIFY(QFile::exists(DiskHistoryStore::dayFilePath(today().addDays(-11))));
    QVERIFY(store.saveDayRecord(makeDay(today().addDays(-1), 4)));
    QVERIFY(store.saveDayRecord(makeDay(today(), 4)));
    QVERIFY(!QFile::exists(DiskHistoryStore::dayFilePath(today().addDays(-11))));
    QVERIFY(QFile::exists(DiskHistoryStore::dayFilePath(today().addDays(-10))));
    const DiskHistoryIndex index = store.loadIndex();
    QCOMPARE(index.days.size(), 4);
    QCOMPARE(index.first, today().addDays(-10));
    QCOMPARE(index.days.first().growth, qint64(0));
}

void TestDiskHistoryStore::pruneAndRebuildKeepTopItems()
{
    DiskHistoryStore store;
    store.retentionDays = 0;
    for (int age = 4; age >= 1; --age)
        QVERIFY(store.saveDayRecord(
            makeDay(today().addDays(-age), (10 - age) * MiB, {{"/usr", (10 - age) * MiB, true}})));
    auto tops = [&] {
        QStringList dates;
        for (const DiskDaySummary &day : store.loadIndex().days) {
            if (!day.top.isEmpty())
                dates << day.date.toString(Qt::ISODate);
        }
        return dates;
    };
    const QStringList before = tops();
    QCOMPARE(before.size(), 3);
    // One day expires: the others keep their top items.
    store.retentionDays = 3;
    QVERIFY(store.saveDayRecord(makeDay(today(), 10 * MiB, {{"/usr", 10 * MiB, true}})));
    QVERIFY(!QFile::exists(DiskHistoryStore::dayFilePath(today().addDays(-4))));
    QCOMPARE(tops(), before + QStringList{today().toString(Qt::ISODate)});
    QCOMPARE(store.loadIndex().days.first().growth, qint64(0));
    // So does a rebuild from the day files.
    store.rebuildIndex();
    QCOMPARE(tops(), before + QStringList{today().toString(Qt::ISODate)});
}

void TestDiskHistoryStore::hugeDrillResultsStayReadable()
{
    DiskDayRecord day = makeDay(today(), 1024 * MiB);
    for (int dir = 0; dir < 40; ++dir) {
        QList<DiskItem> children;
        for (int i = 0; i < 1000; ++i)
            children.append(
                {QString("/var/d%1/%2/%3").arg(dir).arg(QString(50, QLatin1Char('x'))).arg(i), i, false});
        day.drillCache.insert(QString("/var/d%1").arg(dir), children);
    }
    DiskHistoryStore store;
    QVERIFY(store.saveDayRecord(day));
    const QByteArray bytes = readFileBytes(DiskHistoryStore::dayFilePath(today()));
    QVERIFY(!bytes.isEmpty());
    const DiskDayRecord back = readDayFile(today());
    QCOMPARE(back.drillCache.size(), DiskHistoryStore::kMaxDrillDirs);
    for (const QList<DiskItem> &children : back.drillCache) {
        QCOMPARE(children.size(), DiskHistoryStore::kMaxDrillItems);
        // The largest children are the ones kept.
        QCOMPARE(children.first().size, qint64(999));
    }
}

void TestDiskHistoryStore::budgetStagesStopWhenUnderBudget()
{
    DiskHistoryStore store;
    store.samplesRetentionDays = 90;
    for (int age : {200, 150, 100, 60, 40, 5})
        writeDay(richDay(today().addDays(-age)));
    const qint64 before = store.storageBytes();
    // Room for everything but the samples of the three days older than 90 days.
    store.budgetBytes = before - 100;
    QVERIFY(store.enforceBudget());
    for (int age : {200, 150, 100}) {
        const DiskDayRecord r = readDayFile(today().addDays(-age));
        QVERIFY(r.samples.isEmpty());
        QCOMPARE(r.drillCache.size(), 1);
    }
    QCOMPARE(readDayFile(today().addDays(-60)).samples.size(), 20);
    QVERIFY(store.storageBytes() <= store.budgetBytes);

    // Stage two: drill caches of days older than 30 days go next.
    store.budgetBytes = store.storageBytes() - 100;
    QVERIFY(store.enforceBudget());
    QVERIFY(readDayFile(today().addDays(-40)).drillCache.isEmpty());
    QCOMPARE(readDayFile(today().addDays(-40)).samples.size(), 20);
    QCOMPARE(readDayFile(today().addDays(-5)).drillCache.size(), 1);

    // Already within budget: nothing is rewritten.
    store.budgetBytes = store.storageBytes() + 1;
    QVERIFY(!store.enforceBudget());
}

void TestDiskHistoryStore::budgetStageThreeThinsOldest_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("thinned");
    QTest::newRow("40 files") << 40 << 20;
    QTest::newRow("100 files") << 100 << 30;
    QTest::newRow("30 files") << 30 << 0;
}

void TestDiskHistoryStore::budgetStageThreeThinsOldest()
{
    QFETCH(int, files);
    QFETCH(int, thinned);
    // Dated from today on, so the age-based stages find nothing to thin.
    for (int i = 0; i < files; ++i)
        writeDay(richDay(today().addDays(i)));
    DiskHistoryStore store;
    store.budgetBytes = 0;
    QCOMPARE(store.enforceBudget(), thinned > 0);
    for (int i = 0; i < files; ++i) {
        const DiskDayRecord r = readDayFile(today().addDays(i));
        const bool stripped = r.samples.isEmpty() && r.drillCache.isEmpty();
        QVERIFY2(stripped == (i < thinned), qPrintable(QString::number(i)));
        QCOMPARE(r.topLevel.size(), 1);
    }
}

void TestDiskHistoryStore::cacheEvictionOrder_data()
{
    QTest::addColumn<QList<int>>("inserted");
    QTest::addColumn<QList<int>>("kept");
    QTest::newRow("A B C") << QList<int>{0, 1, 2} << QList<int>{1, 2};
    QTest::newRow("A B A C") << QList<int>{0, 1, 0, 2} << QList<int>{0, 2};
}

void TestDiskHistoryStore::cacheEvictionOrder()
{
    QFETCH(QList<int>, inserted);
    QFETCH(QList<int>, kept);
    DiskHistoryStore store;
    store.memoryCacheDays = 2;
    const QDate base(2020, 3, 1);
    for (int d = 0; d < 3; ++d)
        writeDay(makeDay(base.addDays(d), 1000 + d));
    for (int d : inserted)
        store.addToCache(makeDay(base.addDays(d), 10 + d));
    // The files did not change: cached days come from the cache, the others from their files.
    for (int d = 0; d < 3; ++d) {
        DiskDayRecord r;
        QVERIFY(store.loadDay(base.addDays(d), &r));
        QCOMPARE(r.total, qint64(kept.contains(d) ? 10 + d : 1000 + d));
    }
    // A file replaced by another writer is read again; a removed one is gone.
    writeDay(makeDay(base.addDays(kept.first()), 2000));
    QFile::remove(DiskHistoryStore::dayFilePath(base.addDays(kept.last())));
    DiskDayRecord r;
    QVERIFY(store.loadDay(base.addDays(kept.first()), &r));
    QCOMPARE(r.total, qint64(2000));
    QVERIFY(!store.loadDay(base.addDays(kept.last()), &r));
    store.memoryCacheDays = 0;
    store.addToCache(makeDay(base, 1));
    QVERIFY(store.loadDay(base, &r));
    QVERIFY(r.total != 1);
}

void TestDiskHistoryStore::removeRange()
{
    DiskHistoryStore store;
    for (int i = 0; i < 4; ++i)
        QVERIFY(store.saveDayRecord(makeDay(today().addDays(-i), i)));
    QVERIFY(!store.removeRange(today(), today().addDays(-1)));
    QVERIFY(!store.removeRange(today().addDays(-40), today().addDays(-30)));
    QVERIFY(store.removeRange(today().addDays(-2), today()));
    DiskDayRecord r;
    QVERIFY2(!store.loadDay(today(), &r), "removed days must leave the cache");
    QVERIFY(store.loadDay(today().addDays(-3), &r));
    QCOMPARE(store.loadIndex().days.size(), 1);
}

void TestDiskHistoryStore::syncRange()
{
    DiskHistoryStore store;
    const QDate from = today().addDays(-9);
    for (int i : {0, 4, 9})
        writeDay(makeDay(from.addDays(i), i));
    const QList<DiskDayRecord> records = store.loadRange(from, today());
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(1).date, from.addDays(4));
    QVERIFY(store.loadRange(today(), from).isEmpty());
    QVERIFY(store.loadRange(QDate(), today()).isEmpty());
    // Loaded days are cached while their files stay as they were; what another process changed
    // or removed is seen at once.
    DiskDayRecord r;
    rewriteTotalInPlace(from.addDays(4), 5);
    QVERIFY(store.loadDay(from.addDays(4), &r));
    QCOMPARE(r.total, qint64(4));
    writeDay(makeDay(from.addDays(9), 8));
    QVERIFY(store.loadDay(from.addDays(9), &r));
    QCOMPARE(r.total, qint64(8));
    QCOMPARE(store.loadRange(from, today()).last().total, qint64(8));
    QFile::remove(DiskHistoryStore::dayFilePath(from));
    QVERIFY(!store.loadDay(from, &r));
}

void TestDiskHistoryStore::asyncRangeProgress()
{
    DiskHistoryStore store;
    const QDate from = today().addDays(-9);
    for (int i : {1, 2, 7})
        writeDay(makeDay(from.addDays(i), i));
    ProgressLog progress(&store);
    QSignalSpy loaded(&store, &DiskHistoryStore::rangeLoaded);
    const quint64 id = store.requestRange(from, today());
    QVERIFY(id != 0);
    QVERIFY(loaded.wait(20000));
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().at(0).value<quint64>(), id);
    const auto records = loaded.first().at(1).value<QList<DiskDayRecord>>();
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(2).total, qint64(7));
    const QList<ProgressLog::Report> reports = progress.all();
    QCOMPARE(reports.size(), 10);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(reports.at(i).id, id);
        QCOMPARE(reports.at(i).done, i + 1);
        QCOMPARE(reports.at(i).total, 10);
    }

    progress.clear();
    loaded.clear();
    const quint64 single = store.requestRange(today(), today());
    QVERIFY(loaded.wait(20000));
    const QList<ProgressLog::Report> one = progress.all();
    QCOMPARE(one.size(), 1);
    QCOMPARE(one.first().id, single);
    QCOMPARE(one.first().done, 1);
    QCOMPARE(one.first().total, 1);
    QVERIFY(loaded.first().at(1).value<QList<DiskDayRecord>>().isEmpty());
}

void TestDiskHistoryStore::asyncRangeRefusedAndIds()
{
    DiskHistoryStore store;
    QSignalSpy loaded(&store, &DiskHistoryStore::rangeLoaded);
    ProgressLog progress(&store);
    QCOMPARE(store.requestRange(today(), today().addDays(-1)), quint64(0));
    QCOMPARE(store.requestRange(QDate(), today()), quint64(0));
    // More days than the progress counts can hold.
    QCOMPARE(store.requestRange(QDate::fromJulianDay(0), QDate::fromJulianDay(qint64(INT_MAX) + 1)),
             quint64(0));
    QVERIFY(store.loadRange(QDate::fromJulianDay(0), QDate::fromJulianDay(qint64(INT_MAX) + 1)).isEmpty());
    QCOMPARE(store.requestRange(today(), today()), quint64(1));
    QCOMPARE(store.requestRange(today(), today()), quint64(2));
    QTRY_COMPARE(loaded.size(), 2);
    // The two loads run at once, each reporting its one day from its own thread.
    QList<quint64> reported;
    for (const ProgressLog::Report &report : progress.all())
        reported.append(report.id);
    std::sort(reported.begin(), reported.end());
    QCOMPARE(reported, (QList<quint64>{1, 2}));
}

void TestDiskHistoryStore::cancelBeforeStart()
{
    writeDay(makeDay(today(), 5));
    DiskHistoryStore store;
    ProgressLog progress(&store);
    QSignalSpy loaded(&store, &DiskHistoryStore::rangeLoaded);
    // Occupy every thread the store starts requests on, so the worker cannot start before the
    // cancellation. The gate lives
    // on the heap and stays open once opened, so a blocker that runs late neither touches a dead
    // stack frame nor misses the wake-up; each blocker gives up on its own after a bounded time.
    // The standard types, as the thread sanitizer cannot see the uninstrumented Qt release its
    // mutex inside a wait.
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int started = 0;
        int ended = 0;
    };
    const auto gate = std::make_shared<Gate>();
    QThreadPool *pool = &store.requestThreads();
    const int threads = pool->maxThreadCount();
    for (int i = 0; i < threads; ++i) {
        Tavrin::startOnPool(*pool, [gate] {
            std::unique_lock lock(gate->mutex);
            ++gate->started;
            gate->changed.notify_all();
            gate->changed.wait_for(lock, std::chrono::seconds(30), [&] { return gate->open; });
            ++gate->ended;
            gate->changed.notify_all();
        });
    }
    auto waitFor = [&](auto condition) {
        std::unique_lock lock(gate->mutex);
        return gate->changed.wait_for(lock, std::chrono::seconds(20), condition);
    };
    auto release = qScopeGuard([&] {
        const std::lock_guard lock(gate->mutex);
        gate->open = true;
        gate->changed.notify_all();
    });
    QVERIFY2(waitFor([&] { return gate->started == threads; }), "pool threads never became free");

    const quint64 id = store.requestRange(today().addDays(-3), today());
    store.cancelRange(id);
    QVERIFY(store.isCancelled(id));
    release.dismiss();
    {
        const std::lock_guard lock(gate->mutex);
        gate->open = true;
        gate->changed.notify_all();
    }
    QVERIFY(waitFor([&] { return gate->ended == threads; }));
    QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 20000);
    QCOMPARE(loaded.first().at(0).value<quint64>(), id);
    QVERIFY(loaded.first().at(1).value<QList<DiskDayRecord>>().isEmpty());
    QCOMPARE(progress.size(), 0);
    QVERIFY2(!store.isCancelled(id), "a finished worker forgets its cancellation");
}

void TestDiskHistoryStore::parallelRangeKeepsOrder_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("gap");
    QTest::addColumn<int>("corrupt");
    QTest::addColumn<bool>("async");
    QTest::newRow("year, gaps and corrupt files, requested") << 365 << 7 << 11 << true;
    QTest::newRow("year, gaps and corrupt files, synchronous") << 365 << 7 << 11 << false;
    QTest::newRow("every file readable") << 120 << 0 << 0 << true;
    QTest::newRow("a few days more than one thread takes") << 19 << 5 << 3 << true;
    QTest::newRow("one day past the per-day reports") << 21 << 0 << 4 << true;
    QTest::newRow("nothing readable") << 60 << 2 << 1 << true;
}

// Whichever thread parses a day, the result lists the readable days once each, in date order,
// with their own content; the memory cache ends as a day-by-day load would leave it; progress
// rises to the total without ever going back.
void TestDiskHistoryStore::parallelRangeKeepsOrder()
{
    QFETCH(int, days);
    QFETCH(int, gap);
    QFETCH(int, corrupt);
    QFETCH(bool, async);
    const QDate from = today().addDays(-days + 1);
    const QList<int> readable = writeNumberedDays(from, days, gap, corrupt);

    DiskHistoryStore store;
    store.memoryCacheDays = 5;
    ProgressLog progress(&store);
    QList<DiskDayRecord> records;
    if (async) {
        QSignalSpy loaded(&store, &DiskHistoryStore::rangeLoaded);
        const quint64 id = store.requestRange(from, today());
        QVERIFY(loaded.wait(20000));
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().at(0).value<quint64>(), id);
        records = loaded.first().at(1).value<QList<DiskDayRecord>>();
        const QList<ProgressLog::Report> reports = progress.all();
        QCOMPARE(reports.size(), std::min(days, 20));
        int previous = 0;
        for (const ProgressLog::Report &report : reports) {
            QCOMPARE(report.id, id);
            QVERIFY2(report.done > previous, "progress went back or repeated");
            QCOMPARE(report.total, days);
            previous = report.done;
        }
        QCOMPARE(previous, days);
    } else {
        records = store.loadRange(from, today());
        QCOMPARE(progress.size(), 0);
    }
    verifyNumberedRecords(records, from, readable);

    // The newest five readable days stay cached; older ones are read from their files again.
    for (int k = 0; k < readable.size(); ++k)
        rewriteTotalInPlace(from.addDays(readable.at(k)), 2000 + readable.at(k));
    for (int k = 0; k < readable.size(); ++k) {
        DiskDayRecord r;
        QVERIFY(store.loadDay(from.addDays(readable.at(k)), &r));
        QCOMPARE(r.total, qint64((k >= readable.size() - 5 ? 1000 : 2000) + readable.at(k)));
    }
}

// A request cancelled while both threads parse ends with what was read before, in order, reports
// nothing after the cancellation, and leaves the store ready for the next request.
void TestDiskHistoryStore::cancelDuringParallelLoad()
{
    const int days = 400;
    const QDate from = today().addDays(-days + 1);
    const QList<int> readable = writeNumberedDays(from, days, 0, 0);
    DiskHistoryStore store;
    QSignalSpy loaded(&store, &DiskHistoryStore::rangeLoaded);
    std::atomic<int> reports = 0;
    // Cancels from the worker at its first report, so the load is certainly still running.
    connect(
        &store, &DiskHistoryStore::rangeProgress, &store,
        [&](quint64 id) {
            if (reports.fetch_add(1) == 0)
                store.cancelRange(id);
        },
        Qt::DirectConnection);
    const quint64 first = store.requestRange(from, today());
    QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 20000);
    QCOMPARE(loaded.first().at(0).value<quint64>(), first);
    QCOMPARE(reports.load(), 1);
    QVERIFY(!store.isCancelled(first));
    const auto partial = loaded.first().at(1).value<QList<DiskDayRecord>>();
    QVERIFY2(partial.size() < days, "the cancellation was not seen");
    // Whatever was read before the cancellation, in date order and each with its own content.
    QList<int> read;
    for (const DiskDayRecord &r : partial)
        read.append(int(from.daysTo(r.date)));
    for (int k = 1; k < read.size(); ++k)
        QVERIFY2(read.at(k - 1) < read.at(k), "days out of order or repeated");
    verifyNumberedRecords(partial, from, read);

    loaded.clear();
    const quint64 second = store.requestRange(from, today());
    QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 20000);
    QCOMPARE(loaded.first().at(0).value<quint64>(), second);
    verifyNumberedRecords(loaded.first().at(1).value<QList<DiskDayRecord>>(), from, readable);
}

void TestDiskHistoryStore::destroyedDuringLoad_data()
{
    QTest::addColumn<int>("firstFile");
    QTest::addColumn<int>("files");
    QTest::newRow("days missing until the end") << 2996 << 5;
    QTest::newRow("both threads parsing") << 0 << 300;
}

void TestDiskHistoryStore::destroyedDuringLoad()
{
    QFETCH(int, firstFile);
    QFETCH(int, files);
    writeNumberedDays(today().addDays(-3000 + firstFile), files, 0, 0);
    QObject receiver;
    int loadedCalls = 0;
    std::atomic<int> progressCalls = 0;
    std::atomic<bool> workerLeft = false;
    auto *store = new DiskHistoryStore;
    connect(store, &DiskHistoryStore::rangeLoaded, &receiver, [&] { ++loadedCalls; });
    // Runs on the worker thread: the first report holds the worker inside the load until the
    // destructor has cancelled it, then lingers a little, so a destructor that did not wait for
    // the worker returns while it is still here.
    connect(
        store, &DiskHistoryStore::rangeProgress, &receiver,
        [&, store](quint64 id) {
            if (progressCalls.fetch_add(1) != 0)
                return;
            QDeadlineTimer limit(30000);
            while (!store->isCancelled(id) && !limit.hasExpired())
                QThread::msleep(1);
            QThread::msleep(50);
            workerLeft = true;
        },
        Qt::DirectConnection);
    store->requestRange(today().addDays(-3000), today());
    QTRY_VERIFY_WITH_TIMEOUT(progressCalls.load() > 0, 20000);
    delete store;
    QVERIFY2(workerLeft.load(), "the destructor returned while its worker was still running");
    // The worker saw the cancellation at the next day and reported nothing more.
    QCOMPARE(progressCalls.load(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(loadedCalls, 0);
}

TAVRIN_TEST_GUILESS_MAIN(TestDiskHistoryStore)
#include "tst_diskhistorystore.moc"
