#include "disk/diskrecords.h"
#include "disk/jsonfileio.h"

#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Tavrin;

namespace {

constexpr qint64 GiB = 1024LL * 1024 * 1024;
const QDateTime kNow(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &v : value.toArray())
        list << v.toString();
    return list;
}

} // namespace

// The program's command-line answers, run as real processes without a display; "--status" against
// a simulated system whose tools and files fail one by one.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void infoWithoutDisplay_data();
    void infoWithoutDisplay();
    void statusParts_data();
    void statusParts();
    void statusNeverElevatesNorLoadsTheWindow();
    void statusInEnglish();

private:
    Run run(const QStringList &args, const QStringList &env = {}, bool traceLibraries = false);
    void writeDay(const QDate &date, qint64 used, qint64 capacity, const QDateTime &sample = QDateTime());
    void writeConfig(bool enabled, const QString &language = QString());
    void setTimer(bool active);
    QString historyDir() const { return home.path() + "/data/tavrin-manager/disk-history"; }
    QList<QJsonObject> simCalls() const;

    QTemporaryDir rootDir;
    QTemporaryDir home;
    QString root;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(QFileInfo(Tavrin::Test::buildPath("bin/tavrin-manager")).isExecutable());
    root = rootDir.filePath("root");
    QProcess make;
    make.start(Tavrin::Test::sourcePath("sim/make-root.sh"), {root, "--files", "40"});
    QVERIFY(make.waitForFinished(120000));
    QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());
    // df answers from the test: the host's disk is nobody's business here.
    QVERIFY(Tavrin::Test::plantDiskFakes(root, {"df"}));
}

void TestCommandLine::init()
{
    QDir(historyDir()).removeRecursively();
    QVERIFY(QDir().mkpath(historyDir()));
    QFile::remove(root + "/var/log/zarnex-sim/calls.jsonl");
    writeConfig(true);
    setTimer(true);
}

Run TestCommandLine::run(const QStringList &args, const QStringList &extraEnv, bool traceLibraries)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *gone : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"})
        env.remove(QLatin1String(gone));
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_DATA_DIRS", home.path() + "/none");
    env.insert("TAVRIN_CONFIG_QSETTINGS", "1");
    env.insert("TAVRIN_SYSROOT", root);
    env.insert("TAVRIN_SIM_EUID", "1000");
    env.insert("TAVRIN_DISK_NOW", kNow.toString(Qt::ISODate));
    env.insert("PATH", Tavrin::Test::sourcePath("sim/bin") + ":" + qEnvironmentVariable("PATH"));
    env.insert("FAKE_DF_TOTAL", QString::number(500 * GiB));
    env.insert("FAKE_DF_USED", QString::number(100 * GiB));
    if (traceLibraries)
        env.insert("LD_DEBUG", "files");
    for (const QString &entry : extraEnv)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(Tavrin::Test::buildPath("bin/tavrin-manager"), args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

void TestCommandLine::writeDay(const QDate &date, qint64 used, qint64 capacity, const QDateTime &sample)
{
    DiskDayRecord r;
    r.date = date;
    r.total = used;
    r.capacity = capacity;
    if (sample.isValid())
        r.samples.append(DiskSample{sample, used, {}});
    QVERIFY(writeJsonAtomic(historyDir() + "/" + date.toString(Qt::ISODate) + ".json",
                            QJsonDocument(dayRecordToJson(r))));
}

void TestCommandLine::writeConfig(bool enabled, const QString &language)
{
    QVERIFY(QDir().mkpath(home.path() + "/config/zarnex"));
    QByteArray ini = "[monitor]\nenabled=" + QByteArray(enabled ? "true" : "false") + "\n";
    if (!language.isEmpty())
        ini = "[General]\nlanguage=" + language.toUtf8() + "\n" + ini;
    QVERIFY(writeFileAtomic(home.path() + "/config/zarnex/tavrin-manager.conf", ini));
}

void TestCommandLine::setTimer(bool active)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TAVRIN_SYSROOT", root);
    env.insert("TAVRIN_SIM_EUID", "1000");
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(Tavrin::Test::sourcePath("sim/bin/systemctl"),
            {"--user", active ? "start" : "stop", "tavrin-monitor.timer"});
    QVERIFY(p.waitForFinished(30000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

QList<QJsonObject> TestCommandLine::simCalls() const
{
    QFile f(root + "/var/log/zarnex-sim/calls.jsonl");
    QList<QJsonObject> calls;
    if (!f.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            calls << QJsonDocument::fromJson(line).object();
    }
    return calls;
}

void TestCommandLine::infoWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("help") << QStringList{"--help"} << QByteArray("--status --json");
    QTest::newRow("short help") << QStringList{"-h"} << QByteArray("--show-disk YYYY-MM-DD");
    QTest::newRow("version") << QStringList{"--version"} << QByteArray("tavrin-manager 1.0.0\n");
    QTest::newRow("help wins over status") << QStringList{"--status", "--help"} << QByteArray("--monitor");
    QTest::newRow("among toolkit arguments")
        << QStringList{"-style", "fusion", "--version"} << QByteArray("tavrin-manager 1.0.0\n");
}

void TestCommandLine::infoWithoutDisplay()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, expected);
    const Run r = run(args, {}, true);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(expected), r.out.constData());
    if (expected.endsWith('\n'))
        QCOMPARE(r.out, expected);
    QVERIFY2(r.err.contains("file=libQt6Core.so"), "the loader trace is missing");
    for (const char *library : {"tavrin-manager-window.so", "libQt6Gui.so", "libQt6Widgets.so"})
        QVERIFY2(!r.err.contains(QByteArray("file=") + library), library);
}

void TestCommandLine::statusParts_data()
{
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("unreadable");
    QTest::addColumn<QStringList>("attention");
    // The failing part and a piece of the text its tool gave.
    QTest::addColumn<QString>("failedPart");
    QTest::addColumn<QString>("errorText");

    const QStringList none;
    QTest::newRow("all well") << none << "" << 0 << none << none << ""
                              << "";
    QTest::newRow("deployments fail") << QStringList{"SIM_CTL_FAIL=admin status"} << "" << 2
                                      << QStringList{"deployment"} << none << "deployment"
                                      << "admin status failed: simulated failure";
    QTest::newRow("deployments garbled") << QStringList{"SIM_CTL_GARBAGE=admin status"} << "" << 2
                                         << QStringList{"deployment"} << none << "deployment"
                                         << "internal error";
    QTest::newRow("snapshots fail") << QStringList{"SIM_CTL_FAIL=snapshot list",
                                                   "SIM_CTL_FAIL_MESSAGE=error: Not authorized"}
                                    << "" << 2 << QStringList{"snapshots"} << none << "snapshots"
                                    << "error: Not authorized";
    QTest::newRow("protection fails")
        << QStringList{"SIM_CTL_FAIL=-s"} << "" << 2 << QStringList{"protection"} << none << "protection"
        << "-s failed";
    QTest::newRow("writable layer garbled") << QStringList{"SIM_WRITABLE_GARBAGE=status"} << "" << 2
                                            << QStringList{"writableLayer"} << none << "writableLayer"
                                            << "internal error";
    QTest::newRow("df fails") << QStringList{"FAKE_DF_EXIT=1"} << "" << 2 << QStringList{"disk"} << none
                              << "disk"
                              << "df: failure";
    QTest::newRow("systemctl fails") << QStringList{"SIM_SYSTEMCTL_FAIL=is-active"} << "" << 2
                                     << QStringList{"monitor.timer"} << none << "monitor.timer"
                                     << "Transaction";
    QTest::newRow("alert file corrupt")
        << none << "corrupt alerts" << 2 << QStringList{"alert"} << none << "alert"
        << "alert.json";
    QTest::newRow("every tool fails")
        << QStringList{"SIM_CTL_FAIL=all", "SIM_WRITABLE_FAIL=all", "FAKE_DF_EXIT=1",
                       "SIM_SYSTEMCTL_FAIL=all"}
        << "unseen alert" << 2
        << QStringList{"deployment", "snapshots", "protection", "writableLayer", "disk", "monitor.timer"}
        << QStringList{"unseenAlert"} << "writableLayer"
        << "simulated failure";

    QTest::newRow("unseen alert") << none << "unseen alert" << 1 << none << QStringList{"unseenAlert"} << ""
                                  << "";
    QTest::newRow("alert seen in the history") << none << "seen alert" << 0 << none << none << ""
                                               << "";
    QTest::newRow("alert dismissed") << none << "dismissed alert" << 0 << none << none << ""
                                     << "";
    QTest::newRow("full within the limit")
        << none << "fast growth" << 1 << none << QStringList{"forecast"} << ""
        << "";
    QTest::newRow("disk full") << QStringList{QStringLiteral("FAKE_DF_USED=%1").arg(500 * GiB)} << "" << 1
                               << none << QStringList{"diskFull"} << ""
                               << "";
    QTest::newRow("monitor silent") << none << "stale" << 1 << none << QStringList{"monitorStale"} << ""
                                    << "";
    QTest::newRow("timer stopped") << none << "timer stopped" << 1 << none << QStringList{"timerInactive"}
                                   << ""
                                   << "";
    QTest::newRow("monitoring off, silent and stopped") << none << "monitoring off" << 0 << none << none << ""
                                                        << "";
}

void TestCommandLine::statusParts()
{
    QFETCH(QStringList, env);
    QFETCH(QString, setup);
    QFETCH(int, exitCode);
    QFETCH(QStringList, unreadable);
    QFETCH(QStringList, attention);
    QFETCH(QString, failedPart);
    QFETCH(QString, errorText);

    // Ten days of slow growth, sampled five minutes ago: nothing to act on.
    const QDate today = kNow.date();
    const bool fast = setup == "fast growth";
    for (int back = 9; back >= 0; --back) {
        const qint64 used = fast ? 400 * GiB + (9 - back) * 10 * GiB : 100 * GiB + (9 - back) * GiB;
        const QDateTime sample =
            setup == "stale" || setup == "monitoring off" ? kNow.addSecs(-3 * 3600) : kNow.addSecs(-300);
        writeDay(today.addDays(-back), used, 500 * GiB, back == 0 ? sample : kNow.addDays(-back));
    }
    const QString alerts = historyDir() + "/alert.json";
    const QByteArray spike = R"({"spikes":[{"date":"2026-12-01","growth":3221225472,"causeDir":"/var/log",
        "alerted":true,"causes":[]},{"date":"2026-12-08","growth":2147483648,"causeDir":"/opt/apps",
        "alerted":true,"causes":[]}]})";
    if (setup == "corrupt alerts")
        QVERIFY(writeFileAtomic(alerts, "{\"spikes\": [truncated"));
    if (setup.endsWith("alert"))
        QVERIFY(writeFileAtomic(alerts, spike));
    const QString ui = historyDir() + "/alert-ui-state.json";
    if (setup == "seen alert")
        QVERIFY(writeFileAtomic(ui, R"({"dismissed":[],"seen":2})"));
    if (setup == "dismissed alert")
        QVERIFY(writeFileAtomic(ui, R"({"dismissed":["2026-12-08|/opt/apps"],"seen":0})"));
    if (setup == "timer stopped" || setup == "monitoring off")
        setTimer(false);
    if (setup == "monitoring off")
        writeConfig(false);

    const Run r = run({"--status", "--json"}, env);
    QVERIFY2(r.exitCode == exitCode, r.out.constData());
    const QJsonObject o = r.json();
    QCOMPARE(o.value("schema").toString(), QStringLiteral("tavrin-manager-status"));
    QCOMPARE(o.value("version").toInt(), 1);
    QCOMPARE(o.value("exitCode").toInt(), exitCode);
    QCOMPARE(strings(o.value("unreadable")), unreadable);
    QCOMPARE(strings(o.value("attention")), attention);

    // Every part is there; the failed ones say why, the others keep their figures.
    for (const char *key :
         {"deployment", "snapshots", "protection", "writableLayer", "disk", "forecast", "alert", "monitor"}) {
        const QJsonObject part = o.value(QLatin1String(key)).toObject();
        QVERIFY2(part.contains("ok"), key);
        QCOMPARE(part.value("ok").toBool(), !unreadable.contains(QLatin1String(key)));
        if (!part.value("ok").toBool())
            QVERIFY2(!part.value("error").toString().isEmpty(), key);
    }
    if (!failedPart.isEmpty()) {
        const QJsonObject part = failedPart == "monitor.timer"
                                     ? o.value("monitor").toObject().value("timer").toObject()
                                     : o.value(failedPart).toObject();
        QCOMPARE(part.value("ok").toBool(), false);
        QVERIFY2(part.value("error").toString().contains(errorText),
                 qPrintable(part.value("error").toString()));
        // A part that could not be read shows no figure that could pass for one.
        QCOMPARE(part.keys(), QStringList({"error", "ok"}));
    }
    if (!unreadable.contains("deployment")) {
        const QJsonObject d = o.value("deployment").toObject();
        QCOMPARE(d.value("bootedVersion").toString(), QStringLiteral("25.1.2"));
        QVERIFY(d.value("staged").isNull());
    }
    if (!unreadable.contains("snapshots"))
        QCOMPARE(o.value("snapshots").toObject().value("count").toInt(), 4);
    if (!unreadable.contains("disk")) {
        QCOMPARE(o.value("disk").toObject().value("capacityBytes").toDouble(), double(500 * GiB));
    }
    const QJsonObject forecast = o.value("forecast").toObject();
    QCOMPARE(forecast.value("state").toString(), QStringLiteral("forecast"));
    // 10 GiB left at 10 GiB a day; 391 GiB left at 1 GiB a day.
    QCOMPARE(forecast.value("daysToFull").toInt(), fast ? 1 : 391);
    const QJsonObject monitor = o.value("monitor").toObject();
    QCOMPARE(QDateTime::fromString(monitor.value("newestSample").toString(), Qt::ISODate),
             setup == "stale" || setup == "monitoring off" ? kNow.addSecs(-3 * 3600) : kNow.addSecs(-300));
    if (setup.endsWith("alert")) {
        const QJsonObject newest = o.value("alert").toObject().value("newest").toObject();
        QCOMPARE(newest.value("date").toString(), QStringLiteral("2026-12-08"));
        QCOMPARE(newest.value("causeDir").toString(), QStringLiteral("/opt/apps"));
        QCOMPARE(newest.value("unseen").toBool(), setup == "unseen alert");
    }

    // The summary for a person agrees: a failed part shows its tool's text, never a figure.
    const Run text = run({"--status"}, env);
    QCOMPARE(text.exitCode, exitCode);
    if (!errorText.isEmpty())
        QVERIFY2(QString::fromUtf8(text.out).contains(errorText), text.out.constData());
    QCOMPARE(QString::fromUtf8(text.out).count("无法读取（"), int(unreadable.size()));
}

void TestCommandLine::statusNeverElevatesNorLoadsTheWindow()
{
    // Even where every read would be allowed for root, nothing is asked for.
    writeDay(kNow.date(), 100 * GiB, 500 * GiB, kNow.addSecs(-60));
    QFile::remove(root + "/var/log/zarnex-sim/calls.jsonl");
    const Run r = run({"--status"}, {"SIM_SUDO=password"}, true);
    QCOMPARE(r.exitCode, 0);
    const QList<QJsonObject> calls = simCalls();
    QVERIFY(calls.size() >= 5);
    for (const QJsonObject &call : calls) {
        const QString tool = call.value("tool").toString();
        QVERIFY2(tool != "sudo" && tool != "pkexec", qPrintable(tool));
        QVERIFY2(!call.value("privileged").toBool(), qPrintable(tool));
    }
    for (const char *library : {"tavrin-manager-window.so", "libQt6Gui.so", "libQt6Widgets.so"})
        QVERIFY2(!r.err.contains(QByteArray("file=") + library), library);
}

void TestCommandLine::statusInEnglish()
{
    writeConfig(true, "en_US");
    writeDay(kNow.date(), 100 * GiB, 500 * GiB, kNow.addSecs(-60));
    const Run r = run({"--status"}, {"SIM_CTL_FAIL=snapshot list"});
    QCOMPARE(r.exitCode, 2);
    const QString text = QString::fromUtf8(r.out);
    QVERIFY2(text.contains(
                 "Snapshots: unreadable (zarnex-immutable-ctl: snapshot list failed: simulated failure)"),
             r.out.constData());
    QVERIFY2(!text.contains(QRegularExpression("[\\x{4e00}-\\x{9fff}]")), r.out.constData());
    // Keys and states stay as documented whatever the language.
    const Run json = run({"--status", "--json"});
    QCOMPARE(json.json().value("forecast").toObject().value("state").toString(), QStringLiteral("noHistory"));
    writeConfig(true);
}

TAVRIN_TEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
