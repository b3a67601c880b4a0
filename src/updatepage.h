#pragma once

#include "basepage.h"

class MainWindow;

class UpdatePage : public BasePage
{
    Q_OBJECT

public:
    explicit UpdatePage(MainWindow *window);

    Q_INVOKABLE void requestCheckUpdate();
};
