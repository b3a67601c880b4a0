#include "disk/diskhistorystore.h"
#include "disk/jsonfileio.h"

#include "diskfixture.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <unistd.h>

using namespace Tavrin;

// Writes on a full file system (a small tmpfs of the test's own): a save that does not fit must
// fail and leave the previous file whole.
class TestDiskFull : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void atomicWriteOnFullDisk_data();
    void atomicWriteOnFullDisk();
    void storeKeepsOldDay();

private:
    void fill(qint64 leaveFree);
    QByteArray bigJson(int bytes) const;
    QTemporaryDir base;
    QString mountPoint;
    bool mounted = false;
};

void TestDiskFull::initTestCase()
{
    TAVRIN_REQUIRE_PRIVATE_HOME();
    if (geteuid() != 0)
        QSKIP("needs root to mount a small tmpfs");
    mountPoint = base.filePath("mnt");
    QVERIFY(QDir().mkpath(mountPoint));
    const int rc =
        QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k,mode=0700", "tmpfs", mountPoint});
    if (rc != 0)
        QSKIP("cannot mount a tmpfs here");
    mounted = true;
}

void TestDiskFull::cleanupTestCase()
{
    if (mounted)
        QCOMPARE(QProcess::execute("umount", {mountPoint}), 0);
}

void TestDiskFull::fill(qint64 leaveFree)
{
    QFile::remove(mountPoint + "/filler");
    QFile filler(mountPoint + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    for (;;) {
        const QStorageInfo info(mountPoint);
        if (info.bytesAvailable() <= leaveFree)
            break;
        if (filler.write(block) != block.size())
            break;
    }
    filler.close();
}

QByteArray TestDiskFull::bigJson(int bytes) const
{
    QJsonArray items;
    for (int i = 0; items.size() * 25 < bytes; ++i)
        items.append(QJsonObject{{"p", QString("/some/long/path/%1").arg(i)}, {"s", i}});
    return QJsonDocument(QJsonObject{{"topLevel", items}}).toJson(QJsonDocument::Compact);
}

void TestDiskFull::atomicWriteOnFullDisk_data()
{
    QTest::addColumn<qint64>("free");
    QTest::addColumn<int>("size");
    QTest::newRow("no room at all") << qint64(0) << 64 * 1024;
    QTest::newRow("room for half") << qint64(16 * 1024) << 48 * 1024;
    QTest::newRow("one block short") << qint64(8 * 1024) << 12 * 1024;
}

void TestDiskFull::atomicWriteOnFullDisk()
{
    QFETCH(qint64, free);
    QFETCH(int, size);
    const QString path = mountPoint + "/good.json";
    QFile::remove(mountPoint + "/filler");
    const QByteArray good = R"({"good":true})";
    QVERIFY(writeFileAtomic(path, good));
    fill(free);
    const QByteArray data = bigJson(size);
    QVERIFY(data.size() >= size);
    QVERIFY(!writeJsonAtomic(path, QJsonDocument::fromJson(data)));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), good);
    // No temporary file of the failed save is left behind.
    QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestDiskFull::storeKeepsOldDay()
{
    QFile::remove(mountPoint + "/filler");
    QDir(mountPoint + "/tavrin-manager").removeRecursively();
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(mountPoint));
    DiskDayRecord day;
    day.date = QDate::currentDate();
    day.total = 12345;
    day.topLevel = {{"/usr", 1, true}};
    {
        DiskHistoryStore store;
        QVERIFY(store.saveDayRecord(day));
    }
    fill(0);
    DiskDayRecord bigger = day;
    bigger.total = 99999;
    for (int i = 0; i < 3000; ++i)
        bigger.topLevel.append({QString("/a/rather/long/path/%1").arg(i), i, true});
    {
        DiskHistoryStore store;
        QVERIFY(!store.saveDayRecord(bigger));
    }
    DiskHistoryStore fresh;
    DiskDayRecord back;
    QVERIFY(fresh.loadDay(day.date, &back));
    QCOMPARE(back.total, qint64(12345));
    QCOMPARE(back.topLevel.size(), 1);
    QCOMPARE(fresh.loadIndex().days.size(), 1);
    QFile::remove(mountPoint + "/filler");
    QDir(mountPoint + "/tavrin-manager").removeRecursively();
    qputenv("XDG_DATA_HOME", dataHome);
}

TAVRIN_TEST_GUILESS_MAIN(TestDiskFull)
#include "tst_diskfull.moc"
