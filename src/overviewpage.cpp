#include "overviewpage.h"

#include "mainwindow.h"
#include "placeholderpage.h"

OverviewPage::OverviewPage(MainWindow *window) : BasePage(window)
{
    const PlaceholderParts parts = buildPlaceholderPage(this, tr("总览"), tr("Tavrin系统运行状态一览"),
                                                        QStringLiteral("utilities-system-monitor"));
    feedbackBanner = parts.banner;
}
