#include "disk/diskhistorystore.h"
#include "disk/diskmonitor.h"
#include "disk/diskscanner.h"
#include "disk/jsonfileio.h"

#include "diskfixture.h"
#include "monitorfixture.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QProcess>
#include <QStorageInfo>

#include <unistd.h>

using namespace Tavrin;

// Faults a machine really has, met by the monitor cycle and the history store: a read-only or full
// history directory, a du that prints garbage without end, a notification server that answers
// late. Each must end in bounded time with a clear outcome and the old files whole.
class TestDiskFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { fx.reset(); }
    void cleanup();
    void readOnlyHistory();
    void fullDiskDuringSave_data();
    void fullDiskDuringSave();
    void endlessGarbageFromDu_data();
    void endlessGarbageFromDu();
    void floodFromDf_data();
    void floodFromDf();
    void slowNotificationServer_data();
    void slowNotificationServer();
    void readOnlyConfiguration();

private:
    bool mount(const QStringList &args);
    void useSmallHistoryDisk(int kib);
    void fill(qint64 leaveFree);
    MonitorFixture fx;
    QStringList mounted;
    QByteArray dataHome;
    QProcess server;
};

void TestDiskFaults::initTestCase()
{
    TAVRIN_REQUIRE_PRIVATE_HOME();
    dataHome = qgetenv("XDG_DATA_HOME");
}

void TestDiskFaults::cleanup()
{
    qputenv("XDG_DATA_HOME", dataHome);
    while (!mounted.isEmpty())
        QCOMPARE(QProcess::execute("umount", {mounted.takeLast()}), 0);
    if (server.state() != QProcess::NotRunning) {
        server.kill();
        server.waitForFinished(5000);
    }
    fx.restorePath();
}

bool TestDiskFaults::mount(const QStringList &args)
{
    if (geteuid() != 0)
        return false;
    if (QProcess::execute("mount", args) != 0)
        return false;
    mounted.append(args.last());
    return true;
}

// The history directory on a tmpfs of `kib` KiB of its own.
void TestDiskFaults::useSmallHistoryDisk(int kib)
{
    const QString disk = fx.work.filePath("disk");
    QVERIFY(QDir().mkpath(disk));
    if (!mount({"-t", "tmpfs", "-o", QString("size=%1k,mode=0700").arg(kib), "tmpfs", disk}))
        QSKIP("needs root to mount a small tmpfs");
    qputenv("XDG_DATA_HOME", QFile::encodeName(disk));
    QVERIFY(DiskHistoryStore::historyDir().startsWith(disk));
}

void TestDiskFaults::fill(qint64 leaveFree)
{
    QFile filler(fx.work.filePath("disk/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    while (QStorageInfo(fx.work.filePath("disk")).bytesAvailable() > leaveFree) {
        if (filler.write(block) != block.size())
            break;
    }
}

void TestDiskFaults::readOnlyHistory()
{
    fx.spikeScenario(3 * MonitorFixture::GiB);
    const QString dir = DiskHistoryStore::historyDir();
    const QString yesterday = DiskHistoryStore::dayFilePath(QDate::currentDate().addDays(-1));
    const QByteArray before = readFileBytes(yesterday);
    QVERIFY(!before.isEmpty());
    if (!mount({"--bind", "-o", "ro", dir, dir}))
        QSKIP("needs root for a read-only bind mount");
    // Older util-linux ignores "ro" on the first bind; make sure.
    QProcess::execute("mount", {"-o", "remount,bind,ro", dir});
    QFile probe(dir + "/probe");
    QVERIFY(!probe.open(QIODevice::WriteOnly));

    const QPair<bool, QString> result = fx.cycle();
    QVERIFY(!result.first);
    QVERIFY2(result.second.startsWith("监控记录保存失败："), qPrintable(result.second));
    QVERIFY(result.second.contains(dir));
    QCOMPARE(readFileBytes(yesterday), before);
    QVERIFY(!fx.todayExists());

    DiskHistoryStore store;
    DiskDayRecord day;
    day.date = QDate::currentDate();
    QVERIFY(!store.saveDayRecord(day));
    QVERIFY(!store.lastError().isEmpty());
}

void TestDiskFaults::fullDiskDuringSave_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("index") << "index.json";
    QTest::newRow("alerts") << "alert.json";
}

// The day file fits, the larger file written with it does not: the old file stays whole, and what
// it would have lost is not lost.
void TestDiskFaults::fullDiskDuringSave()
{
    QFETCH(QString, file);
    useSmallHistoryDisk(512);
    const QString path = DiskHistoryStore::historyDir() + "/" + file;
    if (file == "index.json") {
        // A long history: its index is far larger than one day file.
        DiskHistoryStore store;
        DiskHistoryIndex index;
        for (int i = 400; i >= 1; --i) {
            DiskDaySummary day;
            day.date = QDate::currentDate().addDays(-i);
            day.file = day.date.toString(Qt::ISODate) + ".json";
            day.total = 100 * MonitorFixture::GiB;
            day.top = {{"/var/lib/some/long/directory/name", i, true}};
            index.days.append(day);
        }
        index.first = index.days.first().date;
        index.last = index.days.last().date;
        QVERIFY(store.writeIndex(index));
    } else {
        fx.spikeScenario(3 * MonitorFixture::GiB);
        QJsonArray spikes;
        for (int i = 0; i < 190; ++i)
            spikes.append(QJsonObject{{"date", QDate::currentDate().addDays(-200 + i).toString(Qt::ISODate)},
                                      {"growth", 2e9},
                                      {"causeDir", QString("/var/lib/some/rather/long/directory/%1").arg(i)},
                                      {"alerted", true}});
        QVERIFY(writeJsonAtomic(path, QJsonDocument(QJsonObject{{"spikes", spikes}})));
    }
    const QByteArray before = readFileBytes(path);
    QVERIFY(before.size() > 16 * 1024);
    fill(12 * 1024);

    if (file == "index.json") {
        DiskDayRecord today;
        today.date = QDate::currentDate();
        today.total = 101 * MonitorFixture::GiB;
        today.topLevel = {{"/usr", 1, true}};
        DiskHistoryStore store;
        QVERIFY(store.saveDayRecord(today));
        // Either the old index, whole, or none; a reader still finds the saved day.
        const QByteArray after = readFileBytes(path);
        QVERIFY(after.isEmpty() || after == before);
        const QList<DiskDaySummary> days = DiskHistoryStore().loadIndex().days;
        QVERIFY(!days.isEmpty());
        QCOMPARE(days.last().date, today.date);
    } else {
        const QPair<bool, QString> result = fx.cycle();
        QVERIFY(!result.first);
        QVERIFY2(result.second.startsWith("告警记录保存失败："), qPrintable(result.second));
        QCOMPARE(readFileBytes(path), before);
        QVERIFY(fx.todayExists());
    }
}

void TestDiskFaults::endlessGarbageFromDu_data()
{
    QTest::addColumn<bool>("drill");
    QTest::newRow("top level") << false;
    QTest::newRow("drill") << true;
}

// A du that prints megabytes without one entry end and never closes its output: the scan stops
// with a clear message instead of holding it all or waiting for ever.
void TestDiskFaults::endlessGarbageFromDu()
{
    QFETCH(bool, drill);
    const QString target = drill ? "/var" : "/";
    QVERIFY(writeFileAtomic(fx.work.filePath(QString(target).replace('/', '_') + ".out0"),
                            "12\t/usr" + QByteArray(1, '\0') + QByteArray(6 * 1024 * 1024, 'x')));
    qputenv("FAKE_DU_HANG", "1");
    DiskScanner scanner;
    QSignalSpy finished(&scanner, &DiskScanner::scanFinished);
    QSignalSpy top(&scanner, &DiskScanner::topLevelFinished);
    QSignalSpy drilled(&scanner, &DiskScanner::drillFinished);
    QVERIFY(drill ? scanner.drillInto(target) : scanner.startTopLevelScan());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
    QCOMPARE(finished.first().at(0).toBool(), false);
    QCOMPARE(finished.first().at(1).toString(), QString("du 的输出无法识别，扫描已停止"));
    QVERIFY(top.isEmpty() && drilled.isEmpty());
    QVERIFY(!scanner.isBusy());
    qunsetenv("FAKE_DU_HANG");
}

void TestDiskFaults::floodFromDf_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("partitions");
    QTest::newRow("endless, root") << "/dev/zero" << false;
    QTest::newRow("endless, other partitions") << "/dev/zero" << true;
    QTest::newRow("megabytes of real lines, root") << "lines" << false;
}

// A df that prints far more than any mount table holds is stopped at a cap with a clear message:
// the output is neither held in full nor half-parsed, and the monitor cycle fails cleanly.
void TestDiskFaults::floodFromDf()
{
    QFETCH(QString, output);
    QFETCH(bool, partitions);
    if (output == "lines") {
        output = fx.work.filePath("df.txt");
        QByteArray line("/dev/vda1   100000000000   1234   1000 50% /\n");
        QVERIFY(writeFileAtomic(output, line.repeated(6 * 1024 * 1024 / line.size())));
    }
    qputenv("FAKE_DF_OUTPUT", QFile::encodeName(output));
    if (partitions) {
        QVERIFY(QDir().mkpath(fx.root() + "/proc/self"));
        QVERIFY(writeFileAtomic(fx.root() + "/proc/self/mounts", "/dev/sdb1 /data ext4 rw 0 0\n"));
        QVERIFY(DiskScanner::listOtherPartitions().isEmpty());
    } else {
        qint64 total = -1;
        qint64 used = -1;
        QString error;
        QVERIFY(!DiskScanner::dfRoot(&total, &used, &error));
        QCOMPARE(error, QString("df 的输出过大，已停止"));
        QCOMPARE(fx.cycle(), qMakePair(false, QString("df 查询失败")));
    }
    qunsetenv("FAKE_DF_OUTPUT");
}

void TestDiskFaults::slowNotificationServer_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::newRow("answers within the bound") << 1500;
    QTest::newRow("answers after the bound") << DiskMonitor::kNotifyTimeoutMs + 2000;
}

// The alert is stored as sent whether the answer comes late or later still, the cycle ends within
// the bound, and the next cycle sends nothing twice.
void TestDiskFaults::slowNotificationServer()
{
    QFETCH(int, delayMs);
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus (run under dbus-run-session)");
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral(FAKENOTIFYD),
                 {fx.work.filePath("notify.log"), "--delay", QString::number(delayMs)});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY(
        QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.Notifications"));

    fx.spikeScenario(3 * MonitorFixture::GiB);
    QCOMPARE(fx.cycle(), qMakePair(true, QString("监控完成")));
    const QJsonArray spikes = fx.alerts().value("spikes").toArray();
    QCOMPARE(spikes.size(), 1);
    QVERIFY(spikes.first().toObject().value("alerted").toBool());
    QVERIFY(fx.alerts().value("lastAlert").toObject().contains("/var"));
    QVERIFY(fx.todayExists());

    // A late answer arriving during the next cycle changes nothing of it.
    QCOMPARE(fx.cycle(), qMakePair(true, QString("监控完成")));
    QFile log(fx.work.filePath("notify.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count('\n'), 1);
    QCOMPARE(fx.alerts().value("spikes").toArray().size(), 1);
}

// A settings change the configuration directory cannot take is reported, and loses nothing stored.
void TestDiskFaults::readOnlyConfiguration()
{
    const QString dir = qEnvironmentVariable("XDG_CONFIG_HOME") + "/zarnex";
    const QString file = dir + "/tavrin-manager.conf";
    {
        MonitorConfig config;
        QVERIFY(!config.usingZConfig());
        QVERIFY(config.setValue("monitor.retentionDays", 200));
    }
    const QByteArray before = readFileBytes(file);
    QVERIFY(!before.isEmpty());
    if (!mount({"--bind", "-o", "ro", dir, dir}))
        QSKIP("needs root for a read-only bind mount");
    QProcess::execute("mount", {"-o", "remount,bind,ro", dir});

    MonitorConfig config;
    QVERIFY(!config.setValue("monitor.retentionDays", 30));
    QVERIFY(!config.setValue("monitor.cooldownHours", 1));
    // The file keeps every value it held (a process-wide cache may still show the new ones).
    QCOMPARE(readFileBytes(file), before);
    QVERIFY(before.contains("retentionDays=200"));
}

TAVRIN_TEST_GUILESS_MAIN(TestDiskFaults)
#include "tst_diskfaults.moc"
