#pragma once

// The disk page's card for the range shown: net, average and largest daily growth, the longest
// growth run and the fill-up forecast.

#include "ui/components.h"
#include "ui/diskanalysis.h"

class QLabel;
class ZLabel;

namespace DiskPage {

class SummaryCard : public TavrinUi::TavrinPanel
{
    Q_OBJECT

public:
    explicit SummaryCard(QWidget *parent = nullptr);

    void setSummary(const Summary &summary);
    // The forecast's icon: a warning, an information sign, or none.
    void setForecastIcon(TavrinUi::Semantic state);

private:
    ZLabel *m_rangeLine = nullptr;
    ZLabel *m_netValue = nullptr;
    ZLabel *m_netCaption = nullptr;
    ZLabel *m_avgValue = nullptr;
    ZLabel *m_maxValue = nullptr;
    ZLabel *m_maxDate = nullptr;
    ZLabel *m_streak = nullptr;
    ZLabel *m_forecastValue = nullptr;
    ZLabel *m_forecastCaption = nullptr;
    QLabel *m_forecastIcon = nullptr;
};

} // namespace DiskPage
