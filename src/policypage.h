#pragma once

#include "basepage.h"

class MainWindow;

class PolicyPage : public BasePage
{
    Q_OBJECT

public:
    explicit PolicyPage(MainWindow *window);
};
