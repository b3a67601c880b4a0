#include "disk/diskrecords.h"
#include "disk/jsonfileio.h"
#include "disk/monitorconfig.h"

#include "diskfixture.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>

using namespace Tavrin;

namespace {
constexpr qint64 GiB = 1024LL * 1024 * 1024;
}

// Runs the real executable in monitor mode, one process per cycle, with its own home and data
// directories and the fake du/df, across simulated days.
class TestMonitorProcess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cyclesAcrossDays();

private:
    struct Run
    {
        int exitCode = -1;
        QStringList monitorLines;
        QByteArray stderrText;
    };
    Run runMonitor();
    void setUsed(qint64 bytes);
    void setDu(const QString &path, const QByteArray &output);
    QString historyDir() const { return home.path() + "/data/tavrin-manager/disk-history"; }
    QString dayFile(const QDate &date) const
    {
        return historyDir() + "/" + date.toString(Qt::ISODate) + ".json";
    }
    // Moves the whole history one day into the past, as if a day had gone by.
    void passOneDay();
    void setConfig(const QString &key, const QVariant &value);

    QTemporaryDir home;
    QTemporaryDir scratch;
};

void TestMonitorProcess::initTestCase()
{
    TAVRIN_REQUIRE_PRIVATE_HOME();
    QVERIFY(QFileInfo(Tavrin::Test::buildPath("bin/tavrin-manager")).isExecutable());
    const QString description =
        home.path() + "/data/zentk/configs/org.zarnex.tavrin-manager/org.zarnex.tavrin-manager.json";
    QVERIFY(QDir().mkpath(QFileInfo(description).path()));
    QVERIFY(QFile::copy(Tavrin::Test::sourcePath("data/config/org.zarnex.tavrin-manager.json"), description));
}

void TestMonitorProcess::setConfig(const QString &key, const QVariant &value)
{
    // Written as the page would, into the child's stores.
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(home.path() + "/none"));
    {
        MonitorConfig c;
        QVERIFY(c.usingZConfig());
        c.setValue(key, value);
    }
    qputenv("XDG_CONFIG_HOME", config);
    qputenv("XDG_DATA_HOME", data);
    qputenv("XDG_DATA_DIRS", dirs);
}

void TestMonitorProcess::setUsed(qint64 bytes)
{
    QVERIFY(writeFileAtomic(scratch.filePath("used"), QByteArray::number(bytes)));
}

void TestMonitorProcess::setDu(const QString &path, const QByteArray &output)
{
    QVERIFY(writeFileAtomic(scratch.filePath(QString(path).replace('/', '_') + ".out"), output));
}

TestMonitorProcess::Run TestMonitorProcess::runMonitor()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_DATA_DIRS", home.path() + "/none");
    env.insert("XDG_CACHE_HOME", home.path() + "/cache");
    env.insert("XDG_STATE_HOME", home.path() + "/state");
    env.insert("PATH", Tavrin::Test::sourcePath("tests/fakes/disk") + ":" + qEnvironmentVariable("PATH"));
    env.insert("FAKE_DU_DIR", scratch.path());
    env.insert("FAKE_DU_LOG", scratch.filePath("du.log"));
    env.insert("FAKE_DF_USED_FILE", scratch.filePath("used"));
    env.insert("FAKE_DF_TOTAL", QString::number(500 * GiB));
    env.remove("TAVRIN_CONFIG_QSETTINGS");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(Tavrin::Test::buildPath("bin/tavrin-manager"), {"--monitor"});
    Run run;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.stderrText = p.readAllStandardError();
    for (const QString &line : QString::fromUtf8(run.stderrText).split('\n')) {
        if (line.contains("[tavrin-monitor]"))
            run.monitorLines << line;
    }
    return run;
}

void TestMonitorProcess::passOneDay()
{
    QDir dir(historyDir());
    QFile::remove(dir.filePath("index.json"));
    QStringList names = dir.entryList({"*.json"}, QDir::Files, QDir::Name);
    for (const QString &name : std::as_const(names)) {
        const QDate date = dayFileDate(name);
        if (!date.isValid())
            continue;
        QJsonObject day = readJson(dir.filePath(name)).object();
        day.insert("date", date.addDays(-1).toString(Qt::ISODate));
        QVERIFY(writeJsonAtomic(dayFile(date.addDays(-1)), QJsonDocument(day)));
        QVERIFY(QFile::remove(dir.filePath(name)));
    }
}

void TestMonitorProcess::cyclesAcrossDays()
{
    const QDate today = QDate::currentDate();

    // Monitoring off: the one line says so, the exit status is still 0.
    Run run = runMonitor();
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.monitorLines, QStringList{"[tavrin-monitor] failed: 监控未开启"});
    QVERIFY(!QFile::exists(dayFile(today)));

    setConfig("monitor.enabled", true);
    setConfig("monitor.quietStart", "00:00");
    setConfig("monitor.quietEnd", "00:00");
    setConfig("monitor.alertMode", "fixed");

    // Day one: the first cycle scans the top level.
    setUsed(100 * GiB);
    setDu("/", "62914560\t/usr\n10485760\t/var\n4\t/\n");
    run = runMonitor();
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.monitorLines, QStringList{"[tavrin-monitor] ok: 监控完成"});
    QVERIFY2(run.stderrText.trimmed() == "[tavrin-monitor] ok: 监控完成", run.stderrText.constData());
    QVERIFY(QFile::exists(dayFile(today)));
    QCOMPARE(readJson(historyDir() + "/index.json").object().value("days").toArray().size(), 1);

    // Day two: 3 GiB more, all of it under /var.
    passOneDay();
    setUsed(103 * GiB);
    setDu("/", "62914560\t/usr\n13631488\t/var\n4\t/\n");
    setDu("/var", "3145728\t/var/log\n1024\t/var/tmp\n13631488\t/var\n");
    run = runMonitor();
    QCOMPARE(run.monitorLines, QStringList{"[tavrin-monitor] ok: 监控完成"});
    const DiskDayRecord day = dayRecordFromJson(readJson(dayFile(today)).object());
    QCOMPARE(day.total, 103 * GiB);
    QCOMPARE(day.drillCache.value("/var").size(), 2);
    const QJsonObject index = readJson(historyDir() + "/index.json").object();
    const QJsonArray days = index.value("days").toArray();
    QCOMPARE(days.size(), 2);
    QCOMPARE(days.last().toObject().value("g").toDouble(), double(3 * GiB));
    QVERIFY(days.last().toObject().value("spike").toBool());
    QCOMPARE(index.value("last").toString(), today.toString(Qt::ISODate));
    QJsonObject alerts = readJson(historyDir() + "/alert.json").object();
    QCOMPARE(alerts.value("spikes").toArray().size(), 1);
    QCOMPARE(alerts.value("spikes").toArray().first().toObject().value("causeDir").toString(),
             QString("/var"));
    QVERIFY(alerts.value("lastAlert").toObject().contains("/var"));

    // Later the same day: one more sample, no new alert.
    setUsed(103 * GiB + 5);
    run = runMonitor();
    QCOMPARE(run.monitorLines, QStringList{"[tavrin-monitor] ok: 监控完成"});
    QCOMPARE(dayRecordFromJson(readJson(dayFile(today)).object()).samples.size(), 2);
    QCOMPARE(readJson(historyDir() + "/alert.json").object(), alerts);

    // A broken alerts file and index do not stop the next day.
    QVERIFY(writeFileAtomic(historyDir() + "/alert.json", "{\"spikes\": [1, 2"));
    QVERIFY(writeFileAtomic(historyDir() + "/index.json", "null"));
    passOneDay();
    setUsed(107 * GiB);
    setDu("/", "62914560\t/usr\n17825792\t/var\n4\t/\n");
    run = runMonitor();
    QCOMPARE(run.monitorLines, QStringList{"[tavrin-monitor] ok: 监控完成"});
    QCOMPARE(readJson(historyDir() + "/index.json").object().value("days").toArray().size(), 3);
    alerts = readJson(historyDir() + "/alert.json").object();
    QCOMPARE(alerts.value("spikes").toArray().size(), 1);
    QCOMPARE(alerts.value("spikes").toArray().first().toObject().value("date").toString(),
             today.toString(Qt::ISODate));
}

TAVRIN_TEST_GUILESS_MAIN(TestMonitorProcess)
#include "tst_monitorprocess.moc"
