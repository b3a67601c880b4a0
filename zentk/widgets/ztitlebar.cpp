#include "ztitlebar.h"

#include "zapplication.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

namespace {
QToolButton *makeButton(QWidget *parent, const char *name, QStyle::StandardPixmap pixmap)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIcon(parent->style()->standardIcon(pixmap));
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(40, 40);
    return b;
}
} // namespace

ZTitlebar::ZTitlebar(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("ZTitlebar"));
    setFixedHeight(46);
    setAutoFillBackground(true);

    m_iconLabel = new QLabel(this);
    m_iconLabel->setObjectName(QStringLiteral("ZTitlebarIcon"));
    m_iconLabel->setFixedSize(32, 32);
    m_titleLabel = new QLabel(this);
    m_titleLabel->setObjectName(QStringLiteral("ZTitlebarTitle"));
    m_titleLabel->setAlignment(Qt::AlignCenter);

    m_menuButton = makeButton(this, "ZTitlebarMenuButton", QStyle::SP_TitleBarMenuButton);
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    m_minButton = makeButton(this, "ZTitlebarMinButton", QStyle::SP_TitleBarMinButton);
    m_maxButton = makeButton(this, "ZTitlebarMaxButton", QStyle::SP_TitleBarMaxButton);
    m_closeButton = makeButton(this, "ZTitlebarCloseButton", QStyle::SP_TitleBarCloseButton);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_iconLabel);
    layout->addWidget(m_titleLabel, 1);
    layout->addWidget(m_menuButton);
    layout->addWidget(m_minButton);
    layout->addWidget(m_maxButton);
    layout->addWidget(m_closeButton);

    m_aboutAction = new QAction(tr("关于"), this);
    m_aboutAction->setObjectName(QStringLiteral("ZTitlebarAboutAction"));
    m_quitAction = new QAction(tr("退出"), this);
    m_quitAction->setObjectName(QStringLiteral("ZTitlebarQuitAction"));
    connect(m_aboutAction, &QAction::triggered, this, [] {
        if (ZApplication *app = ZApplication::instance())
            app->showAboutDialog();
    });
    connect(m_quitAction, &QAction::triggered, this, [this] {
        if (window())
            window()->close();
    });
    setMenu(new QMenu(this));

    connect(m_minButton, &QToolButton::clicked, this, [this] { window()->showMinimized(); });
    connect(m_maxButton, &QToolButton::clicked, this, &ZTitlebar::toggleMaximized);
    connect(m_closeButton, &QToolButton::clicked, this, [this] { window()->close(); });
}

void ZTitlebar::setTitle(const QString &title)
{
    m_titleLabel->setText(title);
}

QString ZTitlebar::title() const
{
    return m_titleLabel->text();
}

void ZTitlebar::setIcon(const QIcon &icon)
{
    m_iconLabel->setPixmap(icon.pixmap(QSize(32, 32)));
}

void ZTitlebar::setMenu(QMenu *menu)
{
    if (m_menu == menu)
        return;
    if (m_menu)
        disconnect(m_menu, &QMenu::aboutToShow, this, nullptr);
    m_menu = menu;
    m_menuButton->setMenu(menu);
    if (menu) {
        appendOwnActions();
        connect(menu, &QMenu::aboutToShow, this, &ZTitlebar::appendOwnActions);
    }
}

void ZTitlebar::appendOwnActions()
{
    if (!m_menu)
        return;
    // Keep ours last even after the window added its own entries.
    m_menu->removeAction(m_aboutAction);
    m_menu->removeAction(m_quitAction);
    m_menu->addAction(m_aboutAction);
    m_menu->addAction(m_quitAction);
}

QMenu *ZTitlebar::menu() const
{
    return m_menu;
}

void ZTitlebar::setMenuVisible(bool visible)
{
    m_menuButton->setVisible(visible);
}

void ZTitlebar::setAutoSystemMove(bool enabled)
{
    m_autoMove = enabled;
}

void ZTitlebar::toggleMaximized()
{
    QWidget *w = window();
    if (w->isMaximized())
        w->showNormal();
    else
        w->showMaximized();
}

void ZTitlebar::updateMaxButton()
{
    const bool max = window()->isMaximized();
    m_maxButton->setIcon(
        style()->standardIcon(max ? QStyle::SP_TitleBarNormalButton : QStyle::SP_TitleBarMaxButton));
}

void ZTitlebar::mousePressEvent(QMouseEvent *event)
{
    // A window that handles the press itself must not see a second move started here.
    const bool handledElsewhere = isSignalConnected(QMetaMethod::fromSignal(&ZTitlebar::mousePressed));
    emit mousePressed(event->buttons());
    if (m_autoMove && !handledElsewhere && event->button() == Qt::LeftButton && window()->windowHandle())
        window()->windowHandle()->startSystemMove();
    QFrame::mousePressEvent(event);
}

void ZTitlebar::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        toggleMaximized();
    QFrame::mouseDoubleClickEvent(event);
}

bool ZTitlebar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::WindowStateChange)
        updateMaxButton();
    return QFrame::eventFilter(watched, event);
}

void ZTitlebar::showEvent(QShowEvent *event)
{
    if (window() != m_watchedWindow && window() != this) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = window();
        m_watchedWindow->installEventFilter(this);
    }
    updateMaxButton();
    QFrame::showEvent(event);
}
