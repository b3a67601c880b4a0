#pragma once

#include <QComboBox>

class ZComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit ZComboBox(QWidget *parent = nullptr);
};
