#include "backend/backend_p.h"
#include "simroot.h"

using namespace Tavrin;
using Tavrin::Test::kWritable;
using Tavrin::Test::SimRoot;

class TestWritable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }
    void init() { sim.reset(new SimRoot); }
    void cleanup() { sim.reset(); }

    void commandLines_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("elevate");
        QTest::newRow("enable, clear and all")
            << 0 << QStringList{"enable", "-a", "-c", "-y"} << 300000 << true;
        QTest::newRow("enable, neither") << 1 << QStringList{"enable", "-y"} << 300000 << true;
        QTest::newRow("enable, all only") << 2 << QStringList{"enable", "-a", "-y"} << 300000 << true;
        QTest::newRow("enable, clear only") << 3 << QStringList{"enable", "-c", "-y"} << 300000 << true;
        QTest::newRow("disable") << 4 << QStringList{"disable", "-y"} << 300000 << true;
        QTest::newRow("status") << 5 << QStringList{"status", "-j"} << 30000 << false;
    }
    void commandLines()
    {
        QFETCH(int, op);
        QFETCH(QStringList, args);
        QFETCH(int, timeout);
        QFETCH(bool, elevate);
        QList<QPair<QStringList, QPair<int, bool>>> runs;
        setRunObserverForTesting([&](const QString &program, const QList<QString> &a, int t, bool e) {
            runs.append({QStringList{program} + a, {t, e}});
        });
        switch (op) {
        case 0:
            QVERIFY(enableWritable(true, true).ok);
            break;
        case 1:
            QVERIFY(enableWritable(false, false).ok);
            break;
        case 2:
            QVERIFY(enableWritable(false, true).ok);
            break;
        case 3:
            QVERIFY(enableWritable(true, false).ok);
            break;
        case 4:
            QVERIFY(disableWritable().ok);
            break;
        case 5:
            getWritableStatus();
            break;
        }
        setRunObserverForTesting({});
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first().first, QStringList{sim->path("/usr/bin/zarnex-immutable-writable")} + args);
        QCOMPARE(runs.first().second.first, timeout);
        QCOMPARE(runs.first().second.second, elevate);
        QCOMPARE(sim->calls(kWritable).value(0).args, args);
    }

    void status_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<int>("confKeys");
        QTest::addColumn<bool>("known");
        QTest::newRow("on, cleared after reboot")
            << QByteArray(R"({"data":{"conf":{"enable":true,"clearAfterReboot":true,"mode":"all"}}})") << 0
            << true << true << 3 << true;
        QTest::newRow("off") << QByteArray(R"({"data":{"conf":{"enable":false}}})") << 0 << false << false
                             << 1 << true;
        QTest::newRow("wrong types") << QByteArray(
                                            R"({"data":{"conf":{"enable":"true","clearAfterReboot":1}}})")
                                     << 0 << false << false << 2 << false;
        QTest::newRow("conf not an object")
            << QByteArray(R"({"data":{"conf":[true]}})") << 0 << false << false << 0 << false;
        QTest::newRow("tool fails") << QByteArray(R"({"data":{"conf":{"enable":true}}})") << 1 << false
                                    << false << 0 << false;
        QTest::newRow("not JSON") << QByteArray("writable: command not found") << 0 << false << false << 0 << false;
        // Without a boolean "enable" the answer does not say whether the layer is on.
        QTest::newRow("no enable") << QByteArray(R"({"data":{"conf":{"clearAfterReboot":false,"all":true}}})")
                                   << 0 << false << false << 2 << false;
    }
    void status()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, exitCode);
        QFETCH(bool, enabled);
        QFETCH(bool, clear);
        QFETCH(int, confKeys);
        QFETCH(bool, known);
        sim->respond(kWritable, "status--j", answer, exitCode);
        const WritableStatus s = getWritableStatus();
        QCOMPARE(s.enabled, enabled);
        QCOMPARE(s.clearAfterReboot, clear);
        QCOMPARE(s.conf.size(), confKeys);
        QCOMPARE(s.known(), known);
        QCOMPARE(s.error.isEmpty(), known);
    }

    void missingTool()
    {
        QFile::remove(sim->path("/usr/bin/zarnex-immutable-writable"));
        const WritableStatus s = getWritableStatus();
        QVERIFY(!s.enabled);
        QVERIFY(s.conf.isEmpty());
        const CommandResult r = disableWritable();
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
    }

private:
    std::unique_ptr<SimRoot> sim;
};

TAVRIN_TEST_GUILESS_MAIN(TestWritable)
#include "tst_writable.moc"
