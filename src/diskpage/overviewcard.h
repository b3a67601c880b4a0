#pragma once

// The disk page's card for the system disk now: use share, used and free bytes, the monitor
// service's badge with its start button, and the sampling and health lines.

#include <QDateTime>

#include "disk/diskrecords.h"
#include "ui/components.h"

class QPushButton;
class ZLabel;

namespace DiskPage {

class OverviewCard : public TavrinUi::TavrinPanel
{
    Q_OBJECT

public:
    explicit OverviewCard(QWidget *parent = nullptr);

    // df's figures; `ok` false (or no capacity) shows them as unknown, never as 0.
    void setDiskFigures(bool ok, qint64 total, qint64 used, const QString &error = QString());
    void setSubText(const QString &text);
    void setHealth(const QString &text, TavrinUi::Semantic semantic);
    // The sampling line: the monitor's rhythm, and the newest index day when there is one.
    void showSampling(bool enabled, int pollMinutes, int retentionDays, const Tavrin::DiskDaySummary *newest);
    // The health line from the newest sample; a monitor three cycles late offers its start button.
    void showHealth(bool enabled, const QDateTime &lastSample, int pollMinutes, const QDateTime &now);
    // The monitor's last forecast and its cause; hidden while the forecast is turned off.
    void showForecast(bool on, const QString &text, TavrinUi::Semantic semantic);
    TavrinUi::TavrinBadge *badge() const { return m_badge; }
    QPushButton *startButton() const { return m_startButton; }

signals:
    void startRequested();

private:
    ZLabel *m_pctLabel = nullptr;
    ZLabel *m_usedLabel = nullptr;
    ZLabel *m_capacityLabel = nullptr;
    TavrinUi::TavrinFlatProgress *m_usageBar = nullptr;
    ZLabel *m_subLabel = nullptr;
    ZLabel *m_healthLabel = nullptr;
    ZLabel *m_forecastLabel = nullptr;
    TavrinUi::TavrinBadge *m_badge = nullptr;
    QPushButton *m_startButton = nullptr;
};

} // namespace DiskPage
