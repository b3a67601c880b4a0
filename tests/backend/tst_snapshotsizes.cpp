#include "backend/backend_p.h"
#include "simroot.h"

#include <QFuture>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

using namespace Tavrin;
using Tavrin::Test::kCtl;
using Tavrin::Test::SimRoot;

namespace {

QByteArray runOstree(const QStringList &args, bool *ok = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/ostree"), args);
    const bool done =
        p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = done;
    if (!done)
        qWarning() << "ostree" << args << p.readAllStandardError();
    return p.readAllStandardOutput().trimmed();
}

void writeTree(const QString &dir, const QMap<QString, QByteArray> &files)
{
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        const QString path = dir + QLatin1Char('/') + it.key();
        QDir().mkpath(QFileInfo(path).path());
        SimRoot::writeFile(path, it.value());
    }
}

} // namespace

class TestSnapshotSizes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }

    void init()
    {
        sim.reset(new SimRoot);
        resetSizeCachesForTesting();
        QDir(cacheDir()).removeRecursively();
        now = 1000000;
        setBackendClockForTesting([this] { return now.loadRelaxed(); });
    }
    void cleanup()
    {
        setBackendClockForTesting({});
        sim.reset();
    }

    void listingLines_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("entries");
        QTest::addColumn<qint64>("total");
        const QByteArray sum(64, 'a');
        const QByteArray other(64, 'b');
        QTest::newRow("regular file") << "-00644 0 0      6 " + sum + " /etc/b\n" << 1 << qint64(6);
        QTest::newRow("path with spaces") << "-00644 0 0 6 " + sum + " /etc/a b c\n" << 1 << qint64(6);
        QTest::newRow("directory") << "d00755 0 0 0 " + sum + " " + other + " /usr\n" << 0 << qint64(0);
        QTest::newRow("symbolic link") << "l00777 0 0 0 " + sum + " /usr/bin/l -> a\n" << 0 << qint64(0);
        QTest::newRow("checksum of 63") << "-00644 0 0 6 " + sum.left(63) + " /x\n" << 0 << qint64(0);
        QTest::newRow("64 characters, not hex") << "-00644 0 0 6 " + QByteArray(63, 'a') + "\" /x\n"
                                                << 0 << qint64(0);
        QTest::newRow("size not a number") << "-00644 0 0 6k " + sum + " /x\n" << 0 << qint64(0);
        QTest::newRow("too few pieces") << "-00644 0 6 " + sum + " /x\n" << 0 << qint64(0);
        QTest::newRow("negative size") << "-00644 0 0 -6 " + sum + " /x\n-00644 0 0 10 " + other + " /y\n"
                                       << 1 << qint64(10);
        QTest::newRow("size past 64 bits") << "-00644 0 0 9223372036854775808 " + sum + " /x\n"
                                           << 0 << qint64(0);
        QTest::newRow("repeated checksum keeps the last size")
            << "-00644 0 0 6 " + sum + " /x\n-00644 0 0 9 " + sum + " /y\n"
            << 1 << qint64(9);
        QTest::newRow("two files, no final line feed")
            << "-00644 0 0 6 " + sum + " /x\n-00644 0 0 10 " + other + " /y" << 2 << qint64(16);
        QTest::newRow("garbage") << QByteArray("\xff\xfe\x00\x01 - - - - - -", 17) << 0 << qint64(0);
    }
    void listingLines()
    {
        QFETCH(QByteArray, output);
        QFETCH(int, entries);
        QFETCH(qint64, total);
        const QHash<QString, qint64> files = parseOstreeListing(output);
        QCOMPARE(files.size(), entries);
        qint64 sum = 0;
        for (qint64 size : files)
            sum += size;
        QCOMPARE(sum, total);
    }

    void sharedAndUniqueObjects()
    {
        buildSystem();
        const SnapshotSizeMap sizes = computeSnapshotSizes();
        QCOMPARE(sizes.keys(), QStringList({"s1", "s2", "s3", "s4", "s5"}));
        QCOMPARE(sizes.value("s1").second, qint64(400));       // D only
        QCOMPARE(sizes.value("s2").second, qint64(500 + 600)); // E twice counts once, F
        QCOMPARE(sizes.value("s3").second, qint64(0));         // G is shared with s4
        QCOMPARE(sizes.value("s4").second, qint64(800));
        QCOMPARE(sizes.value("s5").second, qint64(0)); // no ref
        for (const QString &id : sizes.keys())
            QCOMPARE(sizes.value(id).first, realDu(sim->path("/persistent/ostree/snapshot/") + id));
        QVERIFY(sizes.value("s1").first >= 1000);
    }

    void cacheFilesWrittenAndReused()
    {
        buildSystem();
        computeSnapshotSizes();
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), 5); // the deployment and s1 … s4
        for (const QString &commit : std::as_const(referenceCommits)) {
            QFile file(cacheDir() + QStringLiteral("/tree_share_") + commit.left(8) +
                       QStringLiteral(".json"));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
            QCOMPARE(o.value("commit").toString(), commit);
            QVERIFY(!o.value("files").toObject().isEmpty());
        }

        // A new process (memory caches gone) lists nothing again.
        resetSizeCachesForTesting();
        sim->clearCalls();
        const SnapshotSizeMap again = computeSnapshotSizes();
        QVERIFY(sim->calls(QStringLiteral("ostree")).isEmpty());
        QCOMPARE(again.value("s2").second, qint64(1100));
        QCOMPARE(sim->calls(QStringLiteral("du")).size(), 5);
    }

    void reuseWithin59Seconds()
    {
        buildSystem();
        const SnapshotSizeMap first = computeSnapshotSizes();
        const int du = sim->calls(QStringLiteral("du")).size();
        const int ostree = sim->calls(QStringLiteral("ostree")).size();
        const int lists = sim->calls(kCtl).size();
        QCOMPARE(du, 5);

        now += 59; // the list is read again to know the sizes still belong to it
        QCOMPARE(computeSnapshotSizes(), first);
        QCOMPARE(sim->calls(QStringLiteral("du")).size(), du);
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), ostree);
        QCOMPARE(sim->calls(kCtl).size(), lists + 1);

        now += 1; // 60 s: recomputed, the tree listings still come from their files
        QCOMPARE(computeSnapshotSizes(), first);
        QCOMPARE(sim->calls(kCtl).size(), lists + 2);
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), ostree);
        QCOMPARE(sim->calls(QStringLiteral("du")).size(), du + 5);
    }

    void changedListIsRecomputed()
    {
        buildSystem();
        QCOMPARE(computeSnapshotSizes().size(), 5);
        const QString dir = sim->path("/persistent/ostree/snapshot/s6");
        QDir().mkpath(dir);
        SimRoot::writeFile(dir + "/extra", QByteArray(3000, 'x'));
        sim->respond(kCtl, "snapshot-list", R"({"data":{"snapshot_list":[
            {"id":"s1","name":"one","desc":"","time":1},{"id":"s6","name":"six","desc":"","time":6}]}})");
        now += 10;
        const SnapshotSizeMap sizes = computeSnapshotSizes();
        QCOMPARE(sizes.keys(), QStringList({"s1", "s6"}));
        QCOMPARE(sizes.value("s6").first, realDu(dir));
        QCOMPARE(sizes.value("s1").second, qint64(400));
    }

    void directorySizeCache()
    {
        const QString dir = sim->path("/persistent/ostree/snapshot");
        SimRoot::writeFile(dir + "/f", QByteArray(3000, 'x'));
        const qint64 size = duPath(dir);
        QCOMPARE(size, realDu(dir));
        SimRoot::writeFile(dir + "/g", QByteArray(3000, 'x'));
        now += 29;
        QCOMPARE(duPath(dir), size);
        now += 1;
        QCOMPARE(duPath(dir), realDu(dir));
        QCOMPARE(sim->calls(QStringLiteral("du")).size(), 2);
        QCOMPARE(duPath(sim->path("/no/such/dir")), qint64(0));
    }

    void duOutput_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<qint64>("bytes");
        QTest::newRow("normal") << "12345\t/persistent/ostree/snapshot/a" << qint64(12345);
        QTest::newRow("spaces") << "  77 \t/x" << qint64(77);
        QTest::newRow("huge") << "9223372036854775807\t/x" << std::numeric_limits<qint64>::max();
        QTest::newRow("overflow") << "99999999999999999999\t/x" << qint64(0);
        QTest::newRow("garbage") << "du: cannot access" << qint64(0);
        QTest::newRow("empty") << "" << qint64(0);
    }
    void duOutput()
    {
        QFETCH(QString, output);
        QFETCH(qint64, bytes);
        QCOMPARE(parseDuOutput(output), bytes);
    }

    // What du says decides how much of a directory is known: a directory it
    // could not read in full is a bound (or unknown) with du's and sudo's words.
    void directoryMeasureStates_data()
    {
        QTest::addColumn<QByteArray>("du");
        QTest::addColumn<QByteArray>("sudo");
        QTest::addColumn<int>("state");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QStringList>("says");
        const QByteArray denied = "echo \"4096\t$2\"; echo \"du: cannot read directory '$2/x': Permission denied\" >&2; exit 1";
        QTest::newRow("read in full") << QByteArray("echo \"13805\t$2\"") << QByteArray("grant")
                                      << int(MeasuredSize::Complete) << qint64(13805) << QStringList();
        QTest::newRow("root only, sudo wants a password")
            << denied << QByteArray("password") << int(MeasuredSize::Partial) << qint64(4096)
            << QStringList{"Permission denied", "a password is required"};
        QTest::newRow("root only, nothing read")
            << QByteArray("echo \"du: cannot read directory '$2': Permission denied\" >&2; exit 1")
            << QByteArray("deny") << int(MeasuredSize::Unknown) << qint64(0)
            << QStringList{"Permission denied", "not allowed"};
        QTest::newRow("another failure") << QByteArray("echo 'du: fts_read failed: Input/output error' >&2; exit 1")
                                         << QByteArray("grant") << int(MeasuredSize::Unknown) << qint64(0)
                                         << QStringList{"Input/output error"};
        QTest::newRow("garbage") << QByteArray("echo 'twelve'") << QByteArray("grant")
                                 << int(MeasuredSize::Unknown) << qint64(0) << QStringList{"twelve"};
    }
    void directoryMeasureStates()
    {
        QFETCH(QByteArray, du);
        QFETCH(QByteArray, sudo);
        QFETCH(int, state);
        QFETCH(qint64, bytes);
        QFETCH(QStringList, says);
        const QString tool = sim->path("/usr/bin/du");
        QFile::remove(tool);
        SimRoot::writeFile(tool, "#!/bin/sh\n" + du + "\n");
        QVERIFY(QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("FAKE_SUDO", sudo);
        const MeasuredSize size = measureDir(sim->path("/persistent/ostree/snapshot"));
        qunsetenv("FAKE_SUDO");
        QCOMPARE(int(size.state), state);
        QCOMPARE(size.bytes, bytes);
        for (const QString &text : says)
            QVERIFY2(size.error.contains(text), qPrintable(size.error));
        QCOMPARE(size.error.isEmpty(), says.isEmpty());

        // A directory that is not there holds nothing: that is measured, not unknown.
        QFile::remove(tool);
        QVERIFY(QFile::link(SimRoot::fakesDir() + QStringLiteral("/du"), tool));
        QCOMPARE(measureDir(sim->path("/persistent/ostree/snapshot/gone")), MeasuredSize::exact(0));
    }

    void cacheFileOfAnotherCommitIsReplaced()
    {
        buildSystem();
        const QString commit = referenceCommits.first();
        const QString key = QStringLiteral("share_") + commit.left(8);
        const QString path = cacheDir() + QLatin1Char('/') + treeCacheFileName(key);
        QDir().mkpath(cacheDir());
        SimRoot::writeFile(path, QJsonDocument(QJsonObject{{"commit", QString(64, QLatin1Char('f'))},
                                                           {"files", QJsonObject{{QString(64, 'e'), 5}}}})
                                     .toJson());
        const QHash<QString, qint64> files = ostreeLsTreeCached(key, commit);
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), 1);
        QVERIFY(!files.contains(QString(64, 'e')));
        QVERIFY(!files.isEmpty());
        QCOMPARE(QJsonDocument::fromJson(SimRoot::readFile(path)).object().value("commit").toString(),
                 commit);

        SimRoot::writeFile(path, "{ truncated");
        QCOMPARE(ostreeLsTreeCached(key, commit), files);
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), 2);
        QCOMPARE(ostreeLsTreeCached(key, commit), files);
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), 2);
    }

    // A cache file of absurd sizes (each one valid) must not wrap the total round to a negative size.
    void hugeCachedSizesSaturate()
    {
        buildSystem();
        const QString commit = referenceCommits.last(); // s4's files are its own
        QByteArray files;
        for (int i = 0; i < 1100; ++i)
            files += (i ? "," : "") +
                     ("\"" + QByteArray::number(i).rightJustified(64, 'c') + "\":9007199254740992");
        QDir().mkpath(cacheDir());
        SimRoot::writeFile(cacheDir() + QLatin1Char('/') + treeCacheFileName("share_" + commit.left(8)),
                           R"({"commit":")" + commit.toLatin1() + R"(","files":{)" + files + "}}");
        const SnapshotSizeMap sizes = computeSnapshotSizes();
        QCOMPARE(sizes.value("s4").second, std::numeric_limits<qint64>::max());
        QCOMPARE(sizes.value("s1").second, qint64(400));
    }

    void oddKeysAndCommitsStayInside()
    {
        QCOMPARE(treeCacheFileName("snap_../../x"), QStringLiteral("tree_snap_______x.json"));
        // A commit that looks like an option never reaches ostree.
        QVERIFY(ostreeLsTreeCached("share_-x", "--help").isEmpty());
        QVERIFY(sim->calls(QStringLiteral("ostree")).isEmpty());
    }

    // One failed listing must not zero the sizes for good: nothing of it is
    // cached, in memory or on disk, and an empty cache file is not trusted.
    void failedListingIsNotKept()
    {
        buildSystem();
        qputenv("FAKE_OSTREE_FAIL", "simulated failure");
        const SnapshotSizeMap failed = computeSnapshotSizes();
        qunsetenv("FAKE_OSTREE_FAIL");
        QCOMPARE(failed.value("s1").second, qint64(0));
        QVERIFY(QDir(cacheDir()).entryList({"tree_*"}, QDir::Files).isEmpty());

        const SnapshotSizeMap recovered = computeSnapshotSizes(); // same second
        QCOMPARE(recovered.value("s1").second, qint64(400));
        QCOMPARE(recovered.value("s2").second, qint64(1100));

        // A file an older version left for a failed listing, and one that does not parse.
        const QString commit = referenceCommits.first();
        const QString key = QStringLiteral("share_") + commit.left(8);
        const QString path = cacheDir() + QLatin1Char('/') + treeCacheFileName(key);
        for (const QByteArray &stale :
             {QByteArray(R"({"commit":")" + commit.toLatin1() + R"(","files":{}})"),
              QByteArray(R"({"commit":")" + commit.toLatin1() + R"(","files":{"x":"y"}})")}) {
            SimRoot::writeFile(path, stale);
            sim->clearCalls();
            QCOMPARE(ostreeLsTreeCached(key, commit).size(), 3);
            QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), 1);
            QCOMPARE(
                QJsonDocument::fromJson(SimRoot::readFile(path)).object().value("files").toObject().size(),
                3);
        }
    }

    // A caller that has read the list passes it on: the control tool is not
    // asked again, the figures and the caching are those of the plain call,
    // and a listing that failed is reported, not hidden behind zeros.
    void givenListIsNotReadAgain()
    {
        buildSystem();
        const QList<SnapshotInfo> list = getSnapshots();
        QCOMPARE(list.size(), 5);
        sim->clearCalls();

        bool complete = true;
        qputenv("FAKE_OSTREE_FAIL", "simulated failure");
        const SnapshotSizeMap failed = computeSnapshotSizes(list, &complete);
        qunsetenv("FAKE_OSTREE_FAIL");
        QVERIFY(!complete);
        QCOMPARE(failed.size(), 5);

        const SnapshotSizeMap sizes = computeSnapshotSizes(list, &complete);
        QVERIFY(complete);
        QCOMPARE(sizes.value("s2").second, qint64(1100));
        QCOMPARE(sizes.value("s4").second, qint64(800));
        QVERIFY(sim->calls(kCtl).isEmpty());
        const int ostree = sim->calls(QStringLiteral("ostree")).size();

        // Kept for the plain call, which reads the list once and takes it.
        complete = false;
        QCOMPARE(computeSnapshotSizes(list, &complete), sizes);
        QVERIFY(complete);
        QCOMPARE(computeSnapshotSizes(), sizes);
        QCOMPARE(sim->calls(kCtl).size(), 1);
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), ostree);

        // Another list is not served the kept sizes.
        const SnapshotSizeMap fewer = computeSnapshotSizes(list.mid(0, 2), &complete);
        QCOMPARE(fewer.keys(), QStringList({"s1", "s2"}));
        QVERIFY(complete);
        QVERIFY(computeSnapshotSizes({}, &complete).isEmpty());
        QVERIFY(complete);
    }

    void noSnapshotsNothingCached()
    {
        sim->respond(kCtl, "snapshot-list", R"({"data":{"snapshot_list":[]}})");
        QVERIFY(computeSnapshotSizes().isEmpty());
        QVERIFY(computeSnapshotSizes().isEmpty());
        QCOMPARE(sim->calls(kCtl).size(), 2);
        QVERIFY(sim->calls(QStringLiteral("du")).isEmpty());
    }

    void concurrentCallers()
    {
        buildSystem();
        QList<QFuture<SnapshotSizeMap>> callers;
        for (int i = 0; i < 4; ++i)
            callers << QtConcurrent::run([] { return computeSnapshotSizes(); });
        const SnapshotSizeMap first = callers.first().result();
        QCOMPARE(first.size(), 5);
        QCOMPARE(first.value("s4").second, qint64(800));
        for (QFuture<SnapshotSizeMap> &f : callers)
            QCOMPARE(f.result(), first);
        // One computation; the others took its result.
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), 5);
        QCOMPARE(sim->calls(QStringLiteral("du")).size(), 5);
    }

private:
    QString cacheDir() const { return QStandardPaths::writableLocation(QStandardPaths::CacheLocation); }

    static qint64 realDu(const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/du"), {QStringLiteral("-sb"), path});
        p.waitForFinished();
        return parseDuOutput(QString::fromUtf8(p.readAllStandardOutput()));
    }

    QString commitTree(const QString &name, const QMap<QString, QByteArray> &files, const QString &branch)
    {
        const QString dir = sim->path("/build/") + name;
        writeTree(dir, files);
        return QString::fromLatin1(runOstree({"--repo=" + sim->path("/ostree/repo"), "commit",
                                              "--branch=" + branch, "--tree=dir=" + dir, "-s", name}));
    }

    // Deployment: A B C. Snapshots: s1 = A B D; s2 = A E E' F (E twice, a link,
    // an empty dir); s3 = G; s4 = G H; s5 has no ref. Sizes 100 … 800.
    void buildSystem()
    {
        bool ok = false;
        runOstree({"init", "--repo=" + sim->path("/ostree/repo"), "--mode=bare-user-only"}, &ok);
        QVERIFY(ok);
        const QByteArray A(100, 'A'), B(200, 'B'), C(300, 'C'), D(400, 'D'), E(500, 'E'), F(600, 'F'),
            G(700, 'G'), H(800, 'H');
        referenceCommits.clear();
        referenceCommits << commitTree("dep", {{"usr/a", A}, {"usr/b", B}, {"etc/c", C}}, "deployment/0");
        referenceCommits << commitTree("s1", {{"usr/a", A}, {"usr/b", B}, {"usr/d", D}}, "snapshot/s1");
        referenceCommits << commitTree("s2", {{"usr/a", A}, {"usr/e", E}, {"opt/e copy", E}, {"usr/f", F}},
                                       "snapshot/s2");
        referenceCommits << commitTree("s3", {{"g", G}}, "snapshot/s3");
        referenceCommits << commitTree("s4", {{"g", G}, {"h", H}}, "snapshot/s4");
        for (const QString &c : std::as_const(referenceCommits))
            QCOMPARE(c.size(), 64);
        SimRoot::writeFile(sim->path("/ostree/repo/refs/heads/snapshot/.hidden"),
                           referenceCommits.first().toLatin1());
        for (const char *id : {"s1", "s2", "s3", "s4", "s5"}) {
            const QString dir = sim->path("/persistent/ostree/snapshot/") + QLatin1String(id);
            QDir().mkpath(dir);
            SimRoot::writeFile(dir + "/extra", QByteArray(1000, 'x'));
        }
        sim->respond(kCtl, "snapshot-list", R"({"data":{"snapshot_list":[
            {"id":"s1","name":"one","desc":"","time":1},{"id":"s2","name":"two","desc":"","time":2},
            {"id":"s3","name":"three","desc":"","time":3},{"id":"s4","name":"four","desc":"","time":4},
            {"id":"s5","name":"five","desc":"","time":5}]}})");
        sim->clearCalls();
    }

    std::unique_ptr<SimRoot> sim;
    QStringList referenceCommits;
    QAtomicInteger<qint64> now;
};

TAVRIN_TEST_GUILESS_MAIN(TestSnapshotSizes)
#include "tst_snapshotsizes.moc"
