#include <QAbstractAnimation>
#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QtTest>

#include "basepage.h"
#include "diskusagepage.h"
#include "mainwindow.h"
#include "policypage.h"
#include "testsupport.h"
#include "ui/appearance.h"
#include "ui/sidebar.h"
#include "versionpage.h"
#include "zguiapplicationhelper.h"
#include "ztitlebar.h"

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pagesInStackOrder();
    void pagesBuiltOnFirstVisit_data();
    void pagesBuiltOnFirstVisit();
    void arrivalOnUnbuiltPageRunsOnce();
    void latePageFollowsTheme();
    void latePagesGetTheLook();
    void idleWindowRunsNoTimers();
    void unknownPageDoesNothing();
    void sidebarFollowsSwitches();
    void unsavedParametersHoldThePage();
    void sidebarIconsAreOneSet();
    void arrivalRunsAtOnceWhenIdle();
    void arrivalWaitsForTheLoad();
    void arrivalFallsBackAfterTimeout();
    void arrivalDroppedByAnotherSwitch();
    void arrivalDroppedBySidebarClick();
    void arrivalDroppedByClosing();
    void subPageSelectedBeforeSwitch();
    void showDiskDate();
    void gotoSettingUnknownKey();
    void languageMenuReflectsSetting_data();
    void languageMenuReflectsSetting();
    void switchLanguage_data();
    void switchLanguage();

private:
    MainWindow *m_window = nullptr;
    int m_restarts = 0;
};

void TestMainWindow::initTestCase()
{
    const QString fakes = Tavrin::Test::sourcePath(QStringLiteral("tests/fakes/ui"));
    qputenv("PATH", (fakes + QLatin1Char(':') + qEnvironmentVariable("PATH")).toLocal8Bit());
}

void TestMainWindow::init()
{
    QSettings(QStringLiteral("zarnex"), QStringLiteral("tavrin-manager")).clear();
    m_window = new MainWindow;
    m_restarts = 0;
    m_window->restartProgram = [this] { ++m_restarts; };
    QCOMPARE(MainWindow::s_instance, m_window);
}

void TestMainWindow::cleanup()
{
    delete m_window;
    QCOMPARE(MainWindow::s_instance, nullptr);
    m_window = nullptr;
}

void TestMainWindow::pagesInStackOrder()
{
    QStackedWidget *stack = m_window->pageStack();
    QCOMPARE(stack->count(), 7);
    for (int id = Overview; id <= About; ++id) {
        BasePage *page = m_window->page(PageId(id));
        QVERIFY(page);
        QCOMPARE(m_window->toIndex(PageId(id)), id);
        QCOMPARE(stack->widget(id), page);
    }
    QCOMPARE(stack->count(), 7);
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(qobject_cast<DiskUsagePage *>(m_window->page(DiskUsage)));
    QVERIFY(qobject_cast<VersionManagementPage *>(m_window->page(VersionManagement)));
}

void TestMainWindow::pagesBuiltOnFirstVisit_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("loads"); // whether its refresh starts a load
    QTest::newRow("disk") << int(DiskUsage) << true;
    QTest::newRow("versions") << int(VersionManagement) << true;
    QTest::newRow("protection") << int(Protection) << true;
    QTest::newRow("policy") << int(Policy) << true;
    QTest::newRow("update") << int(Update) << false; // checks only when asked
    QTest::newRow("about") << int(About) << false;
}

// Only the page shown first is built with the window; the others come on
// their first visit, in their place, and get the refresh the switch promises.
void TestMainWindow::pagesBuiltOnFirstVisit()
{
    QFETCH(int, id);
    QFETCH(bool, loads);
    for (int other = DiskUsage; other <= About; ++other)
        QCOMPARE(m_window->builtPage(PageId(other)), nullptr);
    QVERIFY(m_window->builtPage(Overview));

    m_window->navigation()->onNavigate(id);
    BasePage *built = m_window->builtPage(PageId(id));
    QVERIFY(built);
    QStackedWidget *stack = m_window->pageStack();
    QCOMPARE(stack->count(), 7);
    QCOMPARE(stack->currentWidget(), built);
    QCOMPARE(stack->indexOf(built), id);
    QCOMPARE(built->isBusy(), loads);
    for (int other = DiskUsage; other <= About; ++other) {
        if (other != id)
            QCOMPARE(m_window->builtPage(PageId(other)), nullptr);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!built->isBusy(), 60000);

    // A second visit reuses the page and refreshes it again.
    m_window->gotoPage(Overview);
    m_window->gotoPage(PageId(id));
    QCOMPARE(m_window->builtPage(PageId(id)), built);
    QCOMPARE(built->isBusy(), loads);
    QTRY_VERIFY_WITH_TIMEOUT(!built->isBusy(), 60000);
}

void TestMainWindow::arrivalOnUnbuiltPageRunsOnce()
{
    QCOMPARE(m_window->builtPage(Protection), nullptr);
    int runs = 0;
    bool onBuiltPage = false;
    m_window->gotoPage(Protection, [&] {
        ++runs;
        onBuiltPage = m_window->builtPage(Protection) &&
                      m_window->pageStack()->currentWidget() == m_window->builtPage(Protection);
    });
    BasePage *update = m_window->builtPage(Protection);
    QVERIFY(update);
    // The new page's first load is what the action waits for.
    QVERIFY(update->isBusy());
    QCOMPARE(runs, 0);
    QVERIFY(m_window->hasPendingArrivalAction());
    QTRY_COMPARE_WITH_TIMEOUT(runs, 1, 60000);
    QVERIFY(onBuiltPage);
    QTRY_VERIFY_WITH_TIMEOUT(!update->isBusy(), 60000);
    update->beginTask();
    update->endTask();
    QCOMPARE(runs, 1);
    QVERIFY(!m_window->hasPendingArrivalAction());
}

// A page first built after a theme switch looks exactly like one built while
// that theme was current from the start.
void TestMainWindow::latePageFollowsTheme()
{
    ZGuiApplicationHelper *helper = ZGuiApplicationHelper::instance();
    const auto restore =
        qScopeGuard([helper] { helper->setPaletteType(ZGuiApplicationHelper::UnknownType); });
    // What the program does at start and on a theme change.
    TavrinUi::applyAppearance();
    const auto followTheme = [] { TavrinUi::applyAppearance(); };
    delete m_window;
    helper->setPaletteType(ZGuiApplicationHelper::DarkType);
    followTheme();
    m_window = new MainWindow;
    m_window->restartProgram = [] {};
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_window->gotoPage(About);
    const QImage dark = m_window->builtPage(About)->grab().toImage();

    delete m_window;
    helper->setPaletteType(ZGuiApplicationHelper::LightType);
    followTheme();
    m_window = new MainWindow;
    m_window->restartProgram = [] {};
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    helper->setPaletteType(ZGuiApplicationHelper::DarkType);
    followTheme();
    QCOMPARE(m_window->builtPage(About), nullptr);
    m_window->gotoPage(About);
    const QImage late = m_window->builtPage(About)->grab().toImage();
    QCOMPARE(late.size(), dark.size());
    if (late != dark) {
        dark.save(QDir::temp().filePath(QStringLiteral("tavrin-theme-dark.png")));
        late.save(QDir::temp().filePath(QStringLiteral("tavrin-theme-late.png")));
    }
    QVERIFY2(late == dark, "see tavrin-theme-*.png in the temporary directory");
}

// Pages built on their first visit, long after the start, get the looks the
// style gives by name: bold titles and the window colour behind the page.
void TestMainWindow::latePagesGetTheLook()
{
    TavrinUi::applyAppearance();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    int titles = 0;
    for (int id = Overview; id <= About; ++id) {
        m_window->gotoPage(PageId(id));
        BasePage *page = m_window->builtPage(PageId(id));
        QVERIFY(page);
        QCoreApplication::processEvents();
        for (QLabel *title : page->findChildren<QLabel *>(QStringLiteral("tavrinPageTitle"))) {
            QCOMPARE(title->font().weight(), QFont::DemiBold);
            ++titles;
        }
    }
    QVERIFY(titles >= 6);
    auto *content = m_window->findChild<QWidget *>(QStringLiteral("tavrinContent"));
    QVERIFY(content && content->testAttribute(Qt::WA_StyledBackground));
}

// With every page visited once and the window back on the overview, idle,
// nothing ticks: no repeating timer and no running animation, shown or not.
void TestMainWindow::idleWindowRunsNoTimers()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    for (int id = DiskUsage; id <= About; ++id) {
        m_window->gotoPage(PageId(id));
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->page(PageId(id))->isBusy(), 60000);
    }
    m_window->gotoPage(VersionManagement, Deployments);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->page(VersionManagement)->isBusy(), 60000);
    m_window->gotoPage(Overview);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->page(Overview)->isBusy(), 60000);
    QCoreApplication::processEvents();

    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    QStringList ticking;
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    for (QWidget *top : topLevels) {
        QObjectList objects{top};
        objects += top->findChildren<QObject *>();
        for (QObject *object : std::as_const(objects)) {
            bool repeating = false;
            // Single shots and finite animations end by themselves.
            if (auto *timer = qobject_cast<QTimer *>(object))
                repeating = timer->isActive() && !timer->isSingleShot();
            else if (auto *animation = qobject_cast<QAbstractAnimation *>(object))
                repeating = animation->state() == QAbstractAnimation::Running && animation->loopCount() < 0;
            else
                repeating = !dispatcher->registeredTimers(object).isEmpty();
            if (!repeating)
                continue;
            QObject *owner = object;
            while (owner && !owner->isWidgetType())
                owner = owner->parent();
            const auto *widget = static_cast<QWidget *>(owner);
            ticking << QStringLiteral("%1 \"%2\" of %3 \"%4\" (%5)")
                           .arg(QString::fromLatin1(object->metaObject()->className()), object->objectName(),
                                widget ? QString::fromLatin1(widget->metaObject()->className()) : QString(),
                                widget ? widget->objectName() : QString(),
                                widget && widget->isVisible() ? QStringLiteral("shown")
                                                              : QStringLiteral("hidden"));
        }
    }
    QVERIFY2(ticking.isEmpty(), qPrintable(ticking.join(QStringLiteral("; "))));
}

void TestMainWindow::unknownPageDoesNothing()
{
    m_window->gotoPage(Policy);
    bool ran = false;
    m_window->gotoPage(PageId(42));
    m_window->gotoPage(PageId(-1), [&ran] { ran = true; });
    m_window->scheduleArrivalAction(PageId(9), [&ran] { ran = true; });
    m_window->gotoSetting(PageId(42), QStringLiteral("Tavrin功能"));
    QVERIFY(!ran);
    QVERIFY(!m_window->hasPendingArrivalAction());
    QCOMPARE(m_window->page(PageId(42)), nullptr);
    QCOMPARE(m_window->toIndex(PageId(42)), -1);
    QCOMPARE(m_window->pageStack()->currentIndex(), int(Policy));
}

// One look in the sidebar: every entry draws from the program's own icons,
// none from a theme that may render it as a plain dark square.
void TestMainWindow::sidebarIconsAreOneSet()
{
    const QStandardItemModel *model = m_window->navigation()->model();
    QCOMPARE(model->rowCount(), 7);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStandardItem *item = model->item(row);
        const QString resource = QStringLiteral(":/icons/nav/%1.svg")
                                     .arg(item->data(TavrinUi::TavrinSidebar::IconNameRole).toString());
        QVERIFY2(QFile::exists(resource), qPrintable(item->text()));
        QCOMPARE(item->icon().pixmap(20, 20).toImage(), QIcon(resource).pixmap(20, 20).toImage());
    }
}

void TestMainWindow::sidebarFollowsSwitches()
{
    QListView *list = m_window->navigation()->listView();
    auto currentId = [list] {
        return list->currentIndex().data(TavrinUi::TavrinSidebar::PageIdRole).toInt();
    };
    QCOMPARE(currentId(), int(Overview));
    m_window->gotoPage(Update);
    QCOMPARE(currentId(), int(Update));
    QCOMPARE(m_window->pageStack()->currentIndex(), int(Update));
    m_window->navigation()->onNavigate(About);
    QCOMPARE(m_window->pageStack()->currentIndex(), int(About));
    QCOMPARE(currentId(), int(About));
}

namespace {
// Clicks the button with `text` in the next dialog that opens; counts the dialogs seen.
void answerNextDialog(const QString &text, int *seen)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, text, seen] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QDialog *>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>()) {
                if (b->text() == text) {
                    ++*seen;
                    // Deleted only once the test's nested loops end: stop it now.
                    poll->stop();
                    poll->deleteLater();
                    b->click();
                    return;
                }
            }
        }
    });
    poll->start();
}
} // namespace

// A page with unsaved system parameters is left only when the user says so.
void TestMainWindow::unsavedParametersHoldThePage()
{
    QListView *list = m_window->navigation()->listView();
    m_window->gotoPage(Policy);
    auto *policy = qobject_cast<PolicyPage *>(m_window->builtPage(Policy));
    QVERIFY(policy);
    QTRY_VERIFY_WITH_TIMEOUT(!policy->isBusy(), 60000);
    QSpinBox *deploys = nullptr;
    for (QSpinBox *spin : policy->findChildren<QSpinBox *>())
        if (spin->accessibleName() == QStringLiteral("保留旧部署数"))
            deploys = spin;
    QVERIFY(deploys);
    deploys->setValue(deploys->value() == 5 ? 6 : 5);

    int seen = 0;
    answerNextDialog(QStringLiteral("取消"), &seen);
    m_window->navigation()->onNavigate(Update);
    QCOMPARE(seen, 1);
    QCOMPARE(m_window->pageStack()->currentWidget(), policy);
    QCOMPARE(list->currentIndex().data(TavrinUi::TavrinSidebar::PageIdRole).toInt(), int(Policy));

    answerNextDialog(QStringLiteral("取消"), &seen);
    QVERIFY(!m_window->close());
    QCOMPARE(seen, 2);

    answerNextDialog(QStringLiteral("放弃修改"), &seen);
    m_window->gotoPage(Update);
    QCOMPARE(seen, 3);
    QCOMPARE(m_window->pageStack()->currentIndex(), int(Update));
    // Nothing unsaved any more: no question.
    m_window->gotoPage(Policy);
    m_window->gotoPage(About);
    QCOMPARE(seen, 3);
    QCOMPARE(m_window->pageStack()->currentIndex(), int(About));
}

void TestMainWindow::arrivalRunsAtOnceWhenIdle()
{
    // The About page loads nothing, so it is idle right after the switch.
    int runs = 0;
    m_window->gotoPage(About, [&runs] { ++runs; });
    QCOMPARE(runs, 1);
    QVERIFY(!m_window->hasPendingArrivalAction());
    QCOMPARE(m_window->pageStack()->currentIndex(), int(About));
}

void TestMainWindow::arrivalWaitsForTheLoad()
{
    BasePage *target = m_window->page(About);
    target->beginTask();
    int runs = 0;
    m_window->gotoPage(About, [&runs] { ++runs; });
    QCOMPARE(runs, 0);
    QVERIFY(m_window->hasPendingArrivalAction());
    target->endTask();
    QCOMPARE(runs, 1);
    target->beginTask();
    target->endTask(); // a later idle does not run it again
    QCOMPARE(runs, 1);
}

void TestMainWindow::arrivalFallsBackAfterTimeout()
{
    BasePage *target = m_window->page(Update);
    target->beginTask();
    int runs = 0;
    m_window->gotoPage(Update, [&runs] { ++runs; });
    QCOMPARE(runs, 0);
    auto *timer = m_window->findChild<QTimer *>();
    QVERIFY(timer && timer->isActive() && timer->isSingleShot());
    QCOMPARE(timer->interval(), 4000);
    QTRY_COMPARE_WITH_TIMEOUT(runs, 1, 10000);
    target->endTask();
    QCOMPARE(runs, 1);
}

void TestMainWindow::arrivalDroppedByAnotherSwitch()
{
    BasePage *protection = m_window->page(Protection);
    protection->beginTask();
    int first = 0, second = 0;
    m_window->gotoPage(Protection, [&first] { ++first; });
    m_window->gotoPage(Update, [&second] { ++second; });
    QCOMPARE(second, 1); // Update is idle
    protection->endTask();
    QCOMPARE(first, 0);

    protection->beginTask();
    m_window->gotoPage(Protection, [&first] { ++first; });
    m_window->gotoPage(Overview); // a plain switch drops it too
    protection->endTask();
    QCOMPARE(first, 0);
    QVERIFY(!m_window->hasPendingArrivalAction());
}

void TestMainWindow::arrivalDroppedBySidebarClick()
{
    BasePage *update = m_window->page(Update);
    update->beginTask();
    int runs = 0;
    m_window->gotoPage(Update, [&runs] { ++runs; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QListView *list = m_window->navigation()->listView();
    const QModelIndex about = list->model()->index(list->model()->rowCount() - 1, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(about).center());
    QCOMPARE(m_window->pageStack()->currentIndex(), int(About));
    update->endTask();
    QCOMPARE(runs, 0);
}

void TestMainWindow::arrivalDroppedByClosing()
{
    BasePage *target = m_window->page(VersionManagement);
    target->beginTask();
    int runs = 0;
    m_window->gotoPage(VersionManagement, Snapshots, [&runs] { ++runs; });
    m_window->show();
    QVERIFY(m_window->close()); // busy pages do not hold the window
    QVERIFY(!m_window->isVisible());
    target->endTask();
    QCOMPARE(runs, 0);
    QVERIFY(!m_window->hasPendingArrivalAction());
}

void TestMainWindow::subPageSelectedBeforeSwitch()
{
    auto *versions = qobject_cast<VersionManagementPage *>(m_window->page(VersionManagement));
    m_window->gotoPage(VersionManagement, Deployments);
    QCOMPARE(versions->currentSubPage(), int(Deployments));
    QCOMPARE(m_window->pageStack()->currentIndex(), int(VersionManagement));
    versions->showSubPage(2);
    versions->showSubPage(-1);
    QCOMPARE(versions->currentSubPage(), int(Deployments));
    m_window->gotoPage(Update, Snapshots); // not the version page: the sub-page is ignored
    QCOMPARE(m_window->pageStack()->currentIndex(), int(Update));
    QCOMPARE(versions->currentSubPage(), int(Deployments));
}

void TestMainWindow::showDiskDate()
{
    const QDate day(2026, 3, 14);
    QCOMPARE(m_window->builtPage(DiskUsage), nullptr); // the hand-off builds it
    QTest::ignoreMessage(QtInfoMsg, "[MainWindow] showDiskDate 2026-03-14");
    m_window->showDiskDate(day);
    QCOMPARE(m_window->pageStack()->currentIndex(), int(DiskUsage));
    QCOMPARE(qobject_cast<DiskUsagePage *>(m_window->page(DiskUsage))->focusedDate(), day);
}

void TestMainWindow::gotoSettingUnknownKey()
{
    m_window->gotoSetting(Policy, QStringLiteral("不存在的设置"));
    QCOMPARE(m_window->pageStack()->currentIndex(), int(Policy));
}

void TestMainWindow::languageMenuReflectsSetting_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("checked");
    QTest::newRow("none") << QString() << QStringLiteral("system");
    QTest::newRow("zh") << QStringLiteral("zh_CN") << QStringLiteral("zh_CN");
    QTest::newRow("en") << QStringLiteral("en_US") << QStringLiteral("en_US");
    QTest::newRow("junk") << QStringLiteral("fr_FR") << QStringLiteral("system");
}

void TestMainWindow::languageMenuReflectsSetting()
{
    QFETCH(QString, stored);
    QFETCH(QString, checked);
    delete m_window;
    if (!stored.isEmpty())
        QSettings(QStringLiteral("zarnex"), QStringLiteral("tavrin-manager")).setValue("language", stored);
    m_window = new MainWindow;
    m_window->restartProgram = [this] { ++m_restarts; };
    QMenu *menu = m_window->titlebar()->menu();
    QVERIFY(menu);
    QMenu *languages = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->menu() && action->text() == QStringLiteral("语言"))
            languages = action->menu();
    }
    QVERIFY(languages);
    QStringList checkedCodes;
    QStringList labels;
    for (QAction *action : languages->actions()) {
        labels << action->text();
        if (action->isChecked())
            checkedCodes << action->data().toString();
    }
    QCOMPARE(labels, QStringList({QStringLiteral("跟随系统"), QStringLiteral("简体中文"),
                                  QStringLiteral("English")}));
    QCOMPARE(checkedCodes, QStringList{checked});
}

void TestMainWindow::switchLanguage_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("restarts");
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QByteArray>("lang");
    QTest::newRow("english from chinese")
        << "zh_CN"
        << "en_US" << true << QByteArray("en_US") << QByteArray("en_US.UTF-8");
    QTest::newRow("chinese from system")
        << ""
        << "zh_CN" << true << QByteArray("zh_CN") << QByteArray("zh_CN.UTF-8");
    QTest::newRow("system from english") << "en_US"
                                         << "system" << true << QByteArray() << QByteArray();
    QTest::newRow("same language") << "en_US"
                                   << "en_US" << false << QByteArray("untouched") << QByteArray("untouched");
    QTest::newRow("system when unset")
        << ""
        << "system" << false << QByteArray("untouched") << QByteArray("untouched");
}

void TestMainWindow::switchLanguage()
{
    QFETCH(QString, before);
    QFETCH(QString, chosen);
    QFETCH(bool, restarts);
    QFETCH(QByteArray, language);
    QFETCH(QByteArray, lang);
    if (!before.isEmpty())
        QSettings(QStringLiteral("zarnex"), QStringLiteral("tavrin-manager")).setValue("language", before);
    qputenv("LANGUAGE", "untouched");
    qputenv("LANG", "untouched");
    qputenv("LC_ALL", "C");

    m_window->switchLanguage(chosen);

    QCOMPARE(m_restarts, restarts ? 1 : 0);
    QCOMPARE(qgetenv("LANGUAGE"), language);
    QCOMPARE(qgetenv("LANG"), lang);
    QCOMPARE(qEnvironmentVariableIsSet("LC_ALL"), !restarts);
    const QString stored = QSettings(QStringLiteral("zarnex"), QStringLiteral("tavrin-manager"))
                               .value("language", QStringLiteral("system"))
                               .toString();
    QCOMPARE(stored, chosen);
    qputenv("LANG", "C.UTF-8");
    qunsetenv("LANGUAGE");
    qunsetenv("LC_ALL");
}

TAVRIN_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
