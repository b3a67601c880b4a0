// The disk chart against the simulated system: the upgrades and rollbacks of its status list
// marked on their days beside the snapshots, read out with the selected day, in both themes.
#include "pagetest.h"

#include <QAccessible>
#include <QtTest/QtTest>

#include "backend/backend.h"
#include "disk/diskhistorystore.h"
#include "disk/monitorconfig.h"
#include "diskusagepage.h"
#include "ui/appearance.h"
#include "ui/diskanalysis.h"
#include "ui/usagechart.h"
#include "zguiapplicationhelper.h"

namespace {

constexpr qint64 GiB = 1024LL * 1024 * 1024;

QDate dayOf(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).date();
}

} // namespace

class TestDiskChartEvents : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QByteArray fakes = QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/diskpage")) + ":" +
                                 QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/disk")) + ":" +
                                 QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/ui"));
        qputenv("PATH", fakes + ":" + qgetenv("PATH"));
        qputenv("FAKE_GSETTINGS_OUTPUT", "false");
        qputenv("TAVRIN_CONFIG_QSETTINGS", "1");
        qputenv("FAKE_DF_TOTAL", QByteArray::number(100 * GiB));
        qputenv("FAKE_DF_USED", QByteArray::number(40 * GiB));
    }

    // Which status-list entries make which marks, whatever the list's order.
    void eventsFromTheStatusList_data()
    {
        QTest::addColumn<QList<Tavrin::DeployInfo>>("deploys");
        QTest::addColumn<QStringList>("expected"); // "offset:text" by day before the newest, oldest first
        const qint64 t = QDateTime(QDate(2026, 5, 20), QTime(12, 0)).toSecsSinceEpoch();
        const qint64 day = 86400;
        auto d = [](const char *v, qint64 time, bool booted, bool backup, bool hidden) {
            Tavrin::DeployInfo i;
            i.version = QString::fromLatin1(v);
            i.commit = QStringLiteral("c") + i.version;
            i.time = time;
            i.isBooted = booted;
            i.isRollbackBackup = backup;
            i.hidden = hidden;
            return i;
        };
        QTest::newRow("rolled back")
            << QList<Tavrin::DeployInfo>{d("25.1.2", t, true, false, false),
                                         d("25.1.2", t - 7 * day, false, true, false),
                                         d("25.1.1", t - 16 * day, false, false, false)}
            << QStringList{"16:升级到 25.1.1", "7:升级到 25.1.2", "0:回滚到 25.1.2"};
        QTest::newRow("upgraded, one staged")
            << QList<Tavrin::DeployInfo>{d("25.1.3", t, false, false, true),
                                         d("25.1.2", t - 3 * day, true, false, false)}
            << QStringList{"3:升级到 25.1.2", "0:待生效的 25.1.3"};
        // The booted one older than the backup was not made by that rollback.
        QTest::newRow("backup newer than booted")
            << QList<Tavrin::DeployInfo>{d("25.1.1", t - 2 * day, true, false, false),
                                         d("25.1.2", t, false, true, false)}
            << QStringList{"2:升级到 25.1.1", "0:升级到 25.1.2"};
        QTest::newRow("two the same day, one undated")
            << QList<Tavrin::DeployInfo>{d("25.1.2", t, false, false, false),
                                         d("", t - 60, false, false, false),
                                         d("25.1.0", 0, false, false, false)}
            << QStringList{"0:升级到 未知版本", "0:升级到 25.1.2"};
    }

    void eventsFromTheStatusList()
    {
        QFETCH(QList<Tavrin::DeployInfo>, deploys);
        QFETCH(QStringList, expected);
        const QMap<QDate, QStringList> events = DiskPage::deploymentEvents(deploys);
        const QDate newest = events.isEmpty() ? QDate() : events.lastKey();
        QStringList got;
        for (auto it = events.cbegin(); it != events.cend(); ++it) {
            for (const QString &text : it.value())
                got << QStringLiteral("%1:%2").arg(it.key().daysTo(newest)).arg(text);
        }
        QCOMPARE(got, expected);
    }

    void marksBesideSnapshots_data()
    {
        QTest::addColumn<int>("theme");
        QTest::newRow("light") << int(ZGuiApplicationHelper::LightType);
        QTest::newRow("dark") << int(ZGuiApplicationHelper::DarkType);
    }

    void marksBesideSnapshots()
    {
        QFETCH(int, theme);
        PageTest::SimRoot sim;
        QVERIFY(sim.isReady());
        QDir(Tavrin::DiskHistoryStore::historyDir()).removeRecursively();
        Tavrin::MonitorConfig().setEnabled(true);
        // A month of history, a jump on each deployment's day.
        const QList<Tavrin::DeployInfo> deploys = Tavrin::getDeploys();
        QCOMPARE(deploys.size(), 3);
        QSet<QDate> deployDays;
        for (const Tavrin::DeployInfo &d : deploys)
            deployDays << dayOf(d.time);
        {
            Tavrin::DiskHistoryStore store;
            qint64 used = 30 * GiB;
            for (int k = 29; k >= 0; --k) {
                Tavrin::DiskDayRecord r;
                r.date = QDate::currentDate().addDays(-k);
                used += deployDays.contains(r.date) ? 2 * GiB : GiB / 8;
                r.capacity = 100 * GiB;
                r.total = used;
                QVERIFY(store.saveDayRecord(r));
            }
        }
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        TavrinUi::applyAppearance();

        DiskUsagePage page(nullptr);
        page.resize(920, 620);
        page.show();
        page.refresh();
        TavrinUi::UsageChart *chart = page.chart();
        QTRY_VERIFY_WITH_TIMEOUT(chart->records().size() >= 15 && !chart->deploymentDays().isEmpty(), 30000);
        const QMap<QDate, QStringList> marks = chart->deploymentDays();
        QCOMPARE(QSet<QDate>(marks.keyBegin(), marks.keyEnd()), deployDays);
        const Tavrin::DeployInfo &booted = deploys.first();
        QVERIFY(booted.isBooted);
        QCOMPARE(marks.value(dayOf(booted.time)), QStringList{"回滚到 " + booted.version});

        // The keyboard reaches the rollback's day and the description reads its mark out.
        chart->setFocus();
        QTest::keyClick(chart, Qt::Key_End);
        const QDate last = chart->records().constLast().date;
        for (int i = 0; i < dayOf(booted.time).daysTo(last); ++i)
            QTest::keyClick(chart, Qt::Key_Left);
        QCOMPARE(chart->selectedDate(), dayOf(booted.time));
        QVERIFY2(chart->accessibleDescription().contains("部署：回滚到 " + booted.version),
                 qPrintable(chart->accessibleDescription()));

        // An upgrade staged now shows on today's point at the next refresh.
        QProcess upgrade;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TAVRIN_SIM_EUID", "0");
        upgrade.setProcessEnvironment(env);
        upgrade.start(sim.path("/usr/sbin/zarnex-immutable-ctl"), {"upgrade"});
        QVERIFY(upgrade.waitForFinished(60000));
        QCOMPARE(upgrade.exitCode(), 0);
        page.refresh();
        QTRY_VERIFY_WITH_TIMEOUT(chart->deploymentDays().value(QDate::currentDate()).size() == 1, 30000);
        QVERIFY(chart->deploymentDays().value(QDate::currentDate()).first().startsWith("待生效的 "));
        QTest::keyClick(chart, Qt::Key_End);
        QVERIFY2(chart->accessibleDescription().contains("部署：待生效的 "),
                 qPrintable(chart->accessibleDescription()));
        QTRY_VERIFY_WITH_TIMEOUT(!chart->checkOverlay()->isVisible(), 10000);

        const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QWidget *timeline = chart->parentWidget();
            while (timeline && timeline->parentWidget() && timeline->width() < page.width() * 0.8)
                timeline = timeline->parentWidget();
            timeline->grab().save(
                QStringLiteral("%1/disk-chart-events-%2.png").arg(dir, QTest::currentDataTag()));
            page.grab().save(QStringLiteral("%1/disk-page-events-%2.png").arg(dir, QTest::currentDataTag()));
        }
    }
};

TAVRIN_TEST_MAIN(TestDiskChartEvents)
#include "tst_diskchartevents.moc"
