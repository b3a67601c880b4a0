#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>

namespace {

const char kService[] = "org.zarnex.tavrin-manager.disknav";

// One run of the built program; reaped on destruction whatever happened.
struct Program : QProcess
{
    QByteArray errors;

    explicit Program(const QStringList &args)
    {
        setProgram(Tavrin::Test::buildPath(QStringLiteral("bin/tavrin-manager")));
        setArguments(args);
    }
    ~Program() override
    {
        if (state() != NotRunning) {
            kill();
            waitForFinished();
        }
    }
    // QTRY evaluates its condition repeatedly, so keep all that was read.
    QByteArray log()
    {
        errors += readAllStandardError();
        return errors;
    }
    bool finish()
    {
        const bool done = waitForFinished(60000);
        log();
        return done && exitStatus() == NormalExit;
    }
};

bool serviceRegistered()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(QLatin1String(kService));
}

} // namespace

class TestMain : public QObject
{
    Q_OBJECT

private:
    // Starts a first instance and waits until it owns the hand-off name.
    static bool startFirst(Program &first)
    {
        first.start();
        return first.waitForStarted() && QTest::qWaitFor([] { return serviceRegistered(); }, 30000);
    }

    static void stopFirst(Program &first)
    {
        first.terminate();
        if (!first.waitForFinished(10000)) {
            first.kill();
            first.waitForFinished();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!serviceRegistered(), 10000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus (dbus-run-session)");
        QVERIFY(QFileInfo::exists(Tavrin::Test::buildPath(QStringLiteral("bin/tavrin-manager"))));
    }

    void monitorWinsWhereverItStands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("alone") << QStringList{"--monitor"};
        QTest::newRow("after show-disk") << QStringList{"--show-disk", "--monitor"};
        QTest::newRow("after a date") << QStringList{"--show-disk", "2026-12-01", "--monitor"};
        QTest::newRow("first") << QStringList{"--monitor", "--show-disk", "2026-12-01"};
    }

    void monitorWinsWhereverItStands()
    {
        QFETCH(QStringList, args);
        Program monitor(args);
        monitor.start();
        // A GUI would never end by itself; the monitor runs one cycle and exits.
        QVERIFY(monitor.finish());
        QVERIFY2(monitor.errors.contains("[tavrin-monitor]"), monitor.errors.constData());
        QVERIFY(!monitor.errors.contains("[MainWindow]"));
    }

    void firstStartOpensOnTheDay()
    {
        Program first({"--show-disk", "2026-11-15"});
        QVERIFY(startFirst(first));
        QTRY_VERIFY_WITH_TIMEOUT(first.log().contains("[MainWindow] showDiskDate 2026-11-15"), 20000);
        stopFirst(first);
    }

    void secondStartHandsTheDayOver()
    {
        Program first({});
        QVERIFY(startFirst(first));

        Program second({"--show-disk", "2026-12-01"});
        second.start();
        QVERIFY(second.finish());
        QCOMPARE(second.exitCode(), 0);
        // It ended at the hand-off, before the single-instance check and any window.
        QVERIFY2(!second.errors.contains("Another instance is running"), second.errors.constData());
        QVERIFY(!second.errors.contains("[MainWindow]"));
        QTRY_VERIFY_WITH_TIMEOUT(first.log().contains("[MainWindow] showDiskDate 2026-12-01"), 20000);
        // The disk page lands on that day, with the days around it loading.
        QTRY_VERIFY_WITH_TIMEOUT(
            first.log().contains("[DiskUsagePage] focusDate 2026-12-01, range 2026-11-28 ~ 2026-12-04"),
            20000);
        QCOMPARE(first.state(), QProcess::Running);
        stopFirst(first);
    }

    void secondStartWithoutADayExits_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("plain") << QStringList{};
        QTest::newRow("bad date") << QStringList{"--show-disk", "2026-02-30"};
        QTest::newRow("show-disk last") << QStringList{"--show-disk"};
    }

    void secondStartWithoutADayExits()
    {
        QFETCH(QStringList, args);
        Program first({});
        QVERIFY(startFirst(first));

        Program second(args);
        second.start();
        QVERIFY(second.finish());
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(second.errors.contains("Another instance is running, exit."), second.errors.constData());
        QVERIFY(!second.errors.contains("[MainWindow]"));
        QCOMPARE(first.state(), QProcess::Running);
        QTRY_VERIFY_WITH_TIMEOUT(first.log().contains("[ZMainWindow] brought forward"), 20000);
        QVERIFY(!first.log().contains("showDiskDate"));
        stopFirst(first);
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestMain)
#include "tst_main.moc"
