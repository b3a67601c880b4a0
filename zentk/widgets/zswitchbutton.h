#pragma once

#include <QAbstractButton>

// A painted on/off switch; checkable, toggled by click or the space key.
class ZSwitchButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ZSwitchButton(QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
