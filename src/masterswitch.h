#pragma once

#include "backend/backend.h"
#include "ui/components.h"

#include <QString>
#include <QWidget>

#include <functional>

class BasePage;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QTimer;
class ZLabel;
class ZSpinner;
class ZSwitchButton;

namespace TavrinSwitch {

struct Presentation
{
    bool known = false;
    bool checked = false;
    QString text;
    TavrinUi::Semantic semantic = TavrinUi::Muted;
};

Presentation presentationFor(const Tavrin::WritableStatus &status);

// Confirms with the user, then switches the writable layer off the GUI thread
// and reports on `page`. `done(ok)` runs exactly once on the GUI thread, with
// false when the user declines at any step.
// A second request while one is asked or running is declined at once.
void requestSwitch(BasePage *page, bool enableProtection, const std::function<void(bool)> &done);

// A switch is being confirmed or carried out.
bool switchInProgress();
// The privileged call of a switch is running.
bool switchRunning();

// Theme name of the protection icon: "security", or a close relative when the
// icon theme lacks it.
QString securityIconName();

class TavrinSwitchRow : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double highlight READ highlight WRITE setHighlight)

public:
    TavrinSwitchRow(BasePage *page, bool showDetailButton, QWidget *parent = nullptr);
    ~TavrinSwitchRow() override;

    void applyStatus(const Presentation &p);
    Q_INVOKABLE void flashHighlight();

    double highlight() const { return highlightValue; }
    void setHighlight(double value);

    ZSwitchButton *switchControl() const { return switchButton; }
    QString statusText() const;

signals:
    void switchChanged();
    void detailRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Q_INVOKABLE void updateBusy();
    void onToggled(bool checked);
    void refreshIcon();

    BasePage *page = nullptr;
    ZSwitchButton *switchButton = nullptr;
    ZLabel *statusLabel = nullptr;
    QPushButton *detailButton = nullptr;
    double highlightValue = 0.0;
    QPropertyAnimation *flashAnimation = nullptr;
    QTimer *flashTimer = nullptr;
    QLabel *iconLabel = nullptr;
    ZSpinner *busySpinner = nullptr;
    ZLabel *busyLabel = nullptr;
    bool known = false;
    // Toggled by the user; the request starts from the event loop.
    bool pending = false;
};

} // namespace TavrinSwitch
