#include "zicontheme.h"

#include "zguiapplicationhelper.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSettings>

namespace {

struct ThemeDirs
{
    QStringList dirs; // absolute subdirectories holding icons
};

// Qt's own search paths depend on the platform theme (offscreen has none),
// so the XDG locations are always added.
QStringList iconRoots()
{
    QStringList roots = QIcon::themeSearchPaths();
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    const QStringList extra = QStringList{dataHome, QDir::homePath() + QStringLiteral("/.icons")} +
                              dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (QString dir : extra) {
        if (!dir.endsWith(QLatin1String("/.icons")))
            dir += QStringLiteral("/icons");
        if (QDir::isAbsolutePath(dir) && !roots.contains(dir))
            roots << dir;
    }
    return roots;
}

// The icon directories of a theme, from its index.theme, found once.
const ThemeDirs &themeDirs(const QString &theme)
{
    static QHash<QString, ThemeDirs> cache;
    auto it = cache.find(theme);
    if (it != cache.end())
        return *it;
    ThemeDirs result;
    for (const QString &root : iconRoots()) {
        if (root.startsWith(QLatin1Char(':')))
            continue;
        const QString base = root + QLatin1Char('/') + theme;
        const QString index = base + QStringLiteral("/index.theme");
        if (!QFileInfo(index).isFile())
            continue;
        QSettings ini(index, QSettings::IniFormat);
        QStringList sub = ini.value(QStringLiteral("Icon Theme/Directories")).toStringList();
        sub += ini.value(QStringLiteral("Icon Theme/ScaledDirectories")).toStringList();
        for (const QString &s : std::as_const(sub)) {
            if (!s.contains(QLatin1String("..")))
                result.dirs << base + QLatin1Char('/') + s;
        }
    }
    return *cache.insert(theme, result);
}

QIcon lookInTheme(const QString &theme, const QString &name)
{
    QIcon icon;
    for (const QString &dir : themeDirs(theme).dirs) {
        for (const char *ext : {".svg", ".png"}) {
            const QString file = dir + QLatin1Char('/') + name + QLatin1String(ext);
            if (QFileInfo(file).isFile())
                icon.addFile(file);
        }
    }
    return icon;
}

} // namespace

QStringList ZIconTheme::fallbackThemes()
{
    const auto *helper = ZGuiApplicationHelper::instance();
    const bool dark = helper && helper->themeType() == ZGuiApplicationHelper::DarkType;
    return dark ? QStringList{QStringLiteral("breeze-dark"), QStringLiteral("breeze"),
                              QStringLiteral("hicolor")}
                : QStringList{QStringLiteral("breeze"), QStringLiteral("hicolor")};
}

QIcon ZIconTheme::findQIcon(const QString &iconName)
{
    if (iconName.isEmpty() || iconName.contains(QLatin1Char('/')))
        return QIcon();
    if (QIcon::hasThemeIcon(iconName))
        return QIcon::fromTheme(iconName);
    static QHash<QString, QIcon> cache;
    const QString key = fallbackThemes().join(QLatin1Char(',')) + QLatin1Char('|') + iconName;
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    QIcon found;
    for (const QString &theme : fallbackThemes()) {
        found = lookInTheme(theme, iconName);
        if (!found.isNull())
            break;
    }
    cache.insert(key, found);
    return found;
}
