#pragma once

#include <QPushButton>

// An ordinary (non-primary) button in the toolkit's rounded shape: the button
// colour with a thin frame border, colours from the palette at paint time.
// The primary and warning buttons share its shape and sizing.
class ZPushButton : public QPushButton
{
    Q_OBJECT
public:
    explicit ZPushButton(QWidget *parent = nullptr);
    explicit ZPushButton(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    struct Colors
    {
        QColor fill;
        QColor text;
        QColor outline; // invalid: no outline
    };
    // Read at every paint so a theme switch needs no refresh.
    virtual Colors colors() const;
    void paintEvent(QPaintEvent *event) override;
};
