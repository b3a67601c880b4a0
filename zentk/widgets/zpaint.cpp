#include "zpaint_p.h"

#include "zguiapplicationhelper.h"

#include <QEvent>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyleOptionButton>

namespace {

qreal luminance(const QColor &c)
{
    auto channel = [](qreal v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

// Moves `from` towards `target` in small steps until `ok` holds.
template <typename Pred> QColor moveUntil(const QColor &from, const QColor &target, Pred ok)
{
    for (int step = 0; step <= 20; ++step) {
        const QColor c = mix(from, target, step / 20.0);
        if (ok(c))
            return c;
    }
    return target;
}

void drawGlyph(QPainter *p, const QRectF &area, ZentkPaint::Glyph glyph, const QColor &color)
{
    const qreal side = qMin(area.width(), area.height());
    const qreal pen = qMax<qreal>(1.0, std::round(side / 16.0));
    // Odd pen widths sit on pixel centres so 1 px lines stay sharp.
    const qreal half = int(pen) % 2 ? 0.5 : 0.0;
    const QPointF c(std::floor(area.center().x()) + half, std::floor(area.center().y()) + half);
    const qreal g = std::round(side * 0.3125); // half the glyph's box: 5 px of a 16 px icon
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(color, pen, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p->setBrush(Qt::NoBrush);
    using ZentkPaint::Glyph;
    switch (glyph) {
    case Glyph::Menu:
        for (int row = -1; row <= 1; ++row) {
            const qreal y = c.y() + row * std::round(side / 4.0);
            p->drawLine(QPointF(c.x() - g - 1, y), QPointF(c.x() + g + 1, y));
        }
        break;
    case Glyph::Minimize:
        p->drawLine(QPointF(c.x() - g, c.y()), QPointF(c.x() + g, c.y()));
        break;
    case Glyph::Maximize:
        p->drawRect(QRectF(c.x() - g, c.y() - g, 2 * g, 2 * g));
        break;
    case Glyph::Restore: {
        const qreal s = 2 * g - 2 * pen;
        const QRectF front(c.x() - g, c.y() - g + 2 * pen, s, s);
        p->drawRect(front);
        // The window behind shows only its top and right edges.
        QPainterPath back;
        back.moveTo(front.left() + 2 * pen, front.top() - 2 * pen);
        back.lineTo(front.right() + 2 * pen, front.top() - 2 * pen);
        back.lineTo(front.right() + 2 * pen, front.bottom() - 2 * pen);
        p->drawPath(back);
        break;
    }
    case Glyph::Close:
        p->setPen(QPen(color, pen * 1.2, Qt::SolidLine, Qt::RoundCap));
        p->drawLine(QPointF(c.x() - g + 0.5, c.y() - g + 0.5), QPointF(c.x() + g - 0.5, c.y() + g - 0.5));
        p->drawLine(QPointF(c.x() + g - 0.5, c.y() - g + 0.5), QPointF(c.x() - g + 0.5, c.y() + g - 0.5));
        break;
    case Glyph::Add:
        p->drawLine(QPointF(c.x() - g, c.y()), QPointF(c.x() + g, c.y()));
        p->drawLine(QPointF(c.x(), c.y() - g), QPointF(c.x(), c.y() + g));
        break;
    }
    p->restore();
}

// Paints on demand, so the glyph always has the current theme's colour.
class GlyphEngine : public QIconEngine
{
public:
    explicit GlyphEngine(ZentkPaint::Glyph glyph) : m_glyph(glyph) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
        QColor color = pal.color(QPalette::Active, QPalette::WindowText);
        if (mode == QIcon::Disabled)
            color = pal.color(QPalette::Disabled, QPalette::WindowText);
        else if (mode == QIcon::Selected)
            color = pal.color(QPalette::Active, QPalette::HighlightedText);
        drawGlyph(painter, rect, m_glyph, color);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(), size), mode, state);
        return pm;
    }

    QIconEngine *clone() const override { return new GlyphEngine(m_glyph); }
    QString key() const override { return QStringLiteral("zentk-glyph"); }

private:
    ZentkPaint::Glyph m_glyph;
};

} // namespace

namespace ZentkPaint {

qreal contrastRatio(const QColor &a, const QColor &b)
{
    const qreal la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor readableOn(const QColor &fg, const QColor &bg, qreal minRatio)
{
    const QColor target = contrastRatio(Qt::white, bg) > contrastRatio(Qt::black, bg) ? Qt::white : Qt::black;
    return moveUntil(fg, target, [&](const QColor &c) { return contrastRatio(c, bg) >= minRatio; });
}

QColor fillBehind(const QColor &fill, const QColor &text, qreal minRatio)
{
    const QColor target = luminance(text) > luminance(fill) ? Qt::black : Qt::white;
    return moveUntil(fill, target, [&](const QColor &c) { return contrastRatio(c, text) >= minRatio; });
}

QIcon glyphIcon(Glyph glyph)
{
    return QIcon(new GlyphEngine(glyph));
}

// A rounded button filled with `fill`, deepened where needed so that `text`
// stays readable on it. A filled button darkens on hover and press; one with
// an `outline` (a plain button) moves towards its text colour instead, which
// shows in both themes.
void paintFilledButton(QPushButton *button, QColor fill, QColor text, const QColor &outline)
{
    QStyleOptionButton opt;
    opt.initFrom(button);
    fill = ZentkPaint::fillBehind(fill, text);
    const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
    if (!button->isEnabled()) {
        // A faded accent still reads as a live button on a dark window; plain grey does not.
        fill = pal.color(QPalette::Disabled, QPalette::Button);
        text = pal.color(QPalette::Disabled, QPalette::ButtonText);
    } else if (button->isDown() || (opt.state & QStyle::State_MouseOver)) {
        const bool down = button->isDown();
        if (outline.isValid())
            fill = mix(fill, text, down ? 0.16 : 0.08);
        else
            fill = fill.darker(down ? 125 : 110);
    }
    QPainter p(button);
    p.setRenderHint(QPainter::Antialiasing);
    if (button->hasFocus() && button->isEnabled())
        p.setPen(QPen(outline.isValid() ? pal.color(QPalette::Active, QPalette::Highlight) : fill.darker(140),
                      1.5));
    else if (outline.isValid())
        p.setPen(QPen(outline, 1));
    else
        p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(button->rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    QRect area = button->rect().adjusted(8, 0, -8, 0);
    if (!button->icon().isNull()) {
        const QSize is = button->iconSize();
        const int textWidth = button->fontMetrics().horizontalAdvance(button->text());
        const int total = is.width() + (button->text().isEmpty() ? 0 : 6 + textWidth);
        const int x = area.center().x() - total / 2;
        button->icon().paint(&p, QRect(QPoint(x, area.center().y() - is.height() / 2), is));
        area.setLeft(x + is.width() + 6);
        area.setWidth(textWidth);
    }
    p.setPen(text);
    p.setFont(button->font());
    p.drawText(area, Qt::AlignCenter | Qt::TextShowMnemonic, button->text());
}

QSize filledButtonSizeHint(const QPushButton *button, const QSize &styleHint)
{
    int content = button->fontMetrics().horizontalAdvance(button->text());
    if (!button->icon().isNull())
        content += button->iconSize().width() + (button->text().isEmpty() ? 0 : 6);
    // 8 px of margin each side as painted, plus a little air so the text never touches the rounding.
    return QSize(qMax(styleHint.width(), content + 2 * 8 + 8), styleHint.height());
}

} // namespace ZentkPaint

ZentkWindowButton::ZentkWindowButton(ZentkPaint::Glyph glyph, QWidget *parent)
    : QToolButton(parent), m_glyph(glyph)
{
    setAutoRaise(true);
    // Reachable by Tab, not taken by a click.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setIconSize(QSize(16, 16));
    setIcon(ZentkPaint::glyphIcon(glyph));
}

void ZentkWindowButton::setGlyph(ZentkPaint::Glyph glyph)
{
    if (glyph == m_glyph)
        return;
    m_glyph = glyph;
    setIcon(ZentkPaint::glyphIcon(glyph));
}

QColor ZentkWindowButton::backdropColor() const
{
    const bool down = isDown();
    if (!isEnabled() || (!down && !underMouse()))
        return QColor();
    const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
    if (m_danger) {
        const QColor fill = ZentkPaint::fillBehind(pal.color(QPalette::Active, ZPalette::TextWarning),
                                                   pal.color(QPalette::Active, QPalette::HighlightedText));
        return down ? fill.darker(115) : fill;
    }
    QColor wash = pal.color(QPalette::Active, QPalette::WindowText);
    wash.setAlphaF(down ? 0.18 : 0.10);
    return wash;
}

bool ZentkWindowButton::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        update();
        break;
    case QEvent::ToolTipChange:
        // The glyph says nothing to a screen reader: the tip names the button unless a name was given.
        if (accessibleName().isEmpty())
            setAccessibleName(toolTip());
        break;
    default:
        break;
    }
    return QToolButton::event(event);
}

void ZentkWindowButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor backdrop = backdropColor();
    if (backdrop.isValid()) {
        const qreal inset = qMin(width(), height()) > 32 ? 4 : 1;
        p.setPen(Qt::NoPen);
        p.setBrush(backdrop);
        p.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 6, 6);
    }
    if (hasFocus()) {
        const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
        p.setPen(QPen(pal.color(QPalette::Active, QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(3, 3, -3, -3), 6, 6);
    }
    QIcon::Mode mode = QIcon::Normal;
    if (!isEnabled())
        mode = QIcon::Disabled;
    else if (m_danger && backdrop.isValid())
        mode = QIcon::Selected;
    const QSize is = iconSize();
    icon().paint(&p, QRect(QPoint((width() - is.width()) / 2, (height() - is.height()) / 2), is),
                 Qt::AlignCenter, mode);
}
