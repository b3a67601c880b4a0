#include "backend/backend_p.h"
#include "mainwindow.h"
#include "overviewpage.h"
#include "pagetest.h"
#include "protectionpage.h"
#include "ui/components.h"
#include "updatepage.h"
#include "versionpage.h"

#include <QImage>
#include <QPushButton>
#include <QStackedWidget>

#include "zlabel.h"
#include "zswitchbutton.h"

// The overview inside the window: its two loading stages and the shortcuts
// whose actions run once the target page is idle.
class TestOverviewPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;

    static QString cardValue(QWidget *page, const QString &title)
    {
        for (auto *card : PageTest::childrenOfType<TavrinUi::TavrinStateCard>(page)) {
            for (QLabel *l : card->findChildren<QLabel *>())
                if (l->text() == title)
                    return card->valueLabel()->text();
        }
        return QString();
    }

    static QString valueOf(QWidget *page, const QString &accessible)
    {
        for (QLabel *l : page->findChildren<QLabel *>())
            if (l->accessibleName() == accessible)
                return l->text();
        return QString();
    }

private slots:
    void init()
    {
        Tavrin::resetSizeCachesForTesting();
        sim = std::make_unique<PageTest::SimRoot>();
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
        UpdatePage::setRequiredFreeBytes(0);
    }

    void cleanup()
    {
        sim.reset();
        qunsetenv("SIM_WRITABLE_FAIL");
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    void loadsInTwoStages()
    {
        OverviewPage page(nullptr);
        page.resize(1000, 800);
        page.show();
        auto *skeleton = PageTest::childrenOfType<TavrinUi::TavrinSkeleton>(&page).value(0);
        QVERIFY(skeleton);
        // Until the first data lands only the skeleton is there, not sections measured for nothing.
        QVERIFY(skeleton->isVisible());
        QVERIFY(PageTest::childrenOfType<StorageBar>(&page).isEmpty());
        page.refresh();
        QVERIFY(skeleton->isVisible());
        // Stage one lands while stage two still counts as work.
        QTRY_VERIFY_WITH_TIMEOUT(!skeleton->isVisible(), 60000);
        QVERIFY(page.isBusy() || cardValue(&page, QStringLiteral("系统盘剩余")) != QStringLiteral("统计中…"));
        QVERIFY(QTest::qWaitFor([&page] { return !page.isBusy(); }, 120000));

        QCOMPARE(cardValue(&page, QStringLiteral("Tavrin保护")), QStringLiteral("已开启"));
        QCOMPARE(cardValue(&page, QStringLiteral("系统可写层")), QStringLiteral("已锁定"));
        QCOMPARE(cardValue(&page, QStringLiteral("系统快照")),
                 QStringLiteral("%1 个").arg(Tavrin::getSnapshots().size()));
        const Tavrin::RepoSizes sizes = Tavrin::getRepoSizes();
        QVERIFY(sizes.systemRepo > 0);
        QCOMPARE(valueOf(&page, QStringLiteral("系统仓库 /ostree")), Tavrin::formatSize(sizes.systemRepo));
        QCOMPARE(valueOf(&page, QStringLiteral("快照数据")), Tavrin::formatSize(sizes.snapshotDir));
        QVERIFY(cardValue(&page, QStringLiteral("系统盘剩余")).endsWith(QStringLiteral("B")));
        QCOMPARE(valueOf(&page, QStringLiteral("Tavrin部署")), QStringLiteral("25.1.2"));
        const QJsonObject os = Tavrin::getOsVersion();
        QVERIFY(!os.value(QStringLiteral("edition")).toString().isEmpty());
        QCOMPARE(valueOf(&page, QStringLiteral("系统版本")),
                 os.value(QStringLiteral("edition")).toString() + QLatin1Char(' ') +
                     os.value(QStringLiteral("version")).toString());
        QCOMPARE(valueOf(&page, QStringLiteral("系统名称")), os.value(QStringLiteral("system")).toString());
        auto *bar = PageTest::childrenOfType<StorageBar>(&page).value(0);
        QVERIFY(bar->total() > sizes.systemRepo + sizes.persistentRepo + sizes.snapshotDir);
        QCOMPARE(bar->segments(), (QList<qint64>{sizes.systemRepo, sizes.persistentRepo, sizes.snapshotDir}));

        // A later refresh keeps the values instead of the skeleton.
        page.refresh();
        QVERIFY(!skeleton->isVisible());
        QVERIFY(QTest::qWaitFor([&page] { return !page.isBusy(); }, 120000));
    }

    void emptyBarShowsOnlyItsBackground()
    {
        StorageBar bar;
        bar.resize(200, 14);
        bar.setValues({0, 0, 0}, 0);
        const QImage image = bar.grab().toImage();
        QCOMPARE(QColor(image.pixel(100, 7)).rgb(), barColor(FreeSpaceRole).rgb());
        bar.setValues({100, 0, 0}, 200);
        const QImage half = bar.grab().toImage();
        QCOMPARE(QColor(half.pixel(50, 7)).rgb(), barColor(SystemRepoRole).rgb());
        QCOMPARE(QColor(half.pixel(150, 7)).rgb(), barColor(FreeSpaceRole).rgb());
    }

    void unreadableProtectionStillLeadsToItsPage()
    {
        qputenv("SIM_WRITABLE_FAIL", "status");
        MainWindow window;
        window.resize(1100, 760);
        window.show();
        auto *page = window.page(Overview);
        QVERIFY(QTest::qWaitFor([page] { return !page->isBusy(); }, 120000));
        auto *row = page->findChild<TavrinSwitch::TavrinSwitchRow *>();
        QCOMPARE(row->statusText(), QStringLiteral("未知状态 · 无法读取Tavrin配置"));
        QCOMPARE(cardValue(page, QStringLiteral("系统可写层")), QStringLiteral("未知"));
        QVERIFY(!row->switchControl()->isEnabled());
        auto *details = row->findChild<QPushButton *>(QStringLiteral("tavrinSwitchDetail"));
        QVERIFY(details && details->isEnabled());
        details->click();
        QCOMPARE(window.pageStack()->currentIndex(), window.toIndex(Protection));
    }

    // Each shortcut lands on its page and acts there once that page is idle.
    void shortcutsActOnArrival()
    {
        MainWindow window;
        window.resize(1100, 760);
        window.show();
        BasePage *overview = window.page(Overview);
        QVERIFY(QTest::qWaitFor([overview] { return !overview->isBusy(); }, 120000));

        PageTest::findButton(overview, QStringLiteral("检查系统更新"))->click();
        QCOMPARE(window.pageStack()->currentIndex(), window.toIndex(Update));
        BasePage *update = window.page(Update);
        QTRY_COMPARE_WITH_TIMEOUT(update->banner()->text(),
                                  QStringLiteral("发现 3 个可更新项，需下载 2 个。"), 120000);

        window.gotoPage(Overview);
        QVERIFY(QTest::qWaitFor([overview] { return !overview->isBusy(); }, 120000));
        bool asked = false;
        BasePage *versions = window.page(VersionManagement);
        PageTest::onNextDialog([&asked, versions](QDialog *d) {
            // The list is loaded before the dialog opens.
            asked = !versions->isBusy() && d->objectName() == QLatin1String("tavrinCreateSnapshotDialog");
            d->reject();
        });
        PageTest::findButton(overview, QStringLiteral("立即创建备份"))->click();
        QCOMPARE(window.pageStack()->currentIndex(), window.toIndex(VersionManagement));
        QTRY_VERIFY_WITH_TIMEOUT(asked, 120000);
        QCOMPARE(qobject_cast<VersionManagementPage *>(versions)->currentSubPage(), int(Snapshots));

        window.gotoPage(Overview);
        QVERIFY(QTest::qWaitFor([overview] { return !overview->isBusy(); }, 120000));
        PageTest::findButton(overview, QStringLiteral("保护设置"))->click();
        QCOMPARE(window.pageStack()->currentIndex(), window.toIndex(Protection));
        auto *row = qobject_cast<ProtectionPage *>(window.page(Protection))->masterSwitchRow();
        QTRY_VERIFY_WITH_TIMEOUT(row->highlight() > 0.0, 120000);
    }
};

TAVRIN_TEST_MAIN(TestOverviewPage)
#include "tst_overviewpage.moc"
