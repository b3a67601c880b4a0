// The disk page against a history directory the test writes, a stand-in df/du and a stand-in
// "systemctl --user": ranges, overview and health, alerts, clear history, settings, the monitor
// service control, drilling and export.

#include "diskpage/analysisview.h"
#include "pagetest.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSaveFile>
#include <QScopeGuard>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QtTest/QtTest>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "backend/backend.h"
#include "disk/diskhistorystore.h"
#include "disk/diskscanner.h"
#include "disk/historylock.h"
#include "disk/jsonfileio.h"
#include "disk/monitorconfig.h"
#include "diskusagepage.h"
#include "mainwindow.h"
#include "ui/appearance.h"
#include "ui/monitorservice.h"
#include "ui/usagechart.h"
#include "zguiapplicationhelper.h"
#include "zlabel.h"
#include "zswitchbutton.h"

using Tavrin::DiskDayRecord;
using Tavrin::DiskItem;

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 GiB = 1024 * MiB;

QString historyDir()
{
    return Tavrin::DiskHistoryStore::historyDir();
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QSaveFile f(historyDir() + QLatin1Char('/') + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    QVERIFY(f.commit());
}

// `count` days ending today, growing 100 MiB a day, with top-level items.
QList<DiskDayRecord> writeDays(int count, const QDateTime &lastSample = QDateTime())
{
    QList<DiskDayRecord> days;
    const QDate today = QDate::currentDate();
    for (int i = count - 1; i >= 0; --i) {
        DiskDayRecord r;
        r.date = today.addDays(-i);
        r.capacity = 100 * GiB;
        r.total = 30 * GiB + (count - i) * 100 * MiB;
        r.topLevel = {{"/usr", 10 * GiB, true},
                      {"/var", 4 * GiB + (count - i) * 60 * MiB, true},
                      {"/home", 5 * GiB + (count - i) * 40 * MiB, true},
                      {"/opt", 1 * GiB, true},
                      {"/etc", 40 * MiB, true},
                      {"/swapfile", 512 * MiB, false},
                      {"/srv", 100 * MiB, true}};
        if (i == 0 && lastSample.isValid()) {
            Tavrin::DiskSample s;
            s.time = lastSample;
            s.total = r.total;
            r.samples << s;
        }
        writeFile(r.date.toString(Qt::ISODate) + ".json", QJsonDocument(Tavrin::dayRecordToJson(r)).toJson());
        days << r;
    }
    return days;
}

void writeAlerts(int count, int offset = 0)
{
    QJsonArray spikes;
    for (int i = 0; i < count; ++i) {
        spikes.append(QJsonObject{{"date", QDate(2026, 1, 1).addDays(i + offset).toString(Qt::ISODate)},
                                  {"causeDir", QStringLiteral("/var/dir %1").arg(i + offset)},
                                  {"growth", double((i + 1) * GiB)}});
    }
    writeFile("alert.json", QJsonDocument(QJsonObject{{"spikes", spikes}}).toJson());
}

// One day of 100 GiB used, with a sample at `sampleAt` when valid.
void writeDay(const QDate &date, const QList<DiskItem> &topLevel, const QTime &sampleAt = QTime())
{
    DiskDayRecord r;
    r.date = date;
    r.capacity = 500 * GiB;
    r.total = 100 * GiB;
    r.topLevel = topLevel;
    if (sampleAt.isValid())
        r.samples << Tavrin::DiskSample{QDateTime(date, sampleAt), 100 * GiB, {}};
    writeFile(date.toString(Qt::ISODate) + ".json", QJsonDocument(Tavrin::dayRecordToJson(r)).toJson());
}

QStringList dayFiles()
{
    return QDir(historyDir()).entryList({"20*.json"}, QDir::Files, QDir::Name);
}

DiskDayRecord readDay(const QDate &date)
{
    return Tavrin::dayRecordFromJson(Tavrin::readJson(Tavrin::DiskHistoryStore::dayFilePath(date)).object());
}

QStringList spikeKeys()
{
    QStringList keys;
    const QJsonObject alerts = Tavrin::readJson(historyDir() + "/alert.json").object();
    for (const QJsonValue &v : alerts.value("spikes").toArray())
        keys << v.toObject().value("date").toString() + " " + v.toObject().value("causeDir").toString();
    return keys;
}

// The descriptor behind this process's hold on "history.lock". Letting its file lock go while the
// in-process hold stays keeps the page's own threads waiting but lets a monitor process write: the
// monitor then writes deterministically between the page's start and its locked step.
int historyLockFd()
{
    const QString target = QFileInfo(historyDir() + "/history.lock").canonicalFilePath();
    for (int fd = 0; fd < 1024; ++fd) {
        if (QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd)) == target)
            return fd;
    }
    return -1;
}

QString labelText(QWidget *root, const QString &name)
{
    auto *label = root->findChild<QLabel *>(name);
    return label ? label->text() : QStringLiteral("<no %1>").arg(name);
}

QString badgeText(QWidget *root)
{
    auto *badge = dynamic_cast<TavrinUi::TavrinBadge *>(root->findChild<QWidget *>("tavrinDiskServiceBadge"));
    return badge ? badge->text() : QString();
}

// The calls of the fake systemctl that change the timer, in order.
QByteArrayList timerChanges(const QString &log)
{
    QFile f(log);
    QByteArrayList changes;
    if (!f.open(QIODevice::ReadOnly))
        return changes;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.contains(" enable ") || line.contains(" disable "))
            changes.append(line);
    return changes;
}

QAbstractButton *button(QWidget *root, const QString &name)
{
    return root->findChild<QAbstractButton *>(name);
}

} // namespace

class TestDiskUsagePage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DiskUsagePage> page;
    QTemporaryDir sysroot;
    QString log;
    QString duLog;
    QByteArray basePath;

    bool waitLoaded() const
    {
        return QTest::qWaitFor([this] { return page->pendingRangeId() == 0 && page->taskCount() == 0; },
                               30000);
    }

    static QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void makePage()
    {
        page = std::make_unique<DiskUsagePage>(nullptr);
        page->resize(1000, 900);
        page->show();
    }

    // The real executable in monitor mode over this test's history, with the stand-in du and df.
    std::unique_ptr<QProcess> startMonitor(const QDateTime &now, const QStringList &extraEnv)
    {
        {
            Tavrin::MonitorConfig c;
            c.setValue("monitor.enabled", true);
            c.setValue("monitor.quietStart", "00:00");
            c.setValue("monitor.quietEnd", "00:00");
            c.setValue("monitor.alertMode", "fixed");
            c.setValue("monitor.fixedThresholdMB", 1024);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        env.insert("TAVRIN_DISK_NOW", now.toString(Qt::ISODate));
        env.insert("FAKE_DU_LOG", duLog);
        for (const QString &entry : extraEnv)
            env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(Tavrin::Test::buildPath("bin/tavrin-manager"), {"--monitor"});
        return p;
    }

    static QString monitorLine(QProcess &p)
    {
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return "<monitor did not end>";
        }
        const QString text = QString::fromUtf8(p.readAllStandardError());
        QStringList lines;
        for (const QString &line : text.split('\n')) {
            if (line.contains("[tavrin-monitor]"))
                lines << line;
        }
        return lines.isEmpty() ? text : lines.join('\n');
    }

    int duRuns() const
    {
        QFile f(duLog);
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }

private slots:
    void initTestCase()
    {
        const QByteArray fakes = QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/diskpage")) + ":" +
                                 QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/ui"));
        basePath = fakes + ":" + qgetenv("PATH");
        qputenv("PATH", basePath);
        qputenv("FAKE_GSETTINGS_OUTPUT", "false");
        qputenv("TAVRIN_CONFIG_QSETTINGS", "1");
        // Nothing of the host's system: no snapshots, no mount table, no unit files.
        qputenv("TAVRIN_SYSROOT", QFile::encodeName(sysroot.path()));
        // du, df and their wrappers are started by absolute path below the root.
        QVERIFY(Tavrin::Test::plantDiskFakes(sysroot.path()));
        log = sysroot.path() + "/systemctl.log";
        qputenv("FAKE_SYSTEMCTL_LOG", QFile::encodeName(log));
        duLog = sysroot.path() + "/du.log";
    }

    void init()
    {
        QDir(historyDir()).removeRecursively();
        QFile::remove(QDir::homePath() + "/.config/zarnex/tavrin-manager.conf");
        QFile::remove(log);
        qputenv("FAKE_DF_TOTAL", QByteArray::number(100 * GiB));
        qputenv("FAKE_DF_USED", QByteArray::number(25 * GiB));
        qunsetenv("FAKE_SYSTEMCTL_FAIL");
        qunsetenv("FAKE_SYSTEMCTL_ACTIVE");
        qunsetenv("FAKE_SYSTEMCTL_HANG");
    }

    void cleanup()
    {
        page.reset();
        qputenv("PATH", basePath);
        qunsetenv("TAVRIN_DISK_NOW");
        qunsetenv("FAKE_DU_DIR");
        qunsetenv("FAKE_DU_LOG");
        QFile::remove(duLog);
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    void rangePresets_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("days");
        for (const int d : {15, 30, 90, 180, 365})
            QTest::addRow("%d days", d) << int(QList<int>{15, 30, 90, 180, 365}.indexOf(d)) << d;
    }

    void rangePresets()
    {
        QFETCH(int, button);
        QFETCH(int, days);
        writeDays(200);
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        QCOMPARE(page->loadedRecords().size(), 15);

        ::button(page.get(), QStringLiteral("tavrinDiskPreset%1").arg(button))->click();
        QVERIFY(waitLoaded());
        QCOMPARE(page->rangeFrom(), QDate::currentDate().addDays(-days + 1));
        QCOMPARE(page->rangeTo(), QDate::currentDate());
        QCOMPARE(page->loadedRecords().size(), qMin(days, 200));
        QVERIFY(::button(page.get(), QStringLiteral("tavrinDiskPreset%1").arg(button))->isChecked());
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"),
                 QStringLiteral("已加载 %1 天记录").arg(qMin(days, 200)));
        QCOMPARE(page->chart()->records().size(), qMin(days, 200));
        QCOMPARE(page->chart()->selectedDate(), QDate::currentDate());
    }

    // What the page shows follows the files: another process (a real monitor cycle) or the page's
    // own "立即扫描" changes today's file, and the page shows the new figures, on its own and after
    // a reload by hand, however the range was chosen.
    void pageFollowsTheFiles_data()
    {
        QTest::addColumn<bool>("byFocus");
        QTest::addColumn<bool>("scan");
        QTest::newRow("preset, monitor cycle") << false << false;
        QTest::newRow("focusDate, monitor cycle") << true << false;
        QTest::newRow("preset, 立即扫描") << false << true;
    }

    void pageFollowsTheFiles()
    {
        QFETCH(bool, byFocus);
        QFETCH(bool, scan);
        const QDate today = QDate::currentDate();
        writeDays(5);
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        auto show = [&] {
            if (byFocus)
                page->focusDate(today);
            else
                button(page.get(), "tavrinDiskPreset0")->click();
            QVERIFY(waitLoaded());
        };
        // Twice: today's record is then in the store's cache.
        show();
        show();
        const qint64 before = readDay(today).total;
        QCOMPARE(page->chart()->records().constLast().total, before);

        // Below the alert threshold: the cycle only samples.
        const qint64 now = before + 500 * MiB;
        QTemporaryDir du;
        if (scan) {
            QVERIFY(Tavrin::writeFileAtomic(du.filePath("_.out"), "62914560\t/usr\n11534336\t/var\n4\t/\n"));
            qputenv("FAKE_DU_DIR", QFile::encodeName(du.path()));
            qputenv("FAKE_DU_LOG", QFile::encodeName(duLog));
            qputenv("FAKE_DF_USED", QByteArray::number(now));
            // The list as a person types it: "~", a trailing slash, a duplicate, a path that is not there.
            Tavrin::MonitorConfig().setValue("monitor.excludes",
                                             QStringList{"~/Downloads/", "~/Downloads", "/no/such/dir"});
            button(page.get(), "tavrinDiskScanNow")->click();
            QTRY_VERIFY_WITH_TIMEOUT(!page->scanner()->isBusy() && page->taskCount() == 0, 30000);
        } else {
            std::unique_ptr<QProcess> monitor =
                startMonitor(QDateTime::currentDateTime(), {"FAKE_DF_USED=" + QString::number(now),
                                                            "FAKE_DF_TOTAL=" + QString::number(100 * GiB)});
            QCOMPARE(monitorLine(*monitor), QStringLiteral("[tavrin-monitor] ok: 监控完成"));
        }
        QCOMPARE(readDay(today).total, now);
        // Noticed without anyone asking, then the same after a reload by hand.
        QTRY_COMPARE_WITH_TIMEOUT(page->chart()->records().constLast().total, now, 15000);
        QVERIFY(waitLoaded());
        show();
        QCOMPARE(page->chart()->records().constLast().total, now);
        QCOMPARE(page->loadedRecords().constLast().total, now);
        QVERIFY2(labelText(page.get(), "tavrinDiskNetCaption").endsWith(Tavrin::formatSize(now)),
                 qPrintable(labelText(page.get(), "tavrinDiskNetCaption")));
        if (scan) {
            // Left out as the monitor leaves it out, and recorded the same way.
            const DiskDayRecord day = readDay(today);
            QCOMPARE(day.topLevel.size(), 2);
            QVERIFY(day.scanExcludedKnown);
            const QString downloads = QDir::homePath() + "/Downloads";
            // Stored sorted, so the expected order depends on where the home directory is.
            QStringList expected{"/no/such/dir", downloads};
            expected.sort();
            QCOMPARE(day.scanExcluded, expected);
            QFile log(duLog);
            QVERIFY(log.open(QIODevice::ReadOnly));
            const QString line = QString::fromUtf8(log.readAll());
            QCOMPARE(line.count(" --exclude=" + downloads + " "), 1);
            QCOMPARE(line.count(" --exclude=/no/such/dir "), 1);
        }
    }

    // A save of "立即扫描" that failed stays on the status line through the reloads that follow,
    // until the user acts again.
    void failedScanSaveStaysVisible()
    {
        writeDays(3);
        QTemporaryDir du;
        QVERIFY(Tavrin::writeFileAtomic(du.filePath("_.out"), "1024\t/usr\n4\t/\n"));
        qputenv("FAKE_DU_DIR", QFile::encodeName(du.path()));
        qputenv("TAVRIN_HISTORY_LOCK_TIMEOUT_MS", "200");
        const auto unset = qScopeGuard([] { qunsetenv("TAVRIN_HISTORY_LOCK_TIMEOUT_MS"); });
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        std::unique_ptr<std::thread> holder;
        {
            // Held on another thread, as another process would: the page's own nesting does not count.
            std::mutex m;
            std::condition_variable cv;
            bool locked = false;
            bool release = false;
            holder = std::make_unique<std::thread>([&] {
                Tavrin::HistoryLock lock;
                std::unique_lock guard(m);
                locked = lock.isLocked();
                cv.notify_all();
                cv.wait(guard, [&] { return release; });
            });
            {
                std::unique_lock guard(m);
                cv.wait(guard, [&] { return locked; });
            }
            button(page.get(), "tavrinDiskScanNow")->click();
            QTRY_VERIFY_WITH_TIMEOUT(labelText(page.get(), "tavrinDiskStatus")
                                         .startsWith(QStringLiteral("扫描完成，但今日记录保存失败")),
                                     30000);
            {
                std::lock_guard guard(m);
                release = true;
            }
            cv.notify_all();
            holder->join();
        }
        QVERIFY(waitLoaded());
        page->refresh();
        QVERIFY(waitLoaded());
        QVERIFY(
            labelText(page.get(), "tavrinDiskStatus").contains(QStringLiteral("历史目录正被另一个进程占用")));
        button(page.get(), "tavrinDiskPreset1")->click();
        QVERIFY(waitLoaded());
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"), QStringLiteral("已加载 3 天记录"));
    }

    void supersededAndInvalidRanges()
    {
        writeDays(120);
        makePage();
        const QDate today = QDate::currentDate();
        page->requestRange(today.addDays(-119), today);
        const quint64 first = page->pendingRangeId();
        page->requestRange(today.addDays(-4), today);
        QVERIFY(page->pendingRangeId() != first);
        // The first request's result arrives too (cut short); only the second one counts.
        QVERIFY(waitLoaded());
        QCOMPARE(page->loadedRecords().size(), 5);
        QCOMPARE(page->loadedRecords().constFirst().date, today.addDays(-4));

        page->requestRange(today, today.addDays(-1));
        page->requestRange(QDate(), today);
        QCOMPARE(page->pendingRangeId(), quint64(0));
        QCOMPARE(page->rangeFrom(), today.addDays(-4));

        page->focusDate(today.addDays(-50));
        QVERIFY(waitLoaded());
        QCOMPARE(page->rangeFrom(), today.addDays(-53));
        QCOMPARE(page->rangeTo(), today.addDays(-47));
        QCOMPARE(page->chart()->selectedDate(), today.addDays(-50));
        QCOMPARE(page->loadedRecords().size(), 7);
    }

    // Counts a person can read: none in a load's first moments, never the last one (the result
    // replaces it at once), none of a superseded request.
    void loadProgressDisplay()
    {
        writeDays(30);
        makePage();
        const QDate today = QDate::currentDate();
        auto *store = page->findChild<Tavrin::DiskHistoryStore *>();
        QVERIFY(store);
        const QString loading =
            QStringLiteral("正在加载 %1 ~ %2 的数据…")
                .arg(today.addDays(-29).toString(Qt::ISODate), today.toString(Qt::ISODate));
        QElapsedTimer sinceRequest;
        sinceRequest.start();
        page->requestRange(today.addDays(-29), today);
        const quint64 id = page->pendingRangeId();
        // Signals reach the page directly; the real result waits for the event loop.
        emit store->rangeProgress(id, 5, 30);
        if (sinceRequest.elapsed() < 80)
            QCOMPARE(labelText(page.get(), "tavrinDiskStatus"), loading);
        QTest::qSleep(100);
        emit store->rangeProgress(id, 6, 30);
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"), QStringLiteral("加载中 6/30 …"));
        QTest::qSleep(100);
        emit store->rangeProgress(id + 1000, 20, 30);
        emit store->rangeProgress(id, 30, 30);
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"), QStringLiteral("加载中 6/30 …"));
        QVERIFY(waitLoaded());
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"), QStringLiteral("已加载 30 天记录"));
    }

    void overviewCard_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("used");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<int>("bar");
        QTest::newRow("a quarter") << 100 * GiB << 25 * GiB << "25.0%" << 250;
        QTest::newRow("exactly full: no decimals") << 10000LL << 10000LL << "100%" << 1000;
        QTest::newRow("99.95: one decimal") << 1000000LL << 999499LL << "99.9%" << 999;
        QTest::newRow("no capacity") << 0LL << 0LL << "--" << 0;
    }

    void overviewCard()
    {
        QFETCH(qint64, total);
        QFETCH(qint64, used);
        QFETCH(QString, percent);
        QFETCH(int, bar);
        qputenv("FAKE_DF_TOTAL", QByteArray::number(total));
        qputenv("FAKE_DF_USED", QByteArray::number(used));
        makePage();
        QSignalSpy updated(page.get(), &DiskUsagePage::overviewUpdated);
        page->refresh();
        QVERIFY(updated.wait(20000) || updated.count() > 0);
        QCOMPARE(labelText(page.get(), "tavrinDiskPercent"), percent);
        QCOMPARE(page->findChild<QProgressBar *>("tavrinDiskUsageBar")->value(), bar);
        if (total == 0)
            QCOMPARE(labelText(page.get(), "tavrinDiskCapacity"), QStringLiteral("总容量 -- · 可用 --"));
        QCOMPARE(labelText(page.get(), "tavrinDiskSubLabel"), QStringLiteral("开启后自动建立基线并持续监控"));
    }

    void monitorHealth_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("ageMinutes");
        QTest::addColumn<bool>("warning");
        QTest::newRow("fresh sample") << true << 5 << false;
        QTest::newRow("three polls late") << true << 50 << true;
        QTest::newRow("late but monitoring off") << false << 600 << false;
    }

    void monitorHealth()
    {
        QFETCH(bool, enabled);
        QFETCH(int, ageMinutes);
        QFETCH(bool, warning);
        Tavrin::MonitorConfig().setEnabled(enabled);
        writeDays(3, QDateTime::currentDateTime().addSecs(-60 * ageMinutes));
        makePage();
        QSignalSpy updated(page.get(), &DiskUsagePage::overviewUpdated);
        page->refresh();
        QVERIFY(updated.wait(20000) || updated.count() > 0);
        QVERIFY(waitLoaded());
        const QString health = labelText(page.get(), "tavrinDiskHealth");
        QCOMPARE(health.startsWith(QStringLiteral("监控可能已停止")), warning);
        QVERIFY2(health.contains(QStringLiteral("最近采样")), qPrintable(health));
        if (warning)
            QVERIFY(button(page.get(), "tavrinDiskStartService")->isVisible());
        QVERIFY(labelText(page.get(), "tavrinDiskSubLabel").contains(QStringLiteral("最近记录")));
    }

    void forecastOnTheCard_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("expected"); // empty: the line is hidden
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const QString full = QDate::currentDate().addDays(5).toString(Qt::ISODate);
        const QByteArray within =
            QStringLiteral(R"({"current":{"date":"%1","state":"forecast","recordDays":10,"daysLeft":5,)"
                           R"("fullDate":"%2","causeDir":"/var/lib/docker","causeGrowth":9663676416}})")
                .arg(today, full)
                .toUtf8();
        QTest::newRow("within the days")
            << within << 7 << QStringList{"约 5 天后", full, "/var/lib/docker", Tavrin::formatSize(9 * GiB)};
        QTest::newRow("turned off") << within << 0 << QStringList();
        QTest::newRow("short history")
            << QStringLiteral(R"({"current":{"date":"%1","state":"noHistory","recordDays":2}})")
                   .arg(today)
                   .toUtf8()
            << 7 << QStringList{"记录不足 3 天"};
        QTest::newRow("an earlier day's")
            << QByteArray(R"({"current":{"date":"2026-01-02","state":"notGrowing","recordDays":9}})") << 7
            << QStringList{"未增长", "2026-01-02 的预测"};
        QTest::newRow("unreadable") << QByteArray("{\"current\":") << 7
                                    << QStringList{"未知", "forecast.json"};
        QTest::newRow("wrong types")
            << QStringLiteral(R"({"current":{"date":"%1","state":"forecast","daysLeft":"soon"}})")
                   .arg(today)
                   .toUtf8()
            << 7 << QStringList{"未知"};
        QTest::newRow("none yet") << QByteArray() << 7 << QStringList{"尚无"};
    }

    void forecastOnTheCard()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, limit);
        QFETCH(QStringList, expected);
        Tavrin::MonitorConfig().setValue("monitor.forecastDays", limit);
        if (!file.isEmpty())
            writeFile("forecast.json", file);
        makePage();
        QSignalSpy updated(page.get(), &DiskUsagePage::overviewUpdated);
        page->refresh();
        QVERIFY(updated.wait(20000) || updated.count() > 0);
        auto *line = page->findChild<QLabel *>("tavrinDiskForecastNotice");
        QVERIFY(line);
        QCOMPARE(line->isVisible(), !expected.isEmpty());
        for (const QString &part : expected)
            QVERIFY2(line->text().contains(part), qPrintable(line->text()));
        QCOMPARE(line->accessibleName(), line->text());
        if (!expected.isEmpty())
            QVERIFY(line->text().startsWith(QStringLiteral("写满预测：")));
    }

    // Forecast notices that went out sit among the spikes, by date; one held back does not.
    void forecastNoticesBesideSpikes()
    {
        writeAlerts(2);
        writeFile(
            "forecast.json",
            R"({"notices":[{"date":"2026-01-01","daysLeft":5,"fullDate":"2026-01-06","causeDir":"/var/log",)"
            R"("causeGrowth":1073741824,"alerted":true},{"date":"2026-01-09","daysLeft":3,"alerted":false},)"
            R"({"date":"bad","daysLeft":1,"alerted":true}],"pending":{"date":"2026-01-09","daysLeft":3}})");
        makePage();
        auto *banner = page->findChild<TavrinUi::TavrinInlineBanner *>("tavrinDiskAlertBanner");
        QCOMPARE(page->currentAlertKey(), QStringLiteral("2026-01-02|/var/dir 1"));
        QCOMPARE(button(page.get(), "tavrinDiskAlertHistory")->text(),
                 QStringLiteral("告警历史（3 条新增）"));
        emit banner->dismissed();
        page->refreshAlert();
        QCOMPARE(page->currentAlertKey(), QStringLiteral("2026-01-01|forecast"));
        QVERIFY2(banner->text().contains(QStringLiteral("预计 5 天后写满（2026-01-06）")) &&
                     banner->text().contains(QStringLiteral("/var/log")),
                 qPrintable(banner->text()));

        PageTest::onNextDialog([](QDialog *d) {
            auto *table = d->findChild<QTableWidget *>("tavrinDiskAlertTable");
            QVERIFY(table);
            QCOMPARE(table->rowCount(), 3);
            QStringList kinds;
            for (int r = 0; r < 3; ++r)
                kinds << table->item(r, 0)->text() + ' ' + table->item(r, 1)->text();
            QCOMPARE(kinds, (QStringList{"2026-01-02 增长告警", "2026-01-01 预计 5 天后写满（2026-01-06）",
                                         "2026-01-01 增长告警"}));
            QCOMPARE(table->item(1, 2)->text(), QStringLiteral("/var/log"));
            d->accept();
        });
        button(page.get(), "tavrinDiskAlertHistory")->click();
        QCOMPARE(page->seenCount(), 3);
    }

    void alertBannerAndHistory()
    {
        writeAlerts(7);
        writeFile("alert-ui-state.json", R"({"dismissed": [], "seen": 5})");
        makePage();
        auto *banner = page->findChild<TavrinUi::TavrinInlineBanner *>("tavrinDiskAlertBanner");
        auto *history = button(page.get(), "tavrinDiskAlertHistory");
        QVERIFY(banner->isVisible());
        QCOMPARE(page->currentAlertKey(), QStringLiteral("2026-01-07|/var/dir 6"));
        QCOMPARE(banner->text(),
                 QStringLiteral("2026-01-07 · /var/dir 6 增长 ") + Tavrin::formatSize(7 * GiB));
        QCOMPARE(history->text(), QStringLiteral("告警历史（2 条新增）"));

        emit banner->dismissed();
        QCOMPARE(page->dismissedKeys(), QStringList{"2026-01-07|/var/dir 6"});
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"),
                 QStringLiteral("告警已关闭，可随时在「告警历史」中查看"));
        // The next refresh shows the next undismissed alert, newest first.
        page->refreshAlert();
        QCOMPARE(page->currentAlertKey(), QStringLiteral("2026-01-06|/var/dir 5"));

        PageTest::onNextDialog([](QDialog *d) {
            auto *table = d->findChild<QTableWidget *>("tavrinDiskAlertTable");
            QVERIFY(table);
            QCOMPARE(table->rowCount(), 7);
            QCOMPARE(table->item(0, 4)->text(), QStringLiteral("新增"));
            d->accept();
        });
        history->click();
        QCOMPARE(page->seenCount(), 7);
        QCOMPARE(history->text(), QStringLiteral("告警历史（7）"));
        const QJsonObject saved = QJsonDocument::fromJson([] {
                                      QFile f(historyDir() + "/alert-ui-state.json");
                                      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                                  }())
                                      .object();
        QCOMPARE(saved.value("seen").toInt(), 7);
        QCOMPARE(saved.value("dismissed").toArray().size(), 1);
    }

    void alertDismissalLimitAndBadFiles_data()
    {
        QTest::addColumn<QByteArray>("uiState");
        QTest::addColumn<int>("alerts");
        QTest::newRow("state not JSON, 3000 alerts") << QByteArray("{not json") << 3000;
        QTest::newRow("state with wrong types")
            << QByteArray(R"({"dismissed": [1, null, "x"], "seen": "many"})") << 250;
    }

    void alertDismissalLimitAndBadFiles()
    {
        QFETCH(QByteArray, uiState);
        QFETCH(int, alerts);
        writeAlerts(alerts);
        writeFile("alert-ui-state.json", uiState);
        makePage();
        QVERIFY(page->seenCount() == 0);
        QCOMPARE(button(page.get(), "tavrinDiskAlertHistory")->text(),
                 QStringLiteral("告警历史（%1 条新增）").arg(alerts));
        auto *banner = page->findChild<TavrinUi::TavrinInlineBanner *>("tavrinDiskAlertBanner");
        QStringList order;
        for (int i = 0; i < 201; ++i) {
            order << page->currentAlertKey();
            emit banner->dismissed();
            page->refreshAlert();
        }
        // The 201st dismissal drops the oldest key; the list stays oldest first.
        QCOMPARE(page->dismissedKeys().size(), 200);
        QCOMPARE(page->dismissedKeys().constFirst(), order.at(1));
        QCOMPARE(page->dismissedKeys().constLast(), order.at(200));
    }

    void clearHistory()
    {
        writeDays(10);
        writeAlerts(3);
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        QCOMPARE(page->loadedRecords().size(), 10);

        QString seen;
        PageTest::answerNextDialog(QStringLiteral("清除"), QString(), &seen);
        page->onClearHistory();
        QVERIFY(seen.contains(QStringLiteral("将删除所有历史占用记录与告警，且不可恢复。确定继续？")));
        QVERIFY(waitLoaded());
        QVERIFY(page->loadedRecords().isEmpty());
        QVERIFY(page->chart()->records().isEmpty());
        QVERIFY(page->currentAlertKey().isEmpty());
        QVERIFY(!page->findChild<QWidget *>("tavrinDiskAlertBanner")->isVisible());
        QCOMPARE(button(page.get(), "tavrinDiskAlertHistory")->text(), QStringLiteral("告警历史（0）"));
        QVERIFY(!button(page.get(), "tavrinDiskAlertHistory")->isEnabled());
        QVERIFY(!QFile::exists(historyDir() + "/alert.json"));
        QVERIFY(QDir(historyDir()).entryList({"20*.json"}).isEmpty());

        // Cancelling keeps everything.
        writeDays(2);
        PageTest::answerNextDialog(QStringLiteral("取消"));
        page->onClearHistory();
        QCOMPARE(QDir(historyDir()).entryList({"20*.json"}).size(), 2);
    }

    void settingsWriteThrough()
    {
        makePage();
        PageTest::onNextDialog([](QDialog *d) {
            auto *mode = d->findChild<QComboBox *>("tavrinDiskAlertMode");
            auto *fixed = d->findChild<QSpinBox *>("tavrinDiskFixedThreshold");
            auto *multiplier = d->findChild<QDoubleSpinBox *>("tavrinDiskMultiplier");
            QVERIFY(mode && fixed && multiplier);
            QCOMPARE(mode->currentIndex(), 0);
            QVERIFY(!fixed->isEnabled() && multiplier->isEnabled());
            mode->setCurrentIndex(1);
            QVERIFY(fixed->isEnabled() && !multiplier->isEnabled());
            fixed->setValue(2048);
            d->findChild<QSpinBox *>("tavrinDiskCooldown")->setValue(12);
            auto *forecast = d->findChild<QSpinBox *>("tavrinDiskForecastDays");
            QVERIFY(forecast);
            QCOMPARE(forecast->value(), 7);
            forecast->setValue(0);
            QCOMPARE(forecast->text(), QStringLiteral("关闭"));
            QVERIFY(!forecast->accessibleName().isEmpty());
            d->findChild<QSpinBox *>("tavrinDiskRetention")->setValue(400);
            d->findChild<QComboBox *>("tavrinDiskBudget")->setCurrentIndex(2);

            auto *input = d->findChild<QLineEdit *>("tavrinDiskExcludeInput");
            auto *list = d->findChild<QListWidget *>("tavrinDiskExcludeList");
            for (const QString &text :
                 {QStringLiteral("  /home/Test/My Downloads  "), QStringLiteral("/home/Test/My Downloads"),
                  QStringLiteral("   "), QStringLiteral("/srv/数据/\"x\";rm")}) {
                input->setText(text);
                PageTest::findButton(d, QStringLiteral("添加"))->click();
            }
            QCOMPARE(list->count(), 2);
            list->setCurrentRow(0);
            list->item(0)->setSelected(true);
            PageTest::findButton(d, QStringLiteral("移除选中"))->click();
            PageTest::findButton(d, QStringLiteral("关闭"))->click();
        });
        page->openSettings();
        Tavrin::MonitorConfig config;
        QCOMPARE(config.alertMode(), QStringLiteral("fixed"));
        QCOMPARE(config.fixedThresholdMB(), 2048);
        QCOMPARE(config.cooldownHours(), 12);
        QCOMPARE(config.forecastDays(), 0);
        QCOMPARE(config.retentionDays(), 400);
        QCOMPARE(config.storageBudgetMB(), 1024);
        QCOMPARE(config.excludes(), QStringList{"/srv/数据/\"x\";rm"});
        QCOMPARE(page->store()->retentionDays, 400);
        QCOMPARE(page->store()->budgetBytes, 1024 * MiB);
    }

    // A configuration directory that takes no writes: each change says so in the dialog, its control
    // shows what is stored, a refused exclusion stays typed, and the stored file stays whole.
    void settingsRefusedByTheStore()
    {
        {
            Tavrin::MonitorConfig c;
            QVERIFY(c.setValue("monitor.cooldownHours", 6));
            QVERIFY(c.setValue("monitor.excludes", QStringList{"/var/cache"}));
        }
        const QString dir = QDir::homePath() + "/.config/zarnex";
        const QByteArray stored = readFile(dir + "/tavrin-manager.conf");
        QVERIFY(!stored.isEmpty());
        if (geteuid() != 0 || QProcess::execute("mount", {"--bind", "-o", "ro", dir, dir}) != 0)
            QSKIP("needs root for a read-only bind mount");
        const auto unmount = qScopeGuard([&dir] { QProcess::execute("umount", {dir}); });
        QProcess::execute("mount", {"-o", "remount,bind,ro", dir});

        makePage();
        PageTest::onNextDialog([](QDialog *d) {
            auto *error = d->findChild<QLabel *>("tavrinDiskSettingsError");
            QVERIFY(error);
            QVERIFY(error->isHidden());
            auto *cooldown = d->findChild<QSpinBox *>("tavrinDiskCooldown");
            cooldown->setValue(12);
            QCOMPARE(cooldown->value(), 6);
            QVERIFY(!error->isHidden());
            QVERIFY2(error->text().startsWith("无法保存设置"), qPrintable(error->text()));

            auto *mode = d->findChild<QComboBox *>("tavrinDiskAlertMode");
            mode->setCurrentIndex(1);
            QCOMPARE(mode->currentIndex(), 0);
            QVERIFY(!d->findChild<QSpinBox *>("tavrinDiskFixedThreshold")->isEnabled());
            auto *budget = d->findChild<QComboBox *>("tavrinDiskBudget");
            const int budgetBefore = budget->currentIndex();
            budget->setCurrentIndex(budgetBefore == 2 ? 0 : 2);
            QCOMPARE(budget->currentIndex(), budgetBefore);

            auto *input = d->findChild<QLineEdit *>("tavrinDiskExcludeInput");
            auto *list = d->findChild<QListWidget *>("tavrinDiskExcludeList");
            input->setText("/home/Test/Downloads");
            PageTest::findButton(d, QStringLiteral("添加"))->click();
            QCOMPARE(list->count(), 1);
            QCOMPARE(list->item(0)->text(), QStringLiteral("/var/cache"));
            QCOMPARE(input->text(), QStringLiteral("/home/Test/Downloads"));
            list->item(0)->setSelected(true);
            PageTest::findButton(d, QStringLiteral("移除选中"))->click();
            QCOMPARE(list->count(), 1);

            // The timer starts, the store refuses the switch: the timer is stopped again, or it
            // would run a monitor that reads "off" while the page said "on".
            auto *sw = d->findChild<ZSwitchButton *>("tavrinDiskMonitorSwitch");
            QVERIFY(!sw->isChecked());
            sw->click();
            QVERIFY(!sw->isChecked());
            PageTest::findButton(d, QStringLiteral("关闭"))->click();
        });
        page->openSettings();
        QCOMPARE(readFile(dir + "/tavrin-manager.conf"), stored);
        QCOMPARE(page->store()->budgetBytes, qint64(Tavrin::MonitorConfig().storageBudgetMB()) * MiB);
        const QString refused = QStringLiteral("无法保存设置（配置目录不可写或磁盘已满），此项更改未生效");
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"), refused);
        QCOMPARE(timerChanges(log), QByteArrayList({"--user enable --now tavrin-monitor.timer",
                                                    "--user disable --now tavrin-monitor.timer"}));

        // The same through the page's start button.
        QFile::remove(log);
        QDir().mkpath(sysroot.path() + "/usr/lib/systemd/user");
        QFile timer(sysroot.path() + "/usr/lib/systemd/user/tavrin-monitor.timer");
        QVERIFY(timer.open(QIODevice::WriteOnly));
        timer.close();
        const auto removeTimer = qScopeGuard([&timer] { timer.remove(); });
        page->onStartMonitorService();
        QCOMPARE(badgeText(page.get()), refused);
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"), refused);
        QVERIFY(button(page.get(), "tavrinDiskStartService")->isVisibleTo(page.get()));
        QCOMPARE(timerChanges(log), QByteArrayList({"--user enable --now tavrin-monitor.timer",
                                                    "--user disable --now tavrin-monitor.timer"}));
    }

    void serviceToggle_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("fail");
        QTest::addColumn<bool>("expectEnabled");
        QTest::addColumn<QString>("status");

        QTest::newRow("enable") << true << "" << true << "监控已开启，正在建立基线（由后台服务采样）";
        QTest::newRow("unit unknown")
            << true << "cat" << false << "监控服务启动失败：systemd 未识别监控单元（tavrin-monitor.timer）";
        QTest::newRow("enable refused")
            << true << "enable" << false << "监控服务启动失败：Failed to enable: simulated";
        QTest::newRow("disable") << false << "" << false << "监控已关闭，历史数据保留";
        QTest::newRow("disable fails, timer not enabled")
            << false << "disable is-enabled" << false << "监控已关闭，历史数据保留";
        QTest::newRow("disable fails, timer still enabled")
            << false << "disable" << true << "监控服务停止失败：Failed to disable: simulated";
    }

    void serviceToggle()
    {
        QFETCH(bool, on);
        QFETCH(QString, fail);
        QFETCH(bool, expectEnabled);
        QFETCH(QString, status);
        Tavrin::MonitorConfig().setEnabled(!on);
        qputenv("FAKE_SYSTEMCTL_FAIL", fail.toUtf8());
        makePage();
        bool switchState = !on;
        PageTest::onNextDialog([&](QDialog *d) {
            auto *sw = d->findChild<ZSwitchButton *>("tavrinDiskMonitorSwitch");
            QVERIFY(sw);
            QCOMPARE(sw->isChecked(), !on);
            sw->click();
            switchState = sw->isChecked();
            d->reject();
        });
        page->openSettings();
        QCOMPARE(Tavrin::MonitorConfig().enabled(), expectEnabled);
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"), status);
        // A failed toggle puts the switch back.
        QCOMPARE(switchState, fail.isEmpty() || fail.contains("is-enabled") ? on : !on);
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray calls = f.readAll();
        QVERIFY(calls.contains(on ? "--user enable --now tavrin-monitor.timer"
                                  : "--user disable --now tavrin-monitor.timer") ||
                fail == "cat");
        QCOMPARE(calls.contains("--user start --no-block tavrin-monitor.service"), on && fail.isEmpty());
    }

    void serviceStatus_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<bool>("startButton");
        QTest::newRow("active") << QByteArray("active") << true << "磁盘监控运行中" << false;
        QTest::newRow("inactive while enabled")
            << QByteArray("inactive") << true << "磁盘监控未启动，无法自动记录" << true;
        QTest::newRow("inactive while off") << QByteArray("inactive") << false << "磁盘监控未开启" << false;
        QTest::newRow("no user session")
            << QByteArray("none") << true << "无法连接 systemd 用户会话" << false;
    }

    void serviceStatus()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, enabled);
        QFETCH(QString, badge);
        QFETCH(bool, startButton);
        Tavrin::MonitorConfig().setEnabled(enabled);
        qputenv("FAKE_SYSTEMCTL_ACTIVE", answer);
        makePage();
        page->updateServiceStatus();
        page->updateServiceStatus();
        QTRY_COMPARE_WITH_TIMEOUT(badgeText(page.get()), badge, 20000);
        QCOMPARE(button(page.get(), "tavrinDiskStartService")->isVisible(), startButton);
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count("is-active"), 1);
    }

    void startService()
    {
        Tavrin::MonitorConfig().setEnabled(true);
        qputenv("FAKE_SYSTEMCTL_ACTIVE", "inactive");
        makePage();
        page->updateServiceStatus();
        QTRY_VERIFY_WITH_TIMEOUT(button(page.get(), "tavrinDiskStartService")->isVisible(), 20000);
        // Not installed anywhere: the missing-component badge.
        button(page.get(), "tavrinDiskStartService")->click();
        QCOMPARE(badgeText(page.get()), QStringLiteral("监控组件未安装：请先安装应用（sudo ./install.sh）"));
        QVERIFY(button(page.get(), "tavrinDiskStartService")->isVisible());

        QDir().mkpath(sysroot.path() + "/usr/lib/systemd/user");
        QFile timer(sysroot.path() + "/usr/lib/systemd/user/tavrin-monitor.timer");
        QVERIFY(timer.open(QIODevice::WriteOnly));
        timer.close();
        qputenv("FAKE_SYSTEMCTL_ACTIVE", "active");
        button(page.get(), "tavrinDiskStartService")->click();
        QCOMPARE(labelText(page.get(), "tavrinDiskStatus"),
                 QStringLiteral("监控已开启，正在建立基线（由后台服务采样）"));
        QTRY_COMPARE_WITH_TIMEOUT(badgeText(page.get()), QStringLiteral("磁盘监控运行中"), 20000);
        QVERIFY(!button(page.get(), "tavrinDiskStartService")->isVisible());
        QFile::remove(timer.fileName());
    }

    void systemctlTimeout()
    {
        qputenv("FAKE_SYSTEMCTL_HANG", "cat");
        const MonitorService::SystemctlResult r =
            MonitorService::runSystemctlUser({"cat", "tavrin-monitor.timer"}, 300);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("systemctl --user cat tavrin-monitor.timer 执行超时"));
        qputenv("FAKE_SYSTEMCTL_FAIL", "enable");
        const MonitorService::SystemctlResult f = MonitorService::runSystemctlUser({"enable", "x"}, 10000);
        QVERIFY(!f.ok);
        QCOMPARE(f.message, QStringLiteral("Failed to enable: simulated"));
    }

    // The open button of a row is reached without the mouse too: its cell
    // tells a reader where it leads and how, Ctrl+O and the row menu open it,
    // and a row without a location offers nothing.
    void openLocationWithoutTheMouse()
    {
        const QString gioLog = sysroot.path() + "/gio.log";
        QFile::remove(gioLog);
        qputenv("FAKE_GIO_LOG", QFile::encodeName(gioLog));
        const auto unset = qScopeGuard([] { qunsetenv("FAKE_GIO_LOG"); });
        writeDays(3);
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        button(page.get(), "tavrinDiskView2")->click();
        auto *table = page->findChild<QTableWidget *>("tavrinDiskAnalysis");
        auto *view = page->findChild<DiskPage::AnalysisView *>();
        QVERIFY(view);
        int withPath = -1;
        for (int r = 0; r < table->rowCount() && withPath < 0; ++r) {
            if (!view->pathAt(r).isEmpty())
                withPath = r;
        }
        QVERIFY(withPath >= 0);
        const QString path = view->pathAt(withPath);
        QCOMPARE(table->item(withPath, 3)->data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("打开位置：%1（菜单键或 Ctrl+O）").arg(path));
        const QString header =
            table->model()->headerData(3, Qt::Horizontal, Qt::AccessibleTextRole).toString();
        QCOMPARE(header, QStringLiteral("打开位置"));
        auto gioCalls = [&gioLog] {
            QFile f(gioLog);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                               : QStringList();
        };

        page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        table->setFocus();
        table->setCurrentCell(withPath, 0);
        QTest::keyClick(table, Qt::Key_O, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(gioCalls(), QStringList{"open " + path}, 10000);

        QStringList entries;
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&entries, poll] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll->deleteLater();
            for (QAction *a : menu->actions())
                entries << a->text();
            menu->setActiveAction(menu->actions().value(0));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        poll->start(10);
        QTest::keyClick(table, Qt::Key_Menu);
        QCOMPARE(entries, QStringList{QStringLiteral("打开位置")});
        QTRY_COMPARE_WITH_TIMEOUT(gioCalls(), (QStringList{"open " + path, "open " + path}), 10000);
        // A message row has nothing to open: no menu, no call.
        view->setRows({DiskPage::AnalysisRow{QString(), QStringLiteral("暂无数据"), QString(), 0, false, false, true}});
        table->setCurrentCell(0, 0);
        QTest::keyClick(table, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(table, Qt::Key_Menu);
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(gioCalls().size(), 2);
    }

    void analysisViewsAndDrill()
    {
        writeDays(5);
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        auto *table = page->findChild<QTableWidget *>("tavrinDiskAnalysis");
        // Composition: five largest and "其他".
        QCOMPARE(table->rowCount(), 6);
        QCOMPARE(table->item(5, 0)->text(), QStringLiteral("其他"));
        button(page.get(), "tavrinDiskView2")->click();
        QCOMPARE(page->viewMode(), DiskPage::Ranking);
        QCOMPARE(table->rowCount(), 7);
        button(page.get(), "tavrinDiskView1")->click();
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("/var"));
        QCOMPARE(table->item(0, 2)->text(), QStringLiteral("60.0%"));

        // A file row does not drill; a click on a directory makes the timeline follow it.
        button(page.get(), "tavrinDiskView2")->click();
        int fileRow = -1;
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->item(r, 0)->text() == "/swapfile")
                fileRow = r;
        }
        page->onAnalysisCellDoubleClicked(fileRow, 0);
        QVERIFY(!page->scanner()->isBusy());
        page->onAnalysisCellClicked(1, 0);
        QCOMPARE(page->followedDirectory(), table->item(1, 0)->text());
        QCOMPARE(page->chart()->records().size(), 5);

        // Two drill results, then back once and back to the top.
        emit page->scanner()->drillFinished("/var",
                                            {{"/var/log", 10 * MiB, true}, {"/var/lib", 30 * MiB, true}});
        emit page->scanner()->drillFinished("/var/lib", {{"/var/lib/a b\nc", 1 * MiB, true}});
        QCOMPARE(page->browsePath(), QStringLiteral("/var/lib"));
        QCOMPARE(page->browseDepth(), 2);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("/var/lib/a b\nc"));
        // Backspace goes back one level, as the back button does.
        page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Backspace);
        QCOMPARE(page->browsePath(), QStringLiteral("/var"));
        QCOMPARE(page->followedDirectory(), QStringLiteral("/var"));
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("/var/lib"));
        QVERIFY(button(page.get(), "tavrinDiskBack")->isEnabled());
        page->onBackToSystemTimeline();
        QCOMPARE(page->browseDepth(), 0);
        QVERIFY(page->followedDirectory().isEmpty());
        QCOMPARE(table->rowCount(), 7);
        QCOMPARE(page->chart()->records().size(), 5);
        QVERIFY(!button(page.get(), "tavrinDiskBack")->isEnabled());
    }

    void csvExport()
    {
        writeDays(30);
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        button(page.get(), "tavrinDiskPreset1")->click();
        QVERIFY(waitLoaded());
        const QString file = sysroot.path() + "/export dir/用量.csv";
        QDir().mkpath(QFileInfo(file).path());
        page->exportCsv(file);
        QTRY_VERIFY_WITH_TIMEOUT(
            labelText(page.get(), "tavrinDiskStatus").startsWith(QStringLiteral("已导出 30 天")), 20000);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QByteArray> lines = bytes.mid(3).trimmed().split('\n');
        QCOMPARE(lines.size(), 31);
        const QList<DiskDayRecord> loaded = page->loadedRecords();
        for (int i = 0; i < loaded.size(); ++i) {
            const QList<QByteArray> cells = lines.at(i + 1).trimmed().split(',');
            QCOMPARE(cells.at(0), loaded.at(i).date.toString(Qt::ISODate).toUtf8());
            QCOMPARE(cells.at(1).toLongLong(), loaded.at(i).total);
            if (i > 0) {
                QCOMPARE(cells.at(3).toLongLong(), 100 * MiB);
                QCOMPARE(cells.at(5), QByteArray("/var"));
            }
        }
        page->exportCsv(sysroot.path() + "/missing/dir/x.csv");
        QTRY_VERIFY_WITH_TIMEOUT(
            labelText(page.get(), "tavrinDiskStatus").startsWith(QStringLiteral("导出失败")), 20000);
    }

    void corruptHistoryFiles()
    {
        writeDays(4);
        writeFile(QDate::currentDate().addDays(-1).toString(Qt::ISODate) + ".json", "{\"date\": tru");
        writeFile(QDate::currentDate().addDays(-2).toString(Qt::ISODate) + ".json", "");
        writeFile("index.json", "[garbage");
        writeFile("alert.json", "\x00\xff\xfe");
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        QCOMPARE(page->loadedRecords().size(), 2);
        QVERIFY(page->currentAlertKey().isEmpty());
        QCOMPARE(button(page.get(), "tavrinDiskAlertHistory")->text(), QStringLiteral("告警历史（0）"));
    }

    // A year made by the simulated system's script, in the main window, both themes, at the
    // minimum size and maximised. PNGs land in TAVRIN_SCREENSHOT_DIR when it is set.
    void renders_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QSize>("size");
        QTest::newRow("light-min") << int(ZGuiApplicationHelper::LightType) << QSize(920, 620);
        QTest::newRow("dark-min") << int(ZGuiApplicationHelper::DarkType) << QSize(920, 620);
        QTest::newRow("light-max") << int(ZGuiApplicationHelper::LightType) << QSize(1920, 1080);
        QTest::newRow("dark-max") << int(ZGuiApplicationHelper::DarkType) << QSize(1920, 1080);
    }

    void renders()
    {
        QFETCH(int, theme);
        QFETCH(QSize, size);
        QProcess make;
        make.start(QStringLiteral("python3"), {Tavrin::Test::sourcePath("sim/make-disk-history.py"), "--days",
                                               "365", "--dir", historyDir()});
        QVERIFY(make.waitForFinished(60000) && make.exitCode() == 0);
        // The simulated system's df answers from its history (as sim/bin/df does): card and chart agree.
        Tavrin::DiskHistoryStore history;
        const QList<DiskDayRecord> recent =
            history.loadRange(QDate::currentDate().addDays(-2), QDate::currentDate());
        QVERIFY(!recent.isEmpty());
        const qint64 usedNow = recent.constLast().samples.isEmpty()
                                   ? recent.constLast().total
                                   : recent.constLast().samples.constLast().total;
        qputenv("FAKE_DF_TOTAL", QByteArray::number(recent.constLast().capacity));
        qputenv("FAKE_DF_USED", QByteArray::number(usedNow));
        Tavrin::MonitorConfig().setEnabled(true);
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        TavrinUi::applyAppearance();
        TavrinUi::refreshExactColorLabels();

        MainWindow window;
        window.resize(size);
        window.show();
        auto *disk = qobject_cast<DiskUsagePage *>(window.page(DiskUsage));
        window.gotoPage(DiskUsage);
        QVERIFY(
            QTest::qWaitFor([disk] { return disk->pendingRangeId() == 0 && disk->taskCount() == 0; }, 60000));
        ::button(disk, "tavrinDiskPreset4")->click();
        QVERIFY(
            QTest::qWaitFor([disk] { return disk->pendingRangeId() == 0 && disk->taskCount() == 0; }, 60000));
        QTRY_VERIFY_WITH_TIMEOUT(!disk->chart()->checkOverlay()->isVisible(), 10000);
        QVERIFY(disk->chart()->records().size() >= 360);
        QVERIFY(!disk->chart()->spikeDays().isEmpty());
        QVERIFY(!disk->currentAlertKey().isEmpty());
        QCOMPARE(labelText(disk, "tavrinDiskUsed"),
                 QStringLiteral("已用 %1").arg(Tavrin::formatSize(usedNow)));
        QCOMPARE(disk->chart()->records().constLast().total, recent.constLast().total);
        QCoreApplication::processEvents();

        // Every control a person can reach says what it is to a screen reader.
        QStringList unnamed;
        for (QWidget *w : disk->findChildren<QWidget *>()) {
            if (!w->isVisibleTo(disk) || w->focusPolicy() == Qt::NoFocus || qobject_cast<QScrollArea *>(w) ||
                w->objectName() == QLatin1String("qt_scrollarea_viewport"))
                continue;
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            if (a && a->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << QStringLiteral("%1 %2").arg(w->metaObject()->className(), w->objectName());
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));

        const QImage shot = window.grab().toImage();
        const QWidget *content = disk->findChild<QWidget *>("tavrinPageContent");
        const QImage full = const_cast<QWidget *>(content)->grab().toImage();
        const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            shot.save(QStringLiteral("%1/disk-%2.png").arg(dir, QTest::currentDataTag()));
            full.save(QStringLiteral("%1/disk-%2-full.png").arg(dir, QTest::currentDataTag()));
        }
        // The page follows the theme, and nothing is wider than the window.
        qint64 sum = 0;
        for (int y = 0; y < full.height(); y += 8)
            for (int x = 0; x < full.width(); x += 8)
                sum += QColor(full.pixel(x, y)).lightness();
        const double mean = double(sum) / ((full.height() / 8 + 1) * (full.width() / 8 + 1));
        QVERIFY2(theme == ZGuiApplicationHelper::DarkType ? mean < 110 : mean > 150,
                 qPrintable(QString::number(mean)));
        const auto *scroll = disk->findChild<QScrollArea *>("tavrinScroll");
        QVERIFY2(
            content->width() <= scroll->viewport()->width(),
            qPrintable(QStringLiteral("%1 > %2").arg(content->width()).arg(scroll->viewport()->width())));
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::LightType);
    }

    void scanNowLeavesScannerIdle()
    {
        QTemporaryDir du;
        qputenv("FAKE_DU_DIR", QFile::encodeName(du.path()));
        QFile out(du.path() + "/_.out");
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("1024\t/usr\n2048\t/var\n");
        out.close();
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        button(page.get(), "tavrinDiskScanNow")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!page->scanner()->isBusy() && !page->chart()->isScanning(), 30000);
        QVERIFY(waitLoaded());
        QVERIFY(button(page.get(), "tavrinDiskScanNow")->isEnabled());
        if (labelText(page.get(), "tavrinDiskStatus").startsWith(QStringLiteral("已加载")))
            QVERIFY(QFile::exists(Tavrin::DiskHistoryStore::dayFilePath(QDate::currentDate())));
    }

    // A monitor cycle and the page's clear overlap, in both orders: the clear is one locked step,
    // so the cycle's writes land wholly before it (and are cleared) or wholly after it (and hold
    // only what the cycle measured); the days and alerts the clear deleted never come back.
    void clearOverlappingMonitor_data()
    {
        QTest::addColumn<bool>("clearFirst");
        QTest::newRow("clear while the cycle scans") << true;
        QTest::newRow("cycle writes while the clear waits") << false;
    }

    void clearOverlappingMonitor()
    {
        QFETCH(bool, clearFirst);
        const QDate today = QDate::currentDate();
        for (const int back : {2, 1})
            writeDay(today.addDays(-back), {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}});
        const QString oldSpike = today.addDays(-1).toString(Qt::ISODate) + " /old";
        const QString newSpike = today.toString(Qt::ISODate) + " /var";
        writeFile("alert.json",
                  QJsonDocument(QJsonObject{{"spikes", QJsonArray{QJsonObject{
                                                           {"date", today.addDays(-1).toString(Qt::ISODate)},
                                                           {"causeDir", "/old"},
                                                           {"growth", double(2 * GiB)},
                                                           {"alerted", true}}}}})
                      .toJson());
        writeFile("alert-ui-state.json", R"({"dismissed":[],"seen":1})");
        QTemporaryDir du;
        QVERIFY(Tavrin::writeFileAtomic(du.filePath("_.out"), "62914560\t/usr\n15728640\t/var\n4\t/\n"));
        QVERIFY(Tavrin::writeFileAtomic(du.filePath("_var.out"), "5242880\t/var/big\n15728640\t/var\n"));
        const QString release = du.filePath("release");
        QStringList env{"FAKE_DU_DIR=" + du.path(), "FAKE_DF_USED=" + QString::number(105 * GiB),
                        "FAKE_DF_TOTAL=" + QString::number(500 * GiB)};
        if (clearFirst)
            env << "FAKE_DU_WAIT=" + release;

        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        QCOMPARE(page->loadedRecords().size(), 2);

        std::unique_ptr<QProcess> monitor;
        if (clearFirst) {
            // The cycle has read yesterday and the alerts and is scanning.
            monitor = startMonitor(QDateTime(today, QTime(12, 0)), env);
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(release + ".started"), 30000);
        }
        auto lock = std::make_unique<Tavrin::HistoryLock>();
        QVERIFY(lock->isLocked());
        PageTest::answerNextDialog(QStringLiteral("清除"));
        page->onClearHistory();
        QVERIFY(page->taskCount() > 0);
        if (!clearFirst) {
            // The clear waits; the cycle runs and writes meanwhile, keeping the old alert.
            const int fd = historyLockFd();
            QVERIFY(fd >= 0);
            QCOMPARE(::flock(fd, LOCK_UN), 0);
            monitor = startMonitor(QDateTime(today, QTime(12, 0)), env);
            QCOMPARE(monitorLine(*monitor), QStringLiteral("[tavrin-monitor] ok: 监控完成"));
            QCOMPARE(spikeKeys(), (QStringList{oldSpike, newSpike}));
            QCOMPARE(dayFiles().size(), 3);
            QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        }
        // Nothing went while this test held the lock: not the days, not the alerts.
        QVERIFY(QFile::exists(historyDir() + "/alert.json"));
        QVERIFY(QFile::exists(historyDir() + "/alert-ui-state.json"));
        QVERIFY(dayFiles().size() >= 2);
        lock.reset();
        QVERIFY(waitLoaded());
        QVERIFY(!QFile::exists(historyDir() + "/alert-ui-state.json"));

        if (!clearFirst) {
            // The clear took the cycle's writes with everything else.
            QVERIFY(dayFiles().isEmpty());
            QVERIFY(!QFile::exists(historyDir() + "/alert.json"));
            return;
        }
        QVERIFY(dayFiles().isEmpty());
        QVERIFY(!QFile::exists(historyDir() + "/alert.json"));
        QVERIFY(Tavrin::writeFileAtomic(release, "go"));
        QCOMPARE(monitorLine(*monitor), QStringLiteral("[tavrin-monitor] ok: 监控完成"));
        // What exists now is the cycle's own measurement and nothing older.
        QCOMPARE(dayFiles(), QStringList{today.toString(Qt::ISODate) + ".json"});
        const DiskDayRecord day = readDay(today);
        QCOMPARE(day.samples.size(), 1);
        QCOMPARE(day.samples.first().time, QDateTime(today, QTime(12, 0)));
        QCOMPARE(day.total, 105 * GiB);
        QCOMPARE(spikeKeys(), QStringList{newSpike});
        Tavrin::DiskHistoryStore store;
        const Tavrin::DiskHistoryIndex index = store.loadIndex();
        QCOMPARE(index.days.size(), 1);
        QCOMPARE(index.days.first().date, today);
    }

    // A monitor cycle saves a sample between "立即扫描"'s scan and its save: the day keeps both,
    // and the scan's top level.
    void scanOverlappingMonitor()
    {
        const QDate today = QDate::currentDate();
        writeDay(today, {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}}, QTime(8, 0));
        QTemporaryDir du;
        QVERIFY(Tavrin::writeFileAtomic(du.filePath("_.out"), "62914560\t/usr\n11534336\t/var\n4\t/\n"));
        qputenv("FAKE_DU_DIR", QFile::encodeName(du.path()));
        qputenv("FAKE_DF_TOTAL", QByteArray::number(500 * GiB));
        qputenv("FAKE_DF_USED", QByteArray::number(101 * GiB));
        qputenv("TAVRIN_DISK_NOW", QDateTime(today, QTime(11, 0)).toString(Qt::ISODate).toUtf8());
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());

        auto lock = std::make_unique<Tavrin::HistoryLock>();
        QVERIFY(lock->isLocked());
        button(page.get(), "tavrinDiskScanNow")->click();
        // The scan is through; its save waits for the lock.
        QTRY_VERIFY_WITH_TIMEOUT(!page->scanner()->isBusy() && !page->chart()->isScanning(), 30000);
        QVERIFY(page->taskCount() > 0);
        QCOMPARE(readDay(today).samples.size(), 1);
        // A monitor sample lands between the scan and its save.
        const int fd = historyLockFd();
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_UN), 0);
        std::unique_ptr<QProcess> monitor =
            startMonitor(QDateTime(today, QTime(12, 0)), {"FAKE_DF_USED=" + QString::number(102 * GiB)});
        QCOMPARE(monitorLine(*monitor), QStringLiteral("[tavrin-monitor] ok: 监控完成"));
        QCOMPARE(readDay(today).samples.size(), 2);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        lock.reset();
        QVERIFY(waitLoaded());

        const DiskDayRecord day = readDay(today);
        QList<QTime> times;
        for (const Tavrin::DiskSample &s : day.samples)
            times << s.time.time();
        QCOMPARE(times, (QList<QTime>{QTime(8, 0), QTime(11, 0), QTime(12, 0)}));
        QCOMPARE(day.samples.at(1).total, 101 * GiB);
        QCOMPARE(day.total, 102 * GiB);
        QCOMPARE(day.topLevel.size(), 2);
        QCOMPARE(day.topLevel.at(1).size, 11 * GiB);
        QCOMPARE(duRuns(), 0);
    }

    // The real du over a tree whose names hold a blank, a line feed and a byte that is not UTF-8:
    // Enter on a row drills as a double click does, and each level lists exactly the entries there.
    void drillRealTree()
    {
        const QString realDu = QStandardPaths::findExecutable("du", {"/usr/bin", "/bin"});
        if (realDu.isEmpty())
            QSKIP("no du on this system");
        // In place of the stand-in, which the stand-in sudo, nice and ionice still run through.
        const QString du = sysroot.path() + "/usr/bin/du";
        QVERIFY(QFile::remove(du) && QFile::link(realDu, du));
        const auto restoreDu = qScopeGuard([this] { Tavrin::Test::plantDiskFakes(sysroot.path(), {"du"}); });

        QTemporaryDir tree;
        const QByteArray root = QFile::encodeName(tree.path());
        // QTemporaryDir cannot name the non-UTF-8 entries to remove them.
        const auto removeRaw = qScopeGuard([root] {
            ::unlink((root + "/bad\xff/inner/x").constData());
            ::rmdir((root + "/bad\xff/inner").constData());
            ::rmdir((root + "/bad\xff").constData());
        });
        const QList<QByteArray> dirs{"a b", "line\nfeed", "bad\xff", "sub"};
        for (const QByteArray &name : dirs)
            QCOMPARE(::mkdir((root + '/' + name).constData(), 0700), 0);
        QCOMPARE(::mkdir((root + "/bad\xff/inner").constData(), 0700), 0);
        // Through the C library: Qt cannot give every one of these names back as bytes.
        for (const char *file : {"/f.txt", "/a b/data", "/bad\xff/inner/x"}) {
            FILE *f = std::fopen((root + file).constData(), "w");
            QVERIFY(f);
            std::fputs(QByteArray(8192, 'x').constData(), f);
            std::fclose(f);
        }

        const QDate today = QDate::currentDate();
        writeDay(today, {{tree.path(), GiB, true}, {"/usr", 2 * GiB, true}});
        makePage();
        page->refresh();
        QVERIFY(waitLoaded());
        button(page.get(), "tavrinDiskView2")->click();
        auto *table = page->findChild<QTableWidget *>("tavrinDiskAnalysis");
        page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page.get()));

        auto enterOn = [&](const QString &path) {
            int row = -1;
            for (int i = 0; i < page->analysisRows().size(); ++i) {
                if (page->analysisRows().at(i).path == path)
                    row = i;
            }
            QVERIFY2(row >= 0, qPrintable(path));
            table->setFocus();
            table->setCurrentCell(row, 0);
            QTest::keyClick(table, Qt::Key_Return);
            QTRY_VERIFY_WITH_TIMEOUT(page->browsePath() == path && !page->scanner()->isBusy(), 30000);
        };
        auto rowSet = [&] {
            QSet<QString> rows;
            for (const DiskPage::AnalysisRow &row : page->analysisRows())
                rows << row.path + (row.isDir ? "/" : "");
            return rows;
        };

        enterOn(tree.path());
        QSet<QString> expected{tree.path() + "/f.txt"};
        for (const QByteArray &name : dirs)
            expected << QFile::decodeName(root + '/' + name) + "/";
        QCOMPARE(rowSet(), expected);

        const QString bad = QFile::decodeName(root + "/bad\xff");
        enterOn(bad);
        QCOMPARE(rowSet(), QSet<QString>{bad + "/inner/"});

        // Browsing is not growth: the day's drill cache, which growth lists read, stays as it was.
        QVERIFY(waitLoaded());
        QVERIFY(readDay(today).drillCache.isEmpty());
    }
};

TAVRIN_TEST_MAIN(TestDiskUsagePage)
#include "tst_diskusagepage.moc"
