#pragma once

// Small helpers the disk page's views share: labels and buttons named for tests and assistive
// tools in one call.

#include <QString>

#include "ui/components.h"

class QPushButton;
class ZLabel;

namespace DiskPage {

ZLabel *namedLabel(const QString &name, const QString &text, TavrinUi::TextLevel level,
                   TavrinUi::Semantic semantic);
QPushButton *namedButton(const QString &name, const QString &text, bool primary = false);

} // namespace DiskPage
