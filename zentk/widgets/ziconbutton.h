#pragma once

#include <QPushButton>

// A flat, icon-only button.
class ZIconButton : public QPushButton
{
    Q_OBJECT
public:
    explicit ZIconButton(QWidget *parent = nullptr);
    explicit ZIconButton(const QIcon &icon, QWidget *parent = nullptr);
    QSize sizeHint() const override;
};
