#include "backend/backend_p.h"
#include "simroot.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>

#include <csignal>
#include <unistd.h>

using namespace Tavrin;
using Tavrin::Test::kCtl;
using Tavrin::Test::SimRoot;

#define REQUIRE_PYTHON()                                                                                     \
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3")))                                              \
    QSKIP("/usr/bin/python3 is not installed")

namespace {

const QString kOddId = QStringLiteral("-b 'x' \"y\" 回滚");

QJsonObject pendingState(const QString &strategy = QStringLiteral("reboot3"))
{
    return QJsonObject{{"rollback_target", "t1"},
                       {"rollback_target_name", "目标"},
                       {"backup_snapshot_id", kOddId},
                       {"backup_snapshot_name", "回滚前备份-20260101-120000"},
                       {"original_booted", "aaa"},
                       {"rollback_commit", "bbb"},
                       {"created_at", 1700000000},
                       {"reboot_count", 0},
                       {"reboot_limit", 3},
                       {"strategy", strategy},
                       {"status", "pending"}};
}

QByteArray statusBootedOn(const QString &commit)
{
    return QJsonDocument(
               QJsonObject{
                   {"data",
                    QJsonObject{{"deploy_list",
                                 QJsonArray{QJsonObject{{"CommitIDIdx", "aaa"}, {"IsBooted", false}},
                                            QJsonObject{{"CommitIDIdx", "bbb"}, {"IsBooted", false}},
                                            QJsonObject{{"CommitIDIdx", commit}, {"IsBooted", true}}}}}}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

class TestRollback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }
    void init() { sim.reset(new SimRoot); }
    void cleanup() { sim.reset(); }

    // ---------------------------------------------------------------- state file

    void parseState_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("createdAt");
        QTest::addColumn<QString>("status");
        QTest::newRow("no limit reads 3")
            << QByteArray(R"({"status":"pending"})") << true << 3 << 0 << qint64(0) << "pending";
        QTest::newRow("limit 0 stays 0")
            << QByteArray(R"({"reboot_limit":0,"reboot_count":2})") << true << 0 << 2 << qint64(0) << "";
        QTest::newRow("wrong types") << QByteArray(R"({"reboot_limit":"5","reboot_count":"x","status":7,
                                                      "created_at":"1700000000"})")
                                     << true << 3 << 0 << qint64(1700000000) << "";
        QTest::newRow("empty object") << QByteArray("{}") << false << 3 << 0 << qint64(0) << "";
        QTest::newRow("array") << QByteArray(R"([{"status":"active"}])") << false << 3 << 0 << qint64(0)
                               << "";
        QTest::newRow("not JSON") << QByteArray("\x00\xff garbage", 10) << false << 3 << 0 << qint64(0) << "";
        QTest::newRow("empty") << QByteArray() << false << 3 << 0 << qint64(0) << "";
    }
    void parseState()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, valid);
        QFETCH(int, limit);
        QFETCH(int, count);
        QFETCH(qint64, createdAt);
        QFETCH(QString, status);
        const RollbackState s = parseRollbackState(data);
        QCOMPARE(s.valid, valid);
        QCOMPARE(s.rebootLimit, limit);
        QCOMPARE(s.rebootCount, count);
        QCOMPARE(s.createdAt, createdAt);
        QCOMPARE(s.status, status);
    }

    void missingStateFileGivesDefaults()
    {
        const RollbackState s = getRollbackState();
        QVERIFY(!s.valid);
        QCOMPARE(s.rebootLimit, 3);
        QVERIFY(s.backupSnapshotId.isEmpty());
    }

    void saveAndReadBack_data()
    {
        QTest::addColumn<QByteArray>("euid");
        QTest::newRow("user through sudo") << QByteArray("1000");
        QTest::newRow("root") << QByteArray("0");
    }
    void saveAndReadBack()
    {
        QFETCH(QByteArray, euid);
        qputenv("TAVRIN_SIM_EUID", euid);
        const CommandResult r = saveRollbackState(pendingState());
        QVERIFY2(r.ok, qPrintable(r.error));

        // Copied beside the file, then renamed over it: never a half-written state.
        const auto installs = sim->calls("install");
        QCOMPARE(installs.size(), 1);
        const QStringList args = installs.first().args;
        QCOMPARE(args.mid(0, 6), QStringList({"-o", "root", "-g", "root", "-m", "0644"}));
        const QString staged = sim->path("/var/lib/tavrin-manager/.rollback-state.json.tavrin-new");
        QCOMPARE(args.value(7), staged);
        checkPrivateCopy(args.value(6));
        const auto moves = sim->calls("mv");
        QCOMPARE(moves.size(), 1);
        QCOMPARE(moves.first().args,
                 QStringList({"-f", "-T", staged, sim->path("/var/lib/tavrin-manager/rollback-state.json")}));
        QCOMPARE(sim->calls("sudo").size(), euid == "0" ? 0 : 2);
        QVERIFY(!QFile::exists(staged));

        const RollbackState s = getRollbackState();
        QVERIFY(s.valid);
        QCOMPARE(s.backupSnapshotId, kOddId);
        QCOMPARE(s.backupSnapshotName, QStringLiteral("回滚前备份-20260101-120000"));
        QCOMPARE(s.rollbackTargetName, QStringLiteral("目标"));
        QCOMPARE(s.originalBooted, QStringLiteral("aaa"));
        QCOMPARE(s.strategy, QStringLiteral("reboot3"));
        QCOMPARE(s.status, QStringLiteral("pending"));
        QCOMPARE(s.createdAt, qint64(1700000000));
        QCOMPARE(s.rebootLimit, 3);
        QCOMPARE(QDir(sim->tmp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void failedInstallLeavesNothingBehind_data()
    {
        QTest::addColumn<QByteArray>("sudo");
        QTest::addColumn<QByteArray>("pkexec");
        QTest::addColumn<QString>("error");
        QTest::newRow("install fails") << QByteArray("grant") << QByteArray("grant")
                                       << "install: cannot create regular file '%1': Permission denied";
        QTest::newRow("authorisation dismissed")
            << QByteArray("password") << QByteArray("dismiss")
            << "Error executing command as another user: Request dismissed";
    }
    void failedInstallLeavesNothingBehind()
    {
        QFETCH(QByteArray, sudo);
        QFETCH(QByteArray, pkexec);
        QFETCH(QString, error);
        qputenv("FAKE_SUDO", sudo);
        qputenv("FAKE_PKEXEC", pkexec);
        qputenv("FAKE_INSTALL_FAIL", "rollback-state");
        const CommandResult r = saveRollbackState(pendingState());
        QVERIFY(!r.ok);
        QCOMPARE(r.error,
                 error.contains("%1")
                     ? error.arg(sim->path("/var/lib/tavrin-manager/.rollback-state.json.tavrin-new"))
                     : error);
        QVERIFY(sim->calls("mv").isEmpty());
        QCOMPARE(QDir(sim->tmp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
        QVERIFY(!QFile::exists(sim->path("/var/lib/tavrin-manager/rollback-state.json")));
    }

    void unusableTemporaryDirectory()
    {
        qputenv("TMPDIR", sim->path("/no/such/dir").toLocal8Bit());
        const CommandResult r = saveRollbackState(pendingState());
        QVERIFY(!r.ok);
        QCOMPARE(r.exitCode, -1);
        QCOMPARE(r.error, QStringLiteral("无法写入临时状态文件"));
        QVERIFY(sim->calls("install").isEmpty());
    }

    void plantedNamesChangeNothing_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<int>("op");
        QTest::newRow("state") << ".tavrin_state_" << 0;
        QTest::newRow("cleanup files") << ".tavrin_inst_" << 1;
        QTest::newRow("configuration") << ".tavrin_conf_" << 2;
    }
    void plantedNamesChangeNothing()
    {
        QFETCH(QString, prefix);
        QFETCH(int, op);
        const QString victim = sim->path("/victim");
        SimRoot::writeFile(victim, "precious");
        const QString name = sim->tmp() + QLatin1Char('/') + prefix + QString::number(::getpid());
        const QString planted = sim->tmp() + QStringLiteral("/planted");
        SimRoot::writeFile(planted, "attacker's content");
        QFile::setPermissions(planted, QFileDevice::ReadOther | QFileDevice::WriteOther |
                                           QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(QFile::link(victim, name));

        CommandResult r;
        if (op == 0)
            r = saveRollbackState(pendingState());
        else if (op == 1)
            r = installRollbackCleanup();
        else
            r = setCtlConfig({{"max-backup-deploys", "4"}});
        QVERIFY2(r.ok, qPrintable(r.error));

        QCOMPARE(SimRoot::readFile(victim), QByteArray("precious"));
        QCOMPARE(QFileInfo(name).symLinkTarget(), victim);
        QCOMPARE(SimRoot::readFile(planted), QByteArray("attacker's content"));
        for (const auto &call : sim->calls("install")) {
            QVERIFY(!call.args.value(6).contains(prefix));
            QVERIFY(call.args.value(6) != planted);
        }
        for (const auto &call : sim->calls("install-src"))
            QVERIFY(!call.args.value(2).contains("attacker"));
    }

    void clearRemovesTheFile()
    {
        QVERIFY(saveRollbackState(pendingState()).ok);
        QList<QPair<QStringList, int>> runs;
        setRunObserverForTesting(
            [&](const QString &program, const QList<QString> &args, int timeout, bool elevate) {
                QVERIFY(elevate);
                runs.append({QStringList{program} + args, timeout});
            });
        clearRollbackState();
        setRunObserverForTesting({});
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first().first, QStringList({sim->path("/usr/bin/rm"), "-f",
                                                  sim->path("/var/lib/tavrin-manager/rollback-state.json")}));
        QCOMPARE(runs.first().second, 20000);
        QVERIFY(!getRollbackState().valid);
    }

    // ----------------------------------------------------------- cleanup service

    void installCleanup()
    {
        QList<QPair<QStringList, int>> runs;
        setRunObserverForTesting(
            [&](const QString &program, const QList<QString> &args, int timeout, bool elevate) {
                QVERIFY(elevate);
                runs.append({QStringList{program} + args, timeout});
            });
        const CommandResult r = installRollbackCleanup();
        setRunObserverForTesting({});
        QVERIFY(r.ok);
        QCOMPARE(r.exitCode, -1);

        const QStringList dests{sim->path("/usr/libexec/tavrin-manager/reboot-counter.sh"),
                                sim->path("/usr/lib/systemd/system/tavrin-rollback-cleanup.service"),
                                sim->path("/usr/lib/systemd/system/tavrin-rollback-cleanup.timer")};
        const QStringList modes{"0755", "0644", "0644"};
        QCOMPARE(runs.size(), 8);
        for (int i = 0; i < 3; ++i) {
            const QFileInfo dest(dests[i]);
            const QString staged = dest.path() + "/." + dest.fileName() + ".tavrin-new";
            const auto &install = runs[2 * i];
            QCOMPARE(install.first.value(0), sim->path("/usr/bin/install"));
            QCOMPARE(install.first.value(6), modes[i]);
            QCOMPARE(install.first.value(8), staged);
            QCOMPARE(install.second, 30000);
            checkPrivateCopy(install.first.value(7));
            QCOMPARE(runs[2 * i + 1].first,
                     QStringList({sim->path("/usr/bin/mv"), "-f", "-T", staged, dests[i]}));
            QVERIFY(QFile::exists(dests[i]));
            QVERIFY(!QFile::exists(staged));
        }
        QVERIFY(QFileInfo(dests[0]).isExecutable());
        QCOMPARE(runs[6].first, QStringList({sim->path("/usr/bin/systemctl"), "daemon-reload"}));
        QCOMPARE(runs[6].second, 30000);
        QCOMPARE(runs[7].first, QStringList({sim->path("/usr/bin/systemctl"), "enable", "--now",
                                             "tavrin-rollback-cleanup.timer"}));
        QCOMPARE(runs[7].second, 60000);
        QVERIFY(SimRoot::readFile(dests[1]).contains(
            "ConditionPathExists=" + sim->path("/var/lib/tavrin-manager/rollback-state.json").toUtf8() +
            "\n"));
        QCOMPARE(QDir(sim->tmp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void installCleanupTriesAllThree_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("script") << "reboot-counter.sh";
        QTest::newRow("service") << "cleanup.service";
        QTest::newRow("timer") << "cleanup.timer";
    }
    void installCleanupTriesAllThree()
    {
        QFETCH(QString, failing);
        qputenv("FAKE_INSTALL_FAIL", failing.toUtf8());
        const CommandResult r = installRollbackCleanup();
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QStringLiteral("安装 systemd 服务失败"));
        QCOMPARE(sim->calls("install").size(), 3);
        QVERIFY(sim->calls("systemctl").isEmpty());
        int present = 0;
        for (const char *p : {"/usr/libexec/tavrin-manager/reboot-counter.sh",
                              "/usr/lib/systemd/system/tavrin-rollback-cleanup.service",
                              "/usr/lib/systemd/system/tavrin-rollback-cleanup.timer"})
            present += QFile::exists(sim->path(QLatin1String(p))) ? 1 : 0;
        QCOMPARE(present, 2);
        QCOMPARE(QDir(sim->tmp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void uninstallCleanup()
    {
        QVERIFY(installRollbackCleanup().ok);
        sim->clearCalls();
        QList<QPair<int, bool>> runs;
        setRunObserverForTesting([&](const QString &, const QList<QString> &, int timeout, bool elevate) {
            runs.append({timeout, elevate});
        });
        QVERIFY(uninstallRollbackCleanup().ok);
        setRunObserverForTesting({});
        QCOMPARE(runs, (QList<QPair<int, bool>>{{60000, true}, {20000, true}, {30000, true}}));
        const auto calls = sim->calls();
        QStringList seen;
        for (const auto &c : calls) {
            if (c.tool != "sudo")
                seen << (c.tool + QLatin1Char(' ') + c.args.join(QLatin1Char(' ')));
        }
        QCOMPARE(seen, QStringList(
                           {"systemctl disable --now tavrin-rollback-cleanup.timer",
                            "rm -f " + sim->path("/usr/lib/systemd/system/tavrin-rollback-cleanup.service") +
                                " " + sim->path("/usr/lib/systemd/system/tavrin-rollback-cleanup.timer") +
                                " " + sim->path("/usr/libexec/tavrin-manager/reboot-counter.sh"),
                            "systemctl daemon-reload"}));
        QVERIFY(!QFile::exists(sim->path("/usr/libexec/tavrin-manager/reboot-counter.sh")));
    }

    // A look at world-readable files: never a password prompt.
    void cleanupInstalledProbe()
    {
        qputenv("FAKE_TIMER_ENABLED", "1");
        QList<QPair<int, bool>> runs;
        setRunObserverForTesting([&](const QString &, const QList<QString> &, int timeout, bool elevate) {
            runs.append({timeout, elevate});
        });
        QVERIFY(!rollbackCleanupInstalled()); // no files, no question
        QVERIFY(runs.isEmpty());
        setRunObserverForTesting({});
        QVERIFY(installRollbackCleanup().ok);
        sim->clearCalls();
        setRunObserverForTesting([&](const QString &, const QList<QString> &, int timeout, bool elevate) {
            runs.append({timeout, elevate});
        });
        QVERIFY(rollbackCleanupInstalled());
        qunsetenv("FAKE_TIMER_ENABLED");
        QVERIFY(!rollbackCleanupInstalled());
        setRunObserverForTesting({});
        QCOMPARE(runs, (QList<QPair<int, bool>>{{20000, false}, {20000, false}}));
        QVERIFY(sim->calls("sudo").isEmpty());
        QVERIFY(sim->calls("pkexec").isEmpty());
        QCOMPARE(sim->calls("systemctl").last().args,
                 QStringList({"is-enabled", "tavrin-rollback-cleanup.timer"}));
    }

    void unitsPassSystemdVerify()
    {
        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty())
            QSKIP("systemd-analyze is not installed");
        QVERIFY(installRollbackCleanup().ok);
        QProcess p;
        p.start(analyze,
                {"verify", "--man=no", sim->path("/usr/lib/systemd/system/tavrin-rollback-cleanup.service"),
                 sim->path("/usr/lib/systemd/system/tavrin-rollback-cleanup.timer")});
        QVERIFY(p.waitForFinished(60000));
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(p.exitCode() == 0 && err.isEmpty(), err.constData());
    }

    void installedScriptStaysInsideTheSimulatedRoot()
    {
        QVERIFY(installRollbackCleanup().ok);
        const QString script =
            QString::fromUtf8(SimRoot::readFile(sim->path("/usr/libexec/tavrin-manager/reboot-counter.sh")));
        const QStringList lines = script.split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("#!/bin/sh"));
        static const QRegularExpression absolute(
            QStringLiteral("(?<![\\w.~$])(/[A-Za-z0-9_.+-][A-Za-z0-9_./+-]*)"));
        int paths = 0;
        for (const QString &line : lines.mid(1)) {
            for (const QRegularExpressionMatch &m : absolute.globalMatch(line)) {
                QVERIFY2(m.captured(1).startsWith(sim->root() + QLatin1Char('/')), qPrintable(m.captured(1)));
                ++paths;
            }
        }
        QVERIFY(paths >= 6);
    }

    void scriptPathsWithoutSimulatedRoot()
    {
        qunsetenv("TAVRIN_SYSROOT");
        const QString script = rebootCounterScript(stateFilePath(), ctlPath(), rebootCounterRunMarkerPath());
        QVERIFY(script.startsWith("#!/bin/sh\n# tavrin rollback cleanup boot counter\n"
                                  "if [ -e /run/tavrin-rollback-counter-run ]; then exit 0; fi\n"));
        QVERIFY(script.contains("test -f /var/lib/tavrin-manager/rollback-state.json || exit 0\n"));
        QVERIFY(script.contains(
            "f='/var/lib/tavrin-manager/rollback-state.json';c='/usr/sbin/zarnex-immutable-ctl'"));
        QVERIFY(rollbackCleanupServiceUnit(stateFilePath())
                    .contains("ExecStart=/usr/libexec/tavrin-manager/reboot-counter.sh\n"));
        qputenv("TAVRIN_SYSROOT", sim->root().toLocal8Bit());
    }

    // ------------------------------------------------------ the boot counter

    void counterDoesNothingWithoutState()
    {
        REQUIRE_PYTHON();
        runCounter();
        QVERIFY(sim->calls(kCtl).isEmpty());
        QVERIFY(!QFile::exists(statePath()));
    }

    void counterActivatesCountsOncePerBootAndDeletes()
    {
        REQUIRE_PYTHON();
        sim->respond(kCtl, "admin-status", statusBootedOn("bbb"));
        QVERIFY(saveRollbackState(pendingState()).ok);

        runCounter(); // the boot that applied the rollback
        QCOMPARE(state().value("status").toString(), QStringLiteral("active"));
        QCOMPARE(state().value("reboot_count").toInt(), 1);
        runCounter(); // started again in the same boot
        QCOMPARE(state().value("reboot_count").toInt(), 1);

        newBoot();
        runCounter();
        QCOMPARE(state().value("reboot_count").toInt(), 2);
        QCOMPARE(state().value("status").toString(), QStringLiteral("active"));
        QVERIFY(deleteCalls().isEmpty());

        newBoot();
        runCounter();
        QCOMPARE(state().value("reboot_count").toInt(), 3);
        QCOMPARE(state().value("status").toString(), QStringLiteral("done"));
        const auto deletes = deleteCalls();
        QCOMPARE(deletes.size(), 1);
        QCOMPARE(deletes.first().args, QStringList({"snapshot", "delete", kOddId}));

        // Non-ASCII kept as it is, indented, and nothing left beside the file.
        const QByteArray raw = SimRoot::readFile(statePath());
        QVERIFY(raw.contains(QStringLiteral("回滚前备份").toUtf8()));
        QVERIFY(raw.contains("\n  \""));
        QCOMPARE(QDir(QFileInfo(statePath()).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"rollback-state.json"});

        newBoot();
        runCounter();
        QCOMPARE(state().value("status").toString(), QStringLiteral("done"));
        QCOMPARE(deleteCalls().size(), 1);
    }

    void counterWaitsForTheRollbackToApply_data()
    {
        QTest::addColumn<QJsonObject>("start");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<int>("statusExit");
        QTest::newRow("still on the original deployment") << pendingState() << statusBootedOn("aaa") << 0;
        QTest::newRow("status fails") << pendingState() << statusBootedOn("bbb") << 1;
        QTest::newRow("status not JSON") << pendingState() << QByteArray("garbage") << 0;
        QTest::newRow("status of the wrong shape")
            << pendingState() << QByteArray(R"({"data":{"deploy_list":[7]}})") << 0;
        QTest::newRow("manual strategy") << pendingState("manual") << statusBootedOn("bbb") << 0;
        // An upgrade staged after the rollback replaced it: the rolled-back system never ran.
        QTest::newRow("another deployment booted") << pendingState() << statusBootedOn("ccc") << 0;
        QJsonObject unknownStaged = pendingState();
        unknownStaged.insert("rollback_commit", "");
        QTest::newRow("staged deployment unknown") << unknownStaged << statusBootedOn("bbb") << 0;
    }
    void counterWaitsForTheRollbackToApply()
    {
        REQUIRE_PYTHON();
        QFETCH(QJsonObject, start);
        QFETCH(QByteArray, status);
        QFETCH(int, statusExit);
        sim->respond(kCtl, "admin-status", status, statusExit);
        QVERIFY(saveRollbackState(start).ok);
        const QByteArray before = SimRoot::readFile(statePath());
        for (int boot = 0; boot < 5; ++boot) {
            newBoot();
            runCounter();
        }
        QCOMPARE(SimRoot::readFile(statePath()), before);
        QVERIFY(deleteCalls().isEmpty());
    }

    void counterReportsAFailedDelete()
    {
        REQUIRE_PYTHON();
        QJsonObject start = pendingState();
        start.insert("status", "active");
        start.insert("reboot_count", 2);
        QVERIFY(saveRollbackState(start).ok);
        sim->respond(kCtl, "snapshot-delete", "", 1, "no such snapshot");
        runCounter();
        QCOMPARE(state().value("status").toString(), QStringLiteral("failed"));
        QCOMPARE(state().value("reboot_count").toInt(), 3);
    }

    void counterCutShortKeepsTheOldState()
    {
        REQUIRE_PYTHON();
        // A file size limit makes every write past 1 KiB fail half-way, like a full disk.
        QJsonObject start = pendingState();
        start.insert("status", "active");
        start.insert("padding", QString(4000, QLatin1Char('p')));
        QVERIFY(saveRollbackState(start).ok);
        const QByteArray before = SimRoot::readFile(statePath());
        runCounter(QStringLiteral("ulimit -f 2; "));
        QCOMPARE(SimRoot::readFile(statePath()), before);
        QVERIFY(!QFile::exists(statePath() + ".tmp"));
    }

    void counterKilledMidRunKeepsValidJson()
    {
        REQUIRE_PYTHON();
        QJsonObject start = pendingState();
        start.insert("status", "active");
        start.insert("reboot_count", 2);
        QVERIFY(saveRollbackState(start).ok);
        sim->hang(kCtl, "snapshot-delete");
        QFile::remove(sim->root() + "/fake/" + kCtl + ".pid");

        QProcess p;
        p.setChildProcessModifier([] { ::setpgid(0, 0); });
        p.start("/bin/sh", {writeCounter()});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(sim->root() + "/fake/" + kCtl + ".pid"), 20000);
        ::kill(-static_cast<pid_t>(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(10000));

        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(SimRoot::readFile(statePath()), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(doc.object().value("backup_snapshot_id").toString(), kOddId);
    }

private:
    QString statePath() const { return sim->path("/var/lib/tavrin-manager/rollback-state.json"); }
    QJsonObject state() const { return QJsonDocument::fromJson(SimRoot::readFile(statePath())).object(); }
    void newBoot() const { QFile::remove(sim->path("/run/tavrin-rollback-counter-run")); }
    QList<Tavrin::Test::ToolCall> deleteCalls() const
    {
        QList<Tavrin::Test::ToolCall> out;
        for (const auto &c : sim->calls(kCtl)) {
            if (c.args.value(0) == "snapshot")
                out << c;
        }
        return out;
    }

    // The copy handed to "install": a file only its owner can read, in a
    // directory only its owner can enter, under the temporary directory.
    void checkPrivateCopy(const QString &path) const
    {
        QVERIFY2(path.startsWith(sim->tmp() + QLatin1Char('/')), qPrintable(path));
        QVERIFY(!QFileInfo(path).fileName().startsWith(QLatin1String(".tavrin_")));
        const auto sources = sim->calls("install-src");
        QVERIFY(!sources.isEmpty());
        for (const auto &src : sources) {
            QCOMPARE(src.args.value(0), QStringLiteral("600"));
            QCOMPARE(src.args.value(1), QStringLiteral("700"));
        }
    }

    QString writeCounter() const
    {
        const QString path = sim->path("/usr/libexec/tavrin-manager/reboot-counter.sh");
        SimRoot::writeFile(path, rebootCounterScript(statePath(), sim->path("/usr/sbin/zarnex-immutable-ctl"),
                                                     sim->path("/run/tavrin-rollback-counter-run"))
                                     .toUtf8());
        return path;
    }

    void runCounter(const QString &prefix = QString()) const
    {
        QProcess p;
        p.start("/bin/sh", {"-c", prefix + "exec /bin/sh \"$0\"", writeCounter()});
        QVERIFY(p.waitForFinished(60000));
    }

    std::unique_ptr<SimRoot> sim;
};

TAVRIN_TEST_GUILESS_MAIN(TestRollback)
#include "tst_rollback.moc"
