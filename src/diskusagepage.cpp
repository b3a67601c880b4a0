#include "diskusagepage.h"

#include <QVBoxLayout>

#include "mainwindow.h"
#include "placeholderpage.h"
#include "ui/components.h"
#include "zlabel.h"

DiskUsagePage::DiskUsagePage(MainWindow *window) : BasePage(window)
{
    const PlaceholderParts parts = buildPlaceholderPage(
        this, tr("磁盘空间"), tr("系统盘占用历史、增长分析与异常告警"), QStringLiteral("drive-harddisk"));
    feedbackBanner = parts.banner;
    m_dayLabel = TavrinUi::makeLabel(QString(), TavrinUi::Body, TavrinUi::Accent);
    m_dayLabel->setObjectName(QStringLiteral("tavrinFocusedDay"));
    m_dayLabel->setVisible(false);
    parts.layout->insertWidget(2, m_dayLabel);
}

void DiskUsagePage::focusDate(const QDate &date)
{
    if (!date.isValid())
        return;
    m_focused = date;
    m_dayLabel->setText(tr("查看日期：%1").arg(date.toString(QStringLiteral("yyyy-MM-dd"))));
    m_dayLabel->setVisible(true);
}
