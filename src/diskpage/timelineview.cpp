#include "diskpage/timelineview.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "backend/backend.h"
#include "diskpage/pagewidgets.h"
#include "ui/diskanalysis.h"
#include "ui/pageblocks.h"
#include "ui/usagechart.h"
#include "zlabel.h"

using namespace TavrinUi;

namespace DiskPage {

TimelineView::TimelineView(QWidget *parent) : TavrinSection(Text::tr("占用趋势"), QString(), parent)
{
    setObjectName(QStringLiteral("tavrinDiskTimeline"));
    m_caption = namedLabel(QStringLiteral("tavrinDiskTimelineCaption"), Text::tr("当前显示：系统盘占用变化"),
                           Small, Muted);
    addHeaderWidget(m_caption);
    m_chart = new UsageChart(this);
    contentLayout()->addWidget(m_chart, 1);
    auto *legend = new QHBoxLayout;
    legend->setSpacing(14);
    legend->addWidget(Ui::legendDot(Accent, Text::tr("每日已用")));
    legend->addWidget(Ui::legendDot(Warning, Text::tr("异常增长")));
    legend->addWidget(Ui::legendDot(Success, Text::tr("系统快照")));
    legend->addWidget(Ui::legendDot(Normal, Text::tr("升级与回滚")));
    // The selected day's line takes what the legend leaves and wraps in a narrow window.
    m_dayDetail = namedLabel(QStringLiteral("tavrinDiskDayDetail"), QString(), Small, Normal);
    m_dayDetail->setWordWrap(true);
    m_dayDetail->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    legend->addWidget(m_dayDetail, 1);
    contentLayout()->addLayout(legend);
}

void TimelineView::showSeries(const QList<Tavrin::DiskDayRecord> &records, const QString &followed,
                              const QSet<QDate> &spikes)
{
    m_chart->setLoading(false);
    if (followed.isEmpty()) {
        m_caption->setText(Text::tr("当前显示：系统盘占用变化"));
        m_chart->setSpikeDays(spikes);
        m_chart->setRecords(records);
        return;
    }
    const QList<Tavrin::DiskDayRecord> series = directorySeries(records, followed);
    m_chart->setSpikeDays({});
    if (series.isEmpty())
        m_caption->setText(Text::tr("目录“%1”暂无逐日数据，请先开启监控或在该目录下钻").arg(followed));
    else
        m_caption->setText(Text::tr("当前显示：目录 %1 的占用变化").arg(followed));
    m_chart->setRecords(series);
}

void TimelineView::showDay(const QList<Tavrin::DiskDayRecord> &records, const QDate &day)
{
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).date != day)
            continue;
        QString text =
            Text::tr("%1 · 已用 %2")
                .arg(day.toString(QStringLiteral("yyyy-MM-dd")), Tavrin::formatSize(records.at(i).total));
        if (i > 0) {
            const qint64 growth = records.at(i).total - records.at(i - 1).total;
            text += QStringLiteral(" · ") +
                    Text::tr("当日增长 %1")
                        .arg((growth >= 0 ? QStringLiteral("+") : QString()) + Tavrin::formatSize(growth));
        }
        m_dayDetail->setText(text);
        return;
    }
    m_dayDetail->setText(QString());
}

} // namespace DiskPage
