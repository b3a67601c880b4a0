#pragma once

#include "zpushbutton.h"

// An accent-coloured primary button; colours from the palette at paint time.
class ZSuggestButton : public ZPushButton
{
    Q_OBJECT
public:
    explicit ZSuggestButton(QWidget *parent = nullptr);
    explicit ZSuggestButton(const QString &text, QWidget *parent = nullptr);

protected:
    Colors colors() const override;
};
