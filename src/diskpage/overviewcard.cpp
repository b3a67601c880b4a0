#include "diskpage/overviewcard.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "backend/backend.h"
#include "diskpage/pagewidgets.h"
#include "ui/diskanalysis.h"
#include "zlabel.h"

using namespace TavrinUi;

namespace DiskPage {

OverviewCard::OverviewCard(QWidget *parent) : TavrinPanel(parent, TavrinPanel::Card)
{
    setObjectName(QStringLiteral("tavrinDiskOverview"));
    QVBoxLayout *l = contentLayout();
    l->setSpacing(6);
    auto *head = new QHBoxLayout;
    head->addWidget(makeLabel(Text::tr("系统盘"), ItemTitle, Normal));
    head->addStretch(1);
    l->addLayout(head);

    auto *numbers = new QHBoxLayout;
    numbers->setSpacing(12);
    m_pctLabel = namedLabel(QStringLiteral("tavrinDiskPercent"), QStringLiteral("--"), Hero, Muted);
    m_pctLabel->setAccessibleName(Text::tr("系统盘使用率"));
    numbers->addWidget(m_pctLabel, 0, Qt::AlignBottom);
    auto *col = new QVBoxLayout;
    col->setSpacing(0);
    m_usedLabel = namedLabel(QStringLiteral("tavrinDiskUsed"), Text::tr("已用 --"), Value, Normal);
    m_capacityLabel =
        namedLabel(QStringLiteral("tavrinDiskCapacity"), Text::tr("总容量 -- · 可用 --"), Small, Muted);
    m_capacityLabel->setWordWrap(true);
    col->addWidget(m_usedLabel);
    col->addWidget(m_capacityLabel);
    numbers->addLayout(col, 1);
    l->addLayout(numbers);

    m_usageBar = new TavrinFlatProgress(this);
    m_usageBar->setObjectName(QStringLiteral("tavrinDiskUsageBar"));
    m_usageBar->setRange(0, 1000);
    m_usageBar->setValue(0);
    m_usageBar->setTextVisible(false);
    m_usageBar->setAccessibleName(Text::tr("系统盘占用"));
    l->addWidget(m_usageBar);

    // The service state gets a row of its own: its failure texts are long.
    m_badge = new TavrinBadge(Text::tr("正在检测服务状态…"), Muted, this);
    m_badge->setObjectName(QStringLiteral("tavrinDiskServiceBadge"));
    l->addWidget(m_badge, 0, Qt::AlignLeft);
    m_forecastLabel = namedLabel(QStringLiteral("tavrinDiskForecastNotice"), QString(), Small, Muted);
    m_forecastLabel->setWordWrap(true);
    m_forecastLabel->setVisible(false);
    l->addWidget(m_forecastLabel);
    m_subLabel = namedLabel(QStringLiteral("tavrinDiskSubLabel"), QString(), Small, Muted);
    m_subLabel->setWordWrap(true);
    l->addWidget(m_subLabel);
    auto *health = new QHBoxLayout;
    m_healthLabel = namedLabel(QStringLiteral("tavrinDiskHealth"), QString(), Small, Muted);
    m_healthLabel->setWordWrap(true);
    health->addWidget(m_healthLabel, 1);
    m_startButton = namedButton(QStringLiteral("tavrinDiskStartService"), Text::tr("立即启动"));
    m_startButton->setIcon(themedIcon(QStringLiteral("system-run"), QStyle::SP_MediaPlay));
    m_startButton->setAccessibleName(Text::tr("立即启动磁盘监控"));
    m_startButton->setVisible(false);
    connect(m_startButton, &QPushButton::clicked, this, &OverviewCard::startRequested);
    health->addWidget(m_startButton);
    l->addLayout(health);
    l->addStretch(1);
}

void OverviewCard::setDiskFigures(bool ok, qint64 total, qint64 used, const QString &error)
{
    if (!ok || total < 1) {
        m_usageBar->setValue(0);
        m_pctLabel->setText(QStringLiteral("--"));
        applySemantic(m_pctLabel, Muted);
        m_usedLabel->setText(Text::tr("已用 --"));
        applySemantic(m_usedLabel, Normal);
        m_capacityLabel->setText(error.isEmpty() ? Text::tr("总容量 -- · 可用 --")
                                                 : Text::tr("总容量 -- · 可用 --（%1）").arg(error));
    } else {
        const double pct = double(used) * 100.0 / double(total);
        m_usageBar->setValue(int(used * 1000 / total));
        m_pctLabel->setText(QString::number(pct, 'f', pct >= 100.0 ? 0 : 1) + QLatin1Char('%'));
        applySemantic(m_pctLabel, Normal);
        m_usedLabel->setText(Text::tr("已用 %1").arg(Tavrin::formatSize(used)));
        applySemantic(m_usedLabel, usageSemanticForPct(pct));
        m_capacityLabel->setText(
            Text::tr("总容量 %1 · 可用 %2").arg(Tavrin::formatSize(total), Tavrin::formatSize(total - used)));
    }
    m_usageBar->setAccessibleDescription(m_pctLabel->text());
}

void OverviewCard::setSubText(const QString &text)
{
    m_subLabel->setText(text);
}

void OverviewCard::setHealth(const QString &text, Semantic semantic)
{
    m_healthLabel->setText(text);
    applySemantic(m_healthLabel, semantic);
}

void OverviewCard::showSampling(bool enabled, int pollMinutes, int retentionDays,
                                const Tavrin::DiskDaySummary *newest)
{
    QString sub = enabled
                      ? Text::tr("每 %1 分钟采样一次 · 历史保留 %2 天").arg(pollMinutes).arg(retentionDays)
                      : Text::tr("开启后自动建立基线并持续监控");
    if (newest)
        sub += QStringLiteral(" · ") + Text::tr("最近记录 %1 · 该日增长 %2")
                                           .arg(newest->date.toString(QStringLiteral("yyyy-MM-dd")),
                                                Tavrin::formatSize(newest->growth));
    setSubText(sub);
}

void OverviewCard::showForecast(bool on, const QString &text, Semantic semantic)
{
    m_forecastLabel->setText(text);
    m_forecastLabel->setAccessibleName(text);
    applySemantic(m_forecastLabel, semantic);
    m_forecastLabel->setVisible(on);
}

void OverviewCard::showHealth(bool enabled, const QDateTime &lastSample, int pollMinutes,
                              const QDateTime &now)
{
    if (!lastSample.isValid()) {
        setHealth(enabled ? Text::tr("最近采样：尚无记录，后台服务将在 15 分钟内完成首次采样")
                          : Text::tr("最近采样：尚无记录"),
                  Muted);
        return;
    }
    const qint64 age = lastSample.secsTo(now);
    const QString when = Tavrin::formatTime(lastSample.toSecsSinceEpoch());
    if (enabled && age > qint64(3) * qMax(1, pollMinutes) * 60) {
        setHealth(Text::tr("监控可能已停止：最近采样 %1，已超过 3 个采样周期").arg(when), Warning);
        m_startButton->setVisible(true);
    } else {
        setHealth(Text::tr("最近采样 %1").arg(when), Muted);
    }
}

} // namespace DiskPage
