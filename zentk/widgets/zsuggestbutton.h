#pragma once

#include <QPushButton>

// An accent-coloured primary button; colours from the palette at paint time.
class ZSuggestButton : public QPushButton
{
    Q_OBJECT
public:
    explicit ZSuggestButton(QWidget *parent = nullptr);
    explicit ZSuggestButton(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
