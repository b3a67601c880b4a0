#include "zpalette.h"

namespace {

struct Scheme
{
    const char *window, *base, *alternateBase, *text, *disabledText, *button, *highlight, *highlightedText,
        *link, *toolTipBase, *shadow;
    const char *itemBackground, *textTitle, *textTips, *textWarning, *frameBorder;
};

// Contrast of every text colour against window/base is at least 4.5:1.
constexpr Scheme kLight{"#f8f8f8", "#ffffff", "#f2f4f7", "#1f1f1f", "#9a9a9a",   "#ececec",
                        "#0081ff", "#ffffff", "#0066cc", "#ffffff", "#33000000", "#f2f2f2",
                        "#1f1f1f", "#5e5e5e", "#b53b0a", "#d7d7d7"};
constexpr Scheme kDark{"#1e1e1e", "#282828", "#2f2f2f", "#e6e6e6", "#6d6d6d",   "#353535",
                       "#0081ff", "#ffffff", "#5aa9ff", "#2a2a2a", "#66000000", "#2a2a2a",
                       "#f0f0f0", "#a8a8a8", "#ff7a4d", "#444444"};

ZPalette fromScheme(const Scheme &s)
{
    ZPalette p;
    const QColor text(QString::fromLatin1(s.text));
    const QColor disabled(QString::fromLatin1(s.disabledText));
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        const auto group = QPalette::ColorGroup(g);
        const bool off = group == QPalette::Disabled;
        p.setColor(group, QPalette::Window, QColor(QString::fromLatin1(s.window)));
        p.setColor(group, QPalette::Base, QColor(QString::fromLatin1(s.base)));
        p.setColor(group, QPalette::AlternateBase, QColor(QString::fromLatin1(s.alternateBase)));
        p.setColor(group, QPalette::Button, QColor(QString::fromLatin1(s.button)));
        p.setColor(group, QPalette::WindowText, off ? disabled : text);
        p.setColor(group, QPalette::Text, off ? disabled : text);
        p.setColor(group, QPalette::ButtonText, off ? disabled : text);
        p.setColor(group, QPalette::PlaceholderText, disabled);
        p.setColor(group, QPalette::BrightText, QColor(Qt::white));
        p.setColor(group, QPalette::Highlight, QColor(QString::fromLatin1(s.highlight)));
        p.setColor(group, QPalette::HighlightedText, QColor(QString::fromLatin1(s.highlightedText)));
        p.setColor(group, QPalette::Link, QColor(QString::fromLatin1(s.link)));
        p.setColor(group, QPalette::LinkVisited, QColor(QString::fromLatin1(s.link)));
        p.setColor(group, QPalette::ToolTipBase, QColor(QString::fromLatin1(s.toolTipBase)));
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::Shadow, QColor(QString::fromLatin1(s.shadow)));
        p.setColor(group, QPalette::Light, QColor(QString::fromLatin1(s.base)).lighter(110));
        p.setColor(group, QPalette::Midlight, QColor(QString::fromLatin1(s.button)).lighter(105));
        p.setColor(group, QPalette::Mid, QColor(QString::fromLatin1(s.frameBorder)));
        p.setColor(group, QPalette::Dark, QColor(QString::fromLatin1(s.frameBorder)).darker(130));

        p.setColor(group, ZPalette::ItemBackground, QColor(QString::fromLatin1(s.itemBackground)));
        p.setColor(group, ZPalette::TextTitle, off ? disabled : QColor(QString::fromLatin1(s.textTitle)));
        p.setColor(group, ZPalette::TextTips, off ? disabled : QColor(QString::fromLatin1(s.textTips)));
        p.setColor(group, ZPalette::TextWarning, QColor(QString::fromLatin1(s.textWarning)));
        p.setColor(group, ZPalette::FrameBorder, QColor(QString::fromLatin1(s.frameBorder)));
    }
    return p;
}

} // namespace

ZPalette::ZPalette() = default;

ZPalette::ZPalette(const QPalette &palette) : QPalette(palette) {}

QColor ZPalette::color(ColorGroup group, ColorType type) const
{
    if (type <= NoType || type >= NColorTypes)
        return QColor();
    if (group == All || group < 0 || group >= NColorGroups)
        group = Active;
    return m_extra[group][type];
}

QColor ZPalette::color(ColorType type) const
{
    return color(currentColorGroup(), type);
}

void ZPalette::setColor(ColorGroup group, ColorType type, const QColor &color)
{
    if (type <= NoType || type >= NColorTypes)
        return;
    if (group == All) {
        setColor(type, color);
        return;
    }
    if (group < 0 || group >= NColorGroups)
        return;
    m_extra[group][type] = color;
}

void ZPalette::setColor(ColorType type, const QColor &color)
{
    for (int g = 0; g < NColorGroups; ++g)
        setColor(ColorGroup(g), type, color);
}

ZPalette ZPalette::lightPalette()
{
    return fromScheme(kLight);
}

ZPalette ZPalette::darkPalette()
{
    return fromScheme(kDark);
}

bool ZPalette::operator==(const ZPalette &other) const
{
    if (!QPalette::operator==(other))
        return false;
    for (int g = 0; g < NColorGroups; ++g) {
        for (int t = 0; t < NColorTypes; ++t) {
            if (m_extra[g][t] != other.m_extra[g][t])
                return false;
        }
    }
    return true;
}
