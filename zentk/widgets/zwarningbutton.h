#pragma once

#include "zpushbutton.h"

// A warning-coloured button for destructive actions; colours from the palette at paint time.
class ZWarningButton : public ZPushButton
{
    Q_OBJECT
public:
    explicit ZWarningButton(QWidget *parent = nullptr);
    explicit ZWarningButton(const QString &text, QWidget *parent = nullptr);

protected:
    Colors colors() const override;
};
