#pragma once

// The disk page's alerts: the banner with the newest alert not dismissed, and the history dialog
// of every alert the monitor recorded.

#include <QStringList>

class QPushButton;

#include "ui/alertuistate.h"
#include "ui/components.h"
#include "ui/diskanalysis.h"

namespace DiskPage {

class AlertBanner : public TavrinUi::TavrinInlineBanner
{
    Q_OBJECT

public:
    explicit AlertBanner(QWidget *parent = nullptr);
    // Shows the newest alert not dismissed and returns its key; hides and returns empty when none.
    QString showNewest(const QList<AlertEntry> &alerts, const QStringList &dismissed);
};

// "告警历史（N）" or "告警历史（N 条新增）" for the header button.
QString alertHistoryButtonText(int total, int fresh);

// The modal history, newest first, each marked new, dismissed or seen.
void showAlertHistory(QWidget *parent, const QList<AlertEntry> &alerts, const AlertUiState &state);

// What the page remembers of the monitor's alerts ("alert-ui-state.json") and shows of them: the
// banner's alert, dismissals, the history button's count and the history dialog.
class AlertsPanel : public QObject
{
    Q_OBJECT

public:
    AlertsPanel(AlertBanner *banner, QPushButton *historyButton, QWidget *dialogParent);

    // The UI state from its file; a missing or unreadable file leaves nothing dismissed or seen.
    void load();
    // "alert.json" read again: the banner and the button show what it holds now.
    void refresh();
    void dismissCurrent();
    void openHistory();
    // After the history was cleared: nothing dismissed, nothing seen.
    void reset();

    void updateButton();
    void save();

    QString currentKey() const { return m_key; }
    const AlertUiState &state() const { return m_state; }

signals:
    void dismissed();

private:
    AlertBanner *m_banner = nullptr;
    QPushButton *m_button = nullptr;
    QWidget *m_dialogParent = nullptr;
    AlertUiState m_state;
    QString m_key;
    QList<AlertEntry> m_alerts;
};

} // namespace DiskPage
