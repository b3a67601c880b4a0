#pragma once

// "占用趋势": the usage chart with its caption (the whole disk or a followed directory), the
// legend and the selected day's line.

#include <QSet>

#include "disk/diskrecords.h"
#include "ui/components.h"

class ZLabel;

namespace TavrinUi {
class UsageChart;
}

namespace DiskPage {

class TimelineView : public TavrinUi::TavrinSection
{
    Q_OBJECT

public:
    explicit TimelineView(QWidget *parent = nullptr);
    TavrinUi::UsageChart *chart() const { return m_chart; }

    // The whole disk's days with their spike days, or, with `followed`, that directory's size per day.
    void showSeries(const QList<Tavrin::DiskDayRecord> &records, const QString &followed,
                    const QSet<QDate> &spikes);
    // "yyyy-MM-dd · 已用 … · 当日增长 …" of `day`, empty when it is not among `records`.
    void showDay(const QList<Tavrin::DiskDayRecord> &records, const QDate &day);

private:
    TavrinUi::UsageChart *m_chart = nullptr;
    ZLabel *m_caption = nullptr;
    ZLabel *m_dayDetail = nullptr;
};

} // namespace DiskPage
