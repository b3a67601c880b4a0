#include "ui/leavedialog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include "ui/components.h"
#include "zdialog.h"

namespace TavrinUi {

namespace {

class LeaveText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinLeave)
};

} // namespace

LeaveChoice askSaveBeforeLeaving(QWidget *parent, const QString &title, const QString &message)
{
    ZDialog dialog(parent);
    disableDialogTransparency(&dialog);
    makeDialogNonBlockingWindowModal(&dialog);
    dialog.setTitle(title);
    dialog.setIcon(themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning));
    dialog.setMessage(message);
    if (auto *label = dialog.findChild<QLabel *>(QStringLiteral("ZDialogMessage")))
        label->setTextFormat(Qt::PlainText);
    // Staying is the answer that loses nothing, so it is the default.
    const int stay = dialog.addButton(LeaveText::tr("取消"), true, ZDialog::ButtonNormal);
    const int discard = dialog.addButton(LeaveText::tr("放弃修改"), false, ZDialog::ButtonWarning);
    const int save = dialog.addButton(LeaveText::tr("保存"), false, ZDialog::ButtonRecommend);
    dialog.getButton(stay)->setFocus();
    const int answer = dialog.exec();
    if (answer == save)
        return LeaveChoice::Save;
    if (answer == discard)
        return LeaveChoice::Discard;
    return LeaveChoice::Stay;
}

} // namespace TavrinUi
