#include "zmainwindow.h"

#include "zapplication.h"
#include "ztitlebar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

ZMainWindow::ZMainWindow(QWidget *parent) : QMainWindow(parent), m_titlebar(new ZTitlebar(this))
{
    setWindowFlag(Qt::FramelessWindowHint, true);
    setMenuWidget(m_titlebar);
    if (ZApplication *app = ZApplication::instance()) {
        m_titlebar->setIcon(app->productIcon());
        connect(app, &ZApplication::newInstanceStarted, this, [this] {
            qInfo("[ZMainWindow] brought forward for another start");
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

Qt::Edges ZMainWindow::edgesAt(const QPoint &pos, const QSize &size)
{
    Qt::Edges edges;
    if (pos.x() < kResizeMargin)
        edges |= Qt::LeftEdge;
    if (pos.x() >= size.width() - kResizeMargin)
        edges |= Qt::RightEdge;
    if (pos.y() < kResizeMargin)
        edges |= Qt::TopEdge;
    if (pos.y() >= size.height() - kResizeMargin)
        edges |= Qt::BottomEdge;
    return edges;
}

void ZMainWindow::showEvent(QShowEvent *event)
{
    // The native window sees every mouse event before any child widget does.
    if (!m_resizeWatch && windowHandle()) {
        windowHandle()->installEventFilter(this);
        m_resizeWatch = true;
    }
    QMainWindow::showEvent(event);
}

void ZMainWindow::keyPressEvent(QKeyEvent *event)
{
    // Outside a dialog a push button takes only Space: Enter and Return come
    // up to the window, which hands them to the focused button. A control that
    // takes Enter itself (a list, a table) keeps it and never sends it here.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto *button = qobject_cast<QAbstractButton *>(QApplication::focusWidget());
    if (enter && button && button->window() == this && button->isEnabled() && !event->isAutoRepeat() &&
        !(event->modifiers() & ~Qt::KeypadModifier)) {
        button->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool ZMainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != windowHandle() || isMaximized() || isFullScreen())
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress) {
        auto *me = static_cast<QMouseEvent *>(event);
        const Qt::Edges edges = edgesAt(me->position().toPoint(), size());
        if (event->type() == QEvent::MouseButtonPress && me->button() == Qt::LeftButton && edges) {
            if (windowHandle()->startSystemResize(edges))
                return true;
        } else if (event->type() == QEvent::MouseMove && me->buttons() == Qt::NoButton) {
            Qt::CursorShape shape = Qt::ArrowCursor;
            if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
                shape = Qt::SizeFDiagCursor;
            else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
                shape = Qt::SizeBDiagCursor;
            else if (edges & (Qt::LeftEdge | Qt::RightEdge))
                shape = Qt::SizeHorCursor;
            else if (edges & (Qt::TopEdge | Qt::BottomEdge))
                shape = Qt::SizeVerCursor;
            if (edges) {
                windowHandle()->setCursor(shape);
                m_edgeCursor = true;
            } else if (m_edgeCursor) {
                windowHandle()->unsetCursor();
                m_edgeCursor = false;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
