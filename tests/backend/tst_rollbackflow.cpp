// The backend against the simulated system (sim/): the rollback with a backup
// and the "reboot3" clean-up from the first call to the third simulated boot,
// plus the readers on the simulated tools' real answers.

#include "backend/backend_p.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
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
        qputenv("PATH", simBin.toLocal8Bit() + ':' + qgetenv("PATH"));
        // Every elevated program must be a stand-in; never the host's.
        for (const char *tool : {"sudo", "pkexec", "install", "rm", "systemctl"})
            QCOMPARE(QStandardPaths::findExecutable(QLatin1String(tool)),
                     simBin + QLatin1Char('/') + QLatin1String(tool));

        QProcess make;
        make.start(Test::sourcePath(QStringLiteral("sim/make-root.sh")), {root.path(), "--files", "200"});
        QVERIFY(make.waitForFinished(120000));
        QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());
        qputenv("TAVRIN_SYSROOT", root.path().toLocal8Bit());
        qputenv("TAVRIN_SIM_EUID", "1000");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
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
        // "MajorVersion=25" comes first in the simulated files and wins.
        QCOMPARE(getOsVersion().value("version").toString(), QStringLiteral("25"));
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

        const CommandResult rolled = rollbackSnapshot(target.id, false);
        QVERIFY2(rolled.ok, qPrintable(rolled.error));
        const CommandResult saved =
            saveRollbackState(QJsonObject{{"rollback_target", target.id},
                                          {"rollback_target_name", target.name},
                                          {"backup_snapshot_id", backupId},
                                          {"backup_snapshot_name", backupName},
                                          {"original_booted", booted},
                                          {"created_at", QDateTime::currentSecsSinceEpoch()},
                                          {"reboot_count", 0},
                                          {"reboot_limit", 3},
                                          {"strategy", "reboot3"},
                                          {"status", "pending"}});
        QVERIFY2(saved.ok, qPrintable(saved.error));
        const CommandResult installed = installRollbackCleanup();
        QVERIFY2(installed.ok, qPrintable(installed.error));
        QVERIFY(rollbackCleanupInstalled());
        QCOMPARE(getRollbackState().status, QStringLiteral("pending"));
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());

        reboot(); // applies the rollback: counted as the first boot
        RollbackState state = getRollbackState();
        QVERIFY2(state.status == QLatin1String("active"), qPrintable(bootLog()));
        QCOMPARE(state.rebootCount, 1);
        QVERIFY(getBootedDeployId() != booted);

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

private:
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
