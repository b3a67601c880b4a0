#include "zabstractdialog.h"

#include "zguiapplicationhelper.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

ZAbstractDialog::ZAbstractDialog(QWidget *parent, Qt::WindowFlags f) : QDialog(parent, f)
{
    setWindowFlag(Qt::FramelessWindowHint, true);
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
