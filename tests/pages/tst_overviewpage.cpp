#include "backend/backend_p.h"
#include "mainwindow.h"
#include "overviewpage.h"
#include "pagetest.h"
#include "protectionpage.h"
#include "ui/components.h"
#include "updatepage.h"
#include "versionpage.h"

#include <QImage>
#include <QScopeGuard>
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

    static TavrinUi::TavrinStateCard *card(QWidget *page, const QString &title)
    {
        for (auto *c : PageTest::childrenOfType<TavrinUi::TavrinStateCard>(page)) {
            for (QLabel *l : c->findChildren<QLabel *>())
                if (l->text() == title)
                    return c;
        }
        return nullptr;
    }

    static QString bannerDetails(TavrinUi::TavrinInlineBanner *banner)
    {
        if (!banner->details() || !banner->details()->content())
            return QString();
        auto *label = qobject_cast<QLabel *>(banner->details()->content());
        return label ? label->text() : QString();
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
        QVERIFY(sizes.systemRepo.complete() && sizes.systemRepo.bytes > 0);
        QVERIFY(sizes.snapshotDir.complete());
        QCOMPARE(valueOf(&page, QStringLiteral("系统仓库 /ostree")), Tavrin::formatSize(sizes.systemRepo.bytes));
        QCOMPARE(valueOf(&page, QStringLiteral("快照数据")), Tavrin::formatSize(sizes.snapshotDir.bytes));
        QVERIFY(cardValue(&page, QStringLiteral("系统盘剩余")).endsWith(QStringLiteral("B")));
        QCOMPARE(valueOf(&page, QStringLiteral("Tavrin部署")), QStringLiteral("25.1.2"));
        const QJsonObject os = Tavrin::getOsVersion();
        QVERIFY(!os.value(QStringLiteral("edition")).toString().isEmpty());
        QCOMPARE(valueOf(&page, QStringLiteral("系统版本")),
                 os.value(QStringLiteral("edition")).toString() + QLatin1Char(' ') +
                     os.value(QStringLiteral("version")).toString());
        QCOMPARE(valueOf(&page, QStringLiteral("系统名称")), os.value(QStringLiteral("system")).toString());
        auto *bar = PageTest::childrenOfType<StorageBar>(&page).value(0);
        QVERIFY(bar->total() > sizes.systemRepo.bytes + sizes.persistentRepo.bytes + sizes.snapshotDir.bytes);
        QCOMPARE(bar->segments(),
                 (QList<qint64>{sizes.systemRepo.bytes, sizes.persistentRepo.bytes, sizes.snapshotDir.bytes}));

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

    // A part that cannot be read is shown as a failure with the tool's words,
    // on the overview and on the protection page alike: never a count of 0,
    // never a green "protected".
    void failedReadsShowFailure_data()
    {
        QTest::addColumn<QByteArray>("knob");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("unknownCards");
        QTest::addColumn<bool>("protectionUnknown");
        QTest::addColumn<QString>("says");
        QTest::newRow("snapshot list fails")
            << QByteArray("SIM_CTL_FAIL") << QByteArray("snapshot list") << QStringList{"系统快照"} << false
            << "snapshot list failed: simulated failure";
        QTest::newRow("snapshot list unreadable") << QByteArray("SIM_CTL_GARBAGE") << QByteArray("snapshot list")
                                                  << QStringList{"系统快照"} << false << "无法解析快照列表";
        QTest::newRow("mode fails") << QByteArray("SIM_CTL_FAIL") << QByteArray("-s") << QStringList{"Tavrin保护"}
                                    << false << "-s failed: simulated failure";
        QTest::newRow("mode unreadable") << QByteArray("SIM_CTL_GARBAGE") << QByteArray("-s")
                                         << QStringList{"Tavrin保护"} << false << "无法识别保护状态";
        QTest::newRow("writable layer fails")
            << QByteArray("SIM_WRITABLE_FAIL") << QByteArray("status") << QStringList{"系统可写层"} << true
            << "status failed: simulated failure";
        QTest::newRow("writable layer unreadable") << QByteArray("SIM_WRITABLE_GARBAGE") << QByteArray("status")
                                                   << QStringList{"系统可写层"} << true << "无法识别可写层状态";
    }
    void failedReadsShowFailure()
    {
        QFETCH(QByteArray, knob);
        QFETCH(QByteArray, value);
        QFETCH(QStringList, unknownCards);
        QFETCH(bool, protectionUnknown);
        QFETCH(QString, says);
        qputenv(knob.constData(), value);
        const auto unset = qScopeGuard([&knob] { qunsetenv(knob.constData()); });
        OverviewPage overview(nullptr);
        overview.resize(1000, 800);
        overview.show();
        overview.refresh();
        ProtectionPage protection(nullptr);
        protection.resize(1000, 800);
        protection.show();
        protection.refresh();
        QVERIFY(QTest::qWaitFor([&] { return !overview.isBusy() && !protection.isBusy(); }, 120000));

        for (const QString &title : {QStringLiteral("Tavrin保护"), QStringLiteral("系统可写层"),
                                     QStringLiteral("系统快照")}) {
            TavrinUi::TavrinStateCard *c = card(&overview, title);
            QVERIFY2(c, qPrintable(title));
            if (!unknownCards.contains(title)) {
                QVERIFY2(c->valueLabel()->text() != QStringLiteral("未知"), qPrintable(title));
                continue;
            }
            QCOMPARE(c->valueLabel()->text(), QStringLiteral("未知"));
            QCOMPARE(c->statusBadge()->text(), QStringLiteral("读取失败"));
            QVERIFY2(c->toolTip().contains(says), qPrintable(c->toolTip()));
            QCOMPARE(c->accessibleDescription(), c->toolTip());
        }
        TavrinUi::TavrinInlineBanner *banner = static_cast<BasePage &>(overview).banner();
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->semantic(), TavrinUi::Danger);
        QVERIFY2(bannerDetails(banner).contains(says), qPrintable(bannerDetails(banner)));

        // The protection page reads the writable layer only.
        for (const QString &title : {QStringLiteral("只读保护"), QStringLiteral("可写层"), QStringLiteral("重启后状态")}) {
            const QString shown = card(&protection, title)->valueLabel()->text();
            QVERIFY2((shown == QStringLiteral("未知")) == protectionUnknown, qPrintable(title + shown));
        }

        // Read again once the tool answers: the failure goes.
        qunsetenv(knob.constData());
        overview.refresh();
        QVERIFY(QTest::qWaitFor([&] { return !overview.isBusy(); }, 120000));
        for (const QString &title : unknownCards)
            QVERIFY(card(&overview, title)->valueLabel()->text() != QStringLiteral("未知"));
        QCOMPARE(cardValue(&overview, QStringLiteral("系统快照")),
                 QStringLiteral("%1 个").arg(Tavrin::getSnapshots().size()));
        QVERIFY(!banner->isVisible());
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
