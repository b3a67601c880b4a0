#pragma once

#include <QString>

class BasePage;
class QVBoxLayout;
namespace TavrinUi {
class TavrinEmptyState;
class TavrinInlineBanner;
} // namespace TavrinUi

struct PlaceholderParts
{
    QVBoxLayout *layout = nullptr;
    TavrinUi::TavrinInlineBanner *banner = nullptr;
    TavrinUi::TavrinEmptyState *emptyState = nullptr;
};

// Lays out a page that is not built yet: its real header, the feedback banner
// and an empty state saying the feature comes later, without any fake data.
PlaceholderParts buildPlaceholderPage(BasePage *page, const QString &title, const QString &subtitle,
                                      const QString &icon);
