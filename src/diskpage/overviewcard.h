#pragma once

// The disk page's card for the system disk now: use share, used and free bytes, the monitor
// service's badge with its start button, and the sampling and health lines.

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
    TavrinUi::TavrinBadge *m_badge = nullptr;
    QPushButton *m_startButton = nullptr;
};

} // namespace DiskPage
