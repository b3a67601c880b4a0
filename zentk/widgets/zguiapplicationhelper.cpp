#include "zguiapplicationhelper.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <QPointer>

namespace {

const char kPortalService[] = "org.freedesktop.portal.Desktop";
const char kPortalPath[] = "/org/freedesktop/portal/desktop";
const char kPortalInterface[] = "org.freedesktop.portal.Settings";
const char kAppearance[] = "org.freedesktop.appearance";
const char kColorScheme[] = "color-scheme";

// The portal's answer may be wrapped in one or two variants.
QVariant unwrap(QVariant v)
{
    while (v.canConvert<QDBusVariant>() && v.metaType() == QMetaType::fromType<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    return v;
}

// 1 prefers dark, 2 prefers light, anything else states no preference.
ZGuiApplicationHelper::ColorType fromColorScheme(const QVariant &value)
{
    bool ok = false;
    const uint scheme = unwrap(value).toUInt(&ok);
    if (!ok)
        return ZGuiApplicationHelper::UnknownType;
    return scheme == 1   ? ZGuiApplicationHelper::DarkType
           : scheme == 2 ? ZGuiApplicationHelper::LightType
                         : ZGuiApplicationHelper::UnknownType;
}

} // namespace

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
    watchDesktopPreference();
}

void ZGuiApplicationHelper::watchDesktopPreference()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // The slot's argument type must be known by name before D-Bus can match it.
    qRegisterMetaType<QDBusVariant>();
    // QDBusConnection::connect only takes a slot signature, and an exact one:
    // it is not normalised, so no spaces.
    // clang-format off
    bus.connect(QString(), QLatin1String(kPortalPath), QLatin1String(kPortalInterface),
                QStringLiteral("SettingChanged"), this,
                SLOT(onPortalSettingChanged(QString,QString,QDBusVariant)));
    // clang-format on
    // Asked asynchronously: a missing or slow portal must not hold up start-up.
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kPortalService), QLatin1String(kPortalPath),
                                       QLatin1String(kPortalInterface), QStringLiteral("Read"));
    call << QLatin1String(kAppearance) << QLatin1String(kColorScheme);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isError())
            setDesktopType(fromColorScheme(QVariant::fromValue(reply.value())));
        w->deleteLater();
    });
}

void ZGuiApplicationHelper::onPortalSettingChanged(const QString &group, const QString &key,
                                                   const QDBusVariant &value)
{
    if (group == QLatin1String(kAppearance) && key == QLatin1String(kColorScheme))
        setDesktopType(fromColorScheme(QVariant::fromValue(value)));
}

void ZGuiApplicationHelper::setDesktopType(ColorType type)
{
    m_schemeType = type;
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
    return m_schemeType != UnknownType ? m_schemeType : m_desktopType;
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
    // Qt sends a desktop theme change to each window, not to the application.
    // Read the desktop's palette again by dropping ours for a moment.
    if (event->type() == QEvent::ThemeChange && watched->isWindowType() && !m_applying) {
        m_applying = true;
        QApplication::setPalette(QPalette());
        m_desktopType = toColorType(QGuiApplication::palette().color(QPalette::Active, QPalette::Window));
        QApplication::setPalette(m_palette);
        m_applying = false;
        update();
    }
    return QObject::eventFilter(watched, event);
}
