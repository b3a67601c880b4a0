// The backend against the simulated system (sim/): the rollback with a backup
// and the "reboot3" clean-up from the first call to the third simulated boot,
// plus the readers on the simulated tools' real answers. A user-writable
// directory first on PATH holds hostile "sudo", "pkexec", "install", "rm",
// "mv", "systemctl", "du", "df", "nice", "ionice", "ostree" and the control
// tools: each would leave a line in a log if the program ever started one by
// bare name.

#include "backend/backend_p.h"
#include "disk/diskscanner.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QtTest>

using namespace Tavrin;

class TestRollbackFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ||
            QStandardPaths::findExecutable(QStringLiteral("ostree")).isEmpty())
            QSKIP("the simulated system needs /usr/bin/python3 and ostree");
        QVERIFY(root.isValid());
        QVERIFY(tmp.isValid());
        const QString simBin = Test::sourcePath(QStringLiteral("sim/bin"));
        const QString planted = tmp.path() + QStringLiteral("/.local/bin");
        QVERIFY(QDir().mkpath(planted));
        for (const QString &tool : plantedTools()) {
            QFile f(planted + QLatin1Char('/') + tool);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\necho \"$0 $*\" >>" + plantedLog().toLocal8Bit() + "\nexit 0\n");
            f.close();
            f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        }
        qputenv("PATH", planted.toLocal8Bit() + ':' + simBin.toLocal8Bit() + ':' + qgetenv("PATH"));
        // Whatever grants or runs as root resolves, by name, to the planted fakes.
        for (const QString &tool : plantedTools())
            QCOMPARE(QStandardPaths::findExecutable(tool), planted + QLatin1Char('/') + tool);

        QProcess make;
        make.start(Test::sourcePath(QStringLiteral("sim/make-root.sh")), {root.path(), "--files", "200"});
        QVERIFY(make.waitForFinished(120000));
        QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());
        QVERIFY(Test::installHelper(root.path()));
        qputenv("TAVRIN_SYSROOT", root.path().toLocal8Bit());
        qputenv("TAVRIN_SIM_EUID", "1000");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
    }

    void cleanup()
    {
        QVERIFY2(!QFile::exists(plantedLog()), readFile(plantedLog()).constData());
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{".local"});
    }

    void readersOnTheSimulatedTools()
    {
        const QList<SnapshotInfo> snaps = getSnapshots();
        QVERIFY(snaps.size() >= 2);
        QVERIFY(snaps.first().isInitial);
        for (qsizetype i = 1; i < snaps.size(); ++i)
            QVERIFY(snaps[i - 1].time <= snaps[i].time);
        QCOMPARE(getSnapshotDetail(snaps.last().id).name, snaps.last().name);

        const QList<DeployInfo> deploys = getDeploys();
        QVERIFY(!deploys.isEmpty());
        QVERIFY(!getBootedDeployId().isEmpty());
        QVERIFY(!isDeployDeletable(deploys.first()));
        // "MajorVersion=25" comes first in the simulated files; it is not the version.
        QCOMPARE(getOsVersion().value("version").toString(), QStringLiteral("25.1.2"));
        QVERIFY(isImmutable());
        QVERIFY(!getWritableStatus().enabled);

        const SnapshotSizeMap sizes = computeSnapshotSizes();
        QCOMPARE(sizes.size(), snaps.size());
        qint64 unique = 0;
        for (const auto &pair : sizes) {
            QVERIFY(pair.first > 0);
            unique += pair.second;
        }
        QVERIFY(unique > 0);

        // Snapshot data is root's: measured through a sudo that needs no
        // password, never behind a password prompt on every refresh.
        resetSizeCachesForTesting();
        qputenv("SIM_SUDO", "password");
        const SnapshotSizes unmeasured = measureSnapshotSizes(snaps);
        qunsetenv("SIM_SUDO");
        QCOMPARE(unmeasured.size(), snaps.size());
        // What du could not read is a bound at best, with sudo's own words.
        for (const SnapshotSize &size : unmeasured) {
            QVERIFY(!size.extra.complete() && !size.total().complete());
            QVERIFY2(size.extra.error.contains(QStringLiteral("a password is required")),
                     qPrintable(size.extra.error));
        }
        QVERIFY(!readFile(root.path() + QStringLiteral("/var/log/zarnex-sim/calls.jsonl"))
                     .contains("\"pkexec\""));
        resetSizeCachesForTesting();
    }

    void configurationRoundTrip()
    {
        const QString conf =
            root.path() + QStringLiteral("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf");
        const QByteArray before = readFile(conf);
        const QMap<QString, QString> values = getCtlConfig();
        QVERIFY(values.contains("max-backup-deploys"));
        QMap<QString, QString> same;
        for (const char *key :
             {"auto-rollback-on-failure", "max-backup-deploys", "auto-refresh-size-threshold"})
            same.insert(QLatin1String(key), values.value(QLatin1String(key)));
        QVERIFY(setCtlConfig(same).ok);
        QCOMPARE(readFile(conf), before);
        same.insert("max-backup-deploys", "4");
        QVERIFY(setCtlConfig(same).ok);
        QCOMPARE(getCtlConfig().value("max-backup-deploys"), QStringLiteral("4"));
        QCOMPARE(readFile(conf).size(), before.size());

        // The prompt dismissed: the file keeps its old content, nothing beside it.
        const QByteArray saved = readFile(conf);
        qputenv("SIM_SUDO", "password");
        qputenv("SIM_PKEXEC", "dismiss");
        const CommandResult cut = setCtlConfig({{"max-backup-deploys", "5"}});
        qunsetenv("SIM_SUDO");
        qunsetenv("SIM_PKEXEC");
        QVERIFY(!cut.ok);
        QVERIFY2(cut.error.contains("Request dismissed"), qPrintable(cut.error));
        QCOMPARE(readFile(conf), saved);
        QCOMPARE(QDir(QFileInfo(conf).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"zarnex-immutable-ctl.conf"});

        // A value read from another section says so: the policy page writes it
        // into "[global]" only when the user changes it.
        QFile file(conf);
        QVERIFY(file.open(QIODevice::Append));
        file.write("\n[upgrade]\nmax-backup-deploys = 9\n");
        file.close();
        const QMap<QString, CtlConfigEntry> entries = getCtlConfigEntries();
        QCOMPARE(entries.value("max-backup-deploys").value, QStringLiteral("9"));
        QCOMPARE(entries.value("max-backup-deploys").section, QStringLiteral("[upgrade]"));
        QCOMPARE(entries.value("auto-refresh-size-threshold").section, QStringLiteral("[global]"));
        QVERIFY(setCtlConfig({{"auto-refresh-size-threshold", "300"}}).ok);
        QVERIFY(readFile(conf).contains("[global]\n"));
        QVERIFY(readFile(conf).contains("max-backup-deploys=4\n"));
        QCOMPARE(getCtlConfigEntries().value("max-backup-deploys").value, QStringLiteral("9"));
    }

    // The tool parses options wherever they stand and exits 0 on "--help": such
    // a name must never reach it. Other text is one argument, unchanged.
    void snapshotTextsReachTheToolAsGiven_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("desc");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("name --help") << "--help"
                                     << "d" << false;
        QTest::newRow("name -d") << "-d"
                                 << "" << false;
        QTest::newRow("description -j") << "n"
                                        << "-j" << false;
        QTest::newRow("dash inside") << "系统 -d 备份"
                                     << "a --help b" << true;
        QTest::newRow("quotes and spaces") << "it's \"x\"  y"
                                           << "" << true;
    }
    void snapshotTextsReachTheToolAsGiven()
    {
        QFETCH(QString, name);
        QFETCH(QString, desc);
        QFETCH(bool, accepted);
        const int before = getSnapshots().size();
        const CommandResult r = createSnapshot(name, desc);
        QCOMPARE(r.ok, accepted);
        QCOMPARE(r.error.isEmpty(), accepted);
        QCOMPARE(snapshotTextProblem(name, desc).isEmpty(), accepted);
        const QList<SnapshotInfo> after = getSnapshots();
        QCOMPARE(after.size(), before + (accepted ? 1 : 0));
        if (accepted) {
            QCOMPARE(after.last().name, name);
            QCOMPARE(after.last().desc, desc);
            QVERIFY(modifySnapshot(after.last().id, QStringLiteral("-x"), desc).error ==
                    snapshotTextProblem(QStringLiteral("-x"), desc));
            QCOMPARE(getSnapshotDetail(after.last().id).name, name);
        }
    }

    void rollbackWithBackupIsCleanedAfterThreeBoots()
    {
        const QList<SnapshotInfo> snaps = getSnapshots();
        const SnapshotInfo target = snaps.at(1);
        const QString booted = getBootedDeployId();

        const QString backupName = QStringLiteral("回滚前备份-") +
                                   QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const CommandResult created =
            createSnapshot(backupName, QStringLiteral("回滚到[%1]前的系统状态").arg(target.name));
        QVERIFY2(created.ok, qPrintable(created.error));
        QString backupId;
        for (const SnapshotInfo &s : getSnapshots()) {
            if (s.name == backupName) {
                backupId = s.id;
                break;
            }
        }
        QVERIFY(!backupId.isEmpty());

        const QString staged = rollBackWithCleanup(target, backupId, backupName, booted);
        QVERIFY(!staged.isEmpty());

        reboot(); // applies the rollback: counted as the first boot
        RollbackState state = getRollbackState();
        QVERIFY2(state.status == QLatin1String("active"), qPrintable(bootLog()));
        QCOMPARE(state.rebootCount, 1);
        QCOMPARE(getBootedDeployId(), staged);

        reboot();
        QCOMPARE(getRollbackState().rebootCount, 2);
        QVERIFY(hasSnapshot(backupId));

        reboot();
        state = getRollbackState();
        QCOMPARE(state.rebootCount, 3);
        QCOMPARE(state.status, QStringLiteral("done"));
        QVERIFY(!hasSnapshot(backupId));

        QVERIFY(uninstallRollbackCleanup().ok);
        QVERIFY(!rollbackCleanupInstalled());
        clearRollbackState();
        QVERIFY(!getRollbackState().valid);
    }

    // An upgrade staged after the rollback replaces it: the system never boots
    // the rolled-back tree, so the backup stays and the state stays pending.
    void upgradeAfterRollbackKeepsTheBackup()
    {
        const QList<SnapshotInfo> snaps = getSnapshots();
        const SnapshotInfo target = snaps.at(1);
        const QString booted = getBootedDeployId();
        const QString backupName = QStringLiteral("回滚前备份-upgrade");
        QVERIFY(createSnapshot(backupName, QStringLiteral("d")).ok);
        QString backupId;
        for (const SnapshotInfo &s : getSnapshots()) {
            if (s.name == backupName)
                backupId = s.id;
        }
        QVERIFY(!backupId.isEmpty());
        const QString staged = rollBackWithCleanup(target, backupId, backupName, booted);
        QVERIFY(!staged.isEmpty());
        QVERIFY(!rollbackStateNote(getRollbackState()).isEmpty());

        const CommandResult upgraded = runUpgrade();
        QVERIFY2(upgraded.ok, qPrintable(upgraded.error));
        for (int boot = 0; boot < 4; ++boot)
            reboot();
        QVERIFY(getBootedDeployId() != staged);
        const RollbackState state = getRollbackState();
        QVERIFY2(state.status == QLatin1String("pending"), qPrintable(bootLog()));
        QCOMPARE(state.rebootCount, 0);
        QVERIFY(hasSnapshot(backupId));
        QVERIFY(!rollbackStateNote(state).isEmpty());
        QVERIFY(uninstallRollbackCleanup().ok);
        clearRollbackState();
    }

    // With a sudo that wants a password, every action asks once (pkexec's
    // dialog): the rollback with its clean-up too, which took a dozen before.
    void oneAuthorizationPerAction()
    {
        qputenv("SIM_SUDO", "password");
        const auto unset = qScopeGuard([] { qunsetenv("SIM_SUDO"); });
        const QList<SnapshotInfo> snaps = getSnapshots();
        const auto prompts = [this](const char *what, const std::function<bool()> &action) {
            const int before = promptCount();
            QVERIFY2(action(), what);
            QVERIFY2(promptCount() - before == 1,
                     qPrintable(QStringLiteral("%1: %2 prompts").arg(QLatin1String(what)).arg(promptCount() - before)));
        };
        prompts("policy save", [] { return setCtlConfig({{"max-backup-deploys", "2"}}).ok; });
        prompts("snapshot create", [] { return createSnapshot(QStringLiteral("one-prompt"), QString()).ok; });
        const QString created = getSnapshots().constLast().id;
        prompts("snapshot delete", [&] { return deleteSnapshot(created).ok; });
        prompts("rollback with clean-up", [&] { return rollBackToSnapshot(request(snaps.at(1), "reboot3")).ok; });
        QVERIFY(rollbackCleanupInstalled());
        prompts("clean-up removal", [] { return uninstallRollbackCleanup().ok; });
        prompts("state removal", [] {
            clearRollbackState();
            return !getRollbackState().valid;
        });
        prompts("rollback, manual clean-up", [&] { return rollBackToSnapshot(request(snaps.at(1), "manual")).ok; });
        for (const SnapshotInfo &s : getSnapshots()) {
            if (s.name.startsWith(QLatin1String("回滚前备份-")))
                QVERIFY(deleteSnapshot(s.id).ok);
        }
        clearRollbackState();
        reboot(); // nothing stays staged for the tests after this one
    }

    // A rollback with the "reboot3" clean-up refused or failing at any of its
    // steps: the system as it was, nothing half-installed, and the outcome
    // says whether the authorization was given.
    void rollbackIsWholeOrNothing_data()
    {
        QTest::addColumn<QByteArray>("knob");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("authorized");
        QTest::newRow("prompt dismissed") << QByteArray("SIM_DISMISS_PROMPT") << QByteArray("next") << false;
        QTest::newRow("backup fails") << QByteArray("SIM_CTL_FAIL") << QByteArray("snapshot create") << true;
        QTest::newRow("daemon-reload fails") << QByteArray("SIM_SYSTEMCTL_FAIL") << QByteArray("daemon-reload")
                                             << true;
        QTest::newRow("timer fails") << QByteArray("SIM_SYSTEMCTL_FAIL") << QByteArray("enable") << true;
        QTest::newRow("rollback fails") << QByteArray("SIM_CTL_FAIL") << QByteArray("snapshot rollback") << true;
    }
    void rollbackIsWholeOrNothing()
    {
        QFETCH(QByteArray, knob);
        QFETCH(QByteArray, value);
        QFETCH(bool, authorized);
        qputenv("SIM_SUDO", "password");
        if (value == "next")
            value = QByteArray::number(promptCount() + 1);
        qputenv(knob.constData(), value);
        const auto unset = qScopeGuard([knob] {
            qunsetenv("SIM_SUDO");
            qunsetenv(knob.constData());
        });
        const QList<SnapshotInfo> before = getSnapshots();
        const RollbackOutcome outcome = rollBackToSnapshot(request(before.at(1), "reboot3"));
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.authorized, authorized);
        QVERIFY(!outcome.rolledBack);
        QVERIFY(!outcome.error.isEmpty());
        if (authorized) {
            QVERIFY(outcome.failedStep >= 0);
            for (int i = 0; i < outcome.failedStep; ++i)
                QCOMPARE(outcome.statuses.value(i), QStringLiteral("undone"));
        }
        QCOMPARE(getSnapshots().size(), before.size());
        QVERIFY(getStagedDeployId().isEmpty());
        QVERIFY(!getRollbackState().valid);
        QVERIFY(!rollbackCleanupInstalled());
        for (const char *p : {"/usr/libexec/tavrin-manager/reboot-counter.sh",
                              "/usr/lib/systemd/system/tavrin-rollback-cleanup.service",
                              "/usr/lib/systemd/system/tavrin-rollback-cleanup.timer"})
            QVERIFY2(!QFile::exists(root.path() + QLatin1String(p)), p);
        const QJsonObject units =
            QJsonDocument::fromJson(readFile(root.path() + QStringLiteral("/var/lib/zarnex-sim/units.json"))).object();
        QVERIFY(!units.value("system").toObject().value("tavrin-rollback-cleanup.timer").toObject().value("enabled").toBool());
    }

    // On a read-only /usr the clean-up lives in /etc/systemd/system and
    // /var/lib/tavrin-manager, still counts three boots and is removed from there.
    void readOnlyUsrCleanup()
    {
        const QString marker = root.path() + QStringLiteral("/var/lib/zarnex-sim/usr-readonly");
        QVERIFY(QFile(marker).open(QIODevice::WriteOnly));
        const auto unmark = qScopeGuard([marker] { QFile::remove(marker); });
        const QStringList usrBefore = filesBelow(QStringLiteral("/usr"));
        const QList<SnapshotInfo> snaps = getSnapshots();
        const RollbackOutcome outcome = rollBackToSnapshot(request(snaps.at(1), "reboot3"));
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(filesBelow(QStringLiteral("/usr")), usrBefore);
        const QString script = root.path() + QStringLiteral("/var/lib/tavrin-manager/reboot-counter.sh");
        QVERIFY(QFileInfo(script).isExecutable());
        QVERIFY(readFile(root.path() + QStringLiteral("/etc/systemd/system/tavrin-rollback-cleanup.service"))
                    .contains("ExecStart=" + script.toUtf8() + "\n"));
        QVERIFY(QFile::exists(root.path() + QStringLiteral("/etc/systemd/system/tavrin-rollback-cleanup.timer")));
        QVERIFY(rollbackCleanupInstalled());
        QVERIFY(hasSnapshot(outcome.backupId));

        for (int boot = 1; boot <= 3; ++boot) {
            reboot();
            QCOMPARE(getRollbackState().rebootCount, boot);
        }
        QCOMPARE(getRollbackState().status, QStringLiteral("done"));
        QVERIFY2(!hasSnapshot(outcome.backupId), qPrintable(bootLog()));

        QVERIFY(uninstallRollbackCleanup().ok);
        QVERIFY(!rollbackCleanupInstalled());
        QVERIFY(!QFile::exists(script));
        QCOMPARE(filesBelow(QStringLiteral("/usr")), usrBefore);
        clearRollbackState();
    }

    // Every action that changes the system, through sudo and through pkexec:
    // the planted tools first on PATH are never started (cleanup() checks
    // their log) and each action still reaches the simulated system.
    void everyElevatedActionIgnoresPlantedTools_data()
    {
        QTest::addColumn<QByteArray>("sudo");
        QTest::newRow("sudo -n grants") << QByteArray("grant");
        QTest::newRow("sudo asks, pkexec grants") << QByteArray("password");
    }
    void everyElevatedActionIgnoresPlantedTools()
    {
        QFETCH(QByteArray, sudo);
        qputenv("SIM_SUDO", sudo);
        const auto unset = qScopeGuard([] { qunsetenv("SIM_SUDO"); });
        const auto must = [](const char *what, const CommandResult &r) {
            QVERIFY2(r.ok, qPrintable(QString::fromLatin1(what) + QLatin1String(": ") + r.error));
        };
        const QString name = QStringLiteral("planted-") + QString::fromLatin1(sudo);
        must("create", createSnapshot(name, QStringLiteral("d")));
        QString id;
        for (const SnapshotInfo &s : getSnapshots()) {
            if (s.name == name)
                id = s.id;
        }
        QVERIFY(!id.isEmpty());
        must("modify", modifySnapshot(id, name, QStringLiteral("e")));
        must("check", checkUpgrade());
        must("upgrade", runUpgrade());
        must("clean", cleanUpgradeCache(true));
        must("enable writable", enableWritable(true, true));
        must("disable writable", disableWritable());
        must("policy", setCtlConfig({{"max-backup-deploys", "3"}}));
        must("state", saveRollbackState(QJsonObject{{"status", "pending"}}));
        must("clean-up", installRollbackCleanup());
        QVERIFY(rollbackCleanupInstalled());
        must("clean-up removal", uninstallRollbackCleanup());
        QVERIFY(!rollbackCleanupInstalled());
        clearRollbackState();
        QVERIFY(!getRollbackState().valid);
        must("rollback", rollbackSnapshot(id, false));
        must("delete", deleteSnapshot(id));
        for (const DeployInfo &d : getDeploys()) {
            if (isDeployDeletable(d) && !d.isRollbackBackup) {
                must("undeploy", undeploy(d.commit));
                break;
            }
        }
        resetSizeCachesForTesting();
        QVERIFY(!computeSnapshotSizes().isEmpty());
        resetSizeCachesForTesting();
        // The disk page's elevated scan, with its priority wrappers, and its df.
        {
            DiskScanner scanner;
            scanner.useElevation = true;
            scanner.interactive = 1;
            QSignalSpy drilled(&scanner, &DiskScanner::drillFinished);
            QSignalSpy done(&scanner, &DiskScanner::scanFinished);
            QVERIFY(scanner.drillInto(root.path() + QStringLiteral("/persistent/ostree")));
            QVERIFY(done.wait(60000));
            QVERIFY2(done.first().at(0).toBool(), qPrintable(done.first().at(1).toString()));
            QCOMPARE(drilled.size(), 1);
            QVERIFY(!drilled.first().at(1).value<QList<DiskItem>>().isEmpty());
            QString error;
            QVERIFY2(DiskScanner::dfRoot(nullptr, nullptr, &error), qPrintable(error));
        }
        const QByteArray boots = bootLog().toUtf8();
        QVERIFY(startReboot());
        QTRY_VERIFY_WITH_TIMEOUT(bootLog().size() > boots.size(), 60000);
    }

private:
    int promptCount() const
    {
        return readFile(root.path() + QStringLiteral("/var/log/zarnex-sim/prompts.log")).count('\n');
    }
    static RollbackRequest request(const SnapshotInfo &target, const char *strategy)
    {
        RollbackRequest r;
        r.targetId = target.id;
        r.targetName = target.name;
        r.strategy = QLatin1String(strategy);
        r.bootedId = getBootedDeployId();
        r.backupName = QStringLiteral("回滚前备份-") + QString::number(QDateTime::currentMSecsSinceEpoch());
        r.backupDesc = QStringLiteral("回滚到[%1]前的系统状态").arg(target.name);
        return r;
    }
    QStringList filesBelow(const QString &dir) const
    {
        QStringList out;
        QDirIterator it(root.path() + dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            out << it.next();
        out.sort();
        return out;
    }
    static QStringList plantedTools()
    {
        return {"sudo",
                "pkexec",
                "install",
                "rm",
                "mv",
                "systemctl",
                "du",
                "df",
                "nice",
                "ionice",
                "ostree",
                "zarnex-immutable-ctl",
                "zarnex-immutable-writable",
                "tavrin-manager-helper"};
    }
    QString plantedLog() const { return tmp.path() + QStringLiteral("/planted.log"); }

    // Rolls back to `target` and records it as the Snapshots page does; returns the staged commit.
    QString rollBackWithCleanup(const SnapshotInfo &target, const QString &backupId,
                                const QString &backupName, const QString &booted)
    {
        const CommandResult rolled = rollbackSnapshot(target.id, false);
        if (!rolled.ok)
            return QString();
        const QString staged = getStagedDeployId();
        const CommandResult saved =
            saveRollbackState(QJsonObject{{"rollback_target", target.id},
                                          {"rollback_target_name", target.name},
                                          {"backup_snapshot_id", backupId},
                                          {"backup_snapshot_name", backupName},
                                          {"original_booted", booted},
                                          {"rollback_commit", staged},
                                          {"created_at", QDateTime::currentSecsSinceEpoch()},
                                          {"reboot_count", 0},
                                          {"reboot_limit", 3},
                                          {"strategy", "reboot3"},
                                          {"status", "pending"}});
        if (!saved.ok || !installRollbackCleanup().ok || !rollbackCleanupInstalled() ||
            getRollbackState().status != QLatin1String("pending") ||
            getRollbackState().rollbackCommit != staged)
            return QString();
        return staged;
    }

    static QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString bootLog() const
    {
        return QString::fromUtf8(readFile(root.path() + QStringLiteral("/var/log/zarnex-sim/boot.log")));
    }
    static bool hasSnapshot(const QString &id)
    {
        for (const SnapshotInfo &s : getSnapshots()) {
            if (s.id == id)
                return true;
        }
        return false;
    }
    void reboot() const
    {
        // The stand-in by its full path: a simulated boot, never the host's.
        QProcess p;
        p.start(Test::sourcePath(QStringLiteral("sim/bin/systemctl")), {QStringLiteral("reboot")});
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    }

    QTemporaryDir root;
    QTemporaryDir tmp;
};

TAVRIN_TEST_GUILESS_MAIN(TestRollbackFlow)
#include "tst_rollbackflow.moc"
