#include "zmainwindow.h"

#include "zapplication.h"
#include "ztitlebar.h"

#include <QEvent>

ZMainWindow::ZMainWindow(QWidget *parent) : QMainWindow(parent), m_titlebar(new ZTitlebar(this))
{
    setWindowFlag(Qt::FramelessWindowHint, true);
    setMenuWidget(m_titlebar);
    if (ZApplication *app = ZApplication::instance()) {
        m_titlebar->setIcon(app->productIcon());
        connect(app, &ZApplication::newInstanceStarted, this, [this] {
            if (isMinimized())
                showNormal();
            else
                show();
            raise();
            activateWindow();
        });
    }
}

ZTitlebar *ZMainWindow::titlebar() const
{
    return m_titlebar;
}

void ZMainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowTitleChange)
        m_titlebar->setTitle(windowTitle());
    QMainWindow::changeEvent(event);
}
