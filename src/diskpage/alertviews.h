#pragma once

// The disk page's alerts: the banner with the newest alert not dismissed, and the history dialog
// of every alert the monitor recorded.

#include <QStringList>

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

} // namespace DiskPage
