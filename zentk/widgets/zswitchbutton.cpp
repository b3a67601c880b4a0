#include "zswitchbutton.h"

#include "zguiapplicationhelper.h"

#include <QPainter>
#include <QVariantAnimation>

ZSwitchButton::ZSwitchButton(QWidget *parent) : QAbstractButton(parent), m_slide(new QVariantAnimation(this))
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_slide->setDuration(150);
    m_slide->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_slide, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        m_slide->stop();
        // Programmatic changes on a hidden switch need no slide.
        if (!m_animated || !isVisible()) {
            update();
            return;
        }
        m_slide->setStartValue(on ? 0.0 : 1.0);
        m_slide->setEndValue(on ? 1.0 : 0.0);
        m_slide->start();
    });
}

void ZSwitchButton::setAnimated(bool animated)
{
    m_animated = animated;
    if (!animated)
        m_slide->stop();
}

bool ZSwitchButton::isAnimated() const
{
    return m_animated;
}

qreal ZSwitchButton::knobPosition() const
{
    if (m_slide->state() == QAbstractAnimation::Running)
        return m_slide->currentValue().toReal();
    return isChecked() ? 1.0 : 0.0;
}

QSize ZSwitchButton::sizeHint() const
{
    return QSize(50, 26);
}

void ZSwitchButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
    const auto group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // With the focus the track draws in from the ring, leaving a gap: the ring
    // is the "on" colour and would otherwise run into an "on" track.
    const qreal inset = hasFocus() ? 3 : 1;
    const QRectF track = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    const qreal r = track.height() / 2.0;
    const qreal pos = knobPosition();
    const QColor on = pal.color(group, QPalette::Highlight);
    // The off track needs 3:1 on the window in both themes: mostly the tips
    // text, a little of the frame colour to keep it quieter than text.
    const QColor border = pal.color(group, ZPalette::FrameBorder);
    const QColor tips = pal.color(QPalette::Active, ZPalette::TextTips);
    const QColor off = QColor::fromRgbF(border.redF() + (tips.redF() - border.redF()) * 0.75,
                                        border.greenF() + (tips.greenF() - border.greenF()) * 0.75,
                                        border.blueF() + (tips.blueF() - border.blueF()) * 0.75);
    QColor trackColor = QColor::fromRgbF(off.redF() + (on.redF() - off.redF()) * pos,
                                         off.greenF() + (on.greenF() - off.greenF()) * pos,
                                         off.blueF() + (on.blueF() - off.blueF()) * pos);
    if (!isEnabled())
        trackColor.setAlphaF(0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(trackColor);
    p.drawRoundedRect(track, r, r);
    if (hasFocus()) {
        p.setPen(QPen(pal.color(group, QPalette::Highlight), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), r + 2.25, r + 2.25);
    }
    const qreal knob = track.height() - 4;
    const qreal x = track.left() + 2 + (track.width() - 4 - knob) * pos;
    p.setPen(Qt::NoPen);
    // A light knob in both themes: a dark one on the dark track reads as a hole.
    p.setBrush(pal.color(group, QPalette::HighlightedText));
    p.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}
