#include "ztabbar.h"

#include "zguiapplicationhelper.h"
#include "zpaint_p.h"

#include <QPainter>
#include <QStyleOptionTab>
#include <QToolButton>

ZTabBar::ZTabBar(QWidget *parent)
    : QTabBar(parent), m_addButton(new ZentkWindowButton(ZentkPaint::Glyph::Add, this))
{
    setAttribute(Qt::WA_Hover);
    setDrawBase(false);
    setExpanding(false);
    m_addButton->setObjectName(QStringLiteral("ZTabBarAddButton"));
    m_addButton->setText(QStringLiteral("+"));
    m_addButton->hide();
    connect(m_addButton, &QToolButton::clicked, this, &ZTabBar::tabAddRequested);
}

void ZTabBar::setAddButtonVisible(bool visible)
{
    m_addButton->setVisible(visible);
    placeAddButton();
    updateGeometry();
}

bool ZTabBar::isAddButtonVisible() const
{
    return !m_addButton->isHidden();
}

void ZTabBar::placeAddButton()
{
    const int side = qMax(24, height() - 4);
    const int x = count() > 0 ? tabRect(count() - 1).right() + 4 : 2;
    m_addButton->setGeometry(x, (height() - side) / 2, side, side);
}

void ZTabBar::tabLayoutChange()
{
    QTabBar::tabLayoutChange();
    placeAddButton();
}

void ZTabBar::resizeEvent(QResizeEvent *event)
{
    QTabBar::resizeEvent(event);
    placeAddButton();
}

QSize ZTabBar::sizeHint() const
{
    QSize s = QTabBar::sizeHint();
    if (isAddButtonVisible())
        s.rwidth() += s.height() + 8;
    return s;
}

QSize ZTabBar::minimumSizeHint() const
{
    QSize s = QTabBar::minimumSizeHint();
    if (isAddButtonVisible())
        s.rwidth() += s.height() + 8;
    return s;
}

QSize ZTabBar::tabSizeHint(int index) const
{
    // Room for the accent line under the text and some air between the tabs.
    const QSize s = QTabBar::tabSizeHint(index);
    return QSize(s.width() + 8, qMax(s.height() + 4, 32));
}

void ZTabBar::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
    const QColor window = pal.color(QPalette::Active, QPalette::Window);
    const QColor accent = ZentkPaint::readableOn(pal.color(QPalette::Active, QPalette::Highlight), window);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(pal.color(QPalette::Active, ZPalette::FrameBorder), 1));
    p.drawLine(QPointF(0, height() - 0.5), QPointF(width(), height() - 0.5));

    for (int i = 0; i < count(); ++i) {
        QStyleOptionTab opt;
        initStyleOption(&opt, i);
        const QRect r = tabRect(i);
        const bool enabled = isEnabled() && isTabEnabled(i);
        const bool selected = i == currentIndex();
        const bool hover = enabled && (opt.state & QStyle::State_MouseOver);
        if (hover && !selected) {
            QColor wash = pal.color(QPalette::Active, QPalette::WindowText);
            wash.setAlphaF(0.07);
            p.setPen(Qt::NoPen);
            p.setBrush(wash);
            p.drawRoundedRect(QRectF(r).adjusted(2, 2, -2, -3), 6, 6);
        }
        QColor text = pal.color(QPalette::Active, ZPalette::TextTips);
        if (!enabled)
            text = pal.color(QPalette::Disabled, QPalette::WindowText);
        else if (selected)
            text = accent;
        else if (hover)
            text = pal.color(QPalette::Active, QPalette::WindowText);
        if (selected) {
            p.setPen(Qt::NoPen);
            p.setBrush(enabled ? accent : text);
            p.drawRoundedRect(QRectF(r.left() + 8, r.bottom() - 2.5, r.width() - 16, 3), 1.5, 1.5);
        }

        // Keyboard focus rings the current tab, as on the other controls.
        if ((opt.state & QStyle::State_HasFocus) && (opt.state & QStyle::State_KeyboardFocusChange)) {
            p.setPen(QPen(pal.color(QPalette::Active, QPalette::Highlight), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(r).adjusted(2, 2, -2, -5), 6, 6);
        }

        QRect area = r.adjusted(8 + opt.leftButtonSize.width(), 0, -8 - opt.rightButtonSize.width(), -2);
        if (!opt.icon.isNull()) {
            const QSize is = iconSize();
            opt.icon.paint(&p, QRect(QPoint(area.left(), area.center().y() - is.height() / 2), is),
                           Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
            area.setLeft(area.left() + is.width() + 6);
        }
        const Qt::TextElideMode mode = elideMode() == Qt::ElideNone ? Qt::ElideRight : elideMode();
        p.setPen(text);
        p.setFont(font());
        p.drawText(area, Qt::AlignCenter | Qt::TextShowMnemonic,
                   fontMetrics().elidedText(opt.text, mode, area.width(), Qt::TextShowMnemonic));
    }
}
