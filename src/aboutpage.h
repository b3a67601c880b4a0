#pragma once

#include "basepage.h"

class AboutPage : public BasePage
{
    Q_OBJECT

public:
    explicit AboutPage(QWidget *parent = nullptr);
};
