#pragma once

#include "basepage.h"

class MainWindow;

class OverviewPage : public BasePage
{
    Q_OBJECT

public:
    explicit OverviewPage(MainWindow *window);
};
