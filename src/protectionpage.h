#pragma once

#include "basepage.h"

class MainWindow;

class ProtectionPage : public BasePage
{
    Q_OBJECT

public:
    explicit ProtectionPage(MainWindow *window);

    Q_INVOKABLE void highlightEnableProtect();
};
