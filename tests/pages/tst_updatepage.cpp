#include "backend/backend_p.h"
#include "pagetest.h"
#include "ui/components.h"
#include "updatepage.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>

// Check, upgrade and clean against the simulated system, and the forms of the
// check's answer.
class TestUpdatePage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;
    std::unique_ptr<UpdatePage> page;

    TavrinUi::TavrinInlineBanner *banner() const { return page->BasePage::banner(); }
    TavrinUi::TavrinCollapsible *detailsBox() const
    {
        return page->findChild<TavrinUi::TavrinCollapsible *>(QStringLiteral("tavrinUpdateDetails"));
    }
    QString details() const { return qobject_cast<QLabel *>(detailsBox()->content())->text(); }
    QString status() const { return page->findChild<QLabel *>(QStringLiteral("tavrinUpdateStatus"))->text(); }
    QString badge() const
    {
        for (auto *b : PageTest::childrenOfType<TavrinUi::TavrinBadge>(page.get()))
            return b->text();
        return QString();
    }
    bool press(const QString &text)
    {
        QAbstractButton *b = PageTest::findButton(page.get(), text);
        if (!b)
            return false;
        b->click();
        return QTest::qWaitFor([this] { return !page->isBusy(); }, 120000);
    }

private slots:
    void init()
    {
        sim = std::make_unique<PageTest::SimRoot>();
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
        page = std::make_unique<UpdatePage>(nullptr);
        page->resize(1000, 760);
        page->show();
        UpdatePage::setRequiredFreeBytes(0);
    }

    void cleanup()
    {
        page.reset();
        for (const char *v :
             {"SIM_CTL_FAIL", "SIM_CTL_FAIL_MESSAGE", "SIM_CTL_GARBAGE", "SIM_SUDO", "SIM_PKEXEC"})
            qunsetenv(v);
        sim.reset();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    // The root command outlives its time-out (the user may not stop it): the
    // page stays in progress, refuses a second run and says when it has ended.
    void timedOutRootCommandKeepsThePageBusy()
    {
        Tavrin::setTimeoutLimitForTesting(500);
        Tavrin::setKillDisabledForTesting(true);
        qputenv("SIM_CTL_DELAY", "6");
        const auto restore = qScopeGuard([] {
            Tavrin::setTimeoutLimitForTesting(0);
            Tavrin::setKillDisabledForTesting(false);
            qunsetenv("SIM_CTL_DELAY");
        });
        PageTest::findButton(page.get(), QStringLiteral("清理下载缓存"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(banner()->isVisible() && banner()->text().contains(QStringLiteral("仍在后台运行")),
                                 20000);
        QVERIFY(page->isBusy());
        QCOMPARE(banner()->semantic(), TavrinUi::Warning);
        PageTest::findButton(page.get(), QStringLiteral("清理下载缓存"))->click();
        PageTest::findButton(page.get(), QStringLiteral("检查更新"))->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 60000));
        QVERIFY2(banner()->text().contains(QStringLiteral("已结束")), qPrintable(banner()->text()));
        // Counted at sudo: one start of the tool, no check.
        const QString ctl = sim->path(QStringLiteral("/usr/sbin/zarnex-immutable-ctl"));
        QCOMPARE(sim->callCount(QStringLiteral("sudo -n ") + ctl + QStringLiteral(" upgrade clean")), 1);
        QCOMPARE(sim->callCount(ctl + QStringLiteral(" upgrade check")), 0);
        QCOMPARE(Tavrin::runningOrphansForTesting(), 0);
    }

    void checkCounts_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("need");
        QTest::newRow("plain") << "Total count: 3, Need download count: 0" << 3 << 0;
        QTest::newRow("lower, no spaces") << "progress...\ntotal count:0,need download count:0" << 0 << 0;
        QTest::newRow("data object") << R"({"code":0,"data":{"total":2,"need_download":1}})" << 2 << 1;
        QTest::newRow("top level") << R"({"total_count":4,"need_download_count":4})" << 4 << 4;
        QTest::newRow("top level, one missing") << R"({"total_count":4})" << -1 << -1;
        QTest::newRow("data, not numbers") << R"({"data":{"total":"2","need_download":1}})" << -1 << -1;
        QTest::newRow("data, negative") << R"({"data":{"total":-2,"need_download":0}})" << -1 << -1;
        // Too large for an int: unreadable, never "up to date".
        QTest::newRow("overflow") << "Total count: 99999999999, Need download count: 0" << -1 << -1;
        QTest::newRow("json overflow") << R"({"data":{"total":1e12,"need_download":0}})" << -1 << -1;
        QTest::newRow("garbage") << "\x01\x02 not json" << -1 << -1;
        QTest::newRow("empty") << "" << -1 << -1;
        QTest::newRow("array") << "[1,2]" << -1 << -1;
    }

    void checkCounts()
    {
        QFETCH(QString, answer);
        QFETCH(int, total);
        QFETCH(int, need);
        QCOMPARE(UpdatePage::parseCheckCounts(answer), qMakePair(total, need));
    }

    void checkShowsTheUpgradeThenUpToDate()
    {
        QCOMPARE(badge(), QStringLiteral("未检查"));
        QVERIFY(!detailsBox()->isVisible());
        QVERIFY(press(QStringLiteral("检查更新")));
        QCOMPARE(banner()->semantic(), TavrinUi::Success);
        QCOMPARE(banner()->text(), QStringLiteral("发现 3 个可更新项，需下载 2 个。"));
        QCOMPARE(status(), banner()->text());
        QCOMPARE(badge(), QStringLiteral("有可用更新"));
        QVERIFY(detailsBox()->isVisible());
        QCOMPARE(details(), QStringLiteral("可更新项：3　需下载：2"));

        QString seen;
        PageTest::answerNextDialog(QStringLiteral("开始升级"), QString(), &seen);
        QVERIFY(press(QStringLiteral("下载并升级")));
        QVERIFY(!seen.contains(QStringLiteral("系统盘剩余")));
        QCOMPARE(banner()->text(), QStringLiteral("系统升级完成，需重启后进入新系统。"));
        QVERIFY(PageTest::findButton(page.get(), QStringLiteral("立即重启")));
        // The status card keeps the last check's answer.
        QCOMPARE(badge(), QStringLiteral("有可用更新"));
        bool staged = false;
        for (const Tavrin::DeployInfo &d : Tavrin::getDeploys())
            staged = staged || (d.hidden && d.version == QLatin1String("25.1.3"));
        QVERIFY(staged);

        QVERIFY(press(QStringLiteral("检查更新")));
        QCOMPARE(banner()->text(), QStringLiteral("系统已是最新版本，无需更新。"));
        QCOMPARE(badge(), QStringLiteral("已是最新"));
        QCOMPARE(details(), QStringLiteral("可更新项：0（系统已是最新）"));
        QVERIFY(!PageTest::findButton(page.get(), QStringLiteral("立即重启")));
    }

    void checkFailuresAndUnreadableAnswers_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("bannerStart");
        QTest::addColumn<QString>("badgeText");
        QTest::newRow("garbage") << QByteArray("SIM_CTL_GARBAGE") << QByteArray("upgrade check")
                                 << QStringLiteral("检查完成") << QStringLiteral("未检查");
        QTest::newRow("tool fails") << QByteArray("SIM_CTL_FAIL") << QByteArray("upgrade check")
                                    << QStringLiteral("检查更新失败: ") << QStringLiteral("检查失败");
        QTest::newRow("denied") << QByteArray("SIM_PKEXEC") << QByteArray("deny")
                                << QStringLiteral("检查更新失败: ") << QStringLiteral("检查失败");
    }

    void checkFailuresAndUnreadableAnswers()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(QString, bannerStart);
        QFETCH(QString, badgeText);
        qputenv(variable.constData(), value);
        if (variable == "SIM_PKEXEC")
            qputenv("SIM_SUDO", "password");
        QVERIFY(press(QStringLiteral("检查更新")));
        QVERIFY2(banner()->text().startsWith(bannerStart), qPrintable(banner()->text()));
        QCOMPARE(badge(), badgeText);
        // The tool's own text stays readable.
        QVERIFY(detailsBox()->isVisible());
        QVERIFY(!details().isEmpty());
        if (badgeText == QLatin1String("未检查"))
            QCOMPARE(status(), QStringLiteral("检查完成，未获取到更新摘要。"));

        // Usable again at once.
        qunsetenv(variable.constData());
        qunsetenv("SIM_SUDO");
        QVERIFY(press(QStringLiteral("检查更新")));
        QCOMPARE(badge(), QStringLiteral("有可用更新"));
    }

    void lowDiskSpaceWarnsBeforeUpgrade()
    {
        UpdatePage::setRequiredFreeBytes(std::numeric_limits<qint64>::max());
        QString seen;
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &seen);
        QVERIFY(press(QStringLiteral("下载并升级")));
        QVERIFY2(seen.contains(QStringLiteral("系统盘剩余: ")) &&
                     seen.contains(QStringLiteral("升级建议至少: ")),
                 qPrintable(seen));
        for (const Tavrin::DeployInfo &d : Tavrin::getDeploys())
            QVERIFY(!d.hidden);

        // Warned, the user may still go on.
        PageTest::answerNextDialog(QStringLiteral("开始升级"));
        QVERIFY(press(QStringLiteral("下载并升级")));
        QCOMPARE(banner()->text(), QStringLiteral("系统升级完成，需重启后进入新系统。"));
    }

    void upgradeAndCleanFailures()
    {
        qputenv("SIM_CTL_FAIL", "upgrade");
        PageTest::answerNextDialog(QStringLiteral("开始升级"));
        QVERIFY(press(QStringLiteral("下载并升级")));
        QVERIFY2(banner()->text().startsWith(QStringLiteral("升级失败: ")), qPrintable(banner()->text()));
        QVERIFY(!PageTest::findButton(page.get(), QStringLiteral("立即重启")));
        QVERIFY(details().contains(QStringLiteral("simulated failure")));
        QVERIFY(press(QStringLiteral("清理下载缓存")));
        QVERIFY2(banner()->text().startsWith(QStringLiteral("清理失败: ")), qPrintable(banner()->text()));
        qunsetenv("SIM_CTL_FAIL");

        const QString downloads = sim->path(QStringLiteral("/var/cache/zarnex-immutable-ctl/downloads"));
        QVERIFY(QDir(downloads).exists());
        QFile junk(downloads + QStringLiteral("/pkg.bin"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        QVERIFY(press(QStringLiteral("清理下载缓存")));
        QCOMPARE(banner()->text(), QStringLiteral("缓存清理完成"));
        QVERIFY(QDir(downloads).isEmpty());
    }
};

TAVRIN_TEST_MAIN(TestUpdatePage)
#include "tst_updatepage.moc"
