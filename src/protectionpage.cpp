#include "protectionpage.h"

#include "mainwindow.h"
#include "placeholderpage.h"

ProtectionPage::ProtectionPage(MainWindow *window) : BasePage(window)
{
    const PlaceholderParts parts = buildPlaceholderPage(
        this, tr("系统保护"), tr("Tavrin系统只读保护(可写层)管理"), QStringLiteral("security"));
    feedbackBanner = parts.banner;
}

void ProtectionPage::highlightEnableProtect()
{
    showFeedback(TavrinUi::Accent, tr("保护开关将在后续版本中提供"), true);
}
