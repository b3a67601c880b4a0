#pragma once

#include "zpaint_p.h"

#include <QImage>
#include <QWidget>

// What a look at a rendered control would tell: whether something on it
// stands out from its background enough to be read.
namespace RenderChecks {

inline QImage render(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// The strongest contrast any opaque pixel of `region` has against `bg`.
inline qreal maxContrast(const QImage &image, const QColor &bg, QRect region = QRect())
{
    if (region.isNull())
        region = image.rect();
    region &= image.rect();
    qreal best = 1.0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255)
                best = qMax(best, ZentkPaint::contrastRatio(c, bg));
        }
    }
    return best;
}

} // namespace RenderChecks
