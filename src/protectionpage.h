#pragma once

#include "basepage.h"
#include "masterswitch.h"

class MainWindow;
class QScrollArea;

namespace TavrinUi {
class TavrinInlineBanner;
class TavrinLocalLoading;
class TavrinResponsiveCardRow;
class TavrinStateCard;
} // namespace TavrinUi

class ProtectionPage : public BasePage
{
    Q_OBJECT

public:
    explicit ProtectionPage(MainWindow *window);

    void refresh() override;
    QList<TavrinUi::SettingEntry> searchableSettings() const override;

    // Scrolls the master switch into view and flashes it.
    Q_INVOKABLE void highlightEnableProtect();

    TavrinSwitch::TavrinSwitchRow *masterSwitchRow() const { return switchRow; }

private:
    void onLoaded(const QVariant &payload);

    MainWindow *window = nullptr;
    TavrinSwitch::TavrinSwitchRow *switchRow = nullptr;
    TavrinUi::TavrinResponsiveCardRow *cardRow = nullptr;
    TavrinUi::TavrinStateCard *readOnlyCard = nullptr;
    TavrinUi::TavrinStateCard *writableCard = nullptr;
    TavrinUi::TavrinStateCard *afterRebootCard = nullptr;
    TavrinUi::TavrinInlineBanner *banner = nullptr;
    // The banner says the last read failed; a good read takes it away.
    bool readFailureShown = false;
    TavrinUi::TavrinLocalLoading *loading = nullptr;
    QScrollArea *scrollArea = nullptr;
};
