#pragma once

#include <QDialog>

// Base of the desktop's dialogs: frameless, painted from the palette, and
// movable by dragging any empty area.
class ZAbstractDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ZAbstractDialog(QWidget *parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
