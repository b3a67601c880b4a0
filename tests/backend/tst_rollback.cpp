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

    // Whether an upgrade has replaced the rollback the state file waits for,
    // from the state and the deployments the tool lists (A rolled back to, O the
    // old booted one, U an upgrade).
    void supersededRollback_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("rollbackCommit");
        QTest::addColumn<QStringList>("deploys"); // commit + flags: b booted, h hidden
        QTest::addColumn<bool>("superseded");
        QTest::newRow("still staged") << "pending"
                                      << "A" << QStringList{"A h", "O b"} << false;
        QTest::newRow("booted, the counter not run yet") << "pending"
                                                         << "A" << QStringList{"A b", "O"} << false;
        QTest::newRow("upgrade staged instead") << "pending"
                                                << "A" << QStringList{"U h", "O b"} << true;
        QTest::newRow("booted into the upgrade") << "pending"
                                                 << "A" << QStringList{"U b", "O"} << true;
        QTest::newRow("upgrade staged after the rollback booted")
            << "pending"
            << "A" << QStringList{"U h", "A b", "O"} << false;
        QTest::newRow("the rollback took effect earlier") << "pending"
                                                          << "A" << QStringList{"U b", "A", "O"} << false;
        QTest::newRow("counting already") << "active"
                                          << "A" << QStringList{"U b", "O"} << false;
        QTest::newRow("no commit recorded") << "pending"
                                            << "" << QStringList{"U b", "O"} << false;
        QTest::newRow("list failed to read") << "pending"
                                             << "A" << QStringList{} << false;
    }
    void supersededRollback()
    {
        QFETCH(QString, status);
        QFETCH(QString, rollbackCommit);
        QFETCH(QStringList, deploys);
        QFETCH(bool, superseded);
        RollbackState state;
        state.valid = true;
        state.strategy = QStringLiteral("reboot3");
        state.status = status;
        state.rollbackCommit = rollbackCommit;
        QList<DeployInfo> list;
        for (const QString &d : deploys) {
            DeployInfo info;
            info.commit = d.section(QLatin1Char(' '), 0, 0);
            const QString flags = d.section(QLatin1Char(' '), 1);
            info.isBooted = flags.contains(QLatin1Char('b'));
            info.hidden = flags.contains(QLatin1Char('h'));
            list.append(info);
        }
        QCOMPARE(rollbackSuperseded(state, list), superseded);
        state.valid = false;
        QVERIFY(!rollbackSuperseded(state, list));
    }

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

        // One privileged run of the helper by absolute path; it writes beside the
        // file and renames over it, so there is never a half-written state.
        const auto sudo = sim->calls("sudo");
        QCOMPARE(sudo.size(), euid == "0" ? 0 : 1);
        if (!sudo.isEmpty())
            QCOMPARE(sudo.first().args, QStringList({"-n", helperPath()}));
        QCOMPARE(helperPath(), sim->path("/usr/libexec/tavrin-manager/tavrin-manager-helper"));
        QCOMPARE(QFileInfo(statePath()).permissions() & 0x7077, QFileDevice::Permissions(0x6044));
        QCOMPARE(stateDirEntries(), QStringList{"rollback-state.json"});

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

    // Refused, dismissed or failed: the old file stays as it was, nothing beside it.
    void failedWriteChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("sudo");
        QTest::addColumn<QByteArray>("pkexec");
        QTest::addColumn<bool>("linkedDirectory");
        QTest::addColumn<QString>("error");
        QTest::newRow("authorisation dismissed")
            << QByteArray("password") << QByteArray("dismiss") << false
            << "Error executing command as another user: Request dismissed";
        QTest::newRow("not allowed") << QByteArray("deny") << QByteArray("grant") << false
                                     << "sudo: user is not allowed to execute this command";
        QTest::newRow("directory is a link") << QByteArray("grant") << QByteArray("grant") << true
                                             << "/var/lib/tavrin-manager is not a plain directory";
    }
    void failedWriteChangesNothing()
    {
        QFETCH(QByteArray, sudo);
        QFETCH(QByteArray, pkexec);
        QFETCH(bool, linkedDirectory);
        QFETCH(QString, error);
        SimRoot::writeFile(statePath(), "old state");
        if (linkedDirectory) {
            const QString dir = sim->path("/var/lib/tavrin-manager");
            QVERIFY(QDir().rename(dir, dir + ".real"));
            QVERIFY(QFile::link(dir + ".real", dir));
        }
        qputenv("FAKE_SUDO", sudo);
        qputenv("FAKE_PKEXEC", pkexec);
        const CommandResult r = saveRollbackState(pendingState());
        QVERIFY(!r.ok);
        QCOMPARE(r.error, error);
        QCOMPARE(SimRoot::readFile(statePath()), QByteArray("old state"));
        QCOMPARE(stateDirEntries(), QStringList{"rollback-state.json"});
    }

    // No temporary file of the user's is involved any more.
    void unusableTemporaryDirectory()
    {
        qputenv("TMPDIR", sim->path("/no/such/dir").toLocal8Bit());
        const CommandResult r = saveRollbackState(pendingState());
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(getRollbackState().valid);
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
        QVERIFY(QFile::link(victim, name));
        // A name the helper could have chosen beside the target, planted in advance.
        const QString beside = sim->path("/var/lib/tavrin-manager/.rollback-state.json.tavrin-new");
        QVERIFY(QFile::link(victim, beside));

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
        QCOMPARE(QFileInfo(beside).symLinkTarget(), victim);
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
        QCOMPARE(runs.first().first, QStringList{helperPath()});
        QVERIFY(!getRollbackState().valid);
        QCOMPARE(stateDirEntries(), QStringList());
    }

    // ----------------------------------------------------------- cleanup service

    // Where /usr cannot be written the clean-up goes where the administrator's
    // units live, the script into the state directory, and the unit names it there.
    void installCleanup_data()
    {
        QTest::addColumn<bool>("readOnlyUsr");
        QTest::addColumn<QStringList>("dests");
        QTest::newRow("writable /usr") << false
                                       << QStringList{"/usr/libexec/tavrin-manager/reboot-counter.sh",
                                                      "/usr/lib/systemd/system/tavrin-rollback-cleanup.service",
                                                      "/usr/lib/systemd/system/tavrin-rollback-cleanup.timer"};
        QTest::newRow("read-only /usr") << true
                                        << QStringList{"/var/lib/tavrin-manager/reboot-counter.sh",
                                                       "/etc/systemd/system/tavrin-rollback-cleanup.service",
                                                       "/etc/systemd/system/tavrin-rollback-cleanup.timer"};
    }
    void installCleanup()
    {
        QFETCH(bool, readOnlyUsr);
        QFETCH(QStringList, dests);
        if (readOnlyUsr)
            SimRoot::writeFile(sim->path("/var/lib/zarnex-sim/usr-readonly"), "");
        const CommandResult r = installRollbackCleanup();
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(sim->calls("sudo").size(), 1);

        const QList<int> modes{0x7055, 0x6044, 0x6044};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(QFile::exists(sim->path(dests[i])), qPrintable(dests[i]));
            QCOMPARE(int(QFileInfo(sim->path(dests[i])).permissions() & 0x7077), modes[i]);
        }
        const QByteArray unit = SimRoot::readFile(sim->path(dests[1]));
        QVERIFY(unit.contains("ExecStart=" + sim->path(dests[0]).toUtf8() + "\n"));
        QVERIFY(unit.contains("ConditionPathExists=" + statePath().toUtf8() + "\n"));
        QCOMPARE(rebootCounterScriptPath(), sim->path(dests[0]));
        QStringList systemctl;
        for (const auto &c : sim->calls("systemctl"))
            systemctl << c.args.join(QLatin1Char(' '));
        QCOMPARE(systemctl, QStringList({"daemon-reload", "enable --now tavrin-rollback-cleanup.timer"}));
        qputenv("FAKE_TIMER_ENABLED", "1");
        QVERIFY(rollbackCleanupInstalled());
        QVERIFY(leftovers().isEmpty());
    }

    // A failure at any step leaves nothing installed and the files that were
    // there as they were.
    void installCleanupIsAllOrNothing_data()
    {
        QTest::addColumn<QByteArray>("systemctlFails");
        QTest::addColumn<bool>("linkedUnitDirectory");
        QTest::addColumn<QString>("why");
        QTest::newRow("daemon-reload fails") << QByteArray("daemon-reload") << false << "Failed to daemon-reload";
        QTest::newRow("enable fails") << QByteArray("enable") << false << "Failed to enable";
        QTest::newRow("unit directory is a link") << QByteArray() << true << "is not a plain directory";
    }
    void installCleanupIsAllOrNothing()
    {
        QFETCH(QByteArray, systemctlFails);
        QFETCH(bool, linkedUnitDirectory);
        QFETCH(QString, why);
        const QString timer = sim->path("/usr/lib/systemd/system/tavrin-rollback-cleanup.timer");
        SimRoot::writeFile(timer, "old timer");
        if (linkedUnitDirectory) {
            const QString dir = sim->path("/usr/lib/systemd/system");
            QVERIFY(QDir().rename(dir, dir + ".real"));
            QVERIFY(QFile::link(dir + ".real", dir));
        }
        qputenv("FAKE_SYSTEMCTL_FAIL", systemctlFails);
        const CommandResult r = installRollbackCleanup();
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith(QStringLiteral("安装 systemd 服务失败: ")) && r.error.contains(why),
                 qPrintable(r.error));
        QCOMPARE(SimRoot::readFile(timer), QByteArray("old timer"));
        QVERIFY(!QFile::exists(sim->path("/usr/libexec/tavrin-manager/reboot-counter.sh")));
        QVERIFY(!QFile::exists(sim->path("/usr/lib/systemd/system/tavrin-rollback-cleanup.service")));
        QVERIFY2(leftovers().isEmpty(), qPrintable(leftovers().join(' ')));
        QCOMPARE(sim->calls("sudo").size(), 1);
    }

    void uninstallCleanup_data()
    {
        QTest::addColumn<bool>("readOnlyUsr");
        QTest::newRow("writable /usr") << false;
        QTest::newRow("read-only /usr") << true;
    }
    void uninstallCleanup()
    {
        QFETCH(bool, readOnlyUsr);
        if (readOnlyUsr)
            SimRoot::writeFile(sim->path("/var/lib/zarnex-sim/usr-readonly"), "");
        QVERIFY(installRollbackCleanup().ok);
        // Removed from wherever it was installed, when /usr became read-only
        // since, or not.
        QFile::remove(sim->path("/var/lib/zarnex-sim/usr-readonly"));
        sim->clearCalls();
        const CommandResult r = uninstallRollbackCleanup();
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(sim->calls("sudo").size(), 1);
        QStringList systemctl;
        for (const auto &c : sim->calls("systemctl"))
            systemctl << c.args.join(QLatin1Char(' '));
        QCOMPARE(systemctl, QStringList({"disable --now tavrin-rollback-cleanup.timer", "daemon-reload"}));
        for (const char *p : {"/usr/libexec/tavrin-manager/reboot-counter.sh",
                              "/usr/lib/systemd/system/tavrin-rollback-cleanup.service",
                              "/usr/lib/systemd/system/tavrin-rollback-cleanup.timer",
                              "/var/lib/tavrin-manager/reboot-counter.sh",
                              "/etc/systemd/system/tavrin-rollback-cleanup.service",
                              "/etc/systemd/system/tavrin-rollback-cleanup.timer"})
            QVERIFY2(!QFile::exists(sim->path(QLatin1String(p))), p);
        qputenv("FAKE_TIMER_ENABLED", "1");
        QVERIFY(!rollbackCleanupInstalled());
        QVERIFY(leftovers().isEmpty());
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

    QStringList stateDirEntries() const
    {
        return QDir(sim->path("/var/lib/tavrin-manager"))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    // Staged or kept copies the helper left beside any target.
    QStringList leftovers() const
    {
        QStringList out;
        for (const char *d : {"/var/lib/tavrin-manager", "/usr/libexec/tavrin-manager", "/usr/lib/systemd/system",
                              "/etc/systemd/system", "/etc/zarnex-immutable-ctl"}) {
            for (const QString &name :
                 QDir(sim->path(QLatin1String(d))).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
                if (name.contains(QLatin1String(".tavrin-")))
                    out << name;
            }
        }
        return out;
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
