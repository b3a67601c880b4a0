#pragma once

#include <QProgressBar>

class ZProgressBar : public QProgressBar
{
    Q_OBJECT
public:
    explicit ZProgressBar(QWidget *parent = nullptr);
};
