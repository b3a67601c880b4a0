#pragma once

#include <QDialog>
#include <QPointer>

class QPushButton;

// Base of the desktop's dialogs: frameless, painted from the palette, and
// movable by dragging any empty area.
//
// Enter and Return act on the focused push button. From any other control
// they reach only the enter button the dialog names, never a destructive
// one, so a slip of the key cannot confirm what the user did not choose.
class ZAbstractDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ZAbstractDialog(QWidget *parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

    void setEnterButton(QPushButton *button);
    QPushButton *enterButton() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<QPushButton> m_enterButton;
};
