#pragma once

class QWidget;

namespace TavrinUi {

void makeDialogNonBlockingWindowModal(QWidget *dialog);
void disableDialogTransparency(QWidget *dialog);

} // namespace TavrinUi
