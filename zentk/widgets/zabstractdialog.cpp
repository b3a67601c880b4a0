#include "zabstractdialog.h"

#include "zguiapplicationhelper.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QWindow>

ZAbstractDialog::ZAbstractDialog(QWidget *parent, Qt::WindowFlags f) : QDialog(parent, f)
{
    setWindowFlag(Qt::FramelessWindowHint, true);
}

void ZAbstractDialog::setEnterButton(QPushButton *button)
{
    m_enterButton = button;
}

QPushButton *ZAbstractDialog::enterButton() const
{
    return m_enterButton;
}

void ZAbstractDialog::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (!enter || mods != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // QDialog would click whichever button Qt last made the default, which may
    // be a button the user tabbed away from; decide here instead.
    QAbstractButton *focused = qobject_cast<QPushButton *>(focusWidget());
    if (!focused)
        focused = qobject_cast<QToolButton *>(focusWidget());
    QAbstractButton *target = focused && focused->window() == this ? focused : m_enterButton.data();
    if (target && target->isVisible() && target->isEnabled())
        target->click();
    event->accept();
}

void ZAbstractDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
    QDialog::mousePressEvent(event);
}

void ZAbstractDialog::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(pal.color(QPalette::Active, ZPalette::FrameBorder));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
