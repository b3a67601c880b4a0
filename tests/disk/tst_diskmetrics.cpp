#include "disk/diskmetrics.h"
#include "disk/jsonfileio.h"

#include "diskfixture.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>

using namespace Tavrin;

namespace {

constexpr qint64 MiB = 1024LL * 1024;
constexpr qint64 GiB = 1024 * MiB;
const QDateTime kNow(QDate(2026, 12, 9), QTime(12, 0), Qt::LocalTime);
// A directory name a label must carry through: quotes, backslashes, a line feed, braces, UTF-8.
const QString kOddName = QStringLiteral("/srv/we\"ird\\dir\nname {x=\"1\"} 数据");

struct ToolRun
{
    int exitCode = -1;
    QByteArray output;
};

ToolRun runTool(const QString &program, const QStringList &args, const QByteArray &input = QByteArray())
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ToolRun r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = p.readAll();
    return r;
}

QString promtool()
{
    return QStandardPaths::findExecutable(QStringLiteral("promtool"));
}

QString nodeExporter()
{
    const QString debian = QStandardPaths::findExecutable(QStringLiteral("prometheus-node-exporter"));
    return debian.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("node_exporter")) : debian;
}

DiskDayRecord day(const QDate &date, qint64 total, const QList<DiskItem> &topLevel)
{
    DiskDayRecord r;
    r.date = date;
    r.total = total;
    r.capacity = 500 * GiB;
    r.topLevel = topLevel;
    r.samples.append(DiskSample{QDateTime(date, QTime(11, 0)), total, {}});
    return r;
}

// The value of the one sample of `name` (with `labels` as written), or "" when the text has none.
QByteArray sampleValue(const QByteArray &text, const QByteArray &series)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(series + ' '))
            return line.mid(series.size() + 1).trimmed();
    }
    return QByteArray();
}

} // namespace

// The metrics file of the monitor: its content over faked cycles, node_exporter reading it, and
// promtool on it and on the shipped alerting rules.
class TestDiskMetrics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void labelEscaping_data();
    void labelEscaping();
    void fileFormat_data();
    void fileFormat();
    void collectOverFakedCycles();
    void nodeExporterScrape();
    void shippedRules();

private:
    QString historyDir() const { return home.path() + "/data/tavrin-manager/disk-history"; }
    void save(const DiskDayRecord &record);
    int runMonitor(const QStringList &extraEnv = {});
    QByteArray scrape(quint16 port);

    QTemporaryDir home;
    QTemporaryDir metricsDir;
    std::unique_ptr<QProcess> exporter;
};

void TestDiskMetrics::initTestCase()
{
    TAVRIN_REQUIRE_PRIVATE_HOME();
    QVERIFY(home.isValid() && metricsDir.isValid());
    QVERIFY(Tavrin::Test::plantDiskFakes(home.path() + "/root"));
}

void TestDiskMetrics::cleanup()
{
    // Nothing started here outlives its test.
    if (exporter) {
        exporter->terminate();
        if (!exporter->waitForFinished(5000)) {
            exporter->kill();
            exporter->waitForFinished();
        }
        exporter.reset();
    }
    QDir(historyDir()).removeRecursively();
}

void TestDiskMetrics::save(const DiskDayRecord &record)
{
    QVERIFY(QDir().mkpath(historyDir()));
    QVERIFY(writeJsonAtomic(historyDir() + "/" + record.date.toString(Qt::ISODate) + ".json",
                            QJsonDocument(dayRecordToJson(record))));
}

void TestDiskMetrics::labelEscaping_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("plain") << "/var/log"
                           << "/var/log";
    QTest::newRow("quote") << "/a\"b"
                           << "/a\\\"b";
    QTest::newRow("backslash") << "/a\\b"
                               << "/a\\\\b";
    QTest::newRow("backslash before n") << "/a\\nb"
                                        << "/a\\\\nb";
    QTest::newRow("line feed") << "/a\nb"
                               << "/a\\nb";
    QTest::newRow("all at once, UTF-8 kept") << "/\"\\\n数据"
                                             << "/\\\"\\\\\\n数据";
}

void TestDiskMetrics::labelEscaping()
{
    QFETCH(QString, value);
    QFETCH(QString, escaped);
    QCOMPARE(escapeMetricLabel(value), escaped);
}

void TestDiskMetrics::fileFormat_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QStringList always{"tavrin_disk_spikes_today", "tavrin_disk_spikes_recorded",
                             "tavrin_monitor_last_cycle_timestamp_seconds",
                             "tavrin_monitor_last_cycle_failed"};
    QTest::newRow("typical") << "typical"
                             << always + QStringList{"tavrin_disk_used_bytes",
                                                     "tavrin_disk_capacity_bytes",
                                                     "tavrin_disk_time_to_full_seconds",
                                                     "tavrin_disk_day_growth_bytes",
                                                     "tavrin_disk_directory_growth_bytes",
                                                     "tavrin_monitor_last_success_timestamp_seconds"}
                             << QStringList{};
    QTest::newRow("disk of 0 bytes") << "zero disk"
                                     << always + QStringList{"tavrin_disk_used_bytes",
                                                             "tavrin_disk_capacity_bytes"}
                                     << QStringList{"tavrin_disk_time_to_full_seconds"};
    QTest::newRow("no history, never succeeded")
        << "nothing" << always
        << QStringList{"tavrin_disk_used_bytes", "tavrin_disk_time_to_full_seconds",
                       "tavrin_disk_day_growth_bytes", "tavrin_disk_directory_growth_bytes",
                       "tavrin_monitor_last_success_timestamp_seconds"};
    QTest::newRow("odd directory names")
        << "odd names" << always + QStringList{"tavrin_disk_directory_growth_bytes"} << QStringList{};
}

void TestDiskMetrics::fileFormat()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    DiskMetrics m;
    m.cycleTime = kNow;
    if (kind == "typical") {
        m.lastSuccess = kNow;
        m.diskKnown = true;
        m.used = 100 * GiB;
        m.capacity = 500 * GiB;
        m.forecast =
            forecastDaysToFull(QList<DiskForecastPoint>{{kNow.date().addDays(-1), 99 * GiB, 500 * GiB},
                                                        {kNow.date(), 100 * GiB, 500 * GiB}},
                               kNow.date());
        m.dayGrowthKnown = true;
        m.dayGrowth = -3 * GiB;
        m.directoryGrowth = {{"/var", 2 * GiB, true}, {"/home", GiB, true}};
        m.spikesToday = 1;
        m.spikesRecorded = 7;
    } else if (kind == "zero disk") {
        m.diskKnown = true;
        m.forecast = forecastDaysToFull(QList<DiskForecastPoint>{{kNow.date(), 0, 0}}, kNow.date());
        m.cycleFailed = true;
        m.lastSuccess = kNow.addDays(-2);
    } else if (kind == "nothing") {
        m.cycleFailed = true;
    } else {
        m.lastSuccess = kNow;
        m.directoryGrowth = {{kOddName, 3 * GiB, true}, {"/a\\", 2 * GiB, true}, {"/\n", GiB, true},
                             {kOddName, GiB, true},     {"/\"", MiB, true},      {"/ spaced name", 1, true}};
    }
    const QByteArray text = formatDiskMetrics(m);
    for (const QString &family : present)
        QVERIFY2(text.contains("\n# TYPE " + family.toUtf8() + " gauge\n") ||
                     text.startsWith("# HELP " + family.toUtf8() + ' '),
                 qPrintable(family));
    for (const QString &family : absent)
        QVERIFY2(!text.contains(family.toUtf8() + ' ') && !text.contains(family.toUtf8() + '{'),
                 qPrintable(family));
    QCOMPARE(sampleValue(text, "tavrin_monitor_last_cycle_failed"), QByteArray(m.cycleFailed ? "1" : "0"));
    if (kind == "typical") {
        QCOMPARE(sampleValue(text, "tavrin_disk_time_to_full_seconds"), QByteArray::number(400 * 86400));
        QCOMPARE(sampleValue(text, "tavrin_disk_day_growth_bytes"), QByteArray::number(-3 * GiB));
        QCOMPARE(sampleValue(text, "tavrin_disk_directory_growth_bytes{path=\"/var\"}"),
                 QByteArray::number(2 * GiB));
    }
    if (kind == "odd names") {
        // A path listed twice gives one series; every line is one sample.
        QCOMPARE(text.count("tavrin_disk_directory_growth_bytes{"), 5);
        QCOMPARE(sampleValue(text, "tavrin_disk_directory_growth_bytes{path=\"" +
                                       escapeMetricLabel(kOddName).toUtf8() + "\"}"),
                 QByteArray::number(3 * GiB));
    }

    if (promtool().isEmpty())
        QSKIP("promtool is not installed (Debian: prometheus)");
    const ToolRun check = runTool(promtool(), {"check", "metrics"}, text);
    QVERIFY2(check.exitCode == 0, (check.output + "\n" + text).constData());
}

void TestDiskMetrics::collectOverFakedCycles()
{
    const QDate today = kNow.date();
    QList<DiskItem> before;
    QList<DiskItem> after;
    for (int i = 0; i < 20; ++i) {
        const QString path = QStringLiteral("/dir%1").arg(i, 2, 10, QLatin1Char('0'));
        before.append({path, 10 * GiB, true});
        // dir00 shrinks, the others grow by i MiB; a file at the top never counts as a directory.
        after.append({path, 10 * GiB + (i == 0 ? -GiB : i * MiB), true});
    }
    after.append({"/swapfile", 50 * GiB, false});
    save(day(today.addDays(-3), 200 * GiB, before));
    // The day before has no scan of its own: growth of the directories is counted from three days ago.
    save(day(today.addDays(-1), 203 * GiB, {}));
    save(day(today, 205 * GiB, after));
    QVERIFY(writeFileAtomic(historyDir() + "/alert.json",
                            R"({"spikes":[{"date":"2026-11-30","growth":1,"causeDir":"/a"},
                                          {"date":"2026-12-09","growth":2,"causeDir":"/b"},
                                          {"date":"2026-12-09","growth":3,"causeDir":"/c"}]})"));

    DiskMetrics m = collectDiskMetrics(historyDir(), kNow, true, QDateTime());
    QVERIFY(m.diskKnown);
    QCOMPARE(m.used, 205 * GiB);
    QCOMPARE(m.capacity, 500 * GiB);
    QVERIFY(m.dayGrowthKnown);
    QCOMPARE(m.dayGrowth, 2 * GiB);
    QCOMPARE(m.directoryGrowth.size(), kMetricsGrowthDirs);
    QCOMPARE(m.directoryGrowth.first().path, QStringLiteral("/dir19"));
    QCOMPARE(m.directoryGrowth.first().size, 19 * MiB);
    QCOMPARE(m.directoryGrowth.last().path, QStringLiteral("/dir05"));
    QCOMPARE(m.spikesToday, 2);
    QCOMPARE(m.spikesRecorded, 3);
    // 5 GiB in 3 days from 200 GiB: 295 GiB left.
    QCOMPARE(m.forecast.state, DiskForecast::State::Forecast);
    QCOMPARE(m.forecast.daysToFull, qint64(177));
    QCOMPARE(m.lastSuccess, kNow);

    // A failed cycle later keeps the success time the file recorded.
    const QByteArray file = formatDiskMetrics(m);
    const DiskMetrics failed =
        collectDiskMetrics(historyDir(), kNow.addSecs(900), false, lastSuccessFromMetrics(file));
    QVERIFY(failed.cycleFailed);
    QCOMPARE(failed.lastSuccess.toMSecsSinceEpoch(), kNow.toMSecsSinceEpoch());
    QCOMPARE(lastSuccessFromMetrics(formatDiskMetrics(failed)).toMSecsSinceEpoch(), kNow.toMSecsSinceEpoch());
    QVERIFY(!lastSuccessFromMetrics("tavrin_monitor_last_success_timestamp_seconds_x 5\n").isValid());
    QVERIFY(!lastSuccessFromMetrics("tavrin_monitor_last_success_timestamp_seconds nan\n").isValid());

    // Without today's record nothing about the disk is claimed.
    QVERIFY(QFile::remove(historyDir() + "/2026-12-09.json"));
    m = collectDiskMetrics(historyDir(), kNow, false, QDateTime());
    QVERIFY(!m.diskKnown);
    QVERIFY(!m.dayGrowthKnown);
    QVERIFY(m.directoryGrowth.isEmpty());
    QVERIFY(!m.lastSuccess.isValid());
}

int TestDiskMetrics::runMonitor(const QStringList &extraEnv)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_DATA_DIRS", home.path() + "/none");
    env.insert("TAVRIN_CONFIG_QSETTINGS", "1");
    env.insert("TAVRIN_DISK_NOW", kNow.toString(Qt::ISODate));
    env.insert("TAVRIN_SYSROOT", home.path() + "/root");
    env.insert("FAKE_DF_TOTAL", QString::number(500 * GiB));
    env.insert("FAKE_DF_USED", QString::number(100 * GiB + 100 * MiB));
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    for (const QString &entry : extraEnv)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(Tavrin::Test::buildPath("bin/tavrin-manager"), {"--monitor"});
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    const QByteArray err = p.readAllStandardError();
    if (!err.contains("[tavrin-monitor] ok"))
        qWarning("%s", err.constData());
    return err.contains("[tavrin-monitor] ok") ? 0 : 1;
}

QByteArray TestDiskMetrics::scrape(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(2000))
        return QByteArray();
    socket.write("GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(5000) || socket.bytesAvailable())
        reply += socket.readAll();
    return reply;
}

void TestDiskMetrics::nodeExporterScrape()
{
    if (nodeExporter().isEmpty())
        QSKIP("node_exporter is not installed (Debian: prometheus-node-exporter)");
    QVERIFY(QFileInfo(Tavrin::Test::buildPath("bin/tavrin-manager")).isExecutable());
    QVERIFY(QDir().mkpath(home.path() + "/config/zarnex"));
    QVERIFY(
        writeFileAtomic(home.path() + "/config/zarnex/tavrin-manager.conf",
                        "[monitor]\nenabled=true\nmetricsDirectory=" + metricsDir.path().toUtf8() + "\n"));
    const QDate today = kNow.date();
    save(day(today.addDays(-1), 100 * GiB, {{"/var", 10 * GiB, true}, {kOddName, GiB, true}}));
    // Today's scan is done already: the cycle only samples with df.
    save(day(today, 100 * GiB, {{"/var", 10 * GiB + 600 * MiB, true}, {kOddName, GiB + 300 * MiB, true}}));

    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    exporter = std::make_unique<QProcess>();
    exporter->setStandardOutputFile(QProcess::nullDevice());
    exporter->setStandardErrorFile(QProcess::nullDevice());
    exporter->start(nodeExporter(), {QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port),
                                     "--collector.disable-defaults", "--collector.textfile",
                                     "--collector.textfile.directory=" + metricsDir.path()});
    QVERIFY(exporter->waitForStarted(10000));

    QCOMPARE(runMonitor(), 0);
    QVERIFY(QFileInfo::exists(metricsDir.filePath("tavrin-manager.prom")));
    QByteArray reply;
    QTRY_VERIFY_WITH_TIMEOUT(!(reply = scrape(port)).isEmpty(), 15000);
    QVERIFY2(reply.startsWith("HTTP/1.") && reply.contains(" 200 "), reply.left(200).constData());
    // The collector read the file without complaint, odd label and all.
    QCOMPARE(sampleValue(reply, "node_textfile_scrape_error"), QByteArray("0"));
    // node_exporter prints every value as a float.
    const auto value = [&reply](const QByteArray &series) { return sampleValue(reply, series).toDouble(); };
    QCOMPARE(value("tavrin_disk_used_bytes"), double(100 * GiB + 100 * MiB));
    QCOMPARE(value("tavrin_disk_capacity_bytes"), double(500 * GiB));
    QCOMPARE(value("tavrin_disk_day_growth_bytes"), double(100 * MiB));
    QCOMPARE(sampleValue(reply, "tavrin_monitor_last_cycle_failed"), QByteArray("0"));
    QCOMPARE(value("tavrin_disk_directory_growth_bytes{path=\"/var\"}"), double(600 * MiB));
    QCOMPARE(
        value("tavrin_disk_directory_growth_bytes{path=\"" + escapeMetricLabel(kOddName).toUtf8() + "\"}"),
        double(300 * MiB));
    const QByteArray success = sampleValue(reply, "tavrin_monitor_last_success_timestamp_seconds");
    QCOMPARE(success.toDouble(), double(kNow.toSecsSinceEpoch()));

    // A failing cycle: flagged, the last success kept, the disk's figures still those of the day.
    QCOMPARE(runMonitor({"FAKE_DF_EXIT=1"}), 1);
    reply = scrape(port);
    QCOMPARE(sampleValue(reply, "node_textfile_scrape_error"), QByteArray("0"));
    QCOMPARE(sampleValue(reply, "tavrin_monitor_last_cycle_failed"), QByteArray("1"));
    QCOMPARE(sampleValue(reply, "tavrin_monitor_last_success_timestamp_seconds"), success);
    // Nothing but the file itself is left in the directory (the save-file's temporary is gone).
    QCOMPARE(QDir(metricsDir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"tavrin-manager.prom"});
}

void TestDiskMetrics::shippedRules()
{
    if (promtool().isEmpty())
        QSKIP("promtool is not installed (Debian: prometheus)");
    const QString rules = Tavrin::Test::sourcePath("data/prometheus/tavrin-manager.rules.yml");
    const ToolRun check = runTool(promtool(), {"check", "rules", rules});
    QVERIFY2(check.exitCode == 0, check.output.constData());

    // The rules fire when they should and not before: a forecast falling to 7 days, a last success
    // that stops moving at minute 10, a spike from minute 5.
    QTemporaryDir dir;
    const QByteArray test = R"(rule_files:
  - )" + rules.toUtf8() + R"(
evaluation_interval: 1m
tests:
  - interval: 1m
    input_series:
      - series: 'tavrin_disk_time_to_full_seconds{instance="host1", job="node"}'
        values: '864000 777600 691200 604800x60'
      - series: 'tavrin_monitor_last_success_timestamp_seconds{instance="host1", job="node"}'
        values: '0+60x10 600x120'
      - series: 'tavrin_monitor_last_cycle_failed{instance="host1", job="node"}'
        values: '0x130'
      - series: 'tavrin_disk_spikes_today{instance="host1", job="node"}'
        values: '0x4 2x60'
    alert_rule_test:
      - eval_time: 20m
        alertname: TavrinDiskFullSoon
        exp_alerts: []
      - eval_time: 40m
        alertname: TavrinDiskFullSoon
        exp_alerts:
          - exp_labels: {severity: warning, instance: host1, job: node}
            exp_annotations:
              summary: "System disk of host1 full within 7 days"
              description: "At its growth over the last 30 days the system disk is full in 7d 0h 0m 0s."
      - eval_time: 70m
        alertname: TavrinMonitorSilent
        exp_alerts: []
      - eval_time: 80m
        alertname: TavrinMonitorSilent
        exp_alerts:
          - exp_labels: {severity: warning, instance: host1, job: node}
            exp_annotations:
              summary: "Disk monitor of host1 silent for an hour"
              description: "No monitor cycle has succeeded for more than an hour (tavrin-monitor.timer stopped, or every cycle fails)."
      - eval_time: 80m
        alertname: TavrinMonitorNeverSucceeded
        exp_alerts: []
      - eval_time: 3m
        alertname: TavrinDiskSpike
        exp_alerts: []
      - eval_time: 6m
        alertname: TavrinDiskSpike
        exp_alerts:
          - exp_labels: {severity: info, instance: host1, job: node}
            exp_annotations:
              summary: "Abnormal disk growth on host1"
              description: "The disk monitor raised 2 growth alert(s) today; tavrin-manager --status names the directory."
)";
    const QString testFile = dir.filePath("rules-test.yml");
    QVERIFY(writeFileAtomic(testFile, test));
    const ToolRun unit = runTool(promtool(), {"test", "rules", testFile});
    QVERIFY2(unit.exitCode == 0, unit.output.constData());
}

TAVRIN_TEST_GUILESS_MAIN(TestDiskMetrics)
#include "tst_diskmetrics.moc"
