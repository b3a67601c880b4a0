#include "zicontheme.h"

#include "zguiapplicationhelper.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

#include <map>
#include <memory>
#include <tuple>

namespace {

struct ThemeDir
{
    QString path; // absolute subdirectory holding icons
    int size = 0; // the pixel size its icons are drawn for
};

struct ThemeDirs
{
    QList<ThemeDir> dirs;
};

// An SVG file drawn at the sizes asked for. Qt's own engine reads the whole
// file when the icon is made, to check it, and again for every size drawn;
// this one reads it once, when it is first drawn.
class SvgFileEngine : public QIconEngine
{
public:
    explicit SvgFileEngine(QString file) : m_file(std::move(file)) {}
    SvgFileEngine(const SvgFileEngine &other) : QIconEngine(other), m_file(other.m_file) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pm = pixmap(rect.size() * ratio, mode, state);
        pm.setDevicePixelRatio(ratio);
        const QSize shown = pm.size() / ratio;
        painter->drawPixmap(QRect(rect.topLeft() + QPoint((rect.width() - shown.width()) / 2,
                                                          (rect.height() - shown.height()) / 2),
                                  shown),
                            pm);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        const QSize fitted = actualSize(size, mode, state);
        if (fitted.isEmpty())
            return QPixmap();
        const Key key{fitted.width(), fitted.height(), int(mode)};
        const auto cached = m_pixmaps.find(key);
        if (cached != m_pixmaps.end())
            return cached->second;
        QImage image(fitted, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            renderer()->render(&p, QRectF(QPointF(0, 0), fitted));
        }
        QPixmap pm = QPixmap::fromImage(std::move(image));
        if (mode != QIcon::Normal && qApp) {
            // Disabled and selected looks as the style makes them for any icon.
            QStyleOption option;
            option.palette = QGuiApplication::palette();
            pm = QApplication::style()->generatedIconPixmap(mode, pm, &option);
        }
        // The style's disabled look follows the palette: made afresh each time.
        if (mode == QIcon::Normal)
            m_pixmaps.emplace(key, pm);
        return pm;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        QSize natural = renderer()->defaultSize();
        if (natural.isEmpty())
            return QSize();
        natural.scale(size, Qt::KeepAspectRatio);
        return natural;
    }

    QString key() const override { return QStringLiteral("ZSvgFile"); }
    QIconEngine *clone() const override { return new SvgFileEngine(*this); }
    bool isNull() override { return m_file.isEmpty(); }

private:
    QSvgRenderer *renderer()
    {
        if (!m_renderer)
            m_renderer = std::make_unique<QSvgRenderer>(m_file);
        return m_renderer.get();
    }

    using Key = std::tuple<int, int, int>;
    QString m_file;
    std::unique_ptr<QSvgRenderer> m_renderer;
    std::map<Key, QPixmap> m_pixmaps;
};

QIcon iconForFile(const QString &file)
{
    if (file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return QIcon(new SvgFileEngine(file));
    return QIcon(file);
}

// One icon's files in a theme, one per size. A file is read only when an icon
// of about its size is first drawn: reading every size at look-up parses a
// dozen SVG files for an icon that is drawn at one size, if at all.
class ThemeFilesEngine : public QIconEngine
{
public:
    explicit ThemeFilesEngine(std::map<int, QString> files) : m_files(std::move(files)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        iconFor(qRound(qMax(rect.width(), rect.height()) * ratio))
            .paint(painter, rect, Qt::AlignCenter, mode, state);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return iconFor(qMax(size.width(), size.height())).pixmap(size, mode, state);
    }

    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return iconFor(qMax(size.width(), size.height())).actualSize(size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const auto &entry : m_files)
            sizes << QSize(entry.first, entry.first);
        return sizes;
    }

    QString key() const override { return QStringLiteral("ZIconThemeFiles"); }
    QIconEngine *clone() const override { return new ThemeFilesEngine(*this); }
    bool isNull() override { return m_files.empty(); }

private:
    // The smallest file drawn for at least `pixels`, else the largest.
    QIcon iconFor(int pixels)
    {
        if (m_files.empty())
            return QIcon();
        auto it = m_files.lower_bound(pixels);
        if (it == m_files.end())
            --it;
        auto loaded = m_loaded.find(it->first);
        if (loaded == m_loaded.end())
            loaded = m_loaded.emplace(it->first, iconForFile(it->second)).first;
        return loaded->second;
    }

    std::map<int, QString> m_files;
    std::map<int, QIcon> m_loaded;
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

// The directories an index.theme lists, each with the pixel size its icons
// are drawn for. Read by hand: QSettings costs more than the look-up it
// serves for the few keys that matter here.
QList<ThemeDir> parseIndexTheme(const QByteArray &data, const QString &base)
{
    QList<QByteArray> listed;
    QHash<QByteArray, std::pair<int, int>> sizes; // section -> size, scale
    QByteArray section;
    for (QByteArray line : data.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (section == "Icon Theme") {
            if (key == "Directories" || key == "ScaledDirectories") {
                for (const QByteArray &dir : value.split(',')) {
                    if (!dir.trimmed().isEmpty())
                        listed << dir.trimmed();
                }
            }
        } else if (key == "Size") {
            sizes[section].first = value.toInt();
        } else if (key == "Scale") {
            sizes[section].second = value.toInt();
        }
    }
    QList<ThemeDir> dirs;
    for (const QByteArray &dir : std::as_const(listed)) {
        if (dir.contains(".."))
            continue;
        const auto size = sizes.value(dir, {0, 1});
        dirs << ThemeDir{base + QLatin1Char('/') + QString::fromUtf8(dir), size.first * qMax(1, size.second)};
    }
    return dirs;
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
        QFile index(base + QStringLiteral("/index.theme"));
        if (!index.open(QIODevice::ReadOnly))
            continue;
        // A theme index is a few dozen kilobytes; a larger file is not one.
        // Ask for the file's size: read(n) reserves all n bytes first.
        result.dirs += parseIndexTheme(index.read(qMin<qint64>(index.size(), 4 << 20)), base);
    }
    return *cache.insert(theme, result);
}

QIcon lookInTheme(const QString &theme, const QString &name)
{
    std::map<int, QString> files;
    for (const ThemeDir &dir : themeDirs(theme).dirs) {
        for (const char *ext : {".svg", ".png"}) {
            const QString file = dir.path + QLatin1Char('/') + name + QLatin1String(ext);
            // The first directory of a size wins, as the theme lists them.
            if (!files.count(dir.size) && QFileInfo(file).isFile())
                files.emplace(dir.size, file);
        }
    }
    return files.empty() ? QIcon() : QIcon(new ThemeFilesEngine(std::move(files)));
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
    // Every name is resolved once per icon theme, misses included: a name no
    // theme has otherwise costs a probe of every theme directory each time.
    static QHash<QString, QIcon> cache;
    static QString cacheThemes;
    const QStringList fallbacks = fallbackThemes();
    const QString themes = QIcon::themeName() + QLatin1Char('|') + fallbacks.join(QLatin1Char(','));
    if (themes != cacheThemes) {
        cache.clear();
        cacheThemes = themes;
    }
    const auto it = cache.constFind(iconName);
    if (it != cache.cend())
        return *it;
    QIcon found;
    if (QIcon::hasThemeIcon(iconName))
        found = QIcon::fromTheme(iconName);
    for (int i = 0; found.isNull() && i < fallbacks.size(); ++i)
        found = lookInTheme(fallbacks.at(i), iconName);
    cache.insert(iconName, found);
    return found;
}

QIcon ZIconTheme::fileIcon(const QString &path)
{
    // Shared per file: the pictures of one file are drawn once for everyone.
    static QHash<QString, QIcon> cache;
    const auto it = cache.constFind(path);
    if (it != cache.cend())
        return *it;
    const QIcon icon = !path.isEmpty() && QFile::exists(path) ? iconForFile(path) : QIcon();
    cache.insert(path, icon);
    return icon;
}
