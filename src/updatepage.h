#pragma once

#include "basepage.h"

#include <QPair>

class MainWindow;
class StagedChangesButton;
class QLabel;
class QPushButton;
class ZLabel;

namespace TavrinUi {
struct ConfirmRequest;
class TavrinBadge;
class TavrinCollapsible;
class TavrinInlineBanner;
class TavrinLocalLoading;
} // namespace TavrinUi

class UpdatePage : public BasePage
{
    Q_OBJECT

public:
    explicit UpdatePage(MainWindow *window);

    Q_INVOKABLE void requestCheckUpdate();
    // Looks for an upgrade staged earlier, so its changes can be viewed before the reboot.
    void refresh() override;

    // (updatable items, items to download) of a check's answer; (-1, -1) when
    // the answer holds no readable summary.
    static QPair<int, int> parseCheckCounts(const QString &text);

    // What the upgrade is taken to need when the check named no size.
    static void setRequiredFreeBytes(qint64 bytes);
    static qint64 requiredFreeBytes();

public slots:
    void onCheck();
    void onUpgrade();
    void onClean();
    // Asks first: a reboot ends the session.
    void onReboot();

private:
    void startUpgrade();
    // Facts for each file system that cannot be shown to take the upgrade.
    static void addSpaceWarnings(TavrinUi::ConfirmRequest &req, const QVariantList &spaces, qint64 reported);
    void showResult(TavrinUi::Semantic semantic, const QString &text, bool autoDismiss);
    void setOutput(const QString &output);
    void updateStatusCard(TavrinUi::Semantic semantic, const QString &text);
    void begin(const QString &loadingText);
    void finish();

    MainWindow *window = nullptr;
    TavrinUi::TavrinInlineBanner *banner = nullptr;
    TavrinUi::TavrinLocalLoading *loading = nullptr;
    TavrinUi::TavrinCollapsible *detailsBox = nullptr;
    ZLabel *outputLabel = nullptr;
    QPushButton *rebootButton = nullptr;
    // "查看变更" while an upgrade is staged for the next boot.
    StagedChangesButton *stagedChanges = nullptr;
    QLabel *statusIcon = nullptr;
    ZLabel *statusText = nullptr;
    TavrinUi::TavrinBadge *statusBadge = nullptr;
    bool operationRunning = false;
    // What the last check said the upgrade needs; -1 when it named no size.
    qint64 reportedUpgradeBytes = -1;
};
