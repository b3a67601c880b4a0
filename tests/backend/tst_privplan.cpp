// The privileged helper's allow-list: the plan is refused whole, before
// anything is done, unless every step is a fixed target or command.

#include "backend/backend_p.h"
#include "backend/privplan.h"
#include "simroot.h"

#include <QJsonDocument>

using namespace Tavrin;
using Tavrin::Test::SimRoot;

namespace {

QJsonObject conf(const QString &content)
{
    return Plan::writeStep(QStringLiteral("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf"), content);
}

QJsonObject ctl(const QStringList &args)
{
    return Plan::runStep(QStringLiteral("ctl"), args, 1000);
}

QJsonObject ostree(const QStringList &args, const QJsonValue &staged = QStringLiteral("0123abcd"))
{
    QJsonObject step = Plan::runStep(QStringLiteral("ostree"), args, 1000);
    if (!staged.isUndefined())
        step.insert(QStringLiteral("staged"), staged);
    return step;
}

} // namespace

class TestPrivPlan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }
    void init() { sim.reset(new SimRoot); }
    void cleanup() { sim.reset(); }

    void validation_data()
    {
        QTest::addColumn<QJsonArray>("steps");
        QTest::addColumn<bool>("allowed");
        const QJsonObject good = conf(QStringLiteral("[global]\n"));
        QTest::newRow("configuration") << QJsonArray{good} << true;
        QTest::newRow("clean-up on a read-only /usr")
            << QJsonArray{Plan::writeStep("/var/lib/tavrin-manager/reboot-counter.sh", "#!/bin/sh\n"),
                          Plan::writeStep("/etc/systemd/system/tavrin-rollback-cleanup.timer", "[Timer]\n"),
                          Plan::runStep("systemctl", {"enable", "--now", "tavrin-rollback-cleanup.timer"}, 60000)}
            << true;
        QTest::newRow("rollback with backup")
            << QJsonArray{ctl({"snapshot", "create", "回滚前备份-1", "d"}), ctl({"snapshot", "rollback", "id1"})}
            << true;
        QTest::newRow("freeing space")
            << QJsonArray{ctl({"snapshot", "delete", "id2"}), ctl({"admin", "undeploy", "0123abcd"}),
                          ctl({"upgrade", "clean", "-a"})}
            << true;
        QTest::newRow("discarding the staged deployment")
            << QJsonArray{ostree({"admin", "undeploy", "0"})} << true;
        QTest::newRow("staged discard without its commit")
            << QJsonArray{ostree({"admin", "undeploy", "0"}, QJsonValue::Undefined)} << false;
        QTest::newRow("staged discard with an option as commit")
            << QJsonArray{ostree({"admin", "undeploy", "0"}, QStringLiteral("--force"))} << false;
        QTest::newRow("staged discard by commit") << QJsonArray{ostree({"admin", "undeploy", "0123abcd"})} << false;
        QTest::newRow("staged discard of a negative index") << QJsonArray{ostree({"admin", "undeploy", "-1"})} << false;
        QTest::newRow("another ostree command") << QJsonArray{ostree({"admin", "cleanup", "0"})} << false;
        QTest::newRow("ostree on a repository") << QJsonArray{ostree({"--repo=/ostree/repo", "prune", "x"})} << false;
        QTest::newRow("no steps") << QJsonArray{} << false;
        QTest::newRow("undeploy by an option") << QJsonArray{ctl({"admin", "undeploy", "--all"})} << false;
        QTest::newRow("undeploy of nothing") << QJsonArray{ctl({"admin", "undeploy", ""})} << false;
        QTest::newRow("undeploy of two") << QJsonArray{ctl({"admin", "undeploy", "a", "b"})} << false;
        QTest::newRow("another admin command") << QJsonArray{ctl({"admin", "status", "-j"})} << false;
        QTest::newRow("a partial cache clean") << QJsonArray{ctl({"upgrade", "clean", "-x"})} << false;
        QTest::newRow("a cache clean with more") << QJsonArray{ctl({"upgrade", "clean", "-a", "x"})} << false;
        QTest::newRow("an upgrade run") << QJsonArray{ctl({"upgrade", "check", "-j"})} << false;
        QTest::newRow("any other file") << QJsonArray{Plan::writeStep("/etc/shadow", "x")} << false;
        QTest::newRow("a path that only leads there")
            << QJsonArray{Plan::writeStep("/etc/zarnex-immutable-ctl/../shadow", "x")} << false;
        QTest::newRow("removing any other file") << QJsonArray{Plan::removeStep("/etc/passwd")} << false;
        QTest::newRow("a bad step after a good one") << QJsonArray{good, Plan::removeStep("/etc/passwd")} << false;
        QTest::newRow("another command of the tool") << QJsonArray{ctl({"upgrade"})} << false;
        QTest::newRow("an option as a name") << QJsonArray{ctl({"snapshot", "create", "--help", "d"})} << false;
        QTest::newRow("an option as an id") << QJsonArray{ctl({"snapshot", "delete", "-a"})} << false;
        QTest::newRow("another unit")
            << QJsonArray{Plan::runStep("systemctl", {"enable", "--now", "ssh.service"}, 1000)} << false;
        QTest::newRow("another tool") << QJsonArray{Plan::runStep("sh", {"-c", "id"}, 1000)} << false;
        QJsonObject noTimeout = ctl({"snapshot", "delete", "x"});
        noTimeout.remove("timeout");
        QTest::newRow("no time-out") << QJsonArray{noTimeout} << false;
        QJsonObject both = good;
        both.insert("json", QJsonObject{{"a", 1}});
        QTest::newRow("content and json") << QJsonArray{both} << false;
        QJsonObject fill{{"op", "write"},
                         {"target", "/var/lib/tavrin-manager/rollback-state.json"},
                         {"json", QJsonObject{}},
                         {"fill", QJsonObject{{"status", "staged_deployment"}}}};
        QTest::newRow("filling another key") << QJsonArray{fill} << false;
        QTest::newRow("unknown operation") << QJsonArray{QJsonObject{{"op", "chmod"}}} << false;
        QJsonArray many;
        for (int i = 0; i <= Plan::kMaxSteps; ++i)
            many.append(good);
        QTest::newRow("too many steps") << many << false;
    }
    void validation()
    {
        QFETCH(QJsonArray, steps);
        QFETCH(bool, allowed);
        QString why;
        QCOMPARE(Plan::validate(QJsonObject{{"steps", steps}}, &why), allowed);
        QCOMPARE(why.isEmpty(), allowed);
        if (allowed)
            return;
        // The helper itself refuses it and changes nothing, even its good steps.
        const QString path = sim->path("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf");
        SimRoot::writeFile(path, "old");
        QProcess helper;
        helper.start(helperPath(), {});
        QVERIFY(helper.waitForStarted());
        helper.write(QJsonDocument(QJsonObject{{"steps", steps}}).toJson());
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(helper.exitCode(), 2);
        const QJsonObject answer = QJsonDocument::fromJson(helper.readAllStandardOutput()).object();
        QVERIFY(answer.value("refused").toBool());
        QCOMPARE(SimRoot::readFile(path), QByteArray("old"));
        QVERIFY(sim->calls().isEmpty());
    }

    // Garbage on its input is refused as a whole.
    void garbagePlans_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("rm -rf /");
        QTest::newRow("an array") << QByteArray("[1,2]");
        QTest::newRow("too large") << QByteArray(Plan::kMaxPlanBytes + 16, ' ');
    }
    void garbagePlans()
    {
        QFETCH(QByteArray, input);
        QProcess helper;
        helper.start(helperPath(), {});
        QVERIFY(helper.waitForStarted());
        helper.write(input);
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(helper.exitCode(), 2);
    }

    // Outside a marked simulated system, a copy at the fixed inner path serves nothing.
    void unmarkedRootIsRefused()
    {
        QFile::remove(sim->path("/.zarnex-sim-root"));
        const CommandResult r = planResult(runPlan({conf("x")}, 1000));
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("is not a simulated system root"), qPrintable(r.error));
    }

private:
    std::unique_ptr<SimRoot> sim;
};

TAVRIN_TEST_GUILESS_MAIN(TestPrivPlan)
#include "tst_privplan.moc"
