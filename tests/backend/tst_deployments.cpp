#include "backend/backend_p.h"
#include "backend/privplan.h"
#include "backend/staged.h"
#include "simroot.h"

#include <QJsonDocument>

using namespace Tavrin;
using Tavrin::Test::kCtl;
using Tavrin::Test::SimRoot;

namespace {

const char *const kStatus = R"({"data":{"deploy_list":[
    {"SystemVersion":"25.1","CommitIDIdx":"aaa","Time":1700000000,"IsBooted":false,"IsRollbackBackup":true,
     "Index":0,"Hidden":false},
    {"SystemVersion":"25.2","CommitIDIdx":"bbb","Time":"1700000100","IsBooted":true,"Index":1},
    {"SystemVersion":"","CommitIDIdx":"ccc","IsBooted":false,"Index":2,"Hidden":true}]}})";

DeployInfo deploy(const QString &version, const QString &commit, bool booted, bool hidden = false)
{
    DeployInfo d;
    d.version = version;
    d.commit = commit;
    d.isBooted = booted;
    d.hidden = hidden;
    return d;
}

} // namespace

class TestDeployments : public QObject
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
        QTest::newRow("undeploy") << 0 << QStringList{"admin", "undeploy", "-1 x"} << 600000 << true;
        QTest::newRow("check") << 1 << QStringList{"upgrade", "check", "-j"} << 300000 << true;
        QTest::newRow("upgrade") << 2 << QStringList{"upgrade"} << 7200000 << true;
        QTest::newRow("clean") << 3 << QStringList{"upgrade", "clean"} << 300000 << true;
        QTest::newRow("clean all") << 4 << QStringList{"upgrade", "clean", "-a"} << 300000 << true;
        QTest::newRow("status") << 5 << QStringList{"admin", "status", "-j"} << 60000 << false;
        QTest::newRow("booted") << 6 << QStringList{"admin", "status", "-j"} << 60000 << false;
        QTest::newRow("version") << 7 << QStringList{"admin", "status", "-j"} << 60000 << false;
    }
    void commandLines()
    {
        QFETCH(int, op);
        QFETCH(QStringList, args);
        QFETCH(int, timeout);
        QFETCH(bool, elevate);
        switch (op) {
        case 0:
            QVERIFY(undeploy("-1 x").ok);
            break;
        case 1:
            QVERIFY(checkUpgrade().ok);
            break;
        case 2:
            QVERIFY(runUpgrade().ok);
            break;
        case 3:
            QVERIFY(cleanUpgradeCache(false).ok);
            break;
        case 4:
            QVERIFY(cleanUpgradeCache(true).ok);
            break;
        case 5:
            getDeploys();
            break;
        case 6:
            getBootedDeployId();
            break;
        case 7:
            getDeployVersion();
            break;
        }
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first().args, args);
        QCOMPARE(runs.first().timeout, timeout);
        QCOMPARE(runs.first().elevate, elevate);
        QCOMPARE(sim->calls(kCtl).value(0).args, args);
        QCOMPARE(sim->calls(QStringLiteral("sudo")).size(), elevate ? 1 : 0);
    }

    void undeployArguments() { QCOMPARE(undeployArgs("7"), QStringList({"admin", "undeploy", "7"})); }

    void status()
    {
        sim->respond(kCtl, "admin-status", kStatus);
        const QList<DeployInfo> list = getDeploys();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0].version, QStringLiteral("25.1"));
        QCOMPARE(list[0].time, qint64(1700000000));
        QVERIFY(list[0].isRollbackBackup);
        QCOMPARE(list[1].commit, QStringLiteral("bbb"));
        QCOMPARE(list[1].time, qint64(1700000100));
        QVERIFY(list[1].isBooted);
        QCOMPARE(list[1].index, 1);
        QVERIFY(list[2].hidden);
        QCOMPARE(getBootedDeployId(), QStringLiteral("bbb"));
        QCOMPARE(getDeployVersion(), QStringLiteral("25.2"));
    }

    void badStatusAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("tool fails") << QByteArray(kStatus) << 1;
        QTest::newRow("not JSON") << QByteArray("Segmentation fault") << 0;
        QTest::newRow("list not an array") << QByteArray(R"({"data":{"deploy_list":"none"}})") << 0;
        QTest::newRow("elements not objects") << QByteArray(R"({"data":{"deploy_list":[1,"a",null]}})") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
    }
    void badStatusAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, exitCode);
        sim->respond(kCtl, "admin-status", answer, exitCode);
        QVERIFY(getDeploys().isEmpty());
        QVERIFY(getBootedDeployId().isEmpty());
        QVERIFY(getDeployVersion().isEmpty());
    }

    void wrongTypesInAnElement()
    {
        const QList<DeployInfo> list = parseDeployList(
            R"({"data":{"deploy_list":[{"SystemVersion":25,"CommitIDIdx":true,"Time":"x","IsBooted":"true",
                "Index":"3","Hidden":1}]}})");
        QCOMPARE(list.size(), 1);
        QVERIFY(list[0].version.isEmpty());
        QVERIFY(list[0].commit.isEmpty());
        QCOMPARE(list[0].time, qint64(0));
        QVERIFY(!list[0].isBooted);
        QCOMPARE(list[0].index, 0);
        QVERIFY(!list[0].hidden);
    }

    void versionChoice_data()
    {
        QTest::addColumn<QList<DeployInfo>>("list");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("booted");
        QTest::newRow("booted not first")
            << QList<DeployInfo>{deploy("1", "a", false), deploy("2", "b", true)} << "2"
            << "b";
        QTest::newRow("none booted: first non-empty")
            << QList<DeployInfo>{deploy("", "a", false), deploy("3", "b", false), deploy("4", "c", false)}
            << "3"
            << "";
        QTest::newRow("booted without version")
            << QList<DeployInfo>{deploy("5", "a", false), deploy("", "b", true)} << "5"
            << "b";
        QTest::newRow("later booted wins the version, first booted the id")
            << QList<DeployInfo>{deploy("6", "a", true), deploy("7", "b", true)} << "7"
            << "a";
        QTest::newRow("empty") << QList<DeployInfo>{} << ""
                               << "";
    }
    void versionChoice()
    {
        QFETCH(QList<DeployInfo>, list);
        QFETCH(QString, version);
        QFETCH(QString, booted);
        QCOMPARE(deployVersionFromList(list), version);
        QCOMPARE(bootedDeployFromList(list), booted);
    }

    void deletable_data()
    {
        QTest::addColumn<DeployInfo>("d");
        QTest::addColumn<bool>("deletable");
        QTest::newRow("booted") << deploy("1", "a", true) << false;
        QTest::newRow("hidden") << deploy("1", "a", false, true) << false;
        QTest::newRow("no commit") << deploy("1", "", false) << false;
        QTest::newRow("plain") << deploy("1", "a", false) << true;
    }
    void deletable()
    {
        QFETCH(DeployInfo, d);
        QFETCH(bool, deletable);
        QCOMPARE(isDeployDeletable(d), deletable);
    }

    // A staged rollback is known by the rollback state that waits for it; a
    // newer version is an upgrade; anything else is not named.
    void stagedKinds_data()
    {
        QTest::addColumn<QList<DeployInfo>>("deploys");
        QTest::addColumn<QString>("stateCommit");
        QTest::addColumn<QString>("stateStatus");
        QTest::addColumn<int>("kind");
        const DeployInfo booted = deploy("25.1.2", "boot", true);
        const QList<DeployInfo> upgrade{deploy("25.1.10", "next", false, true), booted};
        const QList<DeployInfo> older{deploy("25.1.1", "next", false, true), booted};
        QTest::newRow("nothing staged") << QList<DeployInfo>{booted} << QString() << QString()
                                        << int(StagedKind::None);
        QTest::newRow("hidden but booted") << QList<DeployInfo>{deploy("25.1.3", "boot", true, true)} << "boot"
                                           << "pending" << int(StagedKind::None);
        QTest::newRow("rollback waiting for it") << older << "next" << "pending" << int(StagedKind::Rollback);
        QTest::newRow("rollback even to a newer version") << upgrade << "next" << "pending"
                                                          << int(StagedKind::Rollback);
        QTest::newRow("newer version, numerically") << upgrade << QString() << QString() << int(StagedKind::Upgrade);
        QTest::newRow("state of another deployment") << older << "other" << "pending" << int(StagedKind::Unknown);
        QTest::newRow("cancelled rollback") << older << "next" << "cancelled" << int(StagedKind::Unknown);
        QTest::newRow("no version") << QList<DeployInfo>{deploy("", "next", false, true), booted} << QString()
                                    << QString() << int(StagedKind::Unknown);
    }
    void stagedKinds()
    {
        QFETCH(QList<DeployInfo>, deploys);
        QFETCH(QString, stateCommit);
        QFETCH(QString, stateStatus);
        QFETCH(int, kind);
        RollbackState state;
        state.valid = !stateCommit.isEmpty();
        state.rollbackCommit = stateCommit;
        state.status = stateStatus;
        state.strategy = QStringLiteral("reboot3");
        QCOMPARE(int(stagedKind(deploys, state)), kind);
    }

    // The discard plan: the pending rollback it carries is cancelled first,
    // with the rest of its state kept, then the index goes, bound to its commit.
    void discardPlan_data()
    {
        QTest::addColumn<QJsonObject>("state");
        QTest::addColumn<bool>("cancels");
        const QJsonObject pending{{"rollback_commit", "next"}, {"status", "pending"},
                                  {"backup_snapshot_id", "b1"}, {"strategy", "reboot3"}};
        QJsonObject other = pending;
        other.insert("rollback_commit", "else");
        QJsonObject done = pending;
        done.insert("status", "done");
        QTest::newRow("pending rollback") << pending << true;
        QTest::newRow("rollback of another deployment") << other << false;
        QTest::newRow("finished rollback") << done << false;
        QTest::newRow("no state") << QJsonObject() << false;
    }
    void discardPlan()
    {
        QFETCH(QJsonObject, state);
        QFETCH(bool, cancels);
        DeployInfo staged = deploy("25.1.3", "next", false, true);
        staged.index = 3;
        const QJsonArray steps = discardStagedSteps(staged, state);
        QCOMPARE(steps.size(), cancels ? 2 : 1);
        QString why;
        QVERIFY2(Plan::validate(QJsonObject{{"steps", steps}}, &why), qPrintable(why));
        const QJsonObject undeploy = steps.last().toObject();
        QCOMPARE(undeploy.value("tool").toString(), QStringLiteral("ostree"));
        QCOMPARE(undeploy.value("args").toArray(), (QJsonArray{"admin", "undeploy", "3"}));
        QCOMPARE(undeploy.value("staged").toString(), QStringLiteral("next"));
        if (!cancels)
            return;
        QJsonObject expected = state;
        expected.insert("status", "cancelled");
        const QJsonObject write = steps.first().toObject();
        QCOMPARE(write.value("target").toString(), QStringLiteral("/var/lib/tavrin-manager/rollback-state.json"));
        QCOMPARE(QJsonDocument::fromJson(write.value("content").toString().toUtf8()).object(), expected);
    }

    void osVersion_data()
    {
        QTest::addColumn<QByteArray>("osVersion");
        QTest::addColumn<QByteArray>("zarnexVersion");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("edition");
        QTest::newRow("no files") << QByteArray() << QByteArray() << "Zarnex"
                                  << ""
                                  << "";
        QTest::newRow("plain") << QByteArray("SystemName=Zarnex OS\nVersion=25.1\nEditionName=Pro\n")
                               << QByteArray() << "Zarnex OS"
                               << "25.1"
                               << "Pro";
        QTest::newRow("a longer key ending in Version is not the version")
            << QByteArray("MajorVersion = 25\nSystemVersion=9\n  Version=25.1.3\n") << QByteArray()
            << "Zarnex"
            << "25.1.3"
            << "";
        QTest::newRow("key only at the start of a line")
            << QByteArray("# SystemName=Old Version=1\nSystemNameX=Y\nSystemName = Zarnex 25\n")
            << QByteArray() << "Zarnex 25"
            << ""
            << "";
        QTest::newRow("Chinese edition first")
            << QByteArray("EditionName[zh_CN]=专业版\nEditionName=Professional\n") << QByteArray() << "Zarnex"
            << ""
            << "专业版";
        QTest::newRow("later file overrides, keeps the rest")
            << QByteArray("SystemName=A\nVersion=1\nEditionName=E\n") << QByteArray("Version = 2 \n") << "A"
            << "2"
            << "E";
        QTest::newRow("a blank value does not count")
            << QByteArray("SystemName=  \nVersion=\t\nEditionName=\nSystemName=Zarnex 25\nVersion= 25.2 beta\n")
            << QByteArray() << "Zarnex 25"
            << "25.2"
            << "";
        QTest::newRow("CRLF lines, and only [zh_CN] may follow the edition's name")
            << QByteArray("EditionName[en]=Pro\r\nSystemName=Zarnex\r\nVersion=25.1\r\nEditionName=专业版 \r\n")
            << QByteArray() << "Zarnex"
            << "25.1"
            << "专业版";
        QTest::newRow("garbage") << QByteArray("\xff\xfe\x00garbage", 10) << QByteArray("=\n==") << "Zarnex"
                                 << ""
                                 << "";
    }
    void osVersion()
    {
        QFETCH(QByteArray, osVersion);
        QFETCH(QByteArray, zarnexVersion);
        QFETCH(QString, system);
        QFETCH(QString, version);
        QFETCH(QString, edition);
        if (!osVersion.isEmpty())
            SimRoot::writeFile(sim->path("/etc/os-version"), osVersion);
        if (!zarnexVersion.isEmpty())
            SimRoot::writeFile(sim->path("/etc/zarnex-version"), zarnexVersion);
        const QJsonObject o = getOsVersion();
        QCOMPARE(o.value("system").toString(), system);
        QCOMPARE(o.value("version").toString(), version);
        QCOMPARE(o.value("edition").toString(), edition);
        QCOMPARE(o.contains("version"), !version.isEmpty());
    }

    void repoSizes()
    {
        resetSizeCachesForTesting();
        SimRoot::writeFile(sim->path("/ostree/repo/objects"), QByteArray(5000, 'o'));
        SimRoot::writeFile(sim->path("/persistent/ostree/snapshot/s"), QByteArray(7000, 's'));
        const RepoSizes sizes = getRepoSizes();
        QVERIFY(sizes.systemRepo.complete() && sizes.snapshotDir.complete() && sizes.rootAvailable.complete());
        QVERIFY(sizes.systemRepo.bytes >= 5000);
        QVERIFY(sizes.snapshotDir.bytes >= 7000);
        QVERIFY(sizes.persistentRepo.bytes < sizes.systemRepo.bytes);
        QVERIFY(sizes.rootAvailable.bytes > 0);
        QCOMPARE(sim->calls("du").size(), 3);
        QCOMPARE(sim->calls("du").value(0).args, QStringList({"-sb", sim->path("/ostree/repo")}));
        QCOMPARE(runs.value(0).timeout, 60000);
        QVERIFY(!runs.value(0).elevate);
    }

private:
    struct Run
    {
        QString program;
        QStringList args;
        int timeout = 0;
        bool elevate = false;
    };
    std::unique_ptr<SimRoot> sim;
    QList<Run> runs;
};

TAVRIN_TEST_GUILESS_MAIN(TestDeployments)
#include "tst_deployments.moc"
