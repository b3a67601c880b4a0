#pragma once

// "磁盘空间设置": the monitor switch, alert rules, excluded directories, history storage and the
// clear-history button. Every control writes its key at once; a key the store refuses is said
// in the dialog and its control goes back to what is stored.

#include "zdialog.h"

class ZLabel;
class ZSwitchButton;

namespace Tavrin {
class MonitorConfig;
}

namespace DiskPage {

class HistoryModel;

class SettingsDialog : public ZDialog
{
    Q_OBJECT

public:
    SettingsDialog(Tavrin::MonitorConfig *config, HistoryModel *model, QWidget *parent);
    ZSwitchButton *monitorSwitch() const { return m_switch; }

signals:
    void monitorToggled(bool on);
    // Retention or budget changed: the history store takes them.
    void storageChanged();
    void clearRequested();

private:
    bool save(const QString &key, const QVariant &value);
    void showUsage(int budgetIndex);

    Tavrin::MonitorConfig *m_config = nullptr;
    HistoryModel *m_model = nullptr;
    ZSwitchButton *m_switch = nullptr;
    ZLabel *m_saveError = nullptr;
    ZLabel *m_usage = nullptr;
};

} // namespace DiskPage
