#include "disk/diskmonitor.h"
#include "disk/forecastnotice.h"

#include "diskfixture.h"
#include "monitorfixture.h"
#include "testsupport.h"

#include <QJsonArray>

#include <sys/inotify.h>
#include <unistd.h>

using namespace Tavrin;

namespace {
constexpr qint64 MiB = MonitorFixture::MiB;
constexpr qint64 GiB = MonitorFixture::GiB;
const QDateTime kNoon(QDate(2026, 6, 15), QTime(12, 0));

void setNow(const QDateTime &time)
{
    qputenv("TAVRIN_DISK_NOW", time.toString(Qt::ISODate).toUtf8());
}
} // namespace

// Monitor cycles over faked days: when the forecast notifies, and what "forecast.json" keeps.
class TestForecastMonitor : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TAVRIN_REQUIRE_PRIVATE_HOME(); }
    void init();
    void cleanup();
    void firstCycle_data();
    void firstCycle();
    void repeatRule_data();
    void repeatRule();
    void quietHoursDeferOnce();
    void noReadOrChildOfItsOwn_data();
    void noReadOrChildOfItsOwn();
    void unwritableFileIsAFailure();

private:
    QJsonArray notices() const { return fx.forecastFile().value("notices").toArray(); }
    MonitorFixture fx;
};

void TestForecastMonitor::init()
{
    fx.reset();
    // No spike may get in the way of the forecast's figures.
    fx.set("monitor.fixedThresholdMB", 100000);
    fx.set("monitor.minAlertMB", 100000);
    setNow(kNoon);
}

void TestForecastMonitor::cleanup()
{
    qunsetenv("TAVRIN_DISK_NOW");
    fx.restorePath();
}

void TestForecastMonitor::firstCycle_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<qint64>("used");
    QTest::addColumn<qint64>("excludedPerDay");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("daysLeft"); // -1: nothing sent
    QTest::addColumn<QString>("state");
    QTest::addColumn<qint64>("capacity");
    QTest::addColumn<int>("everyDays");

    // 900 MiB a day; 5 GiB left is 5.7 days.
    QTest::newRow("inside") << 10 << 495 * GiB << 0LL << 7 << 5 << "forecast" << 500 * GiB << 1;
    QTest::newRow("outside") << 10 << 480 * GiB << 0LL << 7 << -1 << "forecast" << 500 * GiB << 1;
    QTest::newRow("turned off") << 10 << 495 * GiB << 0LL << 0 << -1 << "" << 500 * GiB << 1;
    QTest::newRow("two records") << 2 << 495 * GiB << 0LL << 7 << -1 << "noHistory" << 500 * GiB << 1;
    QTest::newRow("three records") << 3 << 495 * GiB << 0LL << 7 << 5 << "forecast" << 500 * GiB << 1;
    // 800 of the 900 MiB land in an excluded directory: 100 MiB a day leaves 51 days.
    QTest::newRow("excluded growth") << 10 << 495 * GiB << 800 * MiB << 7 << -1 << "forecast" << 500 * GiB
                                     << 1;
    // A larger disk since yesterday: the days measured on the old one say nothing of this one.
    QTest::newRow("capacity changed") << 10 << 495 * GiB << 0LL << 7 << -1 << "noHistory" << 600 * GiB << 1;
    QTest::newRow("already full") << 10 << 500 * GiB << 0LL << 7 << 0 << "full" << 500 * GiB << 1;
    // A record every third day: growth per elapsed day, not per record.
    QTest::newRow("gaps") << 5 << 495 * GiB << 0LL << 7 << 5 << "forecast" << 500 * GiB << 3;
    // Two records inside the last 14 days and one older: not enough to speak for now.
    QTest::newRow("gaps, short") << 3 << 495 * GiB << 0LL << 7 << -1 << "noHistory" << 500 * GiB << 10;
    QTest::newRow("shrinking") << 10 << 495 * GiB << 0LL << 7 << -1 << "notGrowing" << 500 * GiB << 1;
}

void TestForecastMonitor::firstCycle()
{
    QFETCH(int, records);
    QFETCH(qint64, used);
    QFETCH(qint64, excludedPerDay);
    QFETCH(int, limit);
    QFETCH(int, daysLeft);
    QFETCH(QString, state);
    QFETCH(qint64, capacity);
    QFETCH(int, everyDays);
    qputenv("FAKE_DF_TOTAL", QByteArray::number(capacity));
    fx.set("monitor.forecastDays", limit);
    if (excludedPerDay > 0)
        fx.set("monitor.excludes", QStringList{"/srv/cache"});
    fx.forecastScenario(records, used, state == "notGrowing" ? -qint64(900 * MiB) : 900 * MiB, excludedPerDay,
                        everyDays);
    QCOMPARE(fx.cycle().second, QString("监控完成"));

    const QJsonObject file = fx.forecastFile();
    QCOMPARE(file.value("current").toObject().value("state").toString(), state);
    if (daysLeft < 0) {
        QVERIFY(notices().isEmpty());
        return;
    }
    QCOMPARE(notices().size(), 1);
    const QJsonObject notice = notices().first().toObject();
    QCOMPARE(notice.value("daysLeft").toInt(), daysLeft);
    QCOMPARE(notice.value("fullDate").toString(), kNoon.date().addDays(daysLeft).toString(Qt::ISODate));
    QCOMPARE(notice.value("date").toString(), QString("2026-06-15"));
    QVERIFY(notice.value("alerted").toBool());
    if (state == "forecast") {
        // Every record day after the first grew /var by 900 MiB, today's from the cycle's own scan.
        QCOMPARE(notice.value("causeDir").toString(), QString("/var"));
        QCOMPARE(qint64(notice.value("causeGrowth").toDouble()), (records - 1) * everyDays * 900 * MiB);
    }
    const QVariantList call = forecastNotificationArguments(notice);
    QCOMPARE(call.size(), 8);
    QCOMPARE(call.at(6).toMap().value("x-zarnex-action-view").toString(),
             QString("tavrin-manager,--show-disk,2026-06-15"));
}

void TestForecastMonitor::repeatRule_data()
{
    QTest::addColumn<int>("later");
    QTest::addColumn<qint64>("grown");
    QTest::addColumn<bool>("sent");

    // Limit 20 days; the first cycle forecasts 15 days at 900 MiB a day.
    QTest::newRow("next day") << 1 << 900 * MiB << false;
    QTest::newRow("before half the limit") << 9 << 5 * 900 * MiB << false;
    QTest::newRow("half the limit later") << 10 << 5 * 900 * MiB << true;
    QTest::newRow("shortened by half") << 1 << 6 * 900 * MiB << true;
    QTest::newRow("clock went back") << -3 << 0LL << false;
}

void TestForecastMonitor::repeatRule()
{
    QFETCH(int, later);
    QFETCH(qint64, grown);
    QFETCH(bool, sent);
    fx.set("monitor.forecastDays", 20);
    const qint64 used = 500 * GiB - qint64(15.5 * 900 * MiB);
    fx.forecastScenario(10, used, 900 * MiB);
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QCOMPARE(notices().size(), 1);
    QCOMPARE(notices().first().toObject().value("daysLeft").toInt(), 15);

    setNow(kNoon.addDays(later));
    fx.setUsed(used + grown);
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QCOMPARE(notices().size(), sent ? 2 : 1);
    QCOMPARE(fx.forecastFile().value("lastSent").toObject().value("date").toString(),
             kNoon.date().addDays(sent ? later : 0).toString(Qt::ISODate));
}

void TestForecastMonitor::quietHoursDeferOnce()
{
    fx.set("monitor.quietStart", "11:00");
    fx.set("monitor.quietEnd", "13:00");
    fx.forecastScenario(10, 495 * GiB, 900 * MiB);
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QVERIFY(notices().isEmpty());
    QVERIFY(fx.forecastFile().value("pending").toObject().value("deferred").toBool());

    // Still quiet: still held.
    setNow(kNoon.addSecs(1800));
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QVERIFY(notices().isEmpty());

    // The first cycle after the quiet hours sends it, once.
    setNow(kNoon.addSecs(2 * 3600));
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QCOMPARE(notices().size(), 1);
    QVERIFY(!fx.forecastFile().contains("pending"));
    setNow(kNoon.addSecs(3 * 3600));
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QCOMPARE(notices().size(), 1);
}

namespace {

// Opens of "index.json" while `run` runs, counted by inotify: every read of the index opens it.
int indexOpens(const std::function<void()> &run)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return -1;
    const QByteArray dir = QFile::encodeName(DiskHistoryStore::historyDir());
    if (inotify_add_watch(fd, dir.constData(), IN_OPEN) < 0) {
        ::close(fd);
        return -1;
    }
    run();
    int opens = 0;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->len > 0 && qstrcmp(event->name, "index.json") == 0)
                ++opens;
            at += qsizetype(sizeof(inotify_event)) + event->len;
        }
    }
    ::close(fd);
    return opens;
}

} // namespace

void TestForecastMonitor::noReadOrChildOfItsOwn_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("fixed") << "fixed";
    QTest::newRow("baseline") << "baseline";
}

void TestForecastMonitor::noReadOrChildOfItsOwn()
{
    QFETCH(QString, mode);
    // The same cycle twice, the forecast off and on: the same reads of the index, the same du runs.
    QList<int> opens;
    QList<int> duRuns;
    for (int limit : {0, 7}) {
        fx.reset();
        fx.set("monitor.alertMode", mode);
        fx.set("monitor.fixedThresholdMB", 100000);
        fx.set("monitor.minAlertMB", 100000);
        fx.set("monitor.forecastDays", limit);
        fx.forecastScenario(10, 495 * GiB, 900 * MiB);
        QPair<bool, QString> result;
        opens << indexOpens([&] { result = fx.cycle(); });
        QCOMPARE(result.second, QString("监控完成"));
        duRuns << fx.duRuns();
    }
    QVERIFY(opens.first() > 0);
    QCOMPARE(opens.last(), opens.first());
    QCOMPARE(duRuns.last(), duRuns.first());
    // And the forecast did run on what the save had read.
    QCOMPARE(notices().size(), 1);
    QCOMPARE(notices().first().toObject().value("causeDir").toString(), QString("/var"));
}

void TestForecastMonitor::unwritableFileIsAFailure()
{
    // A spike and a forecast in one cycle; "forecast.json" cannot be replaced (a directory holds its name).
    fx.set("monitor.fixedThresholdMB", 1024);
    fx.set("monitor.minAlertMB", 512);
    fx.forecastScenario(10, 495 * GiB, 900 * MiB);
    const QString path = DiskHistoryStore::historyDir() + "/forecast.json";
    QVERIFY(QDir().mkpath(path + "/blocker"));
    fx.setUsed(495 * GiB + 2 * GiB);
    fx.setDu("/", {{"/usr", 60 * GiB, true},
                   {"/var", 10 * GiB + 9 * 900 * MiB + 2 * GiB, true},
                   {"/srv/cache", 1 * GiB, true}});
    const QPair<bool, QString> result = fx.cycle();
    QVERIFY(!result.first);
    QVERIFY2(result.second.contains("预测记录保存失败") && result.second.contains(path),
             qPrintable(result.second));
    // The cycle's other results are kept: the day and the spike.
    DiskDayRecord day;
    QVERIFY(DiskHistoryStore().loadDay(kNoon.date(), &day));
    QCOMPARE(day.total, 495 * GiB + 2 * GiB);
    QCOMPARE(fx.alerts().value("spikes").toArray().size(), 1);

    // Not recorded, so not sent: the next cycle writes and sends it.
    QVERIFY(QDir(path).removeRecursively());
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QCOMPARE(notices().size(), 1);
}

TAVRIN_TEST_GUILESS_MAIN(TestForecastMonitor)
#include "tst_forecastmonitor.moc"
