#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include <atomic>

#include "basepage.h"
#include "masterswitch.h"
#include "testsupport.h"
#include "ui/components.h"

namespace {

// A page whose banner sits in its layout, as the real pages build it.
class BannerPage : public BasePage
{
public:
    BannerPage()
    {
        auto *layout = new QVBoxLayout(this);
        feedbackBanner = new TavrinUi::TavrinInlineBanner(this);
        feedbackBanner->hide();
        layout->addWidget(feedbackBanner);
    }
    void setMasked(bool masked) { useLoadingMask = masked; }
};

} // namespace

class TestBasePage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void overlappingTasksReachIdleOnce();
    void maskFollowsTheTask_data();
    void maskFollowsTheTask();
    void loadingTextIsKept();
    void destroyedPageGetsNoCallback();
    void endTaskOnIdlePageSignalsAgain();

    void feedbackBanner();
    void feedbackDetailsReplaced();

    void highlightSetting();
    void cardRowFollowsViewport();
};

void TestBasePage::initTestCase()
{
    const QString fakes = Tavrin::Test::sourcePath(QStringLiteral("tests/fakes/ui"));
    qputenv("PATH", (fakes + QLatin1Char(':') + qEnvironmentVariable("PATH")).toLocal8Bit());
    qputenv("FAKE_GSETTINGS_OUTPUT", "true");
}

void TestBasePage::cleanup()
{
    QThreadPool::globalInstance()->waitForDone();
}

void TestBasePage::overlappingTasksReachIdleOnce()
{
    BasePage page;
    QSignalSpy idle(&page, &BasePage::idleReached);
    QSemaphore firstGate, secondGate;
    QStringList order;

    page.runAsync(
        [&firstGate] {
            firstGate.acquire();
            return QVariant(1);
        },
        [&](const QVariant &v) { order << QStringLiteral("first:%1").arg(v.toInt()); });
    page.runAsync(
        [&secondGate] {
            secondGate.acquire();
            return QVariant(QStringLiteral("two"));
        },
        [&](const QVariant &v) { order << QStringLiteral("second:%1").arg(v.toString()); });
    QVERIFY(page.isBusy());
    QCOMPARE(page.taskCount(), 2);

    secondGate.release();
    QTRY_COMPARE(order.size(), 1);
    QCOMPARE(order.first(), QStringLiteral("second:two"));
    QVERIFY(page.isBusy());
    QCOMPARE(idle.count(), 0);

    firstGate.release();
    QTRY_COMPARE(idle.count(), 1);
    QCOMPARE(order, QStringList({QStringLiteral("second:two"), QStringLiteral("first:1")}));
    QVERIFY(!page.isBusy());
    QCOMPARE(page.taskCount(), 0);
}

void TestBasePage::maskFollowsTheTask_data()
{
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("useMask");
    QTest::addColumn<bool>("maskShown");
    QTest::newRow("masked") << false << true << true;
    QTest::newRow("quiet") << true << true << false;
    QTest::newRow("page shows its own loading") << false << false << false;
}

void TestBasePage::maskFollowsTheTask()
{
    QFETCH(bool, quiet);
    QFETCH(bool, useMask);
    QFETCH(bool, maskShown);
    BannerPage page;
    page.setMasked(useMask);
    page.resize(400, 300);
    page.show();
    QSemaphore gate;
    bool done = false;
    auto work = [&gate] {
        gate.acquire();
        return QVariant();
    };
    auto onDone = [&](const QVariant &) {
        // The mask is gone before the page sees the result.
        QVERIFY(page.loadingMask()->isHidden());
        done = true;
    };
    if (quiet)
        page.runAsyncQuiet(work, onDone);
    else
        page.runAsync(work, onDone);
    QCOMPARE(!page.loadingMask()->isHidden(), maskShown);
    if (maskShown)
        QCOMPARE(page.loadingMask()->geometry(), page.rect());
    gate.release();
    QTRY_VERIFY(done);
    QVERIFY(page.loadingMask()->isHidden());
}

void TestBasePage::loadingTextIsKept()
{
    BasePage page;
    page.resize(300, 200);
    page.show();
    auto *label = page.loadingMask()->findChild<QLabel *>(QStringLiteral("tavrinMaskText"));
    QVERIFY(label);
    page.showLoading(QStringLiteral("正在读取快照…"));
    QCOMPARE(label->text(), QStringLiteral("正在读取快照…"));
    page.hideLoading();
    QVERIFY(page.loadingMask()->isHidden());
    page.showLoading(QString());
    QVERIFY(!page.loadingMask()->isHidden());
    QCOMPARE(label->text(), QStringLiteral("正在读取快照…"));
    page.resize(500, 400);
    QCOMPARE(page.loadingMask()->geometry(), QRect(0, 0, 500, 400));
}

void TestBasePage::destroyedPageGetsNoCallback()
{
    auto *page = new BasePage;
    QSemaphore gate;
    std::atomic<bool> workRan{false};
    bool called = false;
    page->runAsync(
        [&] {
            gate.acquire();
            workRan = true;
            return QVariant(7);
        },
        [&called](const QVariant &) { called = true; });
    delete page;
    gate.release();
    // Page work runs on the program's own pool, never on Qt's global one.
    Tavrin::taskPool().waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QVERIFY(workRan);
    QVERIFY(!called);
}

void TestBasePage::endTaskOnIdlePageSignalsAgain()
{
    BasePage page;
    QSignalSpy idle(&page, &BasePage::idleReached);
    page.beginTask();
    page.beginTask();
    page.endTask();
    QCOMPARE(idle.count(), 0);
    page.endTask();
    QCOMPARE(idle.count(), 1);
    page.endTask();
    QCOMPARE(idle.count(), 2);
    QCOMPARE(page.taskCount(), 0);
}

void TestBasePage::feedbackBanner()
{
    BasePage bare;
    bare.showFeedback(TavrinUi::Danger, QStringLiteral("ignored"), false); // no banner: nothing happens
    bare.showFeedbackWithDetails(TavrinUi::Danger, QStringLiteral("ignored"), QStringLiteral("t"),
                                 QStringLiteral("d"), false);

    BannerPage page;
    page.show();
    TavrinUi::TavrinInlineBanner *banner = page.banner();
    page.showFeedback(TavrinUi::Danger, QString(), false);
    QVERIFY(banner->isHidden());

    page.showFeedback(TavrinUi::Danger, QStringLiteral("删除失败"), false);
    QVERIFY(!banner->isHidden());
    QCOMPARE(banner->semantic(), TavrinUi::Danger);
    QCOMPARE(banner->text(), QStringLiteral("删除失败"));
    QVERIFY(!banner->findChild<QTimer *>()); // no auto-dismiss asked for

    page.showFeedback(TavrinUi::Success, QStringLiteral("已创建"), true);
    auto *timer = banner->findChild<QTimer *>();
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 5000);
    page.showFeedback(TavrinUi::Warning, QStringLiteral("注意"), false);
    QVERIFY(!timer->isActive()); // new text cancels the pending hide
    QVERIFY(!banner->isHidden());
}

void TestBasePage::feedbackDetailsReplaced()
{
    BannerPage page;
    TavrinUi::TavrinInlineBanner *banner = page.banner();
    page.showFeedbackWithDetails(TavrinUi::Danger, QStringLiteral("失败"), QStringLiteral("详细信息"),
                                 QStringLiteral("permission denied"), false);
    QVERIFY(banner->details());
    QPointer<TavrinUi::TavrinCollapsible> old = banner->details();
    page.showFeedbackWithDetails(TavrinUi::Success, QStringLiteral("成功"), QStringLiteral("详细信息"),
                                 QString(), true);
    QVERIFY(!banner->details());
    QCOMPARE(banner->text(), QStringLiteral("成功"));
    QTRY_VERIFY(!old);
}

void TestBasePage::highlightSetting()
{
    BasePage page;
    auto *layout = new QVBoxLayout(&page);
    auto *area = new QScrollArea(&page);
    area->setWidgetResizable(true);
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    auto *spacer = new QWidget;
    spacer->setMinimumHeight(2000);
    column->addWidget(spacer);
    auto *row = new TavrinUi::TavrinRow;
    row->setTitle(QStringLiteral("自动清理"));
    column->addWidget(row);
    auto *plain = new QWidget;
    plain->setMinimumHeight(20);
    column->addWidget(plain);
    // The page base reaches the switch row only through the meta-object system.
    auto *switchRow = new TavrinSwitch::TavrinSwitchRow(&page, false);
    column->addWidget(switchRow);
    area->setWidget(content);
    layout->addWidget(area);
    page.resize(400, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    page.registerSearchTarget(QStringLiteral("自动清理"), row, area);
    page.registerSearchTarget(QStringLiteral("plain"), plain, nullptr);
    page.registerSearchTarget(QStringLiteral("Tavrin功能"), switchRow, area);
    page.registerSearchTarget(QString(), plain, nullptr); // ignored
    page.registerSearchTarget(QStringLiteral("null"), nullptr, nullptr);

    QVERIFY(!page.highlightSetting(QStringLiteral("unknown")));
    QVERIFY(!page.highlightSetting(QStringLiteral("null")));
    QVERIFY(!page.highlightSetting(QStringLiteral("自动清理 "))); // exact keys only
    QCOMPARE(area->verticalScrollBar()->value(), 0);
    QCOMPARE(row->highlight(), 0.0);

    QVERIFY(page.highlightSetting(QStringLiteral("自动清理")));
    QVERIFY(area->verticalScrollBar()->value() > 0);
    QCOMPARE(row->highlight(), 1.0);
    QTRY_COMPARE_WITH_TIMEOUT(row->highlight(), 0.0, 5000);

    QVERIFY(page.highlightSetting(QStringLiteral("plain")));
    QVERIFY(page.highlightSetting(QStringLiteral("Tavrin功能")));
    QCOMPARE(switchRow->highlight(), 1.0);

    delete plain; // a rebuilt row leaves no dangling entry behind
    QVERIFY(!page.highlightSetting(QStringLiteral("plain")));
}

void TestBasePage::cardRowFollowsViewport()
{
    BasePage page;
    auto *layout = new QVBoxLayout(&page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *area = new QScrollArea(&page);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *row = new TavrinUi::TavrinResponsiveCardRow(3);
    for (int i = 0; i < 3; ++i)
        row->addCard(new QWidget);
    area->setWidget(row);
    layout->addWidget(area);
    page.resize(900, 400);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    page.registerResponsiveCardRow(row, area, 40);
    QCOMPARE(row->columns(), 3);

    // Only the viewport shrinks (the page keeps its size): 440 - 40 = 400 fits two cards.
    area->setFixedWidth(440);
    QTRY_COMPARE(row->columns(), 2);
    QCOMPARE(page.width(), 900);
    area->setFixedWidth(300);
    QTRY_COMPARE(row->columns(), 1);
}

TAVRIN_TEST_MAIN(TestBasePage)
#include "tst_basepage.moc"
