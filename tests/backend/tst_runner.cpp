#include "backend/backend_p.h"
#include "simroot.h"

#include <csignal>

using namespace Tavrin;
using Tavrin::Test::kCtl;
using Tavrin::Test::SimRoot;

class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }
    void init() { sim.reset(new SimRoot); }
    void cleanup() { sim.reset(); }

    void directRunTrimsOutputsAndKeepsThemApart()
    {
        sim->respond(kCtl, QStringLiteral("hello"), "  out text \n", 0, "\t err text \n");
        const CommandResult r = runProcess(ctl(), {QStringLiteral("hello")}, 10000, false);
        QVERIFY(r.ok);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.output, QStringLiteral("out text"));
        QCOMPARE(r.errorOutput, QStringLiteral("err text"));
        QVERIFY(r.error.isEmpty());
        QVERIFY(sim->calls(QStringLiteral("sudo")).isEmpty());
    }

    void elevation_data()
    {
        QTest::addColumn<QByteArray>("euid");
        QTest::addColumn<bool>("elevate");
        QTest::addColumn<bool>("viaSudo");
        QTest::newRow("root, elevated: started directly") << QByteArray("0") << true << false;
        QTest::newRow("user, elevated: through sudo -n") << QByteArray("1000") << true << true;
        QTest::newRow("user, not elevated") << QByteArray("1000") << false << false;
    }
    void elevation()
    {
        QFETCH(QByteArray, euid);
        QFETCH(bool, elevate);
        QFETCH(bool, viaSudo);
        qputenv("TAVRIN_SIM_EUID", euid);
        sim->respond(kCtl, QStringLiteral("x-y"), "fine");
        const CommandResult r = runProcess(ctl(), {QStringLiteral("x"), QStringLiteral("y")}, 10000, elevate);
        QVERIFY(r.ok);
        QCOMPARE(r.output, QStringLiteral("fine"));
        const auto sudo = sim->calls(QStringLiteral("sudo"));
        if (viaSudo) {
            QCOMPARE(sudo.size(), 1);
            QCOMPARE(sudo.first().args,
                     QStringList({QStringLiteral("-n"), ctl(), QStringLiteral("x"), QStringLiteral("y")}));
        } else {
            QVERIFY(sudo.isEmpty());
        }
        QCOMPARE(sim->calls(kCtl).size(), 1);
        QVERIFY(sim->calls(QStringLiteral("pkexec")).isEmpty());
    }

    void pkexecOnlyWhenSudoAsksForPassword_data()
    {
        QTest::addColumn<QString>("sudoMessage");
        QTest::addColumn<bool>("retried");
        QTest::newRow("password") << QStringLiteral("sudo: a password is required") << true;
        QTest::newRow("Password, any case") << QStringLiteral("Sorry, PASSWORD needed") << true;
        QTest::newRow("passphrase") << QStringLiteral("a Passphrase is required") << true;
        QTest::newRow("Chinese") << QStringLiteral("sudo: 需要密码") << true;
        QTest::newRow("not in sudoers") << QStringLiteral("user is not in the sudoers file") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void pkexecOnlyWhenSudoAsksForPassword()
    {
        QFETCH(QString, sudoMessage);
        QFETCH(bool, retried);
        qputenv("FAKE_SUDO", "fail");
        qputenv("FAKE_SUDO_MESSAGE", sudoMessage.toUtf8());
        sim->respond(kCtl, QStringLiteral("snapshot-create"), "created");
        const QStringList args{QStringLiteral("snapshot"), QStringLiteral("create"),
                               QStringLiteral("n a m e")};
        const CommandResult r = runProcess(ctl(), args, 10000, true);
        const auto pkexec = sim->calls(QStringLiteral("pkexec"));
        if (retried) {
            QCOMPARE(pkexec.size(), 1);
            QCOMPARE(pkexec.first().args, QStringList{ctl()} + args);
            QVERIFY(r.ok);
            QCOMPARE(r.output, QStringLiteral("created"));
            QCOMPARE(r.exitCode, 0);
            QVERIFY(r.errorOutput.isEmpty());
        } else {
            QVERIFY(pkexec.isEmpty());
            QVERIFY(!r.ok);
            QCOMPARE(r.exitCode, 1);
            QCOMPARE(r.error, sudoMessage.isEmpty() ? QStringLiteral("命令执行失败") : sudoMessage);
            QVERIFY(sim->calls(kCtl).isEmpty());
        }
    }

    void refusedPkexecReportsItsOwnMessage_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("friendly");
        QTest::newRow("dismissed") << QByteArray("dismiss") << 126
                                   << QStringLiteral("已取消授权，未执行操作");
        QTest::newRow("not authorised") << QByteArray("deny") << 127 << QStringLiteral("没有权限执行此操作");
    }
    void refusedPkexecReportsItsOwnMessage()
    {
        QFETCH(QByteArray, mode);
        QFETCH(int, exitCode);
        QFETCH(QString, friendly);
        qputenv("FAKE_SUDO", "password");
        qputenv("FAKE_PKEXEC", mode);
        const CommandResult r = runProcess(ctl(), {QStringLiteral("upgrade")}, 10000, true);
        QVERIFY(!r.ok);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.error, r.errorOutput);
        QCOMPARE(friendlyExecError(r.error), friendly);
        QCOMPARE(sim->calls(QStringLiteral("pkexec")).size(), 1);
        QVERIFY(sim->calls(kCtl).isEmpty());
    }

    void hangingPkexecKeepsTheSudoOutcome()
    {
        qputenv("FAKE_SUDO", "password");
        qputenv("FAKE_PKEXEC", "hang");
        const CommandResult r = runProcess(ctl(), {QStringLiteral("upgrade")}, 5000, true);
        QVERIFY(!r.ok);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.error, elevatedTimeOut());
    }

    void timeOutKillsTheChild()
    {
        sim->hang(kCtl, QStringLiteral("admin-status"));
        const QStringList args{QStringLiteral("admin"), QStringLiteral("status")};
        const CommandResult r = runProcess(ctl(), args, 500, false);
        QVERIFY(!r.ok);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.error, QStringLiteral("命令执行超时: %1").arg(ctl()));
        const pid_t pid =
            SimRoot::readFile(sim->root() + QStringLiteral("/fake/") + kCtl + QStringLiteral(".pid"))
                .trimmed()
                .toInt();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid, 0), -1);
    }

    void timeOutOfTheSudoRun()
    {
        qputenv("FAKE_SUDO", "hang");
        const CommandResult r = runProcess(ctl(), {QStringLiteral("upgrade")}, 500, true);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.error, elevatedTimeOut());
        QVERIFY(sim->calls(QStringLiteral("pkexec")).isEmpty());
    }

    // A root child cannot be killed by the user: the call returns at once, says
    // the operation may still run, and the process is reaped when it ends.
    void elevatedTimeOutLetsTheRootChildRunOn()
    {
        sim->hang(kCtl, QStringLiteral("snapshot-delete"));
        setKillDisabledForTesting(true);
        const CommandResult r = runProcess(
            ctl(), {QStringLiteral("snapshot"), QStringLiteral("delete"), QStringLiteral("x")}, 300, true);
        setKillDisabledForTesting(false);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.error, elevatedTimeOut());
        const pid_t pid =
            SimRoot::readFile(sim->root() + QStringLiteral("/fake/") + kCtl + QStringLiteral(".pid"))
                .trimmed()
                .toInt();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid, 0), 0); // still at work
        QCOMPARE(runningOrphansForTesting(), 1);
        QCOMPARE(::kill(pid, SIGKILL), 0); // the operation ends on its own
        QTRY_COMPARE_WITH_TIMEOUT(runningOrphansForTesting(), 0, 20000);
    }

    void startFailure_data()
    {
        QTest::addColumn<bool>("elevate");
        QTest::newRow("direct") << false;
        QTest::newRow("as root, elevated") << true;
    }
    void startFailure()
    {
        QFETCH(bool, elevate);
        qputenv("TAVRIN_SIM_EUID", "0");
        const QString missing = sim->path(QStringLiteral("/usr/sbin/no-such-tool"));
        const CommandResult r = runProcess(missing, {QStringLiteral("-s")}, 10000, elevate);
        QVERIFY(!r.ok);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.error, QStringLiteral("无法启动进程: %1").arg(missing));
    }

    void failureMessage_data()
    {
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<QString>("error");
        QTest::newRow("standard error wins")
            << QByteArray("out") << QByteArray("the reason\n") << "the reason";
        QTest::newRow("output when standard error is empty")
            << QByteArray(" only output \n") << QByteArray() << "only output";
        QTest::newRow("nothing at all") << QByteArray() << QByteArray() << "命令执行失败";
        QTest::newRow("white space only") << QByteArray(" \n") << QByteArray("\t\n") << "命令执行失败";
    }
    void failureMessage()
    {
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(QString, error);
        sim->respond(kCtl, QStringLiteral("fail"), out, 3, err);
        const CommandResult r = runProcess(ctl(), {QStringLiteral("fail")}, 10000, false);
        QVERIFY(!r.ok);
        QCOMPARE(r.exitCode, 3);
        QCOMPARE(r.error, error);
    }

    void oddArgumentsArriveUnchanged_data()
    {
        QTest::addColumn<bool>("elevate");
        QTest::addColumn<QByteArray>("sudo");
        QTest::newRow("direct") << false << QByteArray("grant");
        QTest::newRow("sudo") << true << QByteArray("grant");
        QTest::newRow("pkexec") << true << QByteArray("password");
    }
    void oddArgumentsArriveUnchanged()
    {
        QFETCH(bool, elevate);
        QFETCH(QByteArray, sudo);
        qputenv("FAKE_SUDO", sudo);
        const QStringList args{QStringLiteral("snapshot"),
                               QStringLiteral("create"),
                               QStringLiteral("-rf --all"),
                               QStringLiteral("two words \"quoted\" 'single' $HOME `id` ;|&"),
                               QStringLiteral("line one\nline two"),
                               QStringLiteral("回滚前备份 ✓"),
                               QString()};
        const CommandResult r = runProcess(ctl(), args, 10000, elevate);
        QVERIFY(r.ok);
        const auto calls = sim->calls(kCtl);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().args, args);
    }

    void garbageAndHugeOutputs()
    {
        QByteArray huge(3 * 1024 * 1024, 'x');
        huge.append("\xff\xfe\x00 tail", 8);
        sim->respond(kCtl, QStringLiteral("big"), huge, 0, QByteArray(200000, 'e'));
        const CommandResult r = runProcess(ctl(), {QStringLiteral("big")}, 60000, false);
        QVERIFY(r.ok);
        QVERIFY(r.output.size() >= 3 * 1024 * 1024);
        QVERIFY(r.output.endsWith(QLatin1String("tail")));
        QCOMPARE(r.errorOutput.size(), 200000);
    }

    void endlessOutputIsStopped()
    {
        setOutputLimitForTesting(1024 * 1024);
        const CommandResult r = runProcess(QStringLiteral("yes"), {QStringLiteral("y")}, 600000, false);
        setOutputLimitForTesting(0);
        QVERIFY(!r.ok);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.error, QStringLiteral("命令输出过大: yes"));
    }

private:
    QString elevatedTimeOut() const
    {
        return QStringLiteral("命令执行超时，操作可能仍在后台运行，请稍后查看系统状态: %1").arg(ctl());
    }

    QString ctl() const { return sim->path(QStringLiteral("/usr/sbin/zarnex-immutable-ctl")); }
    std::unique_ptr<SimRoot> sim;
};

TAVRIN_TEST_GUILESS_MAIN(TestRunner)
#include "tst_runner.moc"
