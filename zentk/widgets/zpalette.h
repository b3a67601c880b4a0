#pragma once

#include <QPalette>

// The framework palette plus the desktop's extra colour types.
class ZPalette : public QPalette
{
public:
    enum ColorType { NoType, ItemBackground, TextTitle, TextTips, TextWarning, FrameBorder, NColorTypes };

    ZPalette();
    ZPalette(const QPalette &palette);

    using QPalette::color;
    using QPalette::setColor;

    QColor color(ColorGroup group, ColorType type) const;
    QColor color(ColorType type) const;
    void setColor(ColorGroup group, ColorType type, const QColor &color);
    void setColor(ColorType type, const QColor &color); // all groups

    // Complete light and dark palettes (ordinary roles and extra types).
    static ZPalette lightPalette();
    static ZPalette darkPalette();

    bool operator==(const ZPalette &other) const;
    bool operator!=(const ZPalette &other) const { return !(*this == other); }

private:
    QColor m_extra[NColorGroups][NColorTypes];
};
