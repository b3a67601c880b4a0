#include "backend/backend_p.h"
#include "deployspage.h"
#include "pagetest.h"
#include "snapshotspage.h"
#include "versionpage.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableWidget>

// The page that hosts snapshots and deployments: tabs, header buttons, busy
// state, and the keyboard route to creating a snapshot.
class TestVersionPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;
    std::unique_ptr<VersionManagementPage> page;

    QTabBar *tabs() const { return page->findChild<QTabBar *>(QStringLiteral("tavrinTabBar")); }
    QPushButton *createButton() const
    {
        return page->findChild<QPushButton *>(QStringLiteral("tavrinCreateSnapshotButton"));
    }
    QTableWidget *snapshotTable() const
    {
        return page->findChild<QTableWidget *>(QStringLiteral("tavrinSnapshotTable"));
    }
    bool waitIdle() const
    {
        return QTest::qWaitFor([this] { return !page->isBusy(); }, 120000);
    }

private slots:
    void init()
    {
        Tavrin::resetSizeCachesForTesting();
        sim = std::make_unique<PageTest::SimRoot>();
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
        page = std::make_unique<VersionManagementPage>(nullptr);
        page->resize(1000, 760);
        page->show();
        page->refresh();
        QVERIFY(waitIdle());
    }

    void cleanup()
    {
        page.reset();
        qunsetenv("SIM_CTL_DELAY");
        sim.reset();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    void tabsSwitchSubPagesAndHeader()
    {
        auto *stack = page->findChild<QStackedWidget *>(QStringLiteral("tavrinContent"));
        QVERIFY(stack && createButton());
        QCOMPARE(page->currentSubPage(), 0);
        QVERIFY(createButton()->isVisible());
        QCOMPARE(page->hintText(0).left(8), QStringLiteral("这里记录的是「可"));

        for (int bad : {2, -1}) {
            page->showSubPage(bad);
            QCOMPARE(page->currentSubPage(), 0);
        }
        page->showSubPage(1);
        QVERIFY(waitIdle());
        QVERIFY(qobject_cast<DeploysPage *>(stack->currentWidget()));
        QVERIFY(!createButton()->isVisible());
        auto *deployTable = page->findChild<QTableWidget *>(QStringLiteral("tavrinDeployTable"));
        QCOMPARE(deployTable->rowCount(), Tavrin::getDeploys().size());
        page->showSubPage(0);
        QVERIFY(createButton()->isVisible());
        QVERIFY(qobject_cast<SnapshotsPage *>(stack->currentWidget()));
    }

    // The deployments tab is built and read when it is first shown, by any
    // way there, and not before: the snapshots tab alone reads the snapshots.
    void deploymentsBuiltWhenFirstShown_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("sub-page") << QStringLiteral("sub-page");
        QTest::newRow("tab click") << QStringLiteral("click");
        QTest::newRow("keyboard") << QStringLiteral("keyboard");
    }

    void deploymentsBuiltWhenFirstShown()
    {
        QFETCH(QString, way);
        QVERIFY(!page->findChild<DeploysPage *>());
        QCOMPARE(sim->callCount(QStringLiteral("admin status")), 0);
        QCOMPARE(sim->callCount(QStringLiteral("snapshot list")), 1);
        QVERIFY(snapshotTable()->rowCount() > 0);

        if (way == QLatin1String("sub-page")) {
            page->showSubPage(1);
        } else if (way == QLatin1String("click")) {
            QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(1).center());
        } else {
            tabs()->setFocus();
            QTest::keyClick(tabs(), Qt::Key_Right);
        }
        QCOMPARE(page->currentSubPage(), 1);
        auto *deploys = page->findChild<DeploysPage *>();
        QVERIFY(deploys);
        QVERIFY(page->isBusy());
        QVERIFY(waitIdle());
        QVERIFY(deploys->isVisible());
        auto *deployTable = page->findChild<QTableWidget *>(QStringLiteral("tavrinDeployTable"));
        QCOMPARE(deployTable->rowCount(), Tavrin::getDeploys().size());
        QCOMPARE(sim->callCount(QStringLiteral("admin status")), 2); // the page's read and ours

        // Built once: back and forth reuses it, and refresh reads the tab shown.
        page->showSubPage(0);
        QVERIFY(waitIdle());
        page->showSubPage(1);
        QVERIFY(waitIdle());
        QCOMPARE(page->findChildren<DeploysPage *>().size(), 1);
        page->refresh();
        QVERIFY(waitIdle());
        QCOMPARE(sim->callCount(QStringLiteral("admin status")), 4);
        QCOMPARE(sim->callCount(QStringLiteral("snapshot list")), 2);
    }

    // Idle is reported when the snapshot rows show: the sizes and the
    // deployments tab are not waited for; a stale refresh never wins.
    void idleWhenTheRowsShow()
    {
        QSignalSpy idle(page.get(), &BasePage::idleReached);
        int rowsAtIdle = -1;
        connect(page.get(), &BasePage::idleReached, this,
                [this, &rowsAtIdle] { rowsAtIdle = snapshotTable()->rowCount(); });
        QVERIFY(Tavrin::createSnapshot(QStringLiteral("between refreshes"), QString()).ok);
        const int expected = int(Tavrin::getSnapshots().size());
        page->refresh();
        page->refresh();
        QVERIFY(page->isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(idle.count() >= 1, 60000);
        QCOMPARE(rowsAtIdle, expected);
        QVERIFY(!page->findChild<DeploysPage *>());
        QVERIFY(waitIdle());
        QCOMPARE(idle.count(), 1);
        QCOMPARE(snapshotTable()->rowCount(), expected);
    }

    // The list is read while the page is built and taken by the refresh that
    // comes with the build; a refresh in a later turn reads anew, since the
    // early read may predate a change.
    void earlyReadOnlyForTheFirstRefresh()
    {
        QCOMPARE(sim->callCount(QStringLiteral("snapshot list")), 1);
        page = std::make_unique<VersionManagementPage>(nullptr);
        page->resize(1000, 760);
        page->show();
        QTRY_COMPARE_WITH_TIMEOUT(sim->callCount(QStringLiteral("snapshot list")), 2, 60000);
        // QTRY returns without turning the event loop when the tool was already
        // logged (a slow build of the page under load): end the turn here, or
        // the refresh below would still be the build's own.
        QTest::qWait(0);
        QVERIFY(Tavrin::createSnapshot(QStringLiteral("after the early read"), QString()).ok);
        page->refresh();
        QVERIFY(waitIdle());
        QCOMPARE(sim->callCount(QStringLiteral("snapshot list")), 3);
        QCOMPARE(snapshotTable()->rowCount(), Tavrin::getSnapshots().size());
    }

    void busyWhileEitherListLoads()
    {
        // Every tool call waits a second: the deployments list is still loading
        // after switching straight back to the snapshots tab.
        qputenv("SIM_CTL_DELAY", "1");
        QSignalSpy idle(page.get(), &BasePage::idleReached);
        page->showSubPage(1);
        page->showSubPage(0);
        QVERIFY(page->findChild<DeploysPage *>()->isBusy());
        QVERIFY(page->isBusy());
        QVERIFY(waitIdle());
        QTRY_VERIFY(idle.count() >= 1);
    }

    // A list that already has rows still offers creating a snapshot, from the
    // keyboard alone.
    void createFromKeyboardWithRows()
    {
        const int before = snapshotTable()->rowCount();
        QVERIFY(before >= 2);
        page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
        bool reached = false;
        for (int i = 0; i < 60 && !reached; ++i) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : page.get(),
                            Qt::Key_Tab);
            reached = QApplication::focusWidget() == createButton();
        }
        QVERIFY2(reached, "the header's create button is not on the Tab chain");

        bool answered = false;
        PageTest::onNextDialog([&answered](QDialog *d) {
            auto *name = d->findChild<QLineEdit *>(QStringLiteral("tavrinSnapshotName"));
            // The name field has the focus, so typing goes straight into it.
            QVERIFY(name && d->focusWidget() == name);
            name->selectAll();
            PageTest::typeText(name, QStringLiteral("kbd-snapshot"));
            QAbstractButton *create = PageTest::findButton(d, QStringLiteral("创建"));
            QVERIFY(create);
            create->setFocus();
            QTest::keyClick(create, Qt::Key_Space);
            answered = true;
        });
        QTest::keyClick(createButton(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
        QVERIFY(waitIdle());
        QCOMPARE(snapshotTable()->rowCount(), before + 1);
        bool found = false;
        for (const Tavrin::SnapshotInfo &s : Tavrin::getSnapshots())
            found = found || s.name == QLatin1String("kbd-snapshot");
        QVERIFY(found);
    }
};

TAVRIN_TEST_MAIN(TestVersionPage)
#include "tst_versionpage.moc"
