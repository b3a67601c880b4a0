#pragma once

#include "basepage.h"

class MainWindow;
class QPushButton;
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

private:
    void updateHint(int index);

    ZTabBar *tabBar = nullptr;
    ZLabel *hintLabel = nullptr;
    SnapshotsPage *snapshotsPage = nullptr;
    QWidget *placeholderPanel = nullptr;
};
