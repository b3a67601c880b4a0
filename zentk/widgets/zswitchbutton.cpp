#include "zswitchbutton.h"

#include "zguiapplicationhelper.h"

#include <QPainter>

ZSwitchButton::ZSwitchButton(QWidget *parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
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
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal r = track.height() / 2.0;
    QColor trackColor =
        isChecked() ? pal.color(group, QPalette::Highlight) : pal.color(group, ZPalette::FrameBorder);
    if (!isEnabled())
        trackColor.setAlphaF(0.5);
    p.setPen(hasFocus() ? QPen(pal.color(group, QPalette::Highlight).darker(130), 1.5) : QPen(Qt::NoPen));
    p.setBrush(trackColor);
    p.drawRoundedRect(track, r, r);
    const qreal knob = track.height() - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    p.setPen(Qt::NoPen);
    p.setBrush(pal.color(group, QPalette::Base));
    p.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}
