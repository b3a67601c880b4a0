#pragma once

#include "zaboutdialog.h"

namespace TavrinUi {

class TavrinAboutDialog : public ZAboutDialog
{
    Q_OBJECT
public:
    explicit TavrinAboutDialog(QWidget *parent = nullptr);
};

} // namespace TavrinUi
