#include "backend/backend_p.h"
#include "backend/upgradespace.h"
#include "pagetest.h"
#include "ui/components.h"
#include "updatepage.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>

Q_DECLARE_METATYPE(Tavrin::SpaceProbe)

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
        for (const char *v : {"SIM_UPGRADE_SIZE", "SIM_CTL_FAIL", "SIM_CTL_FAIL_MESSAGE", "SIM_CTL_GARBAGE",
                              "SIM_SUDO", "SIM_PKEXEC"})
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
        QVERIFY2(!seen.contains(QStringLiteral("升级需要")), qPrintable(seen));
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
        // No check named a size: the safe minimum, said to be one, beside the free space.
        QVERIFY2(seen.contains(QStringLiteral("/ostree/repo")) && seen.contains(QStringLiteral("剩余 ")) &&
                     seen.contains(QStringLiteral("升级需要 ")) &&
                     seen.contains(QStringLiteral("按安全下限")),
                 qPrintable(seen));
        for (const Tavrin::DeployInfo &d : Tavrin::getDeploys())
            QVERIFY(!d.hidden);

        // Warned, the user may still go on.
        PageTest::answerNextDialog(QStringLiteral("开始升级"));
        QVERIFY(press(QStringLiteral("下载并升级")));
        QCOMPARE(banner()->text(), QStringLiteral("系统升级完成，需重启后进入新系统。"));
    }

    void upgradeSizes_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<qint64>("bytes");
        QTest::newRow("json bytes")
            << R"({"code":0,"data":{"total":3,"need_download":2,"download_size":5000}})" << qint64(5000);
        QTest::newRow("json text with unit")
            << R"({"data":{"total":1,"need_download":1,"size":"1.5 GiB"}})" << qint64(1610612736);
        QTest::newRow("plain line") << "Total count: 3, Need download count: 2\nDownload size: 300 MB"
                                    << qint64(300) * 1024 * 1024;
        QTest::newRow("plain, no unit, no space") << "need download size:4096" << qint64(4096);
        QTest::newRow("counts only") << R"({"data":{"total":3,"need_download":2}})" << qint64(-1);
        QTest::newRow("negative") << R"({"data":{"download_size":-5}})" << qint64(-1);
        QTest::newRow("unknown unit") << R"({"data":{"size":"12 parsecs"}})" << qint64(-1);
        QTest::newRow("absurd") << "Download size: 99999999999 TB" << qint64(-1);
        QTest::newRow("garbage") << "\x01 not json" << qint64(-1);
    }
    void upgradeSizes()
    {
        QFETCH(QString, answer);
        QFETCH(qint64, bytes);
        QCOMPARE(Tavrin::parseUpgradeSize(answer), bytes);
    }

    // Each file system once, with what the upgrade needs there.
    void spacePlan_data()
    {
        using Tavrin::SpaceProbe;
        QTest::addColumn<QList<SpaceProbe>>("probes");
        QTest::addColumn<qint64>("upgrade");
        QTest::addColumn<QStringList>("expected"); // "paths|free|need" per file system
        const SpaceProbe repo{QStringLiteral("/ostree/repo"), false, 1, 9000, QString()};
        const SpaceProbe cache{QStringLiteral("/var/cache/c"), false, 1, 9000, QString()};
        const SpaceProbe boot{QStringLiteral("/boot"), true, 1, 9000, QString()};
        SpaceProbe ownBoot = boot;
        ownBoot.device = 2;
        ownBoot.freeBytes = 100;
        SpaceProbe failed = cache;
        failed.freeBytes = -1;
        failed.error = QStringLiteral("Permission denied");
        const QString min = QString::number(Tavrin::kBootMinimumBytes);
        const QString fallback = QString::number(Tavrin::kUpgradeFallbackBytes);
        QTest::newRow("one file system") << QList<SpaceProbe>{repo, cache, boot} << qint64(5000)
                                         << QStringList{"/ostree/repo,/var/cache/c,/boot|9000|" + min};
        QTest::newRow("separate /boot")
            << QList<SpaceProbe>{repo, cache, ownBoot} << qint64(5000)
            << QStringList{"/ostree/repo,/var/cache/c|9000|5000", "/boot|100|" + min};
        QTest::newRow("no size reported") << QList<SpaceProbe>{repo, ownBoot} << qint64(-1)
                                          << QStringList{"/ostree/repo|9000|" + fallback, "/boot|100|" + min};
        QTest::newRow("unreadable stays apart")
            << QList<SpaceProbe>{repo, failed} << qint64(5000)
            << QStringList{"/ostree/repo|9000|5000", "/var/cache/c|-1|5000"};
    }
    void spacePlan()
    {
        QFETCH(QList<Tavrin::SpaceProbe>, probes);
        QFETCH(qint64, upgrade);
        QFETCH(QStringList, expected);
        QStringList seen;
        for (const Tavrin::UpgradeSpace &space : Tavrin::planUpgradeSpace(probes, upgrade))
            seen << space.paths.join(QLatin1Char(',')) + QLatin1Char('|') + QString::number(space.freeBytes) +
                        QLatin1Char('|') + QString::number(space.requiredBytes);
        QCOMPARE(seen, expected);
    }

    // The size the check named is what the free space is held against.
    void upgradeWarnsWithTheCheckedSize()
    {
        qputenv("SIM_UPGRADE_SIZE", QByteArray::number(qint64(1) << 55));
        const auto restore = qScopeGuard([] { qunsetenv("SIM_UPGRADE_SIZE"); });
        QVERIFY(press(QStringLiteral("检查更新")));
        QString seen;
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &seen);
        QVERIFY(press(QStringLiteral("下载并升级")));
        QVERIFY2(seen.contains(
                     QStringLiteral("升级需要 %1（更新检查报告）").arg(Tavrin::formatSize(qint64(1) << 55))),
                 qPrintable(seen));
        QVERIFY(seen.contains(QStringLiteral("剩余 ")));

        // A later check without a size forgets it.
        qunsetenv("SIM_UPGRADE_SIZE");
        QVERIFY(press(QStringLiteral("检查更新")));
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &seen);
        QVERIFY(press(QStringLiteral("下载并升级")));
        QVERIFY2(!seen.contains(QStringLiteral("更新检查报告")), qPrintable(seen));
    }

    // The reboot after an upgrade is asked for, as every system change is.
    void rebootIsConfirmed()
    {
        PageTest::answerNextDialog(QStringLiteral("开始升级"));
        QVERIFY(press(QStringLiteral("下载并升级")));
        QAbstractButton *reboot = PageTest::findButton(page.get(), QStringLiteral("立即重启"));
        QVERIFY(reboot);
        QString seen;
        PageTest::answerNextDialog(QStringLiteral("稍后手动重启"), QString(), &seen);
        reboot->click();
        QVERIFY(seen.contains(QStringLiteral("请先保存您的工作")));
        QCOMPARE(sim->callCount(QStringLiteral("systemctl reboot")), 0);

        PageTest::answerNextDialog(QStringLiteral("立即重启"));
        reboot->click();
        QTRY_COMPARE_WITH_TIMEOUT(sim->callCount(QStringLiteral("systemctl reboot")), 1, 60000);
    }

    // An upgrade replaces a rollback staged for the next boot: the question says so.
    void upgradeSaysItReplacesAStagedRollback()
    {
        const Tavrin::SnapshotInfo target = Tavrin::getSnapshots().at(1);
        Tavrin::RollbackRequest request;
        request.targetId = target.id;
        request.targetName = target.name;
        request.strategy = QStringLiteral("manual");
        request.bootedId = Tavrin::getBootedDeployId();
        request.backupName = QStringLiteral("回滚前备份-test");
        request.backupDesc = QStringLiteral("before");
        QVERIFY(Tavrin::rollBackToSnapshot(request).ok);

        QString seen;
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &seen);
        QVERIFY(press(QStringLiteral("下载并升级")));
        QVERIFY2(seen.contains(QStringLiteral("回滚到「%1」）将被此次升级取代").arg(target.name)) &&
                     seen.contains(QStringLiteral("回滚前备份-test")),
                 qPrintable(seen));

        // Nothing staged: nothing to say.
        QFile::remove(sim->path(QStringLiteral("/var/lib/tavrin-manager/rollback-state.json")));
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &seen);
        QVERIFY(press(QStringLiteral("下载并升级")));
        QVERIFY(!seen.contains(QStringLiteral("取代")));
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
