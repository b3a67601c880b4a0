// Drives the simulated system's stand-ins as the program does: argument lists
// in, exit status, standard output and standard error out, against a fresh
// simulated root per test.

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

struct Run
{
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Walks "a/b/0/c" (negative indices count from the end) through a JSON value.
QJsonValue jsonAt(QJsonValue value, const QString &path)
{
    for (const QString &key : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (value.isArray()) {
            const QJsonArray array = value.toArray();
            bool ok = false;
            int index = key.toInt(&ok);
            if (!ok)
                return QJsonValue(QJsonValue::Undefined);
            if (index < 0)
                index += array.size();
            if (index < 0 || index >= array.size())
                return QJsonValue(QJsonValue::Undefined);
            value = array.at(index);
        } else if (value.isObject()) {
            const QJsonObject object = value.toObject();
            if (!object.contains(key))
                return QJsonValue(QJsonValue::Undefined);
            value = object.value(key);
        } else {
            return QJsonValue(QJsonValue::Undefined);
        }
    }
    return value;
}

QString typeName(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::String:
        return QStringLiteral("string");
    case QJsonValue::Double:
        return QStringLiteral("number");
    case QJsonValue::Bool:
        return QStringLiteral("bool");
    case QJsonValue::Array:
        return QStringLiteral("array");
    case QJsonValue::Object:
        return QStringLiteral("object");
    case QJsonValue::Null:
        return QStringLiteral("null");
    default:
        return QStringLiteral("missing");
    }
}

QString scalarText(const QJsonValue &v)
{
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.isDouble())
        return QString::number(v.toDouble(), 'f', 0);
    return v.toString();
}

// One expectation on a JSON answer; a "*" in the path applies the rest to
// every element of a non-empty array:
//   "path:type"   type ("string", "number", "bool", "array", "object")
//   "path#N"      array length
//   "path=value"  scalar equality, "path!=value" inequality, "path~regex" match
QString checkValue(const QJsonValue &top, const QString &path, const QString &op, const QString &arg)
{
    const int star = path.indexOf(QLatin1Char('*'));
    if (star >= 0) {
        const QJsonValue array = jsonAt(top, path.left(star));
        if (!array.isArray() || array.toArray().isEmpty())
            return QStringLiteral("%1 is not a non-empty array").arg(path.left(star));
        for (const QJsonValue &element : array.toArray()) {
            const QString problem = checkValue(element, path.mid(star + 1), op, arg);
            if (!problem.isEmpty())
                return path + QStringLiteral(": ") + problem;
        }
        return QString();
    }
    const QJsonValue v = jsonAt(top, path);
    if (op == QLatin1String(":")) {
        const QString t = typeName(v);
        return t == arg ? QString() : QStringLiteral("%1 is %2, want %3").arg(path, t, arg);
    }
    if (op == QLatin1String("#")) {
        const int size = v.isArray() ? v.toArray().size() : -1;
        return size == arg.toInt()
                   ? QString()
                   : QStringLiteral("%1 has %2 elements, want %3").arg(path).arg(size).arg(arg);
    }
    if (v.isUndefined() || v.isArray() || v.isObject())
        return QStringLiteral("%1 is %2, not a scalar").arg(path, typeName(v));
    const QString text = scalarText(v);
    if (op == QLatin1String("="))
        return text == arg ? QString() : QStringLiteral("%1 is '%2', want '%3'").arg(path, text, arg);
    if (op == QLatin1String("!="))
        return text != arg ? QString() : QStringLiteral("%1 is '%2'").arg(path, text);
    return QRegularExpression(arg).match(text).hasMatch()
               ? QString()
               : QStringLiteral("%1 '%2' !~ %3").arg(path, text, arg);
}

QString checkExpectation(const QJsonDocument &doc, const QString &expectation)
{
    static const QRegularExpression form(QStringLiteral("^([^:#=!~]+)(:|#|=|!=|~)(.*)$"));
    const QRegularExpressionMatch m = form.match(expectation);
    if (!m.hasMatch())
        return QStringLiteral("bad expectation ") + expectation;
    if (!doc.isObject())
        return QStringLiteral("the answer is not a JSON object");
    return checkValue(doc.object(), m.captured(1), m.captured(2), m.captured(3));
}

} // namespace

class TestSimSystem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readAnswersHaveDocumentedShape_data();
    void readAnswersHaveDocumentedShape();
    void changesTakeEffect_data();
    void changesTakeEffect();
    void initialSnapshotIsProtected_data();
    void initialSnapshotIsProtected();
    void undeployRefusals_data();
    void undeployRefusals();
    void unknownArgumentsGiveUsage_data();
    void unknownArgumentsGiveUsage();
    void helpAnywhereChangesNothing_data();
    void helpAnywhereChangesNothing();
    void unprivilegedChangeRefused_data();
    void unprivilegedChangeRefused();
    void rollbackRefusedWhileWritable();
    void upgradeStagesDeploymentOnce();
    void failedRollbackKeepsStagedDeployment();
    void ostreeAdminUndeploy_data();
    void ostreeAdminUndeploy();

    void elevationModes_data();
    void elevationModes();
    void elevationHangsUntilKilled();
    void elevationNeverRunsHostPrograms();
    void callLogRecordsPrivilege();
    void installAndRmStayInsideRoot_data();
    void installAndRmStayInsideRoot();
    void elevationResetsTheEnvironment();
    void rootedToolsServeTheirRoot();
    void systemctlUnits();

    void rebootAppliesPendingRollback();
    void rebootAppliesUpgradeAndPrunes();
    void rebootKeepsPermanentWritableLayer();
    void rebootRunsOnlyRootedCounterScript();

    void ostreeRefsAreRealCommits();
    void failureInjection_data();
    void failureInjection();
    void damagedStateIsReported_data();
    void damagedStateIsReported();
    void makeRootRefusesForeignDirectory();

private:
    Run run(const QString &program, const QStringList &args, const QStringList &env = {}) const;
    Run ctl(const QStringList &args, const QStringList &env = {}) const;
    Run writable(const QStringList &args, const QStringList &env = {}) const;
    QJsonDocument json(const Run &r) const;
    QJsonArray snapshots() const;
    QJsonArray deploys() const;
    QString expand(QString text) const;
    QStringList expand(const QStringList &list) const;
    QByteArray stateBytes() const;
    QStringList refs(const QString &kind) const;
    QString readFile(const QString &path) const;
    void writeFile(const QString &path, const QByteArray &data) const;

    QTemporaryDir templateDir;
    QString templateRoot;
    QScopedPointer<QTemporaryDir> work;
    QString root;
    QString simBin;
};

Run TestSimSystem::run(const QString &program, const QStringList &args, const QStringList &env) const
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char *var :
         {"TAVRIN_SIM_EUID", "SIM_PRIVILEGED", "SIM_SUDO", "SIM_PKEXEC", "SIM_CTL_FAIL", "SIM_CTL_GARBAGE",
          "SIM_CTL_HANG", "SIM_CTL_DELAY", "SIM_WRITABLE_FAIL", "SIM_WRITABLE_GARBAGE", "SIM_WRITABLE_HANG",
          "SIM_INSTALL_FAIL", "SIM_INSTALL_CUT", "SIM_SYSTEMCTL_FAIL", "SIM_OSTREE_FAIL"})
        e.remove(QString::fromLatin1(var));
    e.insert(QStringLiteral("PATH"), simBin + QLatin1Char(':') + e.value(QStringLiteral("PATH")));
    e.insert(QStringLiteral("TAVRIN_SYSROOT"), root);
    for (const QString &kv : env) {
        const int eq = kv.indexOf(QLatin1Char('='));
        if (eq < 0 || eq == kv.size() - 1)
            e.remove(kv.left(eq));
        else
            e.insert(kv.left(eq), kv.mid(eq + 1));
    }
    QProcess p;
    p.setProcessEnvironment(e);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    r.finished = p.waitForFinished(120000);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run TestSimSystem::ctl(const QStringList &args, const QStringList &env) const
{
    return run(root + QStringLiteral("/usr/sbin/zarnex-immutable-ctl"), args, env);
}

Run TestSimSystem::writable(const QStringList &args, const QStringList &env) const
{
    return run(root + QStringLiteral("/usr/bin/zarnex-immutable-writable"), args, env);
}

QJsonDocument TestSimSystem::json(const Run &r) const
{
    return QJsonDocument::fromJson(r.out.toUtf8());
}

QJsonArray TestSimSystem::snapshots() const
{
    return json(ctl({"snapshot", "list", "-j"}))
        .object()
        .value("data")
        .toObject()
        .value("snapshot_list")
        .toArray();
}

QJsonArray TestSimSystem::deploys() const
{
    return json(ctl({"admin", "status", "-j"}))
        .object()
        .value("data")
        .toObject()
        .value("deploy_list")
        .toArray();
}

// Placeholders for values that only exist in a built root.
QString TestSimSystem::expand(QString text) const
{
    text.replace("%ROOT%", root);
    text.replace("%OUT%", work->path() + QStringLiteral("/outside"));
    if (text.contains("%INITIAL%") || text.contains("%SNAP")) {
        const QJsonArray snaps = snapshots();
        text.replace("%INITIAL%", snaps.at(0).toObject().value("id").toString());
        text.replace("%SNAPNAME%", snaps.at(1).toObject().value("name").toString());
        text.replace("%SNAP%", snaps.at(1).toObject().value("id").toString());
    }
    if (!text.contains(QLatin1Char('%')))
        return text;
    const QJsonArray deps = deploys();
    auto deployWhere = [&](const char *key) {
        for (const QJsonValue &d : deps)
            if (d.toObject().value(QLatin1String(key)).toBool())
                return d.toObject().value("CommitIDIdx").toString();
        return QString();
    };
    QString history;
    for (const QJsonValue &d : deps) {
        const QJsonObject o = d.toObject();
        if (!o.value("IsBooted").toBool() && !o.value("Hidden").toBool() &&
            !o.value("IsRollbackBackup").toBool())
            history = o.value("CommitIDIdx").toString();
    }
    text.replace("%BOOTED%", deployWhere("IsBooted"));
    text.replace("%PENDING%", deployWhere("Hidden"));
    text.replace("%BACKUP%", deployWhere("IsRollbackBackup"));
    text.replace("%HISTORY%", history);
    return text;
}

QStringList TestSimSystem::expand(const QStringList &list) const
{
    QStringList result;
    for (const QString &s : list)
        result << expand(s);
    return result;
}

QByteArray TestSimSystem::stateBytes() const
{
    QFile f(root + QStringLiteral("/var/lib/zarnex-sim/state.json"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList TestSimSystem::refs(const QString &kind) const
{
    return QDir(root + QStringLiteral("/ostree/repo/refs/heads/") + kind).entryList(QDir::Files, QDir::Name);
}

QString TestSimSystem::readFile(const QString &path) const
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void TestSimSystem::writeFile(const QString &path, const QByteArray &data) const
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
    f.close();
}

void TestSimSystem::initTestCase()
{
    QVERIFY(templateDir.isValid());
    simBin = Tavrin::Test::sourcePath(QStringLiteral("sim/bin"));
    templateRoot = templateDir.path() + QStringLiteral("/root");
    QProcess p;
    p.start(Tavrin::Test::sourcePath(QStringLiteral("sim/make-root.sh")),
            {templateRoot, "--files", "40", "--snapshots", "4"});
    QVERIFY(p.waitForFinished(300000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

void TestSimSystem::init()
{
    work.reset(new QTemporaryDir);
    QVERIFY(work->isValid());
    root = work->path() + QStringLiteral("/root");
    QProcess cp;
    cp.start(QStringLiteral("/bin/cp"), {"-a", templateRoot, root});
    QVERIFY(cp.waitForFinished(60000));
    QCOMPARE(cp.exitCode(), 0);
    QVERIFY(QDir().mkpath(work->path() + QStringLiteral("/outside")));
}

void TestSimSystem::cleanup()
{
    work.reset();
}

void TestSimSystem::readAnswersHaveDocumentedShape_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("writableTool");
    QTest::addColumn<QStringList>("expect");
    QTest::addColumn<QString>("textPattern");

    QTest::newRow("immutable mode") << QStringList{"-s"} << false << QStringList{}
                                    << "Immutable mode:\\s*true";
    QTest::newRow("snapshot list") << QStringList{"snapshot", "list", "-j"} << false
                                   << QStringList{"code=0",
                                                  "data/snapshot_list#4",
                                                  "data/snapshot_list/*/id:string",
                                                  "data/snapshot_list/*/id~^[0-9a-f]{13,}$",
                                                  "data/snapshot_list/*/name:string",
                                                  "data/snapshot_list/*/desc:string",
                                                  "data/snapshot_list/*/time:number",
                                                  "data/snapshot_list/0/name~First",
                                                  "data/snapshot_list/0/desc=System initialization"}
                                   << QString();
    QTest::newRow("snapshot show") << QStringList{"snapshot", "show", "%INITIAL%", "-j"} << false
                                   << QStringList{"data/id=%INITIAL%", "data/name:string", "data/desc:string",
                                                  "data/time:number"}
                                   << QString();
    QTest::newRow("admin status") << QStringList{"admin", "status", "-j"} << false
                                  << QStringList{"data/deploy_list#3",
                                                 "data/deploy_list/*/SystemVersion:string",
                                                 "data/deploy_list/*/CommitIDIdx~^[0-9a-f]{64}$",
                                                 "data/deploy_list/*/Time:number",
                                                 "data/deploy_list/*/IsBooted:bool",
                                                 "data/deploy_list/*/IsRollbackBackup:bool",
                                                 "data/deploy_list/*/Index:number",
                                                 "data/deploy_list/*/Hidden:bool",
                                                 "data/deploy_list/0/IsBooted=true",
                                                 "data/deploy_list/1/IsRollbackBackup=true",
                                                 "data/deploy_list/2/Index=2"}
                                  << QString();
    QTest::newRow("upgrade check json") << QStringList{"upgrade", "check", "-j"} << false
                                        << QStringList{"data/total=3", "data/need_download=2"} << QString();
    QTest::newRow("upgrade check text") << QStringList{"upgrade", "check"} << false << QStringList{}
                                        << "Total count: 3, Need download count: 2";
    QTest::newRow("writable status") << QStringList{"status", "-j"} << true
                                     << QStringList{"data/conf/enable=false",
                                                    "data/conf/clearAfterReboot=false"}
                                     << QString();
}

void TestSimSystem::readAnswersHaveDocumentedShape()
{
    QFETCH(QStringList, args);
    QFETCH(bool, writableTool);
    QFETCH(QStringList, expect);
    QFETCH(QString, textPattern);

    const QStringList a = expand(args);
    const Run r = writableTool ? writable(a) : ctl(a);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    if (!textPattern.isEmpty())
        QVERIFY2(QRegularExpression(textPattern).match(r.out).hasMatch(), qPrintable(r.out));
    if (expect.isEmpty())
        return;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError && doc.isObject(), qPrintable(r.out));
    for (const QString &e : expand(expect)) {
        const QString problem = checkExpectation(doc, e);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
}

void TestSimSystem::changesTakeEffect_data()
{
    QTest::addColumn<bool>("writableTool");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("query");
    QTest::addColumn<QStringList>("expect");

    const QStringList list{"snapshot", "list", "-j"};
    const QStringList status{"admin", "status", "-j"};
    QTest::newRow("create named") << false << QStringList{"snapshot", "create", "nightly", "before work"}
                                  << list
                                  << QStringList{"data/snapshot_list#5", "data/snapshot_list/-1/name=nightly",
                                                 "data/snapshot_list/-1/desc=before work"};
    QTest::newRow("create with description only")
        << false << QStringList{"snapshot", "create", "only a description"} << list
        << QStringList{"data/snapshot_list#5", "data/snapshot_list/-1/desc=only a description",
                       "data/snapshot_list/-1/name~\\S"};
    QTest::newRow("create with empty description")
        << false << QStringList{"snapshot", "create", "named", ""} << list
        << QStringList{"data/snapshot_list/-1/name=named", "data/snapshot_list/-1/desc="};
    QTest::newRow("text after a double dash")
        << false << QStringList{"snapshot", "create", "--", "-odd", "-d"} << list
        << QStringList{"data/snapshot_list/-1/name=-odd", "data/snapshot_list/-1/desc=-d"};
    QTest::newRow("modify name and description")
        << false << QStringList{"snapshot", "modify", "%SNAP%", "renamed", "new text"} << list
        << QStringList{"data/snapshot_list/1/name=renamed", "data/snapshot_list/1/desc=new text"};
    QTest::newRow("modify description keeps name")
        << false << QStringList{"snapshot", "modify", "%SNAP%", "new text"} << list
        << QStringList{"data/snapshot_list/1/name=%SNAPNAME%", "data/snapshot_list/1/desc=new text"};
    QTest::newRow("delete") << false << QStringList{"snapshot", "delete", "%SNAP%"} << list
                            << QStringList{"data/snapshot_list#3", "data/snapshot_list/1/id!=%SNAP%"};
    QTest::newRow("rollback stages hidden deployment")
        << false << QStringList{"snapshot", "rollback", "%SNAP%"} << status
        << QStringList{"data/deploy_list#4", "data/deploy_list/0/Hidden=true",
                       "data/deploy_list/0/IsBooted=false", "data/deploy_list/1/IsBooted=true"};
    QTest::newRow("rollback deleting others keeps initial and target")
        << false << QStringList{"snapshot", "rollback", "%SNAP%", "--delete-others"} << list
        << QStringList{"data/snapshot_list#2", "data/snapshot_list/0/id=%INITIAL%",
                       "data/snapshot_list/1/id=%SNAP%"};
    QTest::newRow("undeploy by index")
        << false << QStringList{"admin", "undeploy", "2"} << status
        << QStringList{"data/deploy_list#2", "data/deploy_list/1/IsRollbackBackup=true"};
    QTest::newRow("undeploy by commit")
        << false << QStringList{"admin", "undeploy", "%BACKUP%"} << status
        << QStringList{"data/deploy_list#2", "data/deploy_list/1/CommitIDIdx!=%BACKUP%"};
    QTest::newRow("upgrade") << false << QStringList{"upgrade"} << status
                             << QStringList{"data/deploy_list#4", "data/deploy_list/0/Hidden=true",
                                            "data/deploy_list/0/SystemVersion=25.1.3"};
    QTest::newRow("upgrade clean") << false << QStringList{"upgrade", "clean"} << status
                                   << QStringList{"data/deploy_list#3"};
    QTest::newRow("writable enable all, clear after reboot")
        << true << QStringList{"enable", "-a", "-c", "-y"} << QStringList{"status", "-j"}
        << QStringList{"data/conf/enable=true", "data/conf/clearAfterReboot=true"};
    QTest::newRow("writable enable permanently")
        << true << QStringList{"enable", "-y"} << QStringList{"status", "-j"}
        << QStringList{"data/conf/enable=true", "data/conf/clearAfterReboot=false"};
    QTest::newRow("writable disable") << true << QStringList{"disable", "-y"} << QStringList{"status", "-j"}
                                      << QStringList{"data/conf/enable=false"};
}

void TestSimSystem::changesTakeEffect()
{
    QFETCH(bool, writableTool);
    QFETCH(QStringList, args);
    QFETCH(QStringList, query);
    QFETCH(QStringList, expect);

    // Expanded before the change: the placeholders name the state it starts from.
    const QStringList expected = expand(expect);
    const QStringList a = expand(args);
    const Run r = writableTool ? writable(a) : ctl(a);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const Run q = writableTool ? writable(query) : ctl(query);
    QCOMPARE(q.exitCode, 0);
    const QJsonDocument doc = json(q);
    for (const QString &e : expected) {
        const QString problem = checkExpectation(doc, e);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
}

void TestSimSystem::initialSnapshotIsProtected_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("delete") << QStringList{"snapshot", "delete", "%INITIAL%"};
    QTest::newRow("modify name and description") << QStringList{"snapshot", "modify", "%INITIAL%", "x", "y"};
    QTest::newRow("modify description") << QStringList{"snapshot", "modify", "%INITIAL%", "y"};
}

void TestSimSystem::initialSnapshotIsProtected()
{
    QFETCH(QStringList, args);
    const QByteArray before = stateBytes();
    const QStringList refsBefore = refs("snapshot");
    const Run r = ctl(expand(args));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("protected"), qPrintable(r.err));
    QCOMPARE(stateBytes(), before);
    QCOMPARE(refs("snapshot"), refsBefore);
}

void TestSimSystem::undeployRefusals_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("message");
    QTest::newRow("booted") << "%BOOTED%"
                            << "current deployment";
    QTest::newRow("booted by index") << "1"
                                     << "current deployment";
    QTest::newRow("pending") << "%PENDING%"
                             << "replacement mainline";
    QTest::newRow("pending by index") << "0"
                                      << "replacement mainline";
    QTest::newRow("unknown commit") << QString(64, QLatin1Char('a')) << "no such deployment";
    QTest::newRow("index out of range") << "17"
                                        << "no such deployment";
}

void TestSimSystem::undeployRefusals()
{
    QFETCH(QString, id);
    QFETCH(QString, message);
    QCOMPARE(ctl(expand(QStringList{"snapshot", "rollback", "%SNAP%"})).exitCode, 0);
    const int count = deploys().size();
    const Run r = ctl({"admin", "undeploy", expand(id)});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(deploys().size(), count);
    QCOMPARE(refs("deployment").size(), count);
}

void TestSimSystem::unknownArgumentsGiveUsage_data()
{
    QTest::addColumn<bool>("writableTool");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no arguments") << false << QStringList{};
    QTest::newRow("unknown command") << false << QStringList{"frobnicate"};
    QTest::newRow("unknown snapshot command") << false << QStringList{"snapshot", "explode", "x"};
    QTest::newRow("show without id") << false << QStringList{"snapshot", "show", "-j"};
    QTest::newRow("rollback with stray flag") << false << QStringList{"snapshot", "rollback", "x", "--force"};
    QTest::newRow("clean with unknown flag") << false << QStringList{"upgrade", "clean", "-z"};
    QTest::newRow("writable unknown option") << true << QStringList{"enable", "-q", "-y"};
    QTest::newRow("writable unknown command") << true << QStringList{"toggle"};
    // Options are options wherever they stand, as a real parser reads them.
    QTest::newRow("name that looks like an option") << false << QStringList{"snapshot", "create", "-d", "x"};
    QTest::newRow("description that looks like an option")
        << false << QStringList{"snapshot", "create", "odd", "-j"};
    QTest::newRow("option among the positionals") << false << QStringList{"snapshot", "delete", "-f", "x"};
}

void TestSimSystem::helpAnywhereChangesNothing_data()
{
    QTest::addColumn<bool>("writableTool");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("create named --help") << false << QStringList{"snapshot", "create", "--help", "d"};
    QTest::newRow("modify to -h") << false << QStringList{"snapshot", "modify", "%SNAP%", "-h", "d"};
    QTest::newRow("writable enable --help") << true << QStringList{"enable", "-y", "--help"};
}

// The trap a real tool sets: "--help" as a snapshot name succeeds and does nothing.
void TestSimSystem::helpAnywhereChangesNothing()
{
    QFETCH(bool, writableTool);
    QFETCH(QStringList, args);
    const QByteArray before = stateBytes();
    const Run r = writableTool ? writable(expand(args), {"TAVRIN_SIM_EUID=0"})
                               : ctl(expand(args), {"TAVRIN_SIM_EUID=0"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains("usage:"), qPrintable(r.out));
    QCOMPARE(stateBytes(), before);
}

void TestSimSystem::unknownArgumentsGiveUsage()
{
    QFETCH(bool, writableTool);
    QFETCH(QStringList, args);
    const QByteArray before = stateBytes();
    const Run r = writableTool ? writable(args) : ctl(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("usage:"), qPrintable(r.err));
    QCOMPARE(stateBytes(), before);
}

void TestSimSystem::unprivilegedChangeRefused_data()
{
    QTest::addColumn<bool>("writableTool");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("create") << false << QStringList{"snapshot", "create", "n", "d"};
    QTest::newRow("modify") << false << QStringList{"snapshot", "modify", "%SNAP%", "n", "d"};
    QTest::newRow("delete") << false << QStringList{"snapshot", "delete", "%SNAP%"};
    QTest::newRow("rollback") << false << QStringList{"snapshot", "rollback", "%SNAP%"};
    QTest::newRow("undeploy") << false << QStringList{"admin", "undeploy", "%HISTORY%"};
    QTest::newRow("upgrade check") << false << QStringList{"upgrade", "check", "-j"};
    QTest::newRow("upgrade") << false << QStringList{"upgrade"};
    QTest::newRow("upgrade clean all") << false << QStringList{"upgrade", "clean", "-a"};
    QTest::newRow("writable enable") << true << QStringList{"enable", "-a", "-c", "-y"};
    QTest::newRow("writable disable") << true << QStringList{"disable", "-y"};
}

void TestSimSystem::unprivilegedChangeRefused()
{
    QFETCH(bool, writableTool);
    QFETCH(QStringList, args);
    const QStringList a = expand(args);
    const QStringList user{"TAVRIN_SIM_EUID=1000"};
    const QByteArray before = stateBytes();
    const QStringList refsBefore = refs("snapshot") + refs("deployment");

    const Run refused = writableTool ? writable(a, user) : ctl(a, user);
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains("permission denied, root privileges required"), qPrintable(refused.err));
    QCOMPARE(stateBytes(), before);
    QCOMPARE(refs("snapshot") + refs("deployment"), refsBefore);

    // The same call through sudo is granted.
    const QString tool =
        root + (writableTool ? "/usr/bin/zarnex-immutable-writable" : "/usr/sbin/zarnex-immutable-ctl");
    const Run granted = run(simBin + "/sudo", QStringList{"-n", tool} + a, user);
    QVERIFY2(granted.exitCode == 0, qPrintable(granted.err));
}

void TestSimSystem::rollbackRefusedWhileWritable()
{
    QCOMPARE(writable({"enable", "-a", "-c", "-y"}).exitCode, 0);
    const Run r = ctl(expand(QStringList{"snapshot", "rollback", "%SNAP%"}));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("writable layer"), qPrintable(r.err));
    QCOMPARE(deploys().size(), 3);
    QCOMPARE(ctl({"-s"}).out.contains("Immutable mode: false"), true);

    QCOMPARE(writable({"disable", "-y"}).exitCode, 0);
    QCOMPARE(ctl(expand(QStringList{"snapshot", "rollback", "%SNAP%"})).exitCode, 0);
    QCOMPARE(deploys().size(), 4);
}

void TestSimSystem::upgradeStagesDeploymentOnce()
{
    QCOMPARE(ctl({"upgrade"}).exitCode, 0);
    const Run check = ctl({"upgrade", "check", "-j"});
    QCOMPARE(checkExpectation(json(check), "data/total=0"), QString());
    QCOMPARE(checkExpectation(json(check), "data/need_download=0"), QString());
    // Nothing left to apply: no second pending deployment.
    QCOMPARE(ctl({"upgrade"}).exitCode, 0);
    QCOMPARE(deploys().size(), 4);
    // A rollback replaces the pending upgrade instead of stacking a second one.
    QCOMPARE(ctl(expand(QStringList{"snapshot", "rollback", "%SNAP%"})).exitCode, 0);
    int hidden = 0;
    for (const QJsonValue &d : deploys())
        hidden += d.toObject().value("Hidden").toBool() ? 1 : 0;
    QCOMPARE(hidden, 1);
    QCOMPARE(refs("deployment").size(), 4);
}

// "ostree admin undeploy INDEX" in a root acts on the simulated deployments:
// it drops the staged one (the only deployment the control tool keeps), and
// refuses the booted one, an index out of range and an unprivileged caller.
void TestSimSystem::ostreeAdminUndeploy_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QString>("refusal"); // empty: removed
    QTest::newRow("staged") << "0" << QStringList{} << QString();
    QTest::newRow("booted") << "1" << QStringList{} << "Cannot undeploy currently booted deployment";
    QTest::newRow("out of range") << "9" << QStringList{} << "Out of range deployment index 9";
    QTest::newRow("not a number") << "0x1" << QStringList{} << "usage: ostree admin undeploy INDEX";
    QTest::newRow("unprivileged") << "0" << QStringList{"TAVRIN_SIM_EUID=1000"} << "Permission denied";
    QTest::newRow("injected failure") << "0" << QStringList{"SIM_OSTREE_FAIL=admin undeploy"}
                                      << "simulated failure";
}

void TestSimSystem::ostreeAdminUndeploy()
{
    QFETCH(QString, index);
    QFETCH(QStringList, env);
    QFETCH(QString, refusal);
    QCOMPARE(ctl({"upgrade"}).exitCode, 0);
    const QString staged = expand(QStringLiteral("%PENDING%"));
    const QString booted = expand(QStringLiteral("%BOOTED%"));
    QCOMPARE(deploys().at(0).toObject().value("CommitIDIdx").toString(), staged);
    const QByteArray before = stateBytes();
    const QStringList refsBefore = refs("deployment");

    const Run r = run(root + QStringLiteral("/usr/bin/ostree"), {"admin", "undeploy", index}, env);
    QVERIFY(r.finished);
    if (!refusal.isEmpty()) {
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(refusal) && !r.err.contains("Traceback"), qPrintable(r.err));
        QCOMPARE(stateBytes(), before);
        QCOMPARE(refs("deployment"), refsBefore);
        return;
    }
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(refs("deployment").size(), refsBefore.size() - 1);
    for (const QJsonValue &d : deploys()) {
        QVERIFY(d.toObject().value("CommitIDIdx").toString() != staged);
        QVERIFY(!d.toObject().value("Hidden").toBool());
    }
    QCOMPARE(expand(QStringLiteral("%BOOTED%")), booted);
    // Every other ostree command still reaches the real ostree.
    const Run listed = run(root + QStringLiteral("/usr/bin/ostree"),
                           {QStringLiteral("--repo=") + root + QStringLiteral("/ostree/repo"), "refs"});
    QCOMPARE(listed.exitCode, 0);
    QVERIFY2(listed.out.contains("base/25.1.0"), qPrintable(listed.out));
    QCOMPARE(listed.out.count(QStringLiteral("deployment/")), refsBefore.size() - 1);
}

void TestSimSystem::failedRollbackKeepsStagedDeployment()
{
    QCOMPARE(ctl({"upgrade"}).exitCode, 0);
    const QString pending = expand(QStringLiteral("%PENDING%"));
    const QString snap = expand(QStringLiteral("%SNAP%"));
    // The snapshot's commit is gone from the repository: the rollback cannot be built.
    QVERIFY(QFile::remove(root + "/ostree/repo/refs/heads/snapshot/" + snap));
    const QByteArray before = stateBytes();
    const Run r = ctl({"snapshot", "rollback", snap});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith("zarnex-immutable-ctl: ") && !r.err.contains("Traceback"), qPrintable(r.err));
    QCOMPARE(stateBytes(), before);
    QCOMPARE(expand(QStringLiteral("%PENDING%")), pending);
    QCOMPARE(refs("deployment").size(), 4);
}

void TestSimSystem::elevationModes_data()
{
    QTest::addColumn<QString>("elevator");
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrText");
    QTest::addColumn<bool>("ran");

    QTest::newRow("sudo default grants") << "sudo" << QStringList{} << 0 << QString() << true;
    QTest::newRow("sudo grant") << "sudo" << QStringList{"SIM_SUDO=grant"} << 0 << QString() << true;
    QTest::newRow("sudo password") << "sudo" << QStringList{"SIM_SUDO=password"} << 1
                                   << "sudo: a password is required" << false;
    QTest::newRow("sudo deny") << "sudo" << QStringList{"SIM_SUDO=deny"} << 1
                               << "sudo: user is not allowed to execute this command" << false;
    QTest::newRow("pkexec default grants") << "pkexec" << QStringList{} << 0 << QString() << true;
    QTest::newRow("pkexec dismiss") << "pkexec" << QStringList{"SIM_PKEXEC=dismiss"} << 126
                                    << "Error executing command as another user: Request dismissed" << false;
    QTest::newRow("pkexec deny") << "pkexec" << QStringList{"SIM_PKEXEC=deny"} << 127
                                 << "Error executing command as another user: Not authorized" << false;
    QTest::newRow("pkexec ignores sudo mode")
        << "pkexec" << QStringList{"SIM_SUDO=password"} << 0 << QString() << true;
}

void TestSimSystem::elevationModes()
{
    QFETCH(QString, elevator);
    QFETCH(QStringList, env);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrText);
    QFETCH(bool, ran);

    QStringList args;
    if (elevator == QLatin1String("sudo"))
        args << "-n";
    args << root + "/usr/sbin/zarnex-immutable-ctl"
         << "snapshot"
         << "create"
         << "elevated"
         << "";
    const Run r = run(simBin + "/" + elevator, args, env + QStringList{"TAVRIN_SIM_EUID=1000"});
    QCOMPARE(r.exitCode, exitCode);
    if (!stderrText.isEmpty())
        QCOMPARE(r.err.trimmed(), stderrText);
    if (elevator == QLatin1String("sudo") && exitCode != 0 && !env.contains("SIM_SUDO=password"))
        QVERIFY(!r.err.contains("password", Qt::CaseInsensitive));
    QCOMPARE(snapshots().size(), ran ? 5 : 4);
}

void TestSimSystem::elevationHangsUntilKilled()
{
    for (const QString &elevator : {QStringLiteral("sudo"), QStringLiteral("pkexec")}) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("TAVRIN_SYSROOT", root);
        e.insert(elevator == "sudo" ? "SIM_SUDO" : "SIM_PKEXEC", "hang");
        QProcess p;
        p.setProcessEnvironment(e);
        p.start(simBin + "/" + elevator, {root + "/usr/sbin/zarnex-immutable-ctl", "upgrade"});
        QVERIFY(p.waitForStarted(10000));
        QVERIFY(!p.waitForFinished(300));
        p.kill();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(deploys().size(), 3);
    }
}

void TestSimSystem::elevationNeverRunsHostPrograms()
{
    const QString flag = work->path() + "/outside/flag";
    // A host program with privileges is refused even with a valid root.
    Run r = run(simBin + "/sudo", {"-n", "/usr/bin/touch", flag});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(!QFileInfo::exists(flag));
    r = run(simBin + "/pkexec", {"/usr/bin/touch", flag});
    QVERIFY(r.exitCode != 0);
    QVERIFY(!QFileInfo::exists(flag));
    // Wrapping it in nice/ionice does not get it through either.
    r = run(simBin + "/sudo", {"-n", "nice", "-n", "19", "ionice", "-c3", "touch", flag});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(!QFileInfo::exists(flag));

    // Without a simulated root nothing runs at all; a directory that is not one
    // of ours does not count as a root.
    const QString ctlPath = root + "/usr/sbin/zarnex-immutable-ctl";
    for (const QString &sysroot : {QString(), work->path() + "/outside", QStringLiteral("/")}) {
        r = run(simBin + "/sudo", {"-n", ctlPath, "snapshot", "create", "x", "y"},
                {"TAVRIN_SYSROOT=" + sysroot, "TAVRIN_SIM_EUID=1000"});
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.err.contains("TAVRIN_SYSROOT") || r.err.contains("not a simulated system root"),
                 qPrintable(r.err));
    }
    QCOMPARE(snapshots().size(), 4);

    // The read-only disk scan through nice/ionice/du is allowed.
    r = run(simBin + "/sudo", {"-n", "nice", "-n", "19", "ionice", "-c3", "du", "-sb", root + "/run"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains(root + "/run"));
}

void TestSimSystem::callLogRecordsPrivilege()
{
    const QString log = root + "/var/log/zarnex-sim/calls.jsonl";
    QFile::remove(log);
    QCOMPARE(run(simBin + "/sudo", {"-n", root + "/usr/sbin/zarnex-immutable-ctl", "upgrade", "clean", "-a"},
                 {"TAVRIN_SIM_EUID=1000"})
                 .exitCode,
             0);
    const QStringList lines = readFile(log).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QJsonObject sudo = QJsonDocument::fromJson(lines.at(0).toUtf8()).object();
    const QJsonObject tool = QJsonDocument::fromJson(lines.at(1).toUtf8()).object();
    QCOMPARE(sudo.value("argv").toArray().first().toString(), QStringLiteral("sudo"));
    QCOMPARE(sudo.value("privileged").toBool(), false);
    QCOMPARE(tool.value("privileged").toBool(), true);
    QStringList argv;
    for (const QJsonValue &v : tool.value("argv").toArray())
        argv << v.toString();
    QCOMPARE(argv, (QStringList{"zarnex-immutable-ctl", "upgrade", "clean", "-a"}));
}

void TestSimSystem::installAndRmStayInsideRoot_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("privileged");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrText");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("exists");

    const QString state = "%ROOT%/var/lib/tavrin-manager/rollback-state.json";
    QTest::newRow("install as root") << "install"
                                     << QStringList{"-o", "root", "-g", "root", "-m", "0644", "%SRC%", state}
                                     << true << 0 << QString() << state << true;
    QTest::newRow("install unprivileged")
        << "install" << QStringList{"-o", "root", "-g", "root", "-m", "0644", "%SRC%", state} << false << 1
        << "install: cannot create regular file '" + state + "': Permission denied" << state << false;
    QTest::newRow("install outside root") << "install" << QStringList{"-m", "0644", "%SRC%", "%OUT%/copy"}
                                          << true << 1 << "outside the simulated system root"
                                          << "%OUT%/copy" << false;
    QTest::newRow("install escaping with ..")
        << "install" << QStringList{"-m", "0644", "%SRC%", "%ROOT%/../outside/esc"} << true << 1
        << "outside the simulated system root"
        << "%OUT%/esc" << false;
    QTest::newRow("install into missing directory")
        << "install" << QStringList{"-m", "0644", "%SRC%", "%ROOT%/var/lib/nowhere/x"} << true << 1
        << "No such file or directory"
        << "%ROOT%/var/lib/nowhere/x" << false;
    QTest::newRow("install failure injected for one destination")
        << "install"
        << QStringList{"-m", "0755", "%SRC%", "%ROOT%/usr/libexec/tavrin-manager/reboot-counter.sh"} << true
        << 1 << "Read-only file system"
        << "%ROOT%/usr/libexec/tavrin-manager/reboot-counter.sh" << false;
    QTest::newRow("install failure injected elsewhere")
        << "install" << QStringList{"-m", "0644", "%SRC%", state} << true << 0 << QString() << state << true;
    QTest::newRow("rm as root") << "rm" << QStringList{"-f", "%ROOT%/etc/os-version"} << true << 0
                                << QString() << "%ROOT%/etc/os-version" << false;
    QTest::newRow("rm unprivileged") << "rm" << QStringList{"-f", "%ROOT%/etc/os-version"} << false << 1
                                     << "Permission denied"
                                     << "%ROOT%/etc/os-version" << true;
    QTest::newRow("rm outside root") << "rm" << QStringList{"-f", "%OUT%/keep"} << true << 1
                                     << "outside the simulated system root"
                                     << "%OUT%/keep" << true;
    QTest::newRow("rm mixed refuses all")
        << "rm" << QStringList{"-f", "%ROOT%/etc/os-version", "%OUT%/keep"} << true << 1 << "outside"
        << "%ROOT%/etc/os-version" << true;
    QTest::newRow("rm missing with -f")
        << "rm" << QStringList{"-f", "%ROOT%/var/lib/tavrin-manager/none"} << true << 0 << QString()
        << "%ROOT%/var/lib/tavrin-manager/none" << false;
    QTest::newRow("rm the root itself") << "rm" << QStringList{"-rf", "%ROOT%"} << true << 1 << "outside"
                                        << "%ROOT%" << true;
    QTest::newRow("mv as root") << "mv" << QStringList{"-f", "-T", "%ROOT%/etc/os-version", state} << true
                                << 0 << QString() << state << true;
    QTest::newRow("mv unprivileged") << "mv" << QStringList{"-f", "-T", "%ROOT%/etc/os-version", state}
                                     << false << 1 << "Permission denied" << state << false;
    QTest::newRow("mv out of the root")
        << "mv" << QStringList{"-f", "-T", "%ROOT%/etc/os-version", "%OUT%/x"} << true << 1 << "outside"
        << "%OUT%/x" << false;
}

void TestSimSystem::installAndRmStayInsideRoot()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, args);
    QFETCH(bool, privileged);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrText);
    QFETCH(QString, path);
    QFETCH(bool, exists);

    const QString src = work->path() + "/outside/src.json";
    writeFile(src, "{\"status\": \"pending\"}\n");
    writeFile(work->path() + "/outside/keep", "keep");
    QStringList a = expand(args);
    a.replaceInStrings("%SRC%", src);
    const Run r =
        run(simBin + "/" + tool, a,
            {privileged ? "TAVRIN_SIM_EUID=0" : "TAVRIN_SIM_EUID=1000", "SIM_INSTALL_FAIL=reboot-counter"});
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(expand(stderrText)), qPrintable(r.err));
    QCOMPARE(QFileInfo::exists(expand(path)), exists);
    QVERIFY(QFileInfo::exists(work->path() + "/outside/keep"));
    if (tool == QLatin1String("mv"))
        QCOMPARE(QFileInfo::exists(root + "/etc/os-version"), exitCode != 0);
    if (tool == QLatin1String("install") && exists) {
        QCOMPARE(readFile(expand(path)), QStringLiteral("{\"status\": \"pending\"}\n"));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(expand(path)).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0644));
    }
}

// Nothing of the caller's environment crosses sudo or pkexec but the failure knobs.
void TestSimSystem::elevationResetsTheEnvironment()
{
    const QString printer = work->path() + "/outside/printenv.sh";
    writeFile(printer, "#!/bin/sh\nexec /usr/bin/env\n");
    QFile::setPermissions(printer, QFile::permissions(printer) | QFileDevice::ExeOwner);
    for (const QString &elevator : {QStringLiteral("sudo"), QStringLiteral("pkexec")}) {
        const Run r =
            run(simBin + "/" + elevator, {printer},
                {"TAVRIN_SIM_EUID=1000", "HOME=/home/someone", "TMPDIR=/tmp/x", "SIM_CTL_FAIL=upgrade"});
        QCOMPARE(r.exitCode, 0);
        const QStringList env = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(env.contains("PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"),
                 qPrintable(r.out));
        QVERIFY(env.contains("HOME=/root"));
        QVERIFY(env.contains("SIM_PRIVILEGED=1"));
        QVERIFY(env.contains("SIM_CTL_FAIL=upgrade"));
        for (const QString &line : env)
            QVERIFY2(!line.startsWith("TAVRIN_") && !line.startsWith("TMPDIR="), qPrintable(line));
    }
}

// A tool run as root by absolute path finds its root from where it lies; a
// bare name resolves on the caller's PATH to the PATH stand-in, which then
// has no root to act on. GNU install writes in place: a cut leaves a short file.
void TestSimSystem::rootedToolsServeTheirRoot()
{
    const QString src = work->path() + "/outside/src";
    writeFile(src, QByteArray(1000, 'n'));
    const QString dest = root + "/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf";
    Run r = run(simBin + "/sudo", {"-n", "install", "-m", "0644", src, dest}, {"TAVRIN_SIM_EUID=1000"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("TAVRIN_SYSROOT is not set"), qPrintable(r.err));
    QVERIFY(readFile(dest).startsWith("# Configuration"));

    r = run(simBin + "/sudo", {"-n", root + "/usr/bin/install", "-m", "0644", src, dest},
            {"TAVRIN_SIM_EUID=1000", "SIM_INSTALL_CUT=zarnex-immutable-ctl.conf"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("No space left on device"), qPrintable(r.err));
    QCOMPARE(readFile(dest).size(), 500);

    r = run(simBin + "/pkexec", {root + "/usr/bin/install", "-m", "0600", src, dest},
            {"TAVRIN_SIM_EUID=1000"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readFile(dest).size(), 1000);
    r = run(simBin + "/sudo", {"-n", root + "/usr/bin/systemctl", "daemon-reload"}, {"TAVRIN_SIM_EUID=1000"});
    QCOMPARE(r.exitCode, 0);
    r = run(root + "/usr/bin/rm", {"-f", dest}, {"TAVRIN_SIM_EUID=1000", "TAVRIN_SYSROOT="});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(QFileInfo::exists(dest));
}

void TestSimSystem::systemctlUnits()
{
    const QString sc = simBin + "/systemctl";
    const QStringList user{"TAVRIN_SIM_EUID=1000"};
    const QString timer = root + "/usr/lib/systemd/system/tavrin-rollback-cleanup.timer";
    writeFile(timer, "[Timer]\nOnBootSec=3min\n");

    Run r = run(sc, {"is-enabled", "tavrin-rollback-cleanup.timer"}, user);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out.trimmed(), QStringLiteral("disabled"));
    r = run(sc, {"enable", "--now", "tavrin-rollback-cleanup.timer"}, user);
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("permission denied"));
    QCOMPARE(run(sc, {"is-enabled", "tavrin-rollback-cleanup.timer"}, user).exitCode, 1);

    QCOMPARE(run(simBin + "/sudo",
                 {"-n", root + "/usr/bin/systemctl", "enable", "--now", "tavrin-rollback-cleanup.timer"},
                 user)
                 .exitCode,
             0);
    r = run(sc, {"is-enabled", "tavrin-rollback-cleanup.timer"}, user);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("enabled"));
    QCOMPARE(run(sc, {"is-active", "tavrin-rollback-cleanup.timer"}, user).out.trimmed(),
             QStringLiteral("active"));
    QCOMPARE(run(sc, {"disable", "--now", "tavrin-rollback-cleanup.timer"}).exitCode, 0);
    QCOMPARE(run(sc, {"is-enabled", "tavrin-rollback-cleanup.timer"}).exitCode, 1);
    QCOMPARE(run(sc, {"is-active", "tavrin-rollback-cleanup.timer"}).exitCode, 3);

    r = run(sc, {"enable", "--now", "tavrin-rollback-cleanup.timer"}, {"SIM_SYSTEMCTL_FAIL=enable"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("simulated"));
    QCOMPARE(run(sc, {"is-enabled", "tavrin-rollback-cleanup.timer"}, {"SIM_SYSTEMCTL_FAIL=enable"}).exitCode,
             1);

    r = run(sc, {"enable", "no-such.timer"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("does not exist"));

    // The user instance needs no privilege and keeps its own state.
    QCOMPARE(run(sc, {"--user", "enable", "--now", "tavrin-monitor.timer"}, user).exitCode, 0);
    QCOMPARE(run(sc, {"--user", "is-active", "tavrin-monitor.timer"}, user).out.trimmed(),
             QStringLiteral("active"));
    QCOMPARE(run(sc, {"is-enabled", "tavrin-monitor.timer"}, user).exitCode, 1);
    QCOMPARE(run(sc, {"--user", "disable", "--now", "tavrin-monitor.timer"}, user).exitCode, 0);
    QCOMPARE(run(sc, {"--user", "is-active", "tavrin-monitor.timer"}, user).out.trimmed(),
             QStringLiteral("inactive"));
}

void TestSimSystem::rebootAppliesPendingRollback()
{
    const QString oldBooted = expand(QStringLiteral("%BOOTED%"));
    QCOMPARE(ctl(expand(QStringList{"snapshot", "rollback", "%SNAP%"})).exitCode, 0);
    const QString pending = expand(QStringLiteral("%PENDING%"));
    QVERIFY(!pending.isEmpty());
    QCOMPARE(writable({"enable", "-a", "-c", "-y"}).exitCode, 0);
    writeFile(root + "/run/tavrin-rollback-counter-run", "");

    const Run r = run(simBin + "/systemctl", {"reboot"}, {"TAVRIN_SIM_EUID=1000"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));

    int booted = 0, backups = 0, hidden = 0;
    for (const QJsonValue &v : deploys()) {
        const QJsonObject d = v.toObject();
        booted += d.value("IsBooted").toBool();
        backups += d.value("IsRollbackBackup").toBool();
        hidden += d.value("Hidden").toBool();
        if (d.value("CommitIDIdx").toString() == pending)
            QVERIFY(d.value("IsBooted").toBool());
        if (d.value("CommitIDIdx").toString() == oldBooted)
            QVERIFY(d.value("IsRollbackBackup").toBool());
    }
    QCOMPARE(booted, 1);
    QCOMPARE(backups, 1);
    QCOMPARE(hidden, 0);
    QCOMPARE(expand(QStringLiteral("%BOOTED%")), pending);
    QCOMPARE(expand(QStringLiteral("%BACKUP%")), oldBooted);
    QVERIFY(QDir(root + "/run").isEmpty());
    QCOMPARE(checkExpectation(json(writable({"status", "-j"})), "data/conf/enable=false"), QString());
    // The booted system now reports the snapshot's version.
    QVERIFY(readFile(root + "/etc/os-version").contains("Version=25.1.1"));
}

void TestSimSystem::rebootAppliesUpgradeAndPrunes()
{
    const QString oldBooted = expand(QStringLiteral("%BOOTED%"));
    const QString backup = expand(QStringLiteral("%BACKUP%"));
    const QString oldest = expand(QStringLiteral("%HISTORY%"));
    QCOMPARE(ctl({"upgrade"}).exitCode, 0);
    const QString conf = root + "/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf";
    writeFile(conf, readFile(conf).replace("max-backup-deploys=2", "max-backup-deploys=1").toUtf8());

    QCOMPARE(run(simBin + "/systemctl", {"reboot"}).exitCode, 0);
    const QJsonDocument status = json(ctl({"admin", "status", "-j"}));
    for (const QString &e :
         {QStringLiteral("data/deploy_list#3"), QStringLiteral("data/deploy_list/0/IsBooted=true"),
          QStringLiteral("data/deploy_list/0/SystemVersion=25.1.3"),
          QStringLiteral("data/deploy_list/*/Hidden=false")})
        QCOMPARE(checkExpectation(status, e), QString());
    // An upgrade does not make the old system a rollback backup; the older of the
    // two ordinary deployments goes beyond the configured count.
    QCOMPARE(expand(QStringLiteral("%BACKUP%")), backup);
    QCOMPARE(expand(QStringLiteral("%HISTORY%")), oldBooted);
    QCOMPARE(refs("deployment").size(), 3);
    for (const QString &ref : refs("deployment"))
        QVERIFY(readFile(root + "/ostree/repo/refs/heads/deployment/" + ref).trimmed() != oldest);
}

void TestSimSystem::rebootKeepsPermanentWritableLayer()
{
    QCOMPARE(writable({"enable", "-a", "-y"}).exitCode, 0);
    QCOMPARE(run(simBin + "/systemctl", {"reboot"}).exitCode, 0);
    QCOMPARE(checkExpectation(json(writable({"status", "-j"})), "data/conf/enable=true"), QString());
    // Nothing pending: the same deployment boots again.
    QCOMPARE(deploys().size(), 3);
}

void TestSimSystem::rebootRunsOnlyRootedCounterScript()
{
    const QString script = root + "/usr/libexec/tavrin-manager/reboot-counter.sh";
    const QString counter = root + "/var/lib/tavrin-manager/boots";
    writeFile(root + "/usr/lib/systemd/system/tavrin-rollback-cleanup.timer", "[Timer]\nOnBootSec=3min\n");
    QCOMPARE(run(simBin + "/systemctl", {"enable", "--now", "tavrin-rollback-cleanup.timer"}).exitCode, 0);

    // The interpreter may be the host's; every file it touches is in the root.
    writeFile(script,
              QStringLiteral("#!/bin/sh\nPY=/usr/bin/python3\n$PY -c \"open('%1','a').write('boot\\\\n')\"\n")
                  .arg(counter)
                  .toUtf8());
    QCOMPARE(run(simBin + "/systemctl", {"reboot"}).exitCode, 0);
    QCOMPARE(run(simBin + "/systemctl", {"reboot"}).exitCode, 0);
    QCOMPARE(readFile(counter), QStringLiteral("boot\nboot\n"));

    // A script naming a host path is not run at all.
    writeFile(script, QStringLiteral("#!/bin/sh\necho boot >> %1\ntouch /run/tavrin-rollback-counter-run\n")
                          .arg(counter)
                          .toUtf8());
    const Run r = run(simBin + "/systemctl", {"reboot"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.contains("outside the root"));
    QCOMPARE(readFile(counter), QStringLiteral("boot\nboot\n"));
    QVERIFY(readFile(root + "/var/log/zarnex-sim/boot.log").contains("refused to run"));
}

void TestSimSystem::ostreeRefsAreRealCommits()
{
    // After a new snapshot and a staged rollback the refs still match the tools' answers.
    QCOMPARE(ctl({"snapshot", "create", "fresh", "d"}).exitCode, 0);
    const QString target = expand(QStringLiteral("%SNAP%"));
    QCOMPARE(ctl({"snapshot", "rollback", target}).exitCode, 0);

    QSet<QString> snapshotIds, deployCommits, refCommits;
    for (const QJsonValue &s : snapshots())
        snapshotIds.insert(s.toObject().value("id").toString());
    for (const QJsonValue &d : deploys())
        deployCommits.insert(d.toObject().value("CommitIDIdx").toString());
    const QStringList snapshotRefs = refs("snapshot");
    QCOMPARE(QSet<QString>(snapshotRefs.begin(), snapshotRefs.end()), snapshotIds);

    const QString repoDir = root + "/ostree/repo";
    QSet<QString> deploymentContent;
    QMap<QString, QSet<QString>> snapshotContent;
    for (const QString &kind : {QStringLiteral("deployment"), QStringLiteral("snapshot")}) {
        for (const QString &ref : refs(kind)) {
            const QString commit = readFile(repoDir + "/refs/heads/" + kind + "/" + ref).trimmed();
            QVERIFY2(QRegularExpression("^[0-9a-f]{64}$").match(commit).hasMatch(), qPrintable(commit));
            if (kind == QLatin1String("deployment"))
                refCommits.insert(commit);
            const Run ls = run(root + "/usr/bin/ostree", {"--repo=" + repoDir, "ls", "-R", "-C", commit});
            QVERIFY2(ls.exitCode == 0, qPrintable(ls.err));
            int files = 0;
            for (const QString &line : ls.out.split('\n')) {
                const QStringList f = line.split(' ', Qt::SkipEmptyParts);
                if (f.size() < 6 || !f.at(0).startsWith('-'))
                    continue;
                bool ok = false;
                f.at(3).toLongLong(&ok);
                QVERIFY(ok);
                QCOMPARE(f.at(4).size(), 64);
                ++files;
                if (kind == QLatin1String("deployment"))
                    deploymentContent.insert(f.at(4));
                else
                    snapshotContent[ref].insert(f.at(4));
            }
            QVERIFY(files >= 40);
        }
    }
    QCOMPARE(refCommits, deployCommits);
    // Snapshots share most of their tree with the deployments, yet each holds
    // content of its own, except the one the staged deployment was made from.
    QCOMPARE(snapshotContent.size(), 5);
    QVERIFY((snapshotContent.value(target) - deploymentContent).isEmpty());
    snapshotContent.remove(target);
    for (auto it = snapshotContent.cbegin(); it != snapshotContent.cend(); ++it) {
        const QSet<QString> own = it.value() - deploymentContent;
        QVERIFY2(!own.isEmpty(), qPrintable(it.key()));
        QVERIFY(own.size() < it.value().size());
    }
    const Run persistent =
        run(root + "/usr/bin/ostree", {"--repo=" + root + "/persistent/ostree/repo", "refs"});
    QCOMPARE(persistent.exitCode, 0);
    QVERIFY(!persistent.out.trimmed().isEmpty());
    QVERIFY(QDir(root + "/persistent/ostree/snapshot").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() ==
            5);
}

void TestSimSystem::failureInjection_data()
{
    QTest::addColumn<bool>("writableTool");
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrText");
    QTest::addColumn<bool>("jsonOut");

    QTest::newRow("selected command fails")
        << false << QStringList{"SIM_CTL_FAIL=snapshot create"} << QStringList{"snapshot", "create", "n", "d"}
        << 1 << "snapshot create failed" << false;
    QTest::newRow("other commands unaffected")
        << false << QStringList{"SIM_CTL_FAIL=snapshot create"} << QStringList{"snapshot", "list", "-j"} << 0
        << QString() << true;
    QTest::newRow("prefix does not match a longer word")
        << false << QStringList{"SIM_CTL_FAIL=snap"} << QStringList{"snapshot", "list", "-j"} << 0
        << QString() << true;
    QTest::newRow("custom message") << false
                                    << QStringList{"SIM_CTL_FAIL=admin undeploy",
                                                   "SIM_CTL_FAIL_MESSAGE=error: Not authorized"}
                                    << QStringList{"admin", "undeploy", "2"} << 1 << "error: Not authorized"
                                    << false;
    QTest::newRow("garbage") << false << QStringList{"SIM_CTL_GARBAGE=1"}
                             << QStringList{"admin", "status", "-j"} << 0 << QString() << false;
    QTest::newRow("writable failure") << true << QStringList{"SIM_WRITABLE_FAIL=status"}
                                      << QStringList{"status", "-j"} << 1 << "status failed" << false;
    QTest::newRow("writable garbage") << true << QStringList{"SIM_WRITABLE_GARBAGE=all"}
                                      << QStringList{"status", "-j"} << 0 << QString() << false;
}

void TestSimSystem::failureInjection()
{
    QFETCH(bool, writableTool);
    QFETCH(QStringList, env);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrText);
    QFETCH(bool, jsonOut);

    const QByteArray before = stateBytes();
    const Run r = writableTool ? writable(args, env) : ctl(args, env);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(stderrText), qPrintable(r.err));
    QJsonParseError error;
    QJsonDocument::fromJson(r.out.toUtf8(), &error);
    QCOMPARE(error.error == QJsonParseError::NoError, jsonOut);
    QCOMPARE(stateBytes(), before);

    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("SIM_CTL_HANG", "admin status");
    QProcess p;
    p.setProcessEnvironment(e);
    p.start(root + "/usr/sbin/zarnex-immutable-ctl", {"admin", "status", "-j"});
    QVERIFY(p.waitForStarted(10000));
    QVERIFY(!p.waitForFinished(200));
    p.kill();
    QVERIFY(p.waitForFinished(10000));
}

void TestSimSystem::damagedStateIsReported_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not json") << QByteArray("{\"snapshots\": [trunc");
    QTest::newRow("array") << QByteArray("[]");
    QTest::newRow("missing keys") << QByteArray("{\"version\": 1}");
    QTest::newRow("wrong types") << QByteArray(
        "{\"snapshots\": 5, \"deployments\": \"x\", \"writable\": []}");
}

void TestSimSystem::damagedStateIsReported()
{
    QFETCH(QByteArray, content);
    writeFile(root + "/var/lib/zarnex-sim/state.json", content);
    const QList<QStringList> calls{
        {"snapshot", "list", "-j"}, {"admin", "status", "-j"}, {"-s"}, {"snapshot", "create", "n", "d"}};
    for (const QStringList &args : calls) {
        const Run r = ctl(args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith("zarnex-immutable-ctl: ") && !r.err.contains("Traceback"),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
    const Run w = writable({"status", "-j"});
    QCOMPARE(w.exitCode, 1);
    QVERIFY2(!w.err.contains("Traceback"), qPrintable(w.err));
}

void TestSimSystem::makeRootRefusesForeignDirectory()
{
    const QString foreign = work->path() + "/outside/foreign";
    QVERIFY(QDir().mkpath(foreign));
    writeFile(foreign + "/precious.txt", "mine");
    QProcess p;
    p.start(Tavrin::Test::sourcePath("sim/make-root.sh"), {foreign, "--files", "5", "--snapshots", "1"});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardError().contains("refusing"));
    QCOMPARE(readFile(foreign + "/precious.txt"), QStringLiteral("mine"));

    // A root of ours is rebuilt in place: the changes made to it are gone.
    QCOMPARE(ctl({"snapshot", "create", "temporary", "d"}).exitCode, 0);
    p.start(Tavrin::Test::sourcePath("sim/make-root.sh"), {root, "--files", "5", "--snapshots", "2"});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    QCOMPARE(snapshots().size(), 2);
    QCOMPARE(deploys().size(), 3);
}

TAVRIN_TEST_GUILESS_MAIN(TestSimSystem)
#include "tst_simsystem.moc"
