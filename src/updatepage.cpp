#include "updatepage.h"

#include "mainwindow.h"
#include "placeholderpage.h"

UpdatePage::UpdatePage(MainWindow *window) : BasePage(window)
{
    const PlaceholderParts parts = buildPlaceholderPage(
        this, tr("系统更新"), tr("通过Tavrin系统原子更新机制升级系统"), QStringLiteral("cycle-update"));
    feedbackBanner = parts.banner;
}

void UpdatePage::requestCheckUpdate()
{
    showFeedback(TavrinUi::Accent, tr("更新检查将在后续版本中提供"), true);
}
