#include "disk/diskhistorystore.h"
#include "disk/diskscanner.h"
#include "disk/jsonfileio.h"

#include "testsupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Tavrin;

namespace {

const QStringList kDiskTools{"sudo", "pkexec", "nice", "ionice", "du", "df"};

QString duOutputName(const QString &path)
{
    return QString(path).replace('/', '_') + ".out";
}

} // namespace

class TestDiskScanner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void parseDuLine_data();
    void parseDuLine();
    void parseDuRecord_data();
    void parseDuRecord();
    void oddNamesTakenExactly();
    void nameNotInFileSystemEncodingCanBeDrilled();
    void parseDfRoot_data();
    void parseDfRoot();
    void mountTable();
    void dfPartitions();

    void topLevelScan();
    void splitAndCrLfOutput_data();
    void splitAndCrLfOutput();
    void drillIntoRealTree();
    void failedRunStillDelivers();
    void cancelEmitsOnce();
    void destroyWhileRunning();
    void elevation_data();
    void elevation();
    void startFailure_data();
    void startFailure();

    void dfQueries();
    void otherPartitions();
    void simulatedDfFollowsHistory();
    void realTools();
    void realDuLeavesOutExcluded_data();
    void realDuLeavesOutExcluded();

private:
    void writeDu(const QString &path, const QByteArray &output);
    QStringList logLines() const;
    QString root() const { return work.filePath("root"); }
    QString plantedLog() const { return work.filePath("planted.log"); }
    QTemporaryDir work;
    QByteArray originalPath;
};

void TestDiskScanner::initTestCase()
{
    originalPath = qgetenv("PATH");
}

void TestDiskScanner::init()
{
    QDir(work.path()).removeRecursively();
    QDir().mkpath(work.path());
    // The stand-ins lie below the system root, where the scanner starts them by absolute path;
    // hostile ones of the same names come first on PATH and must never run.
    QVERIFY(Tavrin::Test::plantDiskFakes(root()));
    QVERIFY(Tavrin::Test::plantHostileTools(work.filePath("planted"), kDiskTools, plantedLog()));
    qputenv("PATH", QFile::encodeName(work.filePath("planted")) + ":" + originalPath);
    qputenv("FAKE_DU_DIR", QFile::encodeName(work.path()));
    qputenv("FAKE_DISK_LOG", QFile::encodeName(work.filePath("log")));
    qputenv("FAKE_DU_LOG", QFile::encodeName(work.filePath("log")));
    for (const char *var : {"FAKE_DU_EXIT", "FAKE_DU_HANG", "FAKE_DU_SPLIT", "FAKE_DU_STDERR", "FAKE_SUDO",
                            "FAKE_PKEXEC", "FAKE_DF_OUTPUT", "FAKE_DF_EXIT", "FAKE_DF_HANG", "FAKE_DF_USED",
                            "FAKE_DF_TOTAL", "TAVRIN_SIM_EUID"})
        qunsetenv(var);
    qputenv("TAVRIN_SYSROOT", QFile::encodeName(root()));
}

void TestDiskScanner::cleanup()
{
    qputenv("PATH", originalPath);
    qunsetenv("TAVRIN_SYSROOT");
    QFile planted(plantedLog());
    QVERIFY2(!planted.open(QIODevice::ReadOnly), planted.readAll().constData());
}

void TestDiskScanner::writeDu(const QString &path, const QByteArray &output)
{
    QFile f(work.filePath(duOutputName(path)));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(output);
}

QStringList TestDiskScanner::logLines() const
{
    QFile f(work.filePath("log"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).replace(root(), "<root>").split('\n', Qt::SkipEmptyParts);
}

void TestDiskScanner::parseDuLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << QByteArray("1024\t/usr") << true << qint64(1048576) << "/usr";
    QTest::newRow("CR LF") << QByteArray("4\t/var/log\r") << true << qint64(4096) << "/var/log";
    QTest::newRow("blanks around") << QByteArray("  8\t/a b \t ") << true << qint64(8192) << "/a b";
    QTest::newRow("tab in path") << QByteArray("1\t/x\ty") << true << qint64(1024) << "/x\ty";
    QTest::newRow("letters") << QByteArray("12k\t/usr") << false << qint64(0) << "";
    QTest::newRow("tab first") << QByteArray("\t/usr") << false << qint64(0) << "";
    QTest::newRow("space instead of tab") << QByteArray("1024 /usr") << false << qint64(0) << "";
    QTest::newRow("negative") << QByteArray("-5\t/usr") << false << qint64(0) << "";
    QTest::newRow("overflow") << QByteArray("99999999999999999999\t/usr") << false << qint64(0) << "";
    QTest::newRow("too big for bytes") << QByteArray("9007199254740993000\t/usr") << false << qint64(0) << "";
    QTest::newRow("empty") << QByteArray("\r") << false << qint64(0) << "";
}

void TestDiskScanner::parseDuLine()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, ok);
    QFETCH(qint64, size);
    QFETCH(QString, path);
    DuLine parsed;
    QCOMPARE(Tavrin::parseDuLine(line, &parsed), ok);
    if (ok) {
        QCOMPARE(parsed.size, size);
        QCOMPARE(parsed.path, path);
    }
    // Bytes that are not UTF-8 still give an entry, never a crash.
    QVERIFY(Tavrin::parseDuLine(QByteArray("2\t/bad\xff\xfe name"), &parsed));
    QVERIFY(parsed.path.startsWith("/bad"));
}

void TestDiskScanner::parseDuRecord_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << QByteArray("1024\t/usr") << true << qint64(1048576) << "/usr";
    QTest::newRow("trailing blank kept") << QByteArray("8\t/a b ") << true << qint64(8192) << "/a b ";
    QTest::newRow("line feed, digits and tab in the name")
        << QByteArray("4\t/x\n9999999999\t/fake") << true << qint64(4096) << "/x\n9999999999\t/fake";
    QTest::newRow("carriage return in the name") << QByteArray("4\t/v\r") << true << qint64(4096) << "/v\r";
    QTest::newRow("leading blank before the size") << QByteArray(" 8\t/a") << false << qint64(0) << "";
    QTest::newRow("no path") << QByteArray("8\t") << false << qint64(0) << "";
    QTest::newRow("line feed left from text output") << QByteArray("\n8\t/a") << false << qint64(0) << "";
    QTest::newRow("letters") << QByteArray("12k\t/usr") << false << qint64(0) << "";
    QTest::newRow("too big for bytes") << QByteArray("9007199254740993000\t/usr") << false << qint64(0) << "";
    QTest::newRow("empty") << QByteArray() << false << qint64(0) << "";
}

void TestDiskScanner::parseDuRecord()
{
    QFETCH(QByteArray, record);
    QFETCH(bool, ok);
    QFETCH(qint64, size);
    QFETCH(QString, path);
    DuLine parsed;
    QCOMPARE(Tavrin::parseDuRecord(record, &parsed), ok);
    if (ok) {
        QCOMPARE(parsed.size, size);
        QCOMPARE(parsed.path, path);
    }
}

void TestDiskScanner::oddNamesTakenExactly()
{
    // A real tree with the names that broke line-based parsing; du itself lists them.
    QTemporaryDir tree;
    const QString t = tree.path();
    const QStringList names{"plain", "trailing blank ", "feed\n10737418240\tevil", " lead"};
    for (const QString &name : names)
        QVERIFY(QDir(t).mkdir(name));
    QByteArray out;
    for (const QString &name : names)
        out += "4\t" + QFile::encodeName(t + "/" + name) + '\0';
    out += "20\t" + QFile::encodeName(t) + '\0';
    QVERIFY(Tavrin::writeFileAtomic(work.filePath(duOutputName(t) + "0"), out));
    DiskScanner scanner;
    QSignalSpy drill(&scanner, &DiskScanner::drillFinished);
    QVERIFY(scanner.drillInto(t));
    QVERIFY(drill.wait(20000));
    QStringList paths;
    for (const DiskItem &item : drill.first().at(1).value<QList<DiskItem>>()) {
        paths << item.path;
        QCOMPARE(item.size, qint64(4096));
        QVERIFY2(item.isDir, qPrintable(item.path));
    }
    QStringList expected;
    for (const QString &name : names)
        expected << t + "/" + name;
    QCOMPARE(paths, expected);
}

void TestDiskScanner::nameNotInFileSystemEncodingCanBeDrilled()
{
    // The real du over a real tree: a directory whose name is not UTF-8, with a file inside.
    const QString du = QStandardPaths::findExecutable("du", {"/usr/bin", "/bin"});
    if (du.isEmpty())
        QSKIP("no du on this system");
    QVERIFY(QFile::remove(root() + "/usr/bin/du"));
    QVERIFY(QFile::link(du, root() + "/usr/bin/du"));
    QTemporaryDir tree;
    const QByteArray odd = QFile::encodeName(tree.path()) + "/bad\xff\xfe";
    QVERIFY(::mkdir(odd.constData(), 0700) == 0);
    {
        QFile f;
        const int fd = ::open((odd + "/inner").constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        QVERIFY(f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        QVERIFY(f.write(QByteArray(64 * 1024, 'x')) == 64 * 1024);
    }
    DiskScanner scanner;
    QSignalSpy drill(&scanner, &DiskScanner::drillFinished);
    QVERIFY(scanner.drillInto(tree.path()));
    QVERIFY(drill.wait(20000));
    const auto listed = drill.takeFirst().at(1).value<QList<DiskItem>>();
    QCOMPARE(listed.size(), 1);
    QVERIFY(listed.first().isDir);
    QVERIFY(scanner.drillInto(listed.first().path));
    QVERIFY(drill.wait(20000));
    QCOMPARE(drill.first().at(0).toString(), listed.first().path);
    const auto children = drill.first().at(1).value<QList<DiskItem>>();
    QCOMPARE(children.size(), 1);
    QVERIFY(children.first().path.endsWith("/inner"));
    QVERIFY(children.first().size >= 64 * 1024);
}

void TestDiskScanner::parseDfRoot_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("used");
    QTest::newRow("plain") << QByteArray("Filesystem 1B-blocks Used Available Use% Mounted on\n"
                                         "/dev/sda2 1000 600 400 60% /\n")
                           << true << qint64(1000) << qint64(600);
    QTest::newRow("aligned") << QByteArray(
                                    "Filesystem        1B-blocks         Used    Available Use% Mounted on\n"
                                    "/dev/nvme0n1p2  511101108224  21474836480  489626271744   5% /\n")
                             << true << qint64(511101108224) << qint64(21474836480);
    QTest::newRow("first data line unparsable")
        << QByteArray("junk a b\r\n/dev/x 10 5 5 50% /\n") << true << qint64(10) << qint64(5);
    QTest::newRow("garbage") << QByteArray("\x01\x02 not df at all\n\n") << false << qint64(0) << qint64(0);
    QTest::newRow("header only") << QByteArray("Filesystem 1B-blocks Used\n") << false << qint64(0)
                                 << qint64(0);
}

void TestDiskScanner::parseDfRoot()
{
    QFETCH(QByteArray, output);
    QFETCH(bool, ok);
    QFETCH(qint64, total);
    QFETCH(qint64, used);
    qint64 t = -1;
    qint64 u = -1;
    QCOMPARE(parseDfRootOutput(output, &t, &u), ok);
    if (ok) {
        QCOMPARE(t, total);
        QCOMPARE(u, used);
    }
    QCOMPARE(parseDfRootOutput(output, nullptr, nullptr), ok);
}

void TestDiskScanner::mountTable()
{
    const QByteArray mounts = "/dev/sda2 / ext4 rw 0 0\n"
                              "proc /proc proc rw 0 0\n"
                              "tmpfs /tmp tmpfs rw 0 0\n"
                              "/dev/sda2 /var/lib/docker ext4 rw 0 0\n"
                              "/dev/sdb1 /media/My\\040Disk ext4 rw 0 0\n"
                              "/dev/sdb1 /mnt/again ext4 rw 0 0\n"
                              "/dev/loop0 /snap/x squashfs ro 0 0\n"
                              "server:/export /net nfs rw 0 0\n"
                              "short line\n"
                              "\n"
                              "/dev/sdc1 /data xfs rw 0 0\n";
    const QList<DiskMountInfo> c = parseMountTable(mounts);
    QCOMPARE(c.size(), 2);
    QCOMPARE(c.at(0).device, QString("/dev/sdb1"));
    QCOMPARE(c.at(0).mountPoint, QString("/media/My Disk"));
    QCOMPARE(c.at(0).fsType, QString("ext4"));
    QCOMPARE(c.at(1).mountPoint, QString("/data"));
}

void TestDiskScanner::dfPartitions()
{
    const QList<DiskMountInfo> candidates{{"/dev/sdb1", "/media/My Disk", "ext4", 0, 0},
                                          {"/dev/sdc1", "/data", "xfs", 0, 0},
                                          {"/dev/sdd1", "/gone", "ext4", 0, 0}};
    const QByteArray output = "Filesystem     1B-blocks      Used Available Use% Mounted on\n"
                              "/dev/sdb1      1000000        100   999900   1% /media/My Disk\n"
                              "/dev/sdc1      5000000    4000000  1000000  80% /data\n"
                              "/dev/sdz9      1 1 0 100% /elsewhere\n"
                              "/dev/sdd1 x y z w /gone\n"
                              "/dev/sdd1 1 2\n";
    const QList<DiskMountInfo> r = applyDfPartitions(candidates, output);
    QCOMPARE(r.size(), 2);
    QCOMPARE(r.at(0).device, QString("/dev/sdc1"));
    QCOMPARE(r.at(0).used, qint64(4000000));
    QCOMPARE(r.at(1).total, qint64(1000000));
    QCOMPARE(r.at(1).mountPoint, QString("/media/My Disk"));
}

void TestDiskScanner::topLevelScan()
{
    QByteArray out;
    for (int i = 0; i < 44; ++i)
        out += QByteArray::number(i + 1) + "\t/d" + QByteArray::number(i) + "\n";
    out += "900\t//\n12\t/last\n999\t/\n";
    writeDu("/", out);
    DiskScanner scanner;
    QSignalSpy top(&scanner, &DiskScanner::topLevelFinished);
    QSignalSpy done(&scanner, &DiskScanner::scanFinished);
    QSignalSpy progress(&scanner, &DiskScanner::progress);
    QVERIFY(scanner.startTopLevelScan());
    QVERIFY(scanner.isBusy());
    QVERIFY(done.wait());
    QVERIFY(!scanner.isBusy());
    QCOMPARE(top.size(), 1);
    const auto items = top.first().at(0).value<QList<DiskItem>>();
    QCOMPARE(items.size(), 45);
    QCOMPARE(items.first().path, QString("/d0"));
    QCOMPARE(items.first().size, qint64(1024));
    QCOMPARE(items.last().path, QString("/last"));
    for (const DiskItem &item : items)
        QVERIFY(item.isDir);
    QCOMPARE(top.first().at(1).toBool(), true);
    QCOMPARE(done.first().at(0).toBool(), true);
    QCOMPARE(done.first().at(1).toString(), QString());
    // Every 20 lines, then once at the end.
    QCOMPARE(progress.size(), 3);
    QCOMPARE(progress.last().at(0).toInt(), 45);
    QCOMPARE(progress.last().at(1).toString(), QString("/last"));
    QCOMPARE(logLines().first(), QString("nice -n 19 <root>/usr/bin/ionice -c3 <root>/usr/bin/du -xk "
                                         "--max-depth=1 --null --exclude=/proc --exclude=/sys --exclude=/dev "
                                         "--exclude=/run --exclude=/tmp /"));
}

void TestDiskScanner::splitAndCrLfOutput_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("split");
    const QByteArray lines = "10\t/usr\n20\t/var/long/path/name\n30\t/home\n40\t/\n";
    QTest::newRow("one read") << lines << false;
    QTest::newRow("split inside a line") << lines << true;
    QTest::newRow("no final newline") << lines.chopped(1) << true;
}

void TestDiskScanner::splitAndCrLfOutput()
{
    QFETCH(QByteArray, output);
    QFETCH(bool, split);
    writeDu("/", output);
    if (split)
        qputenv("FAKE_DU_SPLIT", "1");
    DiskScanner scanner;
    QSignalSpy top(&scanner, &DiskScanner::topLevelFinished);
    QVERIFY(scanner.startTopLevelScan());
    QVERIFY(top.wait());
    const auto items = top.first().at(0).value<QList<DiskItem>>();
    QStringList paths;
    for (const DiskItem &item : items)
        paths << item.path + "=" + QString::number(item.size);
    QCOMPARE(paths, (QStringList{"/usr=10240", "/var/long/path/name=20480", "/home=30720"}));
}

void TestDiskScanner::drillIntoRealTree()
{
    QTemporaryDir tree;
    QVERIFY(QDir(tree.path()).mkdir("sub"));
    QFile f(tree.filePath("file"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    const QString t = tree.path();
    writeDu(t, ("4\t" + t + "/sub\n8\t" + t + "/file\n2\t" + t + "/missing\n12\t" + t + "\n12\t" + t + "/\n")
                   .toUtf8());
    DiskScanner scanner;
    QSignalSpy drill(&scanner, &DiskScanner::drillFinished);
    QSignalSpy top(&scanner, &DiskScanner::topLevelFinished);
    QVERIFY(scanner.drillInto(t));
    QVERIFY(drill.wait());
    QCOMPARE(top.size(), 0);
    QCOMPARE(drill.first().at(0).toString(), t);
    const auto items = drill.first().at(1).value<QList<DiskItem>>();
    QCOMPARE(items.size(), 3);
    QVERIFY(items.at(0).isDir);
    QVERIFY(!items.at(1).isDir);
    QVERIFY(!items.at(2).isDir);
    QVERIFY(logLines().first().endsWith(
        "du -ak --max-depth=1 --null --exclude=/proc --exclude=/sys --exclude=/dev "
        "--exclude=/run --exclude=/tmp " +
        t));
}

void TestDiskScanner::failedRunStillDelivers()
{
    writeDu("/", "5\t/usr\n7\t/root\n");
    qputenv("FAKE_DU_EXIT", "1");
    qputenv("FAKE_DU_STDERR", "du: cannot read directory '/root/x': Permission denied");
    DiskScanner scanner;
    QSignalSpy top(&scanner, &DiskScanner::topLevelFinished);
    QSignalSpy done(&scanner, &DiskScanner::scanFinished);
    QVERIFY(scanner.startTopLevelScan());
    QVERIFY(done.wait());
    QCOMPARE(top.size(), 1);
    QCOMPARE(top.first().at(0).value<QList<DiskItem>>().size(), 2);
    QCOMPARE(top.first().at(1).toBool(), false);
    QCOMPARE(done.first().at(0).toBool(), false);
    QCOMPARE(done.first().at(1).toString(), QString("扫描未完整完成"));
}

void TestDiskScanner::cancelEmitsOnce()
{
    writeDu("/", "5\t/usr\n");
    qputenv("FAKE_DU_HANG", "1");
    DiskScanner scanner;
    QSignalSpy done(&scanner, &DiskScanner::scanFinished);
    QSignalSpy top(&scanner, &DiskScanner::topLevelFinished);
    QSignalSpy progress(&scanner, &DiskScanner::progress);
    QVERIFY(scanner.startTopLevelScan());
    QTRY_VERIFY(logLines().size() >= 3);
    QVERIFY(!scanner.startTopLevelScan());
    QVERIFY(!scanner.drillInto("/var"));
    scanner.cancel();
    QTRY_COMPARE(done.size(), 1);
    QTest::qWait(100);
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first().at(0).toBool(), false);
    QCOMPARE(done.first().at(1).toString(), QString("扫描已取消"));
    QCOMPARE(top.size(), 0);
    QVERIFY(!scanner.isBusy());
    // A fresh scan after a cancellation runs normally.
    qunsetenv("FAKE_DU_HANG");
    QVERIFY(scanner.startTopLevelScan());
    QTRY_COMPARE(top.size(), 1);
}

void TestDiskScanner::destroyWhileRunning()
{
    qputenv("FAKE_DU_HANG", "1");
    QObject receiver;
    int signals_ = 0;
    {
        DiskScanner scanner;
        connect(&scanner, &DiskScanner::scanFinished, &receiver, [&] { ++signals_; });
        connect(&scanner, &DiskScanner::topLevelFinished, &receiver, [&] { ++signals_; });
        QVERIFY(scanner.startTopLevelScan());
        QTRY_VERIFY(logLines().size() >= 3);
    }
    QTest::qWait(50);
    QCOMPARE(signals_, 0);
}

void TestDiskScanner::elevation_data()
{
    QTest::addColumn<QByteArray>("sudo");
    QTest::addColumn<QByteArray>("pkexec");
    QTest::addColumn<int>("interactive");
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<bool>("complete");
    QTest::newRow("sudo works") << QByteArray("ok") << QByteArray("ok") << 1 << QStringList{"sudo"} << true;
    QTest::newRow("password, graphical prompt")
        << QByteArray("password") << QByteArray("ok") << 1 << QStringList{"sudo", "pkexec"} << true;
    QTest::newRow("password, prompt fails again: one prompt only")
        << QByteArray("password") << QByteArray("password") << 1 << QStringList{"sudo", "pkexec", "nice"}
        << false;
    QTest::newRow("password, prompt dismissed") << QByteArray("password") << QByteArray("deny") << 1
                                                << QStringList{"sudo", "pkexec", "nice"} << false;
    QTest::newRow("password, not interactive")
        << QByteArray("password") << QByteArray("ok") << 0 << QStringList{"sudo", "nice"} << false;
    QTest::newRow("sudo refuses") << QByteArray("fail") << QByteArray("ok") << 1
                                  << QStringList{"sudo", "nice"} << false;
}

void TestDiskScanner::elevation()
{
    QFETCH(QByteArray, sudo);
    QFETCH(QByteArray, pkexec);
    QFETCH(int, interactive);
    QFETCH(QStringList, programs);
    QFETCH(bool, complete);
    qputenv("TAVRIN_SIM_EUID", "1000");
    qputenv("FAKE_SUDO", sudo);
    qputenv("FAKE_PKEXEC", pkexec);
    writeDu("/", "5\t/usr\n");
    DiskScanner scanner;
    scanner.useElevation = true;
    scanner.interactive = interactive;
    QSignalSpy top(&scanner, &DiskScanner::topLevelFinished);
    QSignalSpy done(&scanner, &DiskScanner::scanFinished);
    QVERIFY(scanner.startTopLevelScan());
    QVERIFY(done.wait());
    QCOMPARE(done.size(), 1);
    QCOMPARE(top.size(), 1);
    QCOMPARE(top.first().at(0).value<QList<DiskItem>>().size(), 1);
    QCOMPARE(top.first().at(1).toBool(), complete);
    // Every launch logs its chain of wrappers; a "nice" right after a sudo/pkexec that let the
    // command through belongs to that launch.
    QStringList chains;
    QString before;
    for (const QString &line : logLines()) {
        const QString program = line.section(' ', 0, 0);
        if (program == "sudo" || program == "pkexec" ||
            (program == "nice" && before != "sudo" && before != "pkexec"))
            chains << program;
        before = program;
    }
    QCOMPARE(chains, programs);
    // Each wrapper names the next by its absolute path below the root.
    const QString chain = "<root>/usr/bin/nice -n 19 <root>/usr/bin/ionice -c3 <root>/usr/bin/du -xk";
    for (const QString &line : logLines()) {
        if (line.startsWith("sudo "))
            QVERIFY2(line.startsWith("sudo -n " + chain), qPrintable(line));
        else if (line.startsWith("pkexec "))
            QVERIFY2(line.startsWith("pkexec " + chain), qPrintable(line));
    }
}

void TestDiskScanner::startFailure_data()
{
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<bool>("elevated");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("no nice") << QStringList{"du", "ionice"} << false << false;
    QTest::newRow("no sudo: unprivileged run") << QStringList{"du", "ionice", "nice"} << true << true;
    QTest::newRow("no sudo, no nice") << QStringList{"du"} << true << false;
}

void TestDiskScanner::startFailure()
{
    QFETCH(QStringList, available);
    QFETCH(bool, elevated);
    QFETCH(bool, delivered);
    // Missing below the root; the planted ones on PATH stand in for none of them.
    for (const QString &tool : kDiskTools)
        QVERIFY(QFile::remove(root() + "/usr/bin/" + tool));
    QVERIFY(Tavrin::Test::plantDiskFakes(root(), available));
    if (elevated)
        qputenv("TAVRIN_SIM_EUID", "1000");
    writeDu("/", "5\t/usr\n");
    DiskScanner scanner;
    scanner.useElevation = elevated;
    scanner.interactive = 1;
    QSignalSpy top(&scanner, &DiskScanner::topLevelFinished);
    QSignalSpy done(&scanner, &DiskScanner::scanFinished);
    QVERIFY(scanner.startTopLevelScan());
    QTRY_COMPARE(done.size(), 1);
    QVERIFY(!scanner.isBusy());
    QCOMPARE(top.size(), delivered ? 1 : 0);
    if (delivered) {
        QCOMPARE(top.first().at(1).toBool(), false);
    } else {
        QCOMPARE(done.first().at(0).toBool(), false);
        QCOMPARE(done.first().at(1).toString(), QString("无法启动 du 进程"));
    }
    QTest::qWait(50);
    QCOMPARE(done.size(), 1);
}

void TestDiskScanner::dfQueries()
{
    qint64 total = 0;
    qint64 used = 0;
    QString error;
    qputenv("FAKE_DF_TOTAL", "5000");
    qputenv("FAKE_DF_USED", "1234");
    QVERIFY(DiskScanner::dfRoot(&total, &used, &error));
    QCOMPARE(total, qint64(5000));
    QCOMPARE(used, qint64(1234));
    QVERIFY(DiskScanner::dfRoot(nullptr, nullptr, nullptr));

    qputenv("FAKE_DF_EXIT", "1");
    QVERIFY(!DiskScanner::dfRoot(&total, &used, &error));
    QCOMPARE(error, QString("df: failure"));
    qunsetenv("FAKE_DF_EXIT");

    QFile garbage(work.filePath("df.txt"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("totally\nnot df\n");
    garbage.close();
    qputenv("FAKE_DF_OUTPUT", QFile::encodeName(garbage.fileName()));
    QVERIFY(!DiskScanner::dfRoot(&total, &used, &error));
    QCOMPARE(error, QString("无法解析 df 输出"));
    qunsetenv("FAKE_DF_OUTPUT");

    QVERIFY(QFile::remove(root() + "/usr/bin/df"));
    QVERIFY(!DiskScanner::dfRoot(&total, &used, &error));
    QCOMPARE(error, QString("无法启动 df 进程"));
}

void TestDiskScanner::otherPartitions()
{
    QVERIFY(QDir().mkpath(root() + "/proc/self"));
    QVERIFY(DiskScanner::listOtherPartitions().isEmpty());
    QFile mounts(root() + "/proc/self/mounts");
    QVERIFY(mounts.open(QIODevice::WriteOnly));
    mounts.write("/dev/sda2 / ext4 rw 0 0\n/dev/sdb1 /data ext4 rw 0 0\n/dev/sdc1 /backup xfs rw 0 0\n");
    mounts.close();
    QFile df(work.filePath("df.txt"));
    QVERIFY(df.open(QIODevice::WriteOnly));
    df.write("Filesystem 1B-blocks Used Available Use% Mounted on\n"
             "/dev/sdb1   100     10   90  10% /data\n"
             "/dev/sdc1   900    800  100  89% /backup\n");
    df.close();
    qputenv("FAKE_DF_OUTPUT", QFile::encodeName(df.fileName()));
    const QList<DiskMountInfo> parts = DiskScanner::listOtherPartitions();
    QCOMPARE(parts.size(), 2);
    QCOMPARE(parts.first().mountPoint, QString("/backup"));
    QCOMPARE(parts.first().used, qint64(800));
    QCOMPARE(parts.last().total, qint64(100));
}

void TestDiskScanner::realTools()
{
    // The host's own tools at their fixed places, the planted ones still first on PATH.
    qunsetenv("TAVRIN_SYSROOT");
    qunsetenv("FAKE_DISK_LOG");
    qint64 total = 0;
    qint64 used = 0;
    QVERIFY(DiskScanner::dfRoot(&total, &used, nullptr));
    QVERIFY(total > 0);
    QVERIFY(used > 0 && used <= total);

    QTemporaryDir tree;
    QVERIFY(QDir(tree.path()).mkpath("a/b"));
    QFile big(tree.filePath("a/b/data"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QByteArray chunk(64 * 1024, '\0');
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = char((i * 7919) & 0xff);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(big.write(chunk), qint64(chunk.size()));
    big.close();
    QFile small(tree.filePath("note"));
    QVERIFY(small.open(QIODevice::WriteOnly));
    small.write("x");
    small.close();

    DiskScanner scanner;
    QSignalSpy drill(&scanner, &DiskScanner::drillFinished);
    QSignalSpy done(&scanner, &DiskScanner::scanFinished);
    QVERIFY(scanner.drillInto(tree.path()));
    QVERIFY(done.wait(30000));
    QCOMPARE(done.first().at(0).toBool(), true);
    QCOMPARE(drill.size(), 1);
    auto items = drill.first().at(1).value<QList<DiskItem>>();
    std::sort(items.begin(), items.end(),
              [](const DiskItem &x, const DiskItem &y) { return x.path < y.path; });
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0).path, tree.filePath("a"));
    QVERIFY(items.at(0).isDir);
    QVERIFY(items.at(0).size >= 256 * 1024);
    QCOMPARE(items.at(1).path, tree.filePath("note"));
    QVERIFY(!items.at(1).isDir);
}

void TestDiskScanner::realDuLeavesOutExcluded_data()
{
    QTest::addColumn<QString>("excluded");
    QTest::addColumn<QStringList>("listed");
    // Each listed name would also match the excluded one if it were taken as a wildcard.
    QTest::newRow("star") << "a*b" << QStringList{"a*b2", "aXb"};
    QTest::newRow("question mark") << "q?" << QStringList{"qq"};
    QTest::newRow("bracket") << "we[1]" << QStringList{"we1"};
    QTest::newRow("backslash") << "back\\slash" << QStringList{"backslash"};
    QTest::newRow("below a listed directory") << "deep/Downloads" << QStringList{"deep", "plain"};
}

void TestDiskScanner::realDuLeavesOutExcluded()
{
    QFETCH(QString, excluded);
    QFETCH(QStringList, listed);
    qunsetenv("TAVRIN_SYSROOT");
    QTemporaryDir tree;
    const QByteArray data(256 * 1024, 'x');
    for (const QString &name : listed + QStringList{excluded}) {
        QVERIFY(QDir(tree.path()).mkpath(name));
        QVERIFY(Tavrin::writeFileAtomic(tree.filePath(name + "/data"), data));
    }
    DiskScanner scanner;
    scanner.excludedPaths = {tree.filePath(excluded)};
    QSignalSpy drill(&scanner, &DiskScanner::drillFinished);
    QSignalSpy done(&scanner, &DiskScanner::scanFinished);
    QVERIFY(scanner.drillInto(tree.path()));
    QVERIFY(done.wait(30000));
    QCOMPARE(drill.size(), 1);
    QStringList names;
    for (const DiskItem &item : drill.first().at(1).value<QList<DiskItem>>()) {
        names << item.path.mid(tree.path().size() + 1);
        // Only the excluded file is missing from a directory holding it.
        const bool holdsExcluded = excluded.startsWith(names.constLast() + "/");
        QVERIFY2(holdsExcluded ? item.size < 2 * data.size() : item.size >= data.size(),
                 qPrintable(item.path));
    }
    names.sort();
    QCOMPARE(names, listed);
}

// The simulated system's df answers for the root with what its disk history last measured, so the
// demo's disk card and chart agree; without a history it is the host's df.
void TestDiskScanner::simulatedDfFollowsHistory()
{
    const QString history = DiskHistoryStore::historyDir();
    QDir(history).removeRecursively();
    QVERIFY(QFile::remove(root() + "/usr/bin/df"));
    QVERIFY(QFile::link(Tavrin::Test::sourcePath("sim/bin/df"), root() + "/usr/bin/df"));
    qint64 total = 0;
    qint64 used = 0;
    QString error;
    QVERIFY2(DiskScanner::dfRoot(&total, &used, &error), qPrintable(error));
    QVERIFY(total > 0);

    QProcess maker;
    maker.start("/usr/bin/python3",
                {Tavrin::Test::sourcePath("sim/make-disk-history.py"), "--days", "40", "--dir", history});
    QVERIFY(maker.waitForFinished(60000));
    QCOMPARE(maker.exitCode(), 0);
    DiskHistoryStore store;
    const QList<DiskDayRecord> days =
        store.loadRange(QDate::currentDate().addDays(-39), QDate::currentDate());
    QVERIFY(!days.isEmpty());
    const DiskDayRecord &newest = days.constLast();
    QVERIFY(newest.total <= newest.capacity);
    QVERIFY(DiskScanner::dfRoot(&total, &used, &error));
    QCOMPARE(total, newest.capacity);
    QCOMPARE(used, newest.samples.isEmpty() ? newest.total : newest.samples.constLast().total);
    QDir(history).removeRecursively();
}

TAVRIN_TEST_GUILESS_MAIN(TestDiskScanner)
#include "tst_diskscanner.moc"
