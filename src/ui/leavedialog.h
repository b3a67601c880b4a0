#pragma once

#include <QString>

class QWidget;

namespace TavrinUi {

enum class LeaveChoice { Save, Discard, Stay };

// Asks what becomes of unsaved changes before a page is left. Closing the
// dialog, Escape and Enter from anywhere but the other buttons keep the page.
LeaveChoice askSaveBeforeLeaving(QWidget *parent, const QString &title, const QString &message);

} // namespace TavrinUi
