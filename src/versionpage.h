#pragma once

#include "basepage.h"

#include <QFuture>

class DeploysPage;
class MainWindow;
class QPushButton;
class QStackedWidget;
class SnapshotsPage;
class ZLabel;
class ZTabBar;

class VersionManagementPage : public BasePage
{
    Q_OBJECT

public:
    explicit VersionManagementPage(MainWindow *window);

    void refresh() override;
    void shutdown() override;
    bool isBusy() const override;

    void showSubPage(int index);
    int currentSubPage() const;
    Q_INVOKABLE void requestCreateSnapshot();
    QString hintText(int index) const;
    // Snapshot id or deployment commit of the selected row of the current tab.
    QString selectedStateId() const;

private:
    void updateHint(int index);
    QWidget *buildCompareWidget();
    void onSubPageIdle();
    void adoptSubPage(BasePage *page);
    DeploysPage *deploys();

    MainWindow *window = nullptr;
    ZTabBar *tabBar = nullptr;
    QStackedWidget *stack = nullptr;
    SnapshotsPage *snapshotsPage = nullptr;
    DeploysPage *deploysPage = nullptr;
    ZLabel *hintLabel = nullptr;
    QPushButton *createButton = nullptr;
    QFuture<QVariant> firstRead;
    bool firstReadPending = false;
};
