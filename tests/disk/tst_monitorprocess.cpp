#include "disk/diskhistorystore.h"
#include "disk/diskrecords.h"
#include "disk/historylock.h"
#include "disk/jsonfileio.h"
#include "disk/monitorconfig.h"

#include "diskfixture.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace Tavrin;

namespace {
constexpr qint64 MiB = 1024LL * 1024;
constexpr qint64 GiB = 1024 * MiB;

// du's output for a list of entries, the scanned directory last.
QByteArray duText(const QString &dir, const QList<DiskItem> &items)
{
    QByteArray out;
    qint64 sum = 0;
    for (const DiskItem &item : items) {
        out += QByteArray::number(item.size / 1024) + '\t' + item.path.toUtf8() + '\n';
        sum += item.size;
    }
    return out + QByteArray::number(sum / 1024) + '\t' + dir.toUtf8() + '\n';
}

QStringList fileNames(const QString &dir)
{
    return QDir(dir).entryList({"20*.json"}, QDir::Files, QDir::Name);
}
} // namespace

// Runs the real executable in monitor mode, one process per cycle, with its own home and data
// directories and the fake du/df, across simulated days.
class TestMonitorProcess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cyclesAcrossDays();
    void growthAfterTheDaysScan();
    void secondSourceAfterAlert();
    void lockHeldTooLong();
    void excludedGrowthNeverAlerts();
    void changedExclusionsBlameNoDirectory();
    void quietHoursDeferAlertsOnce();
    void wrongClockKeepsHistory();
    void failedSaveIsReported();
    void overlappingWriters();

private:
    struct Run
    {
        int exitCode = -1;
        QStringList monitorLines;
        QByteArray stderrText;
    };
    Run runMonitor(const QDateTime &now = QDateTime(), const QStringList &extraEnv = {});
    QProcess *startMonitor(const QDateTime &now, const QStringList &extraEnv);
    Run collect(QProcess &p);
    void useStandardConfig();
    void seedDay(const QDate &date, qint64 total, const QList<DiskItem> &topLevel);
    QJsonObject alerts() const { return readJson(historyDir() + "/alert.json").object(); }
    DiskDayRecord day(const QDate &date) const { return dayRecordFromJson(readJson(dayFile(date)).object()); }
    int duRuns() const;
    int duRunsExcluding(const QString &path) const;
    QString duLog() const;
    // Runs `work` with this process's data location pointed at the child's, as the window would.
    void asWindow(const QDateTime &now, const std::function<void()> &work);
    void setUsed(qint64 bytes);
    void setDu(const QString &path, const QByteArray &output);
    // What du finds below an excluded path, taken off the lines above it.
    void setExcludedSize(const QString &path, qint64 bytes);
    QString historyDir() const { return home.path() + "/data/tavrin-manager/disk-history"; }
    QString dayFile(const QDate &date) const
    {
        return historyDir() + "/" + date.toString(Qt::ISODate) + ".json";
    }
    // Moves the whole history one day into the past, as if a day had gone by.
    void passOneDay();
    void setConfig(const QString &key, const QVariant &value);

    QString root() const { return home.path() + "/root"; }
    QString plantedLog() const { return home.path() + "/planted.log"; }

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
    // As from a user timer with a hostile PATH: the fakes lie where the monitor starts its tools.
    QVERIFY(Tavrin::Test::plantDiskFakes(root()));
    QVERIFY(Tavrin::Test::plantHostileTools(home.path() + "/planted",
                                            {"sudo", "pkexec", "nice", "ionice", "du", "df"}, plantedLog()));
}

void TestMonitorProcess::cleanup()
{
    QFile planted(plantedLog());
    QVERIFY2(!planted.open(QIODevice::ReadOnly), planted.readAll().constData());
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

void TestMonitorProcess::setExcludedSize(const QString &path, qint64 bytes)
{
    QVERIFY(writeFileAtomic(scratch.filePath(QString(path).replace('/', '_') + ".size"),
                            QByteArray::number(bytes / 1024)));
}

void TestMonitorProcess::init()
{
    QDir(historyDir()).removeRecursively();
    QFile::remove(scratch.filePath("du.log"));
    for (const QString &name : QDir(scratch.path()).entryList(QDir::Files))
        QFile::remove(scratch.filePath(name));
}

QProcess *TestMonitorProcess::startMonitor(const QDateTime &now, const QStringList &extraEnv)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_DATA_DIRS", home.path() + "/none");
    env.insert("XDG_CACHE_HOME", home.path() + "/cache");
    env.insert("XDG_STATE_HOME", home.path() + "/state");
    env.insert("PATH", home.path() + "/planted:" + qEnvironmentVariable("PATH"));
    env.insert("TAVRIN_SYSROOT", root());
    env.remove("TAVRIN_SIM_EUID");
    env.insert("FAKE_DU_DIR", scratch.path());
    env.insert("FAKE_DU_LOG", scratch.filePath("du.log"));
    env.insert("FAKE_DF_USED_FILE", scratch.filePath("used"));
    env.insert("FAKE_DF_TOTAL", QString::number(500 * GiB));
    env.remove("TAVRIN_CONFIG_QSETTINGS");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.remove("TAVRIN_DISK_NOW");
    if (now.isValid())
        env.insert("TAVRIN_DISK_NOW", now.toString(Qt::ISODate));
    for (const QString &entry : extraEnv)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    auto *p = new QProcess(this);
    p->setProcessEnvironment(env);
    p->start(Tavrin::Test::buildPath("bin/tavrin-manager"), {"--monitor"});
    return p;
}

TestMonitorProcess::Run TestMonitorProcess::collect(QProcess &p)
{
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

TestMonitorProcess::Run TestMonitorProcess::runMonitor(const QDateTime &now, const QStringList &extraEnv)
{
    std::unique_ptr<QProcess> p(startMonitor(now, extraEnv));
    return collect(*p);
}

void TestMonitorProcess::useStandardConfig()
{
    setConfig("monitor.enabled", true);
    setConfig("monitor.quietStart", "00:00");
    setConfig("monitor.quietEnd", "00:00");
    setConfig("monitor.alertMode", "fixed");
    setConfig("monitor.fixedThresholdMB", 1024);
    setConfig("monitor.cooldownHours", 6);
    setConfig("monitor.retentionDays", 400);
}

void TestMonitorProcess::seedDay(const QDate &date, qint64 total, const QList<DiskItem> &topLevel)
{
    DiskDayRecord r;
    r.date = date;
    r.capacity = 500 * GiB;
    r.total = total;
    r.topLevel = topLevel;
    QVERIFY(QDir().mkpath(historyDir()));
    QVERIFY(writeJsonAtomic(dayFile(date), QJsonDocument(dayRecordToJson(r))));
}

int TestMonitorProcess::duRuns() const
{
    QFile f(scratch.filePath("du.log"));
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}

QString TestMonitorProcess::duLog() const
{
    QFile f(scratch.filePath("du.log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int TestMonitorProcess::duRunsExcluding(const QString &path) const
{
    return int(duLog().count(" --exclude=" + path + " "));
}

void TestMonitorProcess::asWindow(const QDateTime &now, const std::function<void()> &work)
{
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
    qputenv("TAVRIN_DISK_NOW", now.toString(Qt::ISODate).toUtf8());
    work();
    qunsetenv("TAVRIN_DISK_NOW");
    qputenv("XDG_DATA_HOME", data);
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

void TestMonitorProcess::growthAfterTheDaysScan()
{
    useStandardConfig();
    const QDate d(2026, 6, 10);
    const QStringList ok{"[tavrin-monitor] ok: 监控完成"};
    seedDay(d.addDays(-1), 100 * GiB,
            {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}, {"/home", 20 * GiB, true}});

    // The morning's cycle scans the top level: /home grew 300 MiB, no spike.
    setUsed(100 * GiB + 300 * MiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true},
                            {"/var", 10 * GiB, true},
                            {"/home", 20 * GiB + 300 * MiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d, QTime(8, 0))).monitorLines, ok);
    QCOMPARE(duRuns(), 1);

    // 5 GiB land in /var at 14:00: the morning's scan cannot explain it, so the top level is
    // scanned once more and the alert names /var, not /home.
    setUsed(105 * GiB + 300 * MiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true},
                            {"/var", 15 * GiB, true},
                            {"/home", 20 * GiB + 300 * MiB, true}}));
    setDu("/var", duText("/var", {{"/var/log", GiB, true}, {"/var/lib", 14 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d, QTime(14, 0))).monitorLines, ok);
    QCOMPARE(duRuns(), 3);
    const QJsonObject alerted = alerts();
    const QJsonArray spikes = alerted.value("spikes").toArray();
    QCOMPARE(spikes.size(), 1);
    QCOMPARE(spikes.first().toObject().value("causeDir").toString(), QString("/var"));
    QCOMPARE(spikes.first().toObject().value("growth").toDouble(), double(5 * GiB + 300 * MiB));
    QVERIFY(spikes.first().toObject().value("alerted").toBool());

    // Later cycles that day: one df each, no du, no new alert.
    for (const QTime &t : {QTime(14, 15), QTime(14, 30)})
        QCOMPARE(runMonitor(QDateTime(d, t)).monitorLines, ok);
    QCOMPARE(duRuns(), 3);
    QCOMPARE(alerts(), alerted);
    QCOMPARE(day(d).samples.size(), 4);
    QCOMPARE(day(d).drillCache.keys(), QStringList{"/var"});

    // Fourteen days without a record, then fourteen days' normal growth: no daily spike, and the
    // index's growth still counts since the previous record.
    const QDate later = d.addDays(14);
    setUsed(105 * GiB + 300 * MiB + 14 * 800 * MiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB + 14 * 800 * MiB, true},
                            {"/var", 15 * GiB, true},
                            {"/home", 20 * GiB + 300 * MiB, true}}));
    QCOMPARE(runMonitor(QDateTime(later, QTime(9, 0))).monitorLines, ok);
    QCOMPARE(alerts().value("spikes").toArray().size(), 1);
    const QJsonObject last =
        readJson(historyDir() + "/index.json").object().value("days").toArray().last().toObject();
    QCOMPARE(last.value("date").toString(), later.toString(Qt::ISODate));
    QCOMPARE(last.value("g").toDouble(), double(14 * 800 * MiB));
    QVERIFY(!last.value("spike").toBool());
}

void TestMonitorProcess::secondSourceAfterAlert()
{
    useStandardConfig();
    const QDate d(2026, 6, 10);
    const QStringList ok{"[tavrin-monitor] ok: 监控完成"};
    seedDay(d.addDays(-1), 100 * GiB,
            {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}, {"/home", 20 * GiB, true}});
    auto causes = [&] {
        QStringList dirs;
        for (const QJsonValue &v : alerts().value("spikes").toArray())
            dirs << v.toObject().value("causeDir").toString();
        return dirs;
    };

    // 08:00: /home grew 2 GiB, alerted after the day's first scan.
    setUsed(102 * GiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}, {"/home", 22 * GiB, true}}));
    setDu("/home", duText("/home", {{"/home/u", 22 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d, QTime(8, 0))).monitorLines, ok);
    QCOMPARE(causes(), QStringList{"/home"});
    QCOMPARE(duRuns(), 2);

    // 14:00: 5 GiB more, in /var. A growth of its own since the alert: the day's second scan
    // names /var, and it is alerted as well.
    setUsed(107 * GiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true}, {"/var", 15 * GiB, true}, {"/home", 22 * GiB, true}}));
    setDu("/var", duText("/var", {{"/var/lib", 15 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d, QTime(14, 0))).monitorLines, ok);
    QCOMPARE(causes(), (QStringList{"/home", "/var"}));
    QVERIFY(alerts().value("spikes").toArray().last().toObject().value("alerted").toBool());
    QCOMPARE(duRuns(), 4);

    // Growth again after that: no third full scan that day, no alert it cannot attribute.
    setUsed(110 * GiB);
    QCOMPARE(runMonitor(QDateTime(d, QTime(16, 0))).monitorLines, ok);
    QCOMPARE(causes(), (QStringList{"/home", "/var"}));
    QCOMPARE(duRuns(), 4);
}

void TestMonitorProcess::lockHeldTooLong()
{
    useStandardConfig();
    const QDate d(2026, 6, 10);
    seedDay(d.addDays(-1), 100 * GiB, {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}});
    setUsed(103 * GiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true}, {"/var", 13 * GiB, true}}));
    setDu("/var", duText("/var", {{"/var/log", 3 * GiB, true}}));
    const QStringList shortWait{"TAVRIN_HISTORY_LOCK_TIMEOUT_MS=300"};

    // The window holds the history lock past the wait: the cycle says it failed, and why.
    std::unique_ptr<HistoryLock> held;
    asWindow(QDateTime(d, QTime(8, 0)), [&] { held = std::make_unique<HistoryLock>(); });
    QVERIFY(held->isLocked());
    const Run blocked = runMonitor(QDateTime(d, QTime(8, 0)), shortWait);
    QCOMPARE(blocked.monitorLines.size(), 1);
    QVERIFY2(blocked.monitorLines.first().startsWith("[tavrin-monitor] failed: "),
             blocked.stderrText.constData());
    QVERIFY(blocked.monitorLines.first().contains("告警记录保存失败：历史目录正被另一个进程占用"));
    QVERIFY(alerts().isEmpty());
    held.reset();

    // The next cycle raises the alert that could not be recorded.
    QCOMPARE(runMonitor(QDateTime(d, QTime(8, 15))).monitorLines,
             QStringList{"[tavrin-monitor] ok: 监控完成"});
    QJsonArray spikes = alerts().value("spikes").toArray();
    QCOMPARE(spikes.size(), 1);
    QCOMPARE(spikes.first().toObject().value("causeDir").toString(), QString("/var"));
    QVERIFY(spikes.first().toObject().value("alerted").toBool());

    // A drill the day file holds already (its cycle could not record the alert) is not run again.
    QFile::remove(historyDir() + "/alert.json");
    QFile::remove(scratch.filePath("du.log"));
    QCOMPARE(runMonitor(QDateTime(d, QTime(8, 30))).monitorLines,
             QStringList{"[tavrin-monitor] ok: 监控完成"});
    spikes = alerts().value("spikes").toArray();
    QCOMPARE(spikes.size(), 1);
    QCOMPARE(spikes.first().toObject().value("causes").toArray().size(), 1);
    QCOMPARE(duRuns(), 0);
}

void TestMonitorProcess::excludedGrowthNeverAlerts()
{
    useStandardConfig();
    setConfig("monitor.excludes", QStringList{"~/Downloads"});
    const QDate d(2026, 6, 10);
    const QStringList ok{"[tavrin-monitor] ok: 监控完成"};
    // The home lies below a top-level directory of its own, as /home does.
    const QString top = "/" + home.path().section('/', 1, 1);
    const QString downloads = home.path() + "/Downloads";
    seedDay(d.addDays(-1), 100 * GiB,
            {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}, {top, 20 * GiB, true}});

    // 5 GiB in ~/Downloads and 50 MiB in /var: du leaves the downloads out of the home's
    // directory; what grew outside them is far below the threshold, so nothing is blamed.
    setExcludedSize(downloads, 5 * GiB);
    setUsed(105 * GiB + 50 * MiB);
    setDu(
        "/",
        duText("/", {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB + 50 * MiB, true}, {top, 25 * GiB, true}}));
    setDu("/var", duText("/var", {{"/var/log", 50 * MiB, true}}));
    setDu(top, duText(top, {{home.path(), 25 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d, QTime(8, 0))).monitorLines, ok);
    QCOMPARE(alerts().value("spikes").toArray().size(), 0);
    QVERIFY2(duRunsExcluding(downloads) > 0, qPrintable(duLog()));
    QCOMPARE(duRuns(), duRunsExcluding(downloads));
    QCOMPARE(day(d).topLevel.size(), 3);
    QCOMPARE(day(d).drillCache.size(), 0);
    // Later that day: more downloads only. The day's second scan finds nothing outside them.
    setExcludedSize(downloads, 7 * GiB);
    setUsed(107 * GiB + 50 * MiB);
    setDu(
        "/",
        duText("/", {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB + 50 * MiB, true}, {top, 27 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d, QTime(14, 0))).monitorLines, ok);
    QCOMPARE(alerts().value("spikes").toArray().size(), 0);
    QCOMPARE(day(d).drillCache.size(), 0);
    QCOMPARE(duRuns(), 2);

    // 5 GiB more there and 2 GiB in /var: /var is named, its growth is the day's.
    const QDate next = d.addDays(1);
    setExcludedSize(downloads, 10 * GiB);
    setUsed(112 * GiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true}, {"/var", 12 * GiB, true}, {top, 30 * GiB, true}}));
    setDu("/var", duText("/var", {{"/var/log", 2 * GiB, true}, {"/var/lib", 10 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(next, QTime(8, 0))).monitorLines, ok);
    const QJsonArray spikes = alerts().value("spikes").toArray();
    QCOMPARE(spikes.size(), 1);
    QCOMPARE(spikes.first().toObject().value("causeDir").toString(), QString("/var"));
    QCOMPARE(spikes.first().toObject().value("growth").toDouble(),
             double(112 * GiB - (107 * GiB + 50 * MiB)));
    QCOMPARE(day(next).drillCache.keys(), QStringList{"/var"});
}

void TestMonitorProcess::changedExclusionsBlameNoDirectory()
{
    useStandardConfig();
    setConfig("monitor.excludes", QStringList{"~/Downloads"});
    const QDate d(2026, 6, 10);
    const QStringList ok{"[tavrin-monitor] ok: 监控完成"};
    const QString top = "/" + home.path().section('/', 1, 1);
    const QString downloads = home.path() + "/Downloads";
    setExcludedSize(downloads, 8 * GiB);
    seedDay(d.addDays(-1), 100 * GiB,
            {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}, {top, 20 * GiB, true}});
    const auto topLevel = [&](qint64 var) {
        return duText("/", {{"/usr", 60 * GiB, true}, {"/var", var, true}, {top, 28 * GiB, true}});
    };

    // The day's scan leaves the 8 GiB of ~/Downloads out, and the day file says so.
    setUsed(100 * GiB);
    setDu("/", topLevel(10 * GiB));
    QCOMPARE(runMonitor(QDateTime(d, QTime(8, 0))).monitorLines, ok);
    QVERIFY(day(d).scanExcludedKnown);
    QVERIFY(day(d).scanExcluded.contains(downloads));
    QCOMPARE(day(d).topLevel.last().size, 20 * GiB);

    // The exclusion is removed and 5 GiB land in /var: the home's directory now counts the old
    // 8 GiB of downloads, which did not arrive today. /var is named, not the home.
    const QDate next = d.addDays(1);
    setConfig("monitor.excludes", QStringList{});
    setUsed(105 * GiB);
    setDu("/", topLevel(15 * GiB));
    setDu("/var", duText("/var", {{"/var/log", GiB, true}, {"/var/lib", 14 * GiB, true}}));
    setDu(top, duText(top, {{home.path(), 28 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(next, QTime(8, 0))).monitorLines, ok);
    const QJsonArray spikes = alerts().value("spikes").toArray();
    QCOMPARE(spikes.size(), 1);
    QCOMPARE(spikes.first().toObject().value("causeDir").toString(), QString("/var"));
    QCOMPARE(day(next).drillCache.keys(), QStringList{"/var"});
    QVERIFY(day(next).scanExcludedKnown);
    QVERIFY(day(next).scanExcluded.isEmpty());
}

void TestMonitorProcess::quietHoursDeferAlertsOnce()
{
    useStandardConfig();
    setConfig("monitor.quietStart", "23:00");
    setConfig("monitor.quietEnd", "07:00");
    const QDate d(2026, 6, 10);
    const QStringList ok{"[tavrin-monitor] ok: 监控完成"};
    auto lastAlertAt = [&](const QString &dir) {
        return QDateTime::fromString(alerts().value("lastAlert").toObject().value(dir).toString(),
                                     Qt::ISODateWithMs);
    };
    auto spikeOf = [&](const QDate &date) {
        for (const QJsonValue &v : alerts().value("spikes").toArray()) {
            if (v.toObject().value("date").toString() == date.toString(Qt::ISODate))
                return v.toObject();
        }
        return QJsonObject();
    };
    auto growVar = [&](qint64 varSize) {
        setUsed(90 * GiB + varSize);
        setDu("/", duText("/", {{"/usr", 60 * GiB, true}, {"/var", varSize, true}}));
        setDu("/var", duText("/var", {{"/var/log", varSize, true}}));
    };
    seedDay(d.addDays(-1), 100 * GiB, {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}});

    // First seen at 23:30: kept back, not dropped.
    growVar(13 * GiB);
    QCOMPARE(runMonitor(QDateTime(d, QTime(23, 30))).monitorLines, ok);
    QVERIFY(!spikeOf(d).isEmpty());
    QVERIFY(!spikeOf(d).value("alerted").toBool());
    QVERIFY(!lastAlertAt("/var").isValid());
    // The first cycle outside the quiet hours, on the next day, notifies it; later ones do not again.
    QCOMPARE(runMonitor(QDateTime(d.addDays(1), QTime(7, 30))).monitorLines, ok);
    QVERIFY(spikeOf(d).value("alerted").toBool());
    QCOMPARE(lastAlertAt("/var"), QDateTime(d.addDays(1), QTime(7, 30)));

    // First seen at 06:00: notified at 07:30 once, never again that day.
    growVar(16 * GiB);
    const QDate d2 = d.addDays(2);
    QCOMPARE(runMonitor(QDateTime(d2, QTime(6, 0))).monitorLines, ok);
    QVERIFY(!spikeOf(d2).value("alerted").toBool());
    for (const QTime &t : {QTime(7, 30), QTime(13, 45), QTime(20, 0)})
        QCOMPARE(runMonitor(QDateTime(d2, t)).monitorLines, ok);
    QVERIFY(spikeOf(d2).value("alerted").toBool());
    QCOMPARE(lastAlertAt("/var"), QDateTime(d2, QTime(7, 30)));

    // A new date's spike for the same directory within the cooldown stays silent, also later.
    setConfig("monitor.cooldownHours", 48);
    growVar(19 * GiB);
    const QDate d3 = d.addDays(3);
    for (const QDateTime &t :
         {QDateTime(d3, QTime(8, 0)), QDateTime(d3, QTime(20, 0)), QDateTime(d3.addDays(1), QTime(9, 0))})
        QCOMPARE(runMonitor(t).monitorLines, ok);
    QVERIFY(!spikeOf(d3).isEmpty());
    QVERIFY(!spikeOf(d3).value("alerted").toBool());
    QCOMPARE(lastAlertAt("/var"), QDateTime(d2, QTime(7, 30)));
    QCOMPARE(alerts().value("spikes").toArray().size(), 3);

    // First seen in the quiet hours while its directory is in cooldown: suppressed as any other,
    // not sent once the cooldown is over.
    setConfig("monitor.cooldownHours", 72);
    growVar(22 * GiB);
    const QDate d4 = d.addDays(4);
    for (const QDateTime &t : {QDateTime(d4, QTime(23, 30)), QDateTime(d4.addDays(1), QTime(7, 30)),
                               QDateTime(d4.addDays(1), QTime(9, 0))})
        QCOMPARE(runMonitor(t).monitorLines, ok);
    QVERIFY(!spikeOf(d4).isEmpty());
    QVERIFY(!spikeOf(d4).value("alerted").toBool());
    QVERIFY(!spikeOf(d4).value("deferred").toBool());
    QCOMPARE(lastAlertAt("/var"), QDateTime(d2, QTime(7, 30)));
}

void TestMonitorProcess::wrongClockKeepsHistory()
{
    useStandardConfig();
    setConfig("monitor.retentionDays", 30);
    const QDate d(2026, 6, 10);
    const QStringList ok{"[tavrin-monitor] ok: 监控完成"};
    QStringList history;
    for (int i = 9; i >= 1; --i)
        seedDay(d.addDays(-i), 100 * GiB, {{"/usr", 60 * GiB, true}});
    setUsed(100 * GiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d, QTime(9, 0))).monitorLines, ok);
    const QStringList ten = fileNames(historyDir());
    QCOMPARE(ten.size(), 10);

    // A year ahead and back: nothing is lost, and the day from the future goes again.
    QCOMPARE(runMonitor(QDateTime(d.addDays(365), QTime(9, 0))).monitorLines, ok);
    QCOMPARE(fileNames(historyDir()), ten + QStringList{d.addDays(365).toString(Qt::ISODate) + ".json"});
    QCOMPARE(runMonitor(QDateTime(d, QTime(10, 0))).monitorLines, ok);
    QCOMPARE(fileNames(historyDir()), ten);
    QCOMPARE(readJson(historyDir() + "/index.json").object().value("last").toString(),
             d.toString(Qt::ISODate));

    // A year behind deletes nothing either.
    QCOMPARE(runMonitor(QDateTime(d.addDays(-365), QTime(9, 0))).monitorLines, ok);
    QCOMPARE(fileNames(historyDir()), QStringList{d.addDays(-365).toString(Qt::ISODate) + ".json"} + ten);
    // The true date again: the growth compares with the day before, not the stray day.
    setUsed(100 * GiB + 2 * GiB);
    setDu("/", duText("/", {{"/usr", 62 * GiB, true}}));
    setDu("/usr", duText("/usr", {{"/usr/lib", 62 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d.addDays(1), QTime(9, 0))).monitorLines, ok);
    QCOMPARE(alerts().value("spikes").toArray().first().toObject().value("growth").toDouble(),
             double(2 * GiB));

    // One cycle three days ahead, then the right time again: that day's file is kept aside, and
    // when the day comes its total is what was measured on it.
    const QDate ahead = d.addDays(4);
    const QString aheadName = ahead.toString(Qt::ISODate) + ".json";
    setUsed(103 * GiB);
    QCOMPARE(runMonitor(QDateTime(ahead, QTime(9, 0))).monitorLines, ok);
    QVERIFY(fileNames(historyDir()).contains(aheadName));
    setUsed(102 * GiB);
    QCOMPARE(runMonitor(QDateTime(d.addDays(1), QTime(10, 0))).monitorLines, ok);
    QVERIFY(!fileNames(historyDir()).contains(aheadName));
    QVERIFY(QFileInfo(historyDir() + "/ahead/" + aheadName).isFile());
    for (int i = 2; i <= 4; ++i)
        QCOMPARE(runMonitor(QDateTime(d.addDays(i), QTime(8, 0))).monitorLines, ok);
    QCOMPARE(day(ahead).total, 102 * GiB);
    QCOMPARE(day(ahead).samples.size(), 1);
    QCOMPARE(readJson(historyDir() + "/index.json")
                 .object()
                 .value("days")
                 .toArray()
                 .last()
                 .toObject()
                 .value("g")
                 .toDouble(),
             0.0);
}

void TestMonitorProcess::failedSaveIsReported()
{
    useStandardConfig();
    const QDate d(2026, 6, 10);
    setUsed(100 * GiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true}}));
    QCOMPARE(runMonitor(QDateTime(d, QTime(9, 0))).monitorLines,
             QStringList{"[tavrin-monitor] ok: 监控完成"});
    // Something that cannot be replaced sits where the next day's file goes.
    const QString blocked = dayFile(d.addDays(1));
    QVERIFY(QDir().mkpath(blocked));
    QVERIFY(writeFileAtomic(blocked + "/keep", "old"));
    const Run run = runMonitor(QDateTime(d.addDays(1), QTime(9, 0)));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.monitorLines.size(), 1);
    QVERIFY2(run.monitorLines.first().startsWith("[tavrin-monitor] failed: 监控记录保存失败："),
             run.stderrText.constData());
    QVERIFY(run.monitorLines.first().contains(blocked));
    QVERIFY(QFileInfo(blocked + "/keep").isFile());
}

void TestMonitorProcess::overlappingWriters()
{
    useStandardConfig();
    const QDate d(2026, 6, 10);
    setUsed(100 * GiB);
    setDu("/", duText("/", {{"/usr", 60 * GiB, true}}));
    const QString release = scratch.filePath("release");
    std::unique_ptr<QProcess> first(startMonitor(QDateTime(d, QTime(8, 0)), {"FAKE_DU_WAIT=" + release}));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(release + ".started"), 30000);

    // A second cycle while the first scans ends at once with a clear line.
    const Run second = runMonitor(QDateTime(d, QTime(8, 5)));
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(second.monitorLines, QStringList{"[tavrin-monitor] failed: 监控周期已在运行"});

    // The window writes the same day meanwhile.
    asWindow(QDateTime(d, QTime(8, 2)), [&] {
        DiskHistoryStore store;
        QVERIFY(store.updateDayRecord(d, [&](DiskDayRecord &day) {
            day.drillCache.insert("/opt", {{"/opt/app", GiB, true}});
            DiskSample sample;
            sample.time = QDateTime(d, QTime(8, 2));
            sample.total = 100 * GiB + 1024;
            day.samples.append(sample);
        }));
    });
    QVERIFY(writeFileAtomic(release, "go"));
    const Run run = collect(*first);
    QCOMPARE(run.monitorLines, QStringList{"[tavrin-monitor] ok: 监控完成"});

    // Both kept what they wrote.
    const DiskDayRecord saved = day(d);
    QCOMPARE(saved.samples.size(), 2);
    QCOMPARE(saved.samples.first().time, QDateTime(d, QTime(8, 0)));
    QCOMPARE(saved.samples.last().total, 100 * GiB + 1024);
    QCOMPARE(saved.drillCache.keys(), QStringList{"/opt"});
    QCOMPARE(saved.topLevel.size(), 1);
    QCOMPARE(saved.capacity, 500 * GiB);
}

TAVRIN_TEST_GUILESS_MAIN(TestMonitorProcess)
#include "tst_monitorprocess.moc"
