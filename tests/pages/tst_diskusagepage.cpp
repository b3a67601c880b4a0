// The disk page against a history directory the test writes, a stand-in df/du and a stand-in
// "systemctl --user": ranges, overview and health, alerts, clear history, settings, the monitor
// service control, drilling and export.

#include "pagetest.h"

#include <QAccessible>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSaveFile>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest/QtTest>

#include "backend/backend.h"
#include "disk/diskhistorystore.h"
#include "disk/diskscanner.h"
#include "disk/monitorconfig.h"
#include "diskusagepage.h"
#include "mainwindow.h"
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

    bool waitLoaded() const
    {
        return QTest::qWaitFor([this] { return page->pendingRangeId() == 0 && page->taskCount() == 0; },
                               30000);
    }

    void makePage()
    {
        page = std::make_unique<DiskUsagePage>(nullptr);
        page->resize(1000, 900);
        page->show();
    }

private slots:
    void initTestCase()
    {
        const QByteArray fakes = QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/diskpage")) + ":" +
                                 QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/disk")) + ":" +
                                 QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/ui"));
        qputenv("PATH", fakes + ":" + qgetenv("PATH"));
        qputenv("FAKE_GSETTINGS_OUTPUT", "false");
        qputenv("TAVRIN_CONFIG_QSETTINGS", "1");
        // Nothing of the host's system: no snapshots, no mount table, no unit files.
        qputenv("TAVRIN_SYSROOT", QFile::encodeName(sysroot.path()));
        log = sysroot.path() + "/systemctl.log";
        qputenv("FAKE_SYSTEMCTL_LOG", QFile::encodeName(log));
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
            QCOMPARE(table->item(0, 3)->text(), QStringLiteral("新增"));
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
        QCOMPARE(config.retentionDays(), 400);
        QCOMPARE(config.storageBudgetMB(), 1024);
        QCOMPARE(config.excludes(), QStringList{"/srv/数据/\"x\";rm"});
        QCOMPARE(page->store()->retentionDays, 400);
        QCOMPARE(page->store()->budgetBytes, 1024 * MiB);
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
        Tavrin::MonitorConfig().setEnabled(true);
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        qApp->setStyleSheet(tavrinStyleSheet());
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
};

TAVRIN_TEST_MAIN(TestDiskUsagePage)
#include "tst_diskusagepage.moc"
