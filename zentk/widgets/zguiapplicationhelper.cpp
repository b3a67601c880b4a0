#include "zguiapplicationhelper.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>

ZGuiApplicationHelper *ZGuiApplicationHelper::instance()
{
    static QPointer<ZGuiApplicationHelper> s_instance;
    if (!s_instance && qApp)
        s_instance = new ZGuiApplicationHelper(qApp);
    return s_instance;
}

ZGuiApplicationHelper::ZGuiApplicationHelper(QObject *parent) : QObject(parent)
{
    // The palette Qt starts with is the desktop's (platform theme), before we replace it.
    m_desktopType = toColorType(QGuiApplication::palette().color(QPalette::Active, QPalette::Window));
    const QByteArray forced = qgetenv("ZENTK_THEME").trimmed().toLower();
    if (forced == "light")
        m_paletteType = LightType;
    else if (forced == "dark")
        m_paletteType = DarkType;
    qApp->installEventFilter(this);
    update();
}

ZGuiApplicationHelper::ColorType ZGuiApplicationHelper::toColorType(const QColor &windowColor)
{
    return windowColor.lightnessF() < 0.5 ? DarkType : LightType;
}

ZGuiApplicationHelper::ColorType ZGuiApplicationHelper::themeType() const
{
    return m_themeType;
}

ZGuiApplicationHelper::ColorType ZGuiApplicationHelper::paletteType() const
{
    return m_paletteType;
}

void ZGuiApplicationHelper::setPaletteType(ColorType type)
{
    if (type == m_paletteType)
        return;
    m_paletteType = type;
    update();
}

ZPalette ZGuiApplicationHelper::applicationPalette() const
{
    return m_palette;
}

ZPalette ZGuiApplicationHelper::standardPalette(ColorType type)
{
    return type == DarkType ? ZPalette::darkPalette() : ZPalette::lightPalette();
}

ZGuiApplicationHelper::ColorType ZGuiApplicationHelper::desktopType() const
{
    return m_desktopType;
}

void ZGuiApplicationHelper::update()
{
    const ColorType type = m_paletteType != UnknownType ? m_paletteType : desktopType();
    if (type == m_themeType)
        return;
    m_themeType = type;
    m_palette = standardPalette(type);
    m_applying = true;
    QApplication::setPalette(m_palette);
    m_applying = false;
    emit themeTypeChanged(type);
    emit applicationPaletteChanged();
}

bool ZGuiApplicationHelper::eventFilter(QObject *watched, QEvent *event)
{
    // A desktop theme change: read the desktop's palette again by dropping ours for a moment.
    if (watched == qApp && event->type() == QEvent::ThemeChange && !m_applying) {
        m_applying = true;
        QApplication::setPalette(QPalette());
        m_desktopType = toColorType(QGuiApplication::palette().color(QPalette::Active, QPalette::Window));
        QApplication::setPalette(m_palette);
        m_applying = false;
        update();
    }
    return QObject::eventFilter(watched, event);
}
