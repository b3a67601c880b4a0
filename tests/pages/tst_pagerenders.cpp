#include "backend/backend_p.h"
#include "deployspage.h"
#include "mainwindow.h"
#include "overviewpage.h"
#include "pagetest.h"
#include "policypage.h"
#include "protectionpage.h"
#include "snapshotrowdelegate.h"
#include "snapshotspage.h"
#include "ui/appearance.h"
#include "ui/components.h"
#include "updatepage.h"
#include "widgetchecks.h"

#include <QIcon>
#include <QImage>
#include <QJsonObject>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTableWidget>

#include "zguiapplicationhelper.h"

// Renders both pages in both themes against the simulated system. The PNGs are
// written only when TAVRIN_SCREENSHOT_DIR names a directory (for looking at
// them); the checks run either way.
class TestPageRenders : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;

    static void applyTheme(ZGuiApplicationHelper::ColorType type)
    {
        ZGuiApplicationHelper::instance()->setPaletteType(type);
        TavrinUi::applyAppearance();
        TavrinUi::refreshExactColorLabels();
    }

    static double meanLightness(const QImage &image)
    {
        qint64 sum = 0;
        int n = 0;
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                sum += QColor(image.pixel(x, y)).lightness();
                ++n;
            }
        }
        return n ? double(sum) / n : 0.0;
    }

    static QImage render(BasePage *page, const QString &name)
    {
        page->resize(900, 680);
        page->show();
        page->refresh();
        if (!QTest::qWaitFor([page] { return !page->isBusy(); }, 120000))
            return {};
        QCoreApplication::processEvents();
        const QImage image = page->grab().toImage();
        const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
        return image;
    }

private slots:
    void initTestCase()
    {
        // The offscreen platform knows no icon directories; the desktop does.
        QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << QStringLiteral("/usr/share/icons"));
    }

    void init()
    {
        // The large-font run repeats the layout checks only.
        if (qEnvironmentVariableIsSet("QT_FONT_DPI") &&
            qstrcmp(QTest::currentTestFunction(), "versionPageScrollsOnce") != 0)
            QSKIP("layout checks only at this font size");
        Tavrin::resetSizeCachesForTesting();
        sim = std::make_unique<PageTest::SimRoot>();
        QVERIFY(sim->isReady());
    }

    void cleanup()
    {
        sim.reset();
        applyTheme(ZGuiApplicationHelper::UnknownType);
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    void themesFollowed_data()
    {
        QTest::addColumn<bool>("writableOn");
        QTest::newRow("protected") << false;
        QTest::newRow("protection off") << true;
    }

    void themesFollowed()
    {
        QFETCH(bool, writableOn);
        if (writableOn)
            QVERIFY(Tavrin::enableWritable(false, true).ok);
        // A recorded pre-rollback backup, so the badges and the state card show.
        const QList<Tavrin::SnapshotInfo> snaps = Tavrin::getSnapshots();
        QVERIFY(snaps.size() >= 2);
        QJsonObject state{{QStringLiteral("backup_snapshot_id"), snaps.last().id},
                          {QStringLiteral("status"), QStringLiteral("pending")},
                          {QStringLiteral("strategy"), QStringLiteral("manual")}};
        QVERIFY(Tavrin::saveRollbackState(state).ok);

        const QString suffix = writableOn ? QStringLiteral("-off") : QString();
        constexpr int kPages = 6;
        QImage light[kPages];
        QImage dark[kPages];
        for (int theme = 0; theme < 2; ++theme) {
            applyTheme(theme == 0 ? ZGuiApplicationHelper::LightType : ZGuiApplicationHelper::DarkType);
            const QString themeName = theme == 0 ? QStringLiteral("light") : QStringLiteral("dark");
            ProtectionPage protection(nullptr);
            SnapshotsPage snapshots(nullptr);
            DeploysPage deploys(nullptr);
            UpdatePage update(nullptr);
            PolicyPage policy(nullptr);
            OverviewPage overview(nullptr);
            const std::pair<BasePage *, QString> pages[kPages] = {
                {&protection, QStringLiteral("protection")}, {&snapshots, QStringLiteral("snapshots")},
                {&deploys, QStringLiteral("deployments")},   {&update, QStringLiteral("update")},
                {&policy, QStringLiteral("policy")},         {&overview, QStringLiteral("overview")}};
            for (int i = 0; i < kPages; ++i) {
                QImage &image = theme == 0 ? light[i] : dark[i];
                image = render(pages[i].first, pages[i].second + QLatin1Char('-') + themeName + suffix);
                QVERIFY(!image.isNull());
            }
        }
        for (int i = 0; i < kPages; ++i) {
            QVERIFY2(meanLightness(dark[i]) + 60 < meanLightness(light[i]),
                     qPrintable(QStringLiteral("%1: %2 vs %3")
                                    .arg(i)
                                    .arg(meanLightness(dark[i]))
                                    .arg(meanLightness(light[i]))));
        }
    }

    // Both pages inside the window, after their first load.
    void insideTheWindow()
    {
        applyTheme(ZGuiApplicationHelper::LightType);
        MainWindow window;
        window.resize(1100, 760);
        window.show();
        const std::pair<PageId, QString> shots[] = {{VersionManagement, QStringLiteral("window-versions")},
                                                    {Protection, QStringLiteral("window-protection")},
                                                    {Overview, QStringLiteral("window-overview")},
                                                    {Update, QStringLiteral("window-update")},
                                                    {Policy, QStringLiteral("window-policy")}};
        for (const auto &[id, name] : shots) {
            window.gotoPage(id);
            BasePage *page = window.page(id);
            QVERIFY(QTest::qWaitFor([page] { return !page->isBusy(); }, 120000));
            QCoreApplication::processEvents();
            const QImage image = window.grab().toImage();
            QVERIFY(!image.isNull());
            const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
            if (!dir.isEmpty())
                image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
        }
        auto *table =
            window.page(VersionManagement)->findChild<QTableWidget *>(QStringLiteral("tavrinSnapshotTable"));
        QVERIFY(table);
        QCOMPARE(table->rowCount(), Tavrin::getSnapshots().size());
        // The table fills the page's width: no strip right of the last column.
        int columns = 0;
        for (int c = 0; c < table->columnCount(); ++c)
            columns += table->columnWidth(c);
        QCOMPARE(columns, table->viewport()->width());
    }

    // The version page at the window's minimum and default sizes: one scroll
    // bar at most (the snapshot list's own), the header and tabs stay put,
    // the sub-page is not cut by the page, and its last row can be reached.
    void versionPageScrollsOnce_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("minimum") << QSize(920, 620);
        QTest::newRow("default") << QSize(1060, 700);
    }

    void versionPageScrollsOnce()
    {
        QFETCH(QSize, size);
        applyTheme(ZGuiApplicationHelper::LightType);
        MainWindow window;
        window.resize(size);
        window.show();
        window.gotoPage(VersionManagement);
        BasePage *page = window.page(VersionManagement);
        QVERIFY(QTest::qWaitFor([page] { return !page->isBusy(); }, 120000));
        QCoreApplication::processEvents();
        const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            window.grab().save(
                QStringLiteral("%1/window-versions-%2x%3%4.png")
                    .arg(dir)
                    .arg(size.width())
                    .arg(size.height())
                    .arg(qEnvironmentVariableIsSet("QT_FONT_DPI") ? QStringLiteral("-144dpi") : QString()));

        QCOMPARE(window.size(), size);
        QVERIFY2(Tavrin::Test::visibleVerticalScrollBars(page) <= 1,
                 qPrintable(QString::number(Tavrin::Test::visibleVerticalScrollBars(page))));
        const QStringList square = Tavrin::Test::defaultStyledButtons(&window);
        QVERIFY2(square.isEmpty(), qPrintable(square.join(QStringLiteral(" | "))));

        auto *sub = page->findChild<SnapshotsPage *>();
        QVERIFY(sub);
        QVERIFY(sub->mapTo(page, QPoint(0, sub->height())).y() <= page->height());
        auto *tabs = page->findChild<QTabBar *>(QStringLiteral("tavrinTabBar"));
        QVERIFY(tabs);
        const QPoint tabsAt = tabs->mapTo(&window, QPoint());

        auto *inner = sub->findChild<QScrollArea *>(QStringLiteral("tavrinScroll"));
        QVERIFY(inner);
        inner->verticalScrollBar()->setValue(inner->verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
        auto *table = sub->findChild<QTableWidget *>();
        QVERIFY(table && table->rowCount() > 0);
        // The table gives way before the page scrolls: its own bar may be needed too.
        table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
        const int last = table->rowCount() - 1;
        const int rowBottom = table->rowViewportPosition(last) + table->rowHeight(last);
        QVERIFY(table->viewport()->mapTo(inner->viewport(), QPoint(0, rowBottom)).y() <=
                inner->viewport()->height());
        QCOMPARE(tabs->mapTo(&window, QPoint()), tabsAt);

        // Every row's actions in view without scrolling sideways, and the
        // short columns whole, at any font size.
        QVERIFY(!table->horizontalScrollBar()->isVisible());
        const int viewWidth = table->viewport()->width();
        for (int r = 0; r < table->rowCount(); ++r) {
            auto *rows = qobject_cast<SnapshotRowDelegate *>(table->itemDelegateForColumn(5));
            QVERIFY(rows);
            const QRect cell = table->visualRect(table->model()->index(r, 5));
            for (auto action : {SnapshotRowDelegate::Restore, SnapshotRowDelegate::Delete}) {
                const QRect b = rows->actionRect(r, action);
                QVERIFY2(b.left() >= 0 && b.right() < viewWidth && cell.contains(b),
                         qPrintable(QStringLiteral("button %1 at %2..%3 of %4")
                                        .arg(int(action))
                                        .arg(b.left())
                                        .arg(b.right())
                                        .arg(viewWidth)));
            }
            for (int c = 1; c < 5; ++c) {
                if (table->isColumnHidden(c))
                    continue;
                const QString text = table->item(r, c)->text();
                QVERIFY2(table->fontMetrics().horizontalAdvance(text) < table->columnWidth(c),
                         qPrintable(text));
            }
        }
        QVERIFY(table->columnWidth(0) >= table->fontMetrics().averageCharWidth() * 12);
    }
};

TAVRIN_TEST_MAIN(TestPageRenders)
#include "tst_pagerenders.moc"
