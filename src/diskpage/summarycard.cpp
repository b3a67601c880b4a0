#include "diskpage/summarycard.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "diskpage/pagewidgets.h"
#include "zlabel.h"

using namespace TavrinUi;

namespace DiskPage {

SummaryCard::SummaryCard(QWidget *parent) : TavrinPanel(parent, TavrinPanel::Card)
{
    setObjectName(QStringLiteral("tavrinDiskSummary"));
    QVBoxLayout *l = contentLayout();
    l->setSpacing(6);
    auto *head = new QHBoxLayout;
    head->addWidget(makeLabel(Text::tr("区间概览"), ItemTitle, Normal));
    head->addStretch(1);
    l->addLayout(head);
    m_rangeLine = namedLabel(QStringLiteral("tavrinDiskRangeLine"), QString(), Small, Muted);
    m_rangeLine->setWordWrap(true);
    l->addWidget(m_rangeLine);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(2);
    auto cell = [&](int r, int c, const QString &caption, ZLabel *value, QWidget *extra = nullptr) {
        auto *box = new QVBoxLayout;
        box->setSpacing(0);
        box->addWidget(makeLabel(caption, Caption, Muted));
        auto *line = new QHBoxLayout;
        line->setSpacing(6);
        line->addWidget(value);
        if (extra)
            line->addWidget(extra);
        line->addStretch(1);
        box->addLayout(line);
        grid->addLayout(box, r, c);
    };
    m_netValue = namedLabel(QStringLiteral("tavrinDiskNet"), QStringLiteral("-"), Value, Muted);
    m_avgValue = namedLabel(QStringLiteral("tavrinDiskAvg"), QStringLiteral("-"), Value, Normal);
    m_maxValue = namedLabel(QStringLiteral("tavrinDiskMax"), QStringLiteral("-"), Value, Muted);
    m_maxDate = namedLabel(QStringLiteral("tavrinDiskMaxDate"), QString(), Small, Muted);
    m_streak = namedLabel(QStringLiteral("tavrinDiskStreak"), QStringLiteral("-"), Body, Normal);
    cell(0, 0, Text::tr("净增长"), m_netValue);
    cell(0, 1, Text::tr("日均增长"), m_avgValue);
    cell(1, 0, Text::tr("单日最大增长"), m_maxValue, m_maxDate);
    cell(1, 1, Text::tr("最长连续增长起始"), m_streak);
    l->addLayout(grid);
    m_netCaption = namedLabel(QStringLiteral("tavrinDiskNetCaption"), QString(), Small, Muted);
    l->addWidget(m_netCaption);

    auto *forecast = new QHBoxLayout;
    forecast->setSpacing(6);
    m_forecastIcon = new QLabel(this);
    m_forecastIcon->setObjectName(QStringLiteral("tavrinDiskForecastIcon"));
    m_forecastIcon->setFixedSize(16, 16);
    forecast->addWidget(m_forecastIcon);
    m_forecastValue = namedLabel(QStringLiteral("tavrinDiskForecast"), QStringLiteral("-"), Body, Muted);
    m_forecastCaption = namedLabel(QStringLiteral("tavrinDiskForecastCaption"), QString(), Small, Muted);
    m_forecastCaption->setWordWrap(true);
    forecast->addWidget(m_forecastValue);
    forecast->addWidget(m_forecastCaption, 1);
    l->addLayout(forecast);
    l->addStretch(1);
}

void SummaryCard::setSummary(const Summary &s)
{
    m_rangeLine->setText(s.rangeLine);
    m_netValue->setText(s.netValue);
    applySemantic(m_netValue, s.netSemantic);
    m_netCaption->setText(s.netCaption);
    m_avgValue->setText(s.avgValue);
    m_maxValue->setText(s.maxValue);
    applySemantic(m_maxValue, s.maxSemantic);
    m_maxDate->setText(s.maxDate);
    m_maxDate->setVisible(!s.maxDate.isEmpty());
    m_streak->setText(s.streak);
    m_forecastValue->setText(s.forecastValue);
    applySemantic(m_forecastValue, s.forecast);
    m_forecastCaption->setText(s.forecastCaption);
    setForecastIcon(s.forecast);
}

void SummaryCard::setForecastIcon(Semantic state)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    if (state == Warning)
        pixmap = themedIcon(QStringLiteral("warning"), QStyle::SP_MessageBoxWarning).pixmap(16, 16);
    else if (state == Accent)
        pixmap =
            themedIcon(QStringLiteral("dialog-information"), QStyle::SP_MessageBoxInformation).pixmap(16, 16);
    m_forecastIcon->setPixmap(pixmap);
}

} // namespace DiskPage
