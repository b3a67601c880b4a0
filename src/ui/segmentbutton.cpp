#include "ui/segmentbutton.h"

#include <QPainter>

#include "ui/theme.h"

#include "zguiapplicationhelper.h"
#include "zpushbutton.h"

namespace TavrinUi {

SegmentButton::SegmentButton(const QString &text, QWidget *parent) : ZPushButton(text, parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QSize SegmentButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 2 * fm.height(), fm.height() + 14);
}

void SegmentButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const ZPalette pal = appPalette();
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill = isChecked() ? pal.color(QPalette::Highlight) : pal.color(ZPalette::ItemBackground);
    if (!isChecked() && underMouse())
        fill = fill.darker(
            ZGuiApplicationHelper::instance()->themeType() == ZGuiApplicationHelper::DarkType ? 70 : 106);
    p.setPen(isChecked() ? Qt::NoPen : QPen(pal.color(ZPalette::FrameBorder), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 6, 6);
    if (hasFocus()) {
        p.setPen(QPen(pal.color(QPalette::Highlight), 1.5, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(2, 2, -2, -2), 4, 4);
    }
    p.setPen(isChecked() ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText));
    p.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace TavrinUi
