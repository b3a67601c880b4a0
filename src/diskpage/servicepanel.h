#pragma once

// The monitor service on the disk page: the switch that enables the user timer, the status probe
// and its badge, and the start button. The systemd calls themselves are in ui/monitorservice.

#include <QObject>
#include <QPointer>

class QProcess;
#include "zswitchbutton.h"

namespace Tavrin {
class MonitorConfig;
}

namespace DiskPage {

class OverviewCard;

class ServicePanel : public QObject
{
    Q_OBJECT

public:
    ServicePanel(Tavrin::MonitorConfig *config, OverviewCard *card, QObject *parent);
    ~ServicePanel() override;

    // The settings dialog's switch while it is open.
    void setSwitch(ZSwitchButton *sw) { m_switch = sw; }

    bool setMonitorService(bool enable, QString *error = nullptr);
    void onMonitorToggled(bool on);
    bool storeMonitorEnabled(bool on);
    void onStartMonitorService();
    void updateServiceStatus();
    void applyServiceStatus(const QString &state);
    void stop();

signals:
    void status(const QString &text, bool error);
    // Monitoring was switched on: the page loads and measures again.
    void refreshRequested();
    void overviewRequested();
    // The probe answered (`reached`: systemd's user manager did).
    void probed(bool reached);

private:
    Tavrin::MonitorConfig *m_config = nullptr;
    OverviewCard *m_card = nullptr;
    QPointer<ZSwitchButton> m_switch;
    QPointer<QProcess> m_probe;
    bool m_stopped = false;
};

} // namespace DiskPage
