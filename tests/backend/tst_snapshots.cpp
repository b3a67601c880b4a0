#include "backend/backend_p.h"
#include "simroot.h"

using namespace Tavrin;
using Tavrin::Test::kCtl;
using Tavrin::Test::SimRoot;

namespace {

struct Run
{
    QString program;
    QStringList args;
    int timeout = 0;
    bool elevate = false;
};

} // namespace

class TestSnapshots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }
    void init()
    {
        sim.reset(new SimRoot);
        runs.clear();
        setRunObserverForTesting(
            [this](const QString &program, const QList<QString> &args, int timeout, bool elevate) {
                runs.append({program, args, timeout, elevate});
            });
    }
    void cleanup()
    {
        setRunObserverForTesting({});
        sim.reset();
    }

    void commandLines_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("elevate");
        const QString odd = QStringLiteral("x -y \"q\" 'n'\n回滚");
        QTest::newRow("create") << 0 << QStringList{"snapshot", "create", "name", "desc"} << 900000 << true;
        QTest::newRow("create, empty name")
            << 1 << QStringList{"snapshot", "create", "only desc"} << 900000 << true;
        QTest::newRow("create, empty desc")
            << 2 << QStringList{"snapshot", "create", "name", ""} << 900000 << true;
        QTest::newRow("create, odd text")
            << 3 << QStringList{"snapshot", "create", odd, odd} << 900000 << true;
        QTest::newRow("delete") << 4 << QStringList{"snapshot", "delete", "id -1"} << 900000 << true;
        QTest::newRow("modify") << 5 << QStringList{"snapshot", "modify", "id1", "new", "d"} << 300000
                                << true;
        QTest::newRow("modify, empty name")
            << 6 << QStringList{"snapshot", "modify", "id1", ""} << 300000 << true;
        QTest::newRow("rollback") << 7 << QStringList{"snapshot", "rollback", "id1"} << 1800000 << true;
        QTest::newRow("rollback, delete others")
            << 8 << QStringList{"snapshot", "rollback", "id1", "--delete-others"} << 1800000 << true;
        QTest::newRow("list") << 9 << QStringList{"snapshot", "list", "-j"} << 60000 << false;
        QTest::newRow("show") << 10 << QStringList{"snapshot", "show", "id 2", "-j"} << 60000 << false;
    }
    void commandLines()
    {
        QFETCH(int, op);
        QFETCH(QStringList, args);
        QFETCH(int, timeout);
        QFETCH(bool, elevate);
        const QString odd = QStringLiteral("x -y \"q\" 'n'\n回滚");
        switch (op) {
        case 0:
            QVERIFY(createSnapshot("name", "desc").ok);
            break;
        case 1:
            QVERIFY(createSnapshot("", "only desc").ok);
            break;
        case 2:
            QVERIFY(createSnapshot("name", "").ok);
            break;
        case 3:
            QVERIFY(createSnapshot(odd, odd).ok);
            break;
        case 4:
            QVERIFY(deleteSnapshot("id -1").ok);
            break;
        case 5:
            QVERIFY(modifySnapshot("id1", "new", "d").ok);
            break;
        case 6:
            QVERIFY(modifySnapshot("id1", "", "").ok);
            break;
        case 7:
            QVERIFY(rollbackSnapshot("id1", false).ok);
            break;
        case 8:
            QVERIFY(rollbackSnapshot("id1", true).ok);
            break;
        case 9:
            getSnapshots();
            break;
        case 10:
            getSnapshotDetail("id 2");
            break;
        }
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first().program, sim->path(QStringLiteral("/usr/sbin/zarnex-immutable-ctl")));
        QCOMPARE(runs.first().args, args);
        QCOMPARE(runs.first().timeout, timeout);
        QCOMPARE(runs.first().elevate, elevate);
        // What reached the tool, through the sudo stand-in when elevated.
        const auto calls = sim->calls(kCtl);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().args, args);
        QCOMPARE(sim->calls(QStringLiteral("sudo")).size(), elevate ? 1 : 0);
    }

    // A leading "-" is an option to the tool's parser ("--help" exits 0 and would
    // read as success): refused with a message, nothing is run.
    void optionLikeTextsAreRefused_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("error");
        const QString name = QStringLiteral("备份名称不能以“-”开头。");
        const QString desc = QStringLiteral("备份描述不能以“-”开头。");
        QTest::newRow("create, name --help") << 0 << name;
        QTest::newRow("create, description -d") << 1 << desc;
        QTest::newRow("modify, name -h") << 2 << name;
        QTest::newRow("delete, id --all") << 3 << QStringLiteral("无效的备份标识: --all");
        QTest::newRow("rollback, id -x") << 4 << QStringLiteral("无效的备份标识: -x");
    }
    void optionLikeTextsAreRefused()
    {
        QFETCH(int, op);
        QFETCH(QString, error);
        const CommandResult r = op == 0   ? createSnapshot("--help", "d")
                                : op == 1 ? createSnapshot("n", "-d")
                                : op == 2 ? modifySnapshot("id1", "-h", "")
                                : op == 3 ? deleteSnapshot("--all")
                                          : rollbackSnapshot("-x", false);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, error);
        QVERIFY(runs.isEmpty());
    }

    void failedChangeCarriesTheToolsReason()
    {
        sim->respond(kCtl, QStringLiteral("snapshot-delete"), "", 2, "snapshot is protected\n");
        const CommandResult r = deleteSnapshot(QStringLiteral("s1"));
        QVERIFY(!r.ok);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.error, QStringLiteral("snapshot is protected"));
    }

    void list_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QList<bool>>("initial");
        QTest::addColumn<QList<qint64>>("times");
        QTest::newRow("sorted oldest first, initial rules")
            << R"({"data":{"snapshot_list":[
                  {"id":"c","name":"later","desc":"","time":300},
                  {"id":"a","name":"First boot","desc":"","time":100},
                  {"id":"b","name":"x","desc":"System initialization done","time":"200"},
                  {"id":"d","name":"first lower","desc":"system initialization","time":400}]}})"
            << QStringList{"a", "b", "c", "d"} << QList<bool>{true, true, false, false}
            << QList<qint64>{100, 200, 300, 400};
        QTest::newRow("wrong types read as empty / 0")
            << R"({"data":{"snapshot_list":[{"id":5,"name":["n"],"desc":{},"time":"soon"}, 7, "x", null]}})"
            << QStringList{""} << QList<bool>{false} << QList<qint64>{0};
        QTest::newRow("list not an array") << R"({"data":{"snapshot_list":{"id":"a"}}})" << QStringList{}
                                           << QList<bool>{} << QList<qint64>{};
        QTest::newRow("data missing")
            << R"({"snapshot_list":[{"id":"a"}]})" << QStringList{} << QList<bool>{} << QList<qint64>{};
        QTest::newRow("data an array")
            << R"({"data":[]})" << QStringList{} << QList<bool>{} << QList<qint64>{};
        QTest::newRow("not JSON") << "Error: daemon not running" << QStringList{} << QList<bool>{}
                                  << QList<qint64>{};
        QTest::newRow("empty") << "" << QStringList{} << QList<bool>{} << QList<qint64>{};
    }
    void list()
    {
        QFETCH(QString, json);
        QFETCH(QStringList, ids);
        QFETCH(QList<bool>, initial);
        QFETCH(QList<qint64>, times);
        sim->respond(kCtl, QStringLiteral("snapshot-list"), json.toUtf8());
        const QList<SnapshotInfo> list = getSnapshots();
        QStringList gotIds;
        QList<bool> gotInitial;
        QList<qint64> gotTimes;
        for (const SnapshotInfo &s : list) {
            gotIds << s.id;
            gotInitial << s.isInitial;
            gotTimes << s.time;
        }
        QCOMPARE(gotIds, ids);
        QCOMPARE(gotInitial, initial);
        QCOMPARE(gotTimes, times);
    }

    void listFailsToEmpty()
    {
        sim->respond(kCtl, QStringLiteral("snapshot-list"), R"({"data":{"snapshot_list":[{"id":"a"}]}})", 1);
        QVERIFY(getSnapshots().isEmpty());
        QFile::remove(sim->path(QStringLiteral("/usr/sbin/zarnex-immutable-ctl")));
        QVERIFY(getSnapshots().isEmpty());
    }

    void detail()
    {
        sim->respond(kCtl, QStringLiteral("snapshot-show"),
                     R"({"data":{"id":"s1","name":"First","desc":"回滚 ✓","time":1700000000}})");
        const SnapshotInfo s = getSnapshotDetail(QStringLiteral("s1"));
        QCOMPARE(s.id, QStringLiteral("s1"));
        QCOMPARE(s.name, QStringLiteral("First"));
        QCOMPARE(s.desc, QStringLiteral("回滚 ✓"));
        QCOMPARE(s.time, qint64(1700000000));
        QVERIFY(!s.isInitial);

        sim->respond(kCtl, QStringLiteral("snapshot-show"), R"({"data":{"id":"s1"}})", 4);
        QVERIFY(getSnapshotDetail(QStringLiteral("s1")).id.isEmpty());
    }

private:
    std::unique_ptr<SimRoot> sim;
    QList<Run> runs;
};

TAVRIN_TEST_GUILESS_MAIN(TestSnapshots)
#include "tst_snapshots.moc"
