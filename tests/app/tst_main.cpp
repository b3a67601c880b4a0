#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLibraryInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const char kService[] = "org.zarnex.tavrin-manager.disknav";

// One run of the built program; reaped on destruction whatever happened.
struct Program : QProcess
{
    QByteArray errors;

    explicit Program(const QStringList &args, const QString &program = QString())
    {
        setProgram(program.isEmpty() ? Tavrin::Test::buildPath(QStringLiteral("bin/tavrin-manager"))
                                     : program);
        setArguments(args);
    }
    // The loader names every library it maps, so a test can tell what a mode loaded.
    void traceLibraries()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
        setProcessEnvironment(env);
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
        monitor.traceLibraries();
        monitor.start();
        // A GUI would never end by itself; the monitor runs one cycle and exits.
        QVERIFY(monitor.finish());
        QVERIFY2(monitor.errors.contains("[tavrin-monitor]"), monitor.errors.constData());
        QVERIFY(!monitor.errors.contains("[MainWindow]"));
        // The monitor starts every 15 minutes: none of the window's libraries may load.
        QVERIFY2(monitor.errors.contains("file=libQt6Core.so"), "the loader trace is missing");
        for (const char *library : {"tavrin-manager-window.so", "libQt6Gui.so", "libQt6Widgets.so",
                                    "libQt6Network.so", "libQt6Svg.so"})
            QVERIFY2(!monitor.errors.contains(QByteArray("file=") + library), library);
    }

    // The window module is found beside the executable's real file, not beside
    // the path it was started by; when it cannot be loaded the program says why.
    void windowModuleLocation_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("started through a symlink") << "symlink" << QByteArray();
        QTest::newRow("copy without the module") << "copy" << QByteArray("cannot open shared object file");
        QTest::newRow("module not an object") << "garbage" << QByteArray("invalid ELF header");
        QTest::newRow("module without the entry") << "foreign" << QByteArray("tavrin_window_main");
    }

    void windowModuleLocation()
    {
        QFETCH(QString, layout);
        QFETCH(QByteArray, reason);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString built = Tavrin::Test::buildPath(QStringLiteral("bin/tavrin-manager"));
        const QString program = dir.filePath(QStringLiteral("tavrin-manager"));
        const QString module = dir.filePath(QStringLiteral("tavrin-manager-window.so"));
        if (layout == QLatin1String("symlink")) {
            QVERIFY(QFile::link(built, program));
        } else {
            QVERIFY(QFile::copy(built, program));
            QVERIFY(QFile::setPermissions(program, QFile::permissions(built)));
        }
        if (layout == QLatin1String("garbage")) {
            QFile file(module);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        } else if (layout == QLatin1String("foreign")) {
            // A real shared object that is no window module.
            const QString qtDBus =
                QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6DBus.so.6");
            QVERIFY2(QFileInfo::exists(qtDBus), qPrintable(qtDBus));
            QVERIFY(QFile::link(qtDBus, module));
        }

        Program window({}, program);
        window.traceLibraries();
        if (reason.isEmpty()) {
            QVERIFY(startFirst(window));
            QVERIFY2(window.log().contains(QFile::encodeName(QFileInfo(built).absolutePath()) +
                                           "/tavrin-manager-window.so"),
                     "the module was not loaded from the build tree");
            stopFirst(window);
            return;
        }
        window.start();
        QVERIFY(window.finish());
        QCOMPARE(window.exitCode(), 1);
        QVERIFY2(window.errors.contains("tavrin-manager: 无法加载窗口模块："), window.errors.constData());
        QVERIFY2(window.errors.contains(reason), window.errors.constData());
        QVERIFY(!window.errors.contains("file=libQt6Widgets.so"));
        QVERIFY(!serviceRegistered());
    }

    // The executable opens the module lazily, so Qt's libraries are bound as
    // they are used; the module's own symbols must still all bind at open
    // time, or a module of another build would fail half-way through.
    void windowModuleBindsItsOwnSymbolsAtOpen()
    {
        QProcess readelf;
        readelf.start(
            QStringLiteral("readelf"),
            {QStringLiteral("-d"), Tavrin::Test::buildPath(QStringLiteral("bin/tavrin-manager-window.so"))});
        if (!readelf.waitForStarted(10000))
            QSKIP("readelf is not installed");
        QVERIFY(readelf.waitForFinished(30000));
        const QByteArray dynamic = readelf.readAllStandardOutput();
        QVERIFY2(dynamic.contains("(FLAGS)") && dynamic.contains("BIND_NOW"), dynamic.constData());
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
