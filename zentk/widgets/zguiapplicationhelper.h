#pragma once

#include "zpalette.h"

#include <QDBusVariant>
#include <QObject>

// Owns the application's theme: light or dark, following the desktop unless
// forced (ZENTK_THEME=light|dark or setPaletteType), and keeps the
// QApplication palette in step so plain Qt widgets follow too. The desktop's
// preference is its colour-scheme setting (freedesktop settings portal on the
// session bus) when it states one, else the lightness of its palette.
class ZGuiApplicationHelper : public QObject
{
    Q_OBJECT
public:
    enum ColorType { UnknownType, LightType, DarkType };
    Q_ENUM(ColorType)

    static ZGuiApplicationHelper *instance();

    ColorType themeType() const;   // the effective theme
    ColorType paletteType() const; // the forced type, UnknownType when following the desktop
    void setPaletteType(ColorType type);

    ZPalette applicationPalette() const;
    static ZPalette standardPalette(ColorType type);
    // Light or dark by the lightness of a window colour.
    static ColorType toColorType(const QColor &windowColor);

signals:
    void applicationPaletteChanged();
    void themeTypeChanged(ColorType type);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void onPortalSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    explicit ZGuiApplicationHelper(QObject *parent);
    void watchDesktopPreference();
    void setDesktopType(ColorType type);
    ColorType desktopType() const;
    void update();

    ColorType m_paletteType = UnknownType;
    ColorType m_themeType = UnknownType;
    ColorType m_desktopType = LightType;  // from the platform palette
    ColorType m_schemeType = UnknownType; // the desktop's stated colour scheme
    ZPalette m_palette;
    bool m_applying = false;
};
