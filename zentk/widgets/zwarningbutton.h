#pragma once

#include <QPushButton>

// An warning-coloured button for destructive actions; colours from the palette at paint time.
class ZWarningButton : public QPushButton
{
    Q_OBJECT
public:
    explicit ZWarningButton(QWidget *parent = nullptr);
    explicit ZWarningButton(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
