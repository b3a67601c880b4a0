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

    BasePage *page(PageId id) const;
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
    void switchLanguage(const QString &lang);

    TavrinUi::TavrinSidebar *navigation() const { return sidebar; }
    QStackedWidget *pageStack() const { return stack; }
    TavrinUi::SettingIndex &settings() { return settingIndex; }
    bool hasPendingArrivalAction() const { return bool(arrivalAction); }

    // Starts the program anew; replaced in tests so the test process is not restarted.
    std::function<void()> restartProgram;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void initSidebar();
    void initContent();
    void setupLanguageMenu();
    void disconnectArrival();

    QFrame *sidebarFrame = nullptr;
    QStackedWidget *stack = nullptr;
    TavrinUi::TavrinSidebar *sidebar = nullptr;
    std::map<PageId, BasePage *> pages;
    TavrinUi::SettingIndex settingIndex;
    std::function<void()> arrivalAction;
    QTimer *arrivalTimer = nullptr;
    PageId arrivalPage = Overview;
    bool arrivalWaiting = false;
    QMetaObject::Connection arrivalConnection;
};
