#include "policypage.h"

#include "mainwindow.h"
#include "placeholderpage.h"

PolicyPage::PolicyPage(MainWindow *window) : BasePage(window)
{
    const PlaceholderParts parts = buildPlaceholderPage(
        this, tr("策略与设置"), tr("备份保留策略与Tavrin系统参数"), QStringLiteral("preferences-system"));
    feedbackBanner = parts.banner;
}
