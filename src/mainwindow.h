#pragma once

#include <QDate>
#include <QMetaObject>
#include <map>

#include <functional>

#include "pageid.h"
#include "ui/settingindex.h"
#include "zmainwindow.h"

class BasePage;
class QFrame;
class QStackedWidget;
class QTimer;

namespace TavrinUi {
class TavrinSidebar;
}

class MainWindow : public ZMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    static MainWindow *s_instance;

    // The page, built on first use; null for an id the window does not have.
    BasePage *page(PageId id) const;
    // The page if it has been built, else null; never builds.
    BasePage *builtPage(PageId id) const;
    int toIndex(PageId id) const;
    void switchTo(PageId id);
    void gotoPage(PageId id);
    void gotoPage(PageId id, SubPageId sub);
    void gotoPage(PageId id, std::function<void()> action);
    void gotoPage(PageId id, SubPageId sub, std::function<void()> action);
    void scheduleArrivalAction(PageId id, std::function<void()> action);
    void flushArrivalAction(bool run);
    void gotoSetting(PageId id, const QString &key);
    void showDiskDate(const QDate &date);
    void refreshTavrinPages();
    // After space was freed: every built page that shows snapshots, deployments or disk figures.
    void refreshStoragePages();
    void switchLanguage(const QString &lang);

    TavrinUi::TavrinSidebar *navigation() const { return sidebar; }
    QStackedWidget *pageStack() const { return stack; }
    // The index covers every page, so asking for it builds the pages not yet visited.
    TavrinUi::SettingIndex &settings();
    bool hasPendingArrivalAction() const { return bool(arrivalAction); }

    // Starts the program anew; replaced in tests so the test process is not restarted.
    std::function<void()> restartProgram;

signals:
    // The first paint of the window and its first page has reached the screen.
    void firstPainted();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void initSidebar();
    void initContent();
    void setupLanguageMenu();
    void disconnectArrival();
    BasePage *buildPage(PageId id) const;
    void reportFirstPaint();

    QFrame *sidebarFrame = nullptr;
    QStackedWidget *stack = nullptr;
    TavrinUi::TavrinSidebar *sidebar = nullptr;
    // Every page id the window offers; the value stays null until the page is built.
    mutable std::map<PageId, BasePage *> pages;
    mutable TavrinUi::SettingIndex settingIndex;
    bool firstPaintSeen = false;
    std::function<void()> arrivalAction;
    QTimer *arrivalTimer = nullptr;
    PageId arrivalPage = Overview;
    bool arrivalWaiting = false;
    QMetaObject::Connection arrivalConnection;
};
