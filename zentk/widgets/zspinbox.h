#pragma once

#include <QSpinBox>

class ZSpinBox : public QSpinBox
{
    Q_OBJECT
public:
    explicit ZSpinBox(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
};
