#include "ztitlebar.h"

#include "zapplication.h"
#include "zpaint_p.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QShortcut>
#include <QToolButton>
#include <QWindow>

using ZentkPaint::Glyph;

namespace {
ZentkWindowButton *makeButton(QWidget *parent, const char *name, Glyph glyph)
{
    auto *b = new ZentkWindowButton(glyph, parent);
    b->setObjectName(QLatin1String(name));
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
    m_titleLabel->installEventFilter(this);

    m_menuButton = makeButton(this, "ZTitlebarMenuButton", Glyph::Menu);
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    m_minButton = makeButton(this, "ZTitlebarMinButton", Glyph::Minimize);
    m_maxButton = makeButton(this, "ZTitlebarMaxButton", Glyph::Maximize);
    auto *close = makeButton(this, "ZTitlebarCloseButton", Glyph::Close);
    close->setDanger(true);
    m_closeButton = close;

    m_menuButton->setToolTip(tr("主菜单"));
    m_minButton->setToolTip(tr("最小化"));
    m_maxButton->setToolTip(tr("最大化"));
    m_closeButton->setToolTip(tr("关闭"));
    for (QToolButton *b : {m_menuButton, m_minButton, m_maxButton, m_closeButton})
        b->setAccessibleName(b->toolTip());
    m_menuButton->setToolTip(tr("主菜单 (F10)"));

    // The menu from the keyboard, wherever the focus is in the window.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    menuKey->setObjectName(QStringLiteral("ZTitlebarMenuShortcut"));
    connect(menuKey, &QShortcut::activated, this, [this] {
        if (m_menu && m_menuButton->isVisible())
            m_menuButton->showMenu();
    });

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 3, 0);
    layout->setSpacing(0);
    layout->addWidget(m_iconLabel);
    // The title is centred on the whole bar, not on the room between icon and buttons.
    layout->addStretch(1);
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
    placeTitle();
}

void ZTitlebar::placeTitle()
{
    int left = m_iconLabel->geometry().right() + 8;
    int right = width() - 8;
    for (QWidget *b : {m_menuButton, m_minButton, m_maxButton, m_closeButton}) {
        if (!b->isHidden())
            right = qMin(right, b->geometry().left() - 8);
    }
    const int wanted = m_titleLabel->sizeHint().width();
    const int room = qMax(0, right - left);
    int x = (width() - wanted) / 2;
    x = qBound(left, x, qMax(left, right - wanted));
    m_titleLabel->setGeometry(x, 0, qMin(wanted, room), height());
}

void ZTitlebar::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    placeTitle();
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
    if (layout())
        layout()->activate();
    placeTitle();
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
    static_cast<ZentkWindowButton *>(m_maxButton)->setGlyph(max ? Glyph::Restore : Glyph::Maximize);
    m_maxButton->setToolTip(max ? tr("还原") : tr("最大化"));
    m_maxButton->setAccessibleName(m_maxButton->toolTip());
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
    if (watched == m_titleLabel && event->type() == QEvent::FontChange)
        placeTitle();
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
