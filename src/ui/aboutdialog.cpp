#include "ui/aboutdialog.h"

#include <QCoreApplication>

namespace TavrinUi {

TavrinAboutDialog::TavrinAboutDialog(QWidget *parent) : ZAboutDialog(parent)
{
    setProductName(QCoreApplication::applicationName());
    setVersion(QCoreApplication::applicationVersion());
}

} // namespace TavrinUi
