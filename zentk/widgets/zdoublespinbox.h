#pragma once

#include <QDoubleSpinBox>

class ZDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT
public:
    explicit ZDoubleSpinBox(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
};
