#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QMenu;
class QToolButton;

// The window's own title bar: icon, title, a menu button and the window
// buttons; a left press starts a system move of the window, unless something
// is connected to mousePressed (then that receiver moves the window).
class ZTitlebar : public QFrame
{
    Q_OBJECT
public:
    explicit ZTitlebar(QWidget *parent = nullptr);

    void setTitle(const QString &title);
    QString title() const;
    void setIcon(const QIcon &icon);
    // The title bar keeps "关于" and "退出" at the end of whatever menu it shows.
    void setMenu(QMenu *menu);
    QMenu *menu() const;
    void setMenuVisible(bool visible);
    void setAutoSystemMove(bool enabled);

signals:
    void mousePressed(Qt::MouseButtons buttons);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void toggleMaximized();
    void updateMaxButton();
    void appendOwnActions();

    QLabel *m_iconLabel;
    QLabel *m_titleLabel;
    QToolButton *m_menuButton;
    QToolButton *m_minButton;
    QToolButton *m_maxButton;
    QToolButton *m_closeButton;
    QPointer<QMenu> m_menu;
    QAction *m_aboutAction;
    QAction *m_quitAction;
    QPointer<QWidget> m_watchedWindow;
    bool m_autoMove = true;
};
