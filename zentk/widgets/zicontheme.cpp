#include "zicontheme.h"

#include "zguiapplicationhelper.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QSet>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

#include <cerrno>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

#include <unistd.h>

namespace {

constexpr quint16 kCacheSvg = 2;
constexpr quint16 kCachePng = 4;

struct ThemeDir
{
    QByteArray name; // as the index lists it, relative to the theme
    int size = 0;    // the pixel size its icons are drawn for
};

// A theme's icon-theme.cache, as GTK's updater writes it: which directories
// hold an icon of a name, without a stat per directory. All numbers are big
// endian; every offset is checked, so a damaged file only means no cache.
// The few records a look-up needs are read where they are: a mapping would
// bring in far more of the file than a start-up reads.
class IconCache
{
public:
    explicit IconCache(const QString &file, const QString &themeDir)
    {
        // A cache older than the theme's directory may miss what was added.
        const QFileInfo cacheInfo(file);
        if (!cacheInfo.isFile() || cacheInfo.lastModified() < QFileInfo(themeDir).lastModified())
            return;
        m_file.setFileName(file);
        if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return;
        // The header and the two counts every look-up needs, read once.
        const QByteArray header = readAt(0, 12);
        if (header.size() != 12 || number(header, 0, 2) != 1)
            return;
        m_hash = quint32(number(header, 4, 4));
        m_dirList = quint32(number(header, 8, 4));
        m_valid = read32(m_hash, &m_buckets) && m_buckets > 0 && read32(m_dirList, &m_dirCount);
    }

    bool isValid() const { return m_valid; }

    // The directories holding `name` and its image flags (2 svg, 4 png);
    // nullopt when the file does not hold together.
    std::optional<QHash<QByteArray, quint16>> lookUp(const QByteArray &name)
    {
        QHash<QByteArray, quint16> found;
        quint32 icon = 0;
        if (!read32(m_hash + 4 + 4 * quint64(hash(name) % m_buckets), &icon))
            return std::nullopt;
        const QByteArray wanted = name + '\0';
        for (int chained = 0; icon != 0xffffffff; ++chained) {
            const QByteArray record = readAt(icon, 12);
            if (chained > 4096 || record.size() != 12)
                return std::nullopt;
            if (readAt(number(record, 4, 4), wanted.size()) != wanted) {
                icon = quint32(number(record, 0, 4));
                continue;
            }
            const quint64 images = number(record, 8, 4);
            quint32 count = 0;
            if (!read32(images, &count) || count > m_dirCount)
                return std::nullopt;
            const QByteArray list = readAt(images + 4, 8 * qint64(count));
            if (list.size() != 8 * qint64(count))
                return std::nullopt;
            for (quint32 i = 0; i < count; ++i) {
                const quint32 dir = quint32(number(list, 8 * i, 2));
                const QByteArray dirName = dir < m_dirCount ? directory(dir) : QByteArray();
                if (dirName.isEmpty())
                    return std::nullopt;
                found.insert(dirName, quint16(number(list, 8 * i + 2, 2)));
            }
            break;
        }
        return found;
    }

private:
    static quint32 hash(const QByteArray &name)
    {
        // GTK's own: over signed chars, as its updater hashed them.
        quint32 h = 0;
        for (const char c : name)
            h = (h << 5) - h + quint32(qint32(static_cast<signed char>(c)));
        return h;
    }

    static quint64 number(const QByteArray &data, qsizetype at, int bytes)
    {
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | quint8(data.at(at + i));
        return value;
    }

    // Up to `length` bytes from `at`; fewer at the end of the file. One
    // positioned read, not a seek and a read.
    QByteArray readAt(quint64 at, qint64 length)
    {
        if (length <= 0 || length > (1 << 20) || at > quint64(std::numeric_limits<off_t>::max()))
            return QByteArray();
        QByteArray bytes(length, Qt::Uninitialized);
        ssize_t got;
        do {
            got = ::pread(m_file.handle(), bytes.data(), size_t(length), off_t(at));
        } while (got < 0 && errno == EINTR);
        bytes.truncate(got < 0 ? 0 : qsizetype(got));
        return bytes;
    }

    bool read32(quint64 at, quint32 *value)
    {
        const QByteArray bytes = readAt(at, 4);
        if (bytes.size() != 4)
            return false;
        *value = quint32(number(bytes, 0, 4));
        return true;
    }

    // A directory's name, read once; empty when it is not in the file.
    QByteArray directory(quint32 index)
    {
        const auto known = m_dirNames.constFind(index);
        if (known != m_dirNames.cend())
            return *known;
        quint32 at = 0;
        QByteArray name;
        if (read32(m_dirList + 4 + 4 * quint64(index), &at)) {
            name = readAt(at, 256);
            const qsizetype end = name.indexOf('\0');
            name.truncate(end < 0 ? 0 : end);
        }
        m_dirNames.insert(index, name);
        return name;
    }

    QFile m_file;
    bool m_valid = false;
    quint32 m_hash = 0;
    quint32 m_dirList = 0;
    quint32 m_buckets = 0;
    quint32 m_dirCount = 0;
    QHash<quint32, QByteArray> m_dirNames;
};

// One theme in one icon root (a theme may be in several: the user's own
// directory and the system's).
struct ThemeRoot
{
    QString base;
    QList<ThemeDir> dirs; // listed in the index; without a cache only those there
    std::shared_ptr<IconCache> cache;
};

struct ThemeDirs
{
    QList<ThemeRoot> roots;
    QStringList inherits; // the themes it names as its parents, in order
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

// The names of the subdirectories of `dir`, read once per directory.
QSet<QByteArray> subdirectoryNames(const QString &dir)
{
    QSet<QByteArray> names;
    QDirIterator it(dir, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        names.insert(it.fileName().toUtf8());
    }
    return names;
}

// The directories an index.theme lists that are there, each with the pixel
// size its icons are drawn for, and the themes it inherits from. Read by
// hand and without a copy per line: hicolor's index is 55 kB and lists some
// 650 directories, of which a few dozen are there. Each one kept costs two
// failed stats for every name looked up, while listing their parents costs
// one read of a directory each.
QList<ThemeDir> parseIndexTheme(const QByteArray &data, const QString &base, bool onlyPresent,
                                QStringList *inherits)
{
    QList<QByteArrayView> listed;
    QHash<QByteArrayView, std::pair<int, int>> sizes; // section -> size, scale
    QByteArrayView section;
    bool inThemeSection = false;
    const QByteArrayView all(data);
    for (qsizetype pos = 0; pos < all.size();) {
        qsizetype end = all.indexOf('\n', pos);
        if (end < 0)
            end = all.size();
        const QByteArrayView line = all.sliced(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.isEmpty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.sliced(1, line.size() - 2).trimmed();
            inThemeSection = section == QByteArrayView("Icon Theme");
            continue;
        }
        // A directory's section wants only Size and Scale: most of its lines
        // (Context, Type, MinSize, ...) are passed over on their first letter.
        if (!inThemeSection && line.front() != 'S')
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArrayView key = line.first(eq).trimmed();
        const QByteArrayView value = line.sliced(eq + 1).trimmed();
        if (inThemeSection) {
            const bool dirs = key == QByteArrayView("Directories") || key == QByteArrayView("ScaledDirectories");
            if (!dirs && key != QByteArrayView("Inherits"))
                continue;
            for (qsizetype from = 0; from <= value.size();) {
                qsizetype comma = value.indexOf(',', from);
                if (comma < 0)
                    comma = value.size();
                const QByteArrayView item = value.sliced(from, comma - from).trimmed();
                from = comma + 1;
                if (item.isEmpty())
                    continue;
                if (dirs) {
                    listed << item;
                } else {
                    const QString name = QString::fromUtf8(item);
                    if (!inherits->contains(name))
                        *inherits << name;
                }
            }
        } else if (key == QByteArrayView("Size")) {
            sizes[section].first = value.toInt();
        } else if (key == QByteArrayView("Scale")) {
            sizes[section].second = value.toInt();
        }
    }
    QHash<QByteArrayView, QSet<QByteArray>> children; // parent -> its subdirectories
    QList<ThemeDir> dirs;
    for (const QByteArrayView dir : std::as_const(listed)) {
        if (dir.contains(QByteArrayView("..")))
            continue;
        if (onlyPresent) {
            const qsizetype slash = dir.lastIndexOf('/');
            const QByteArrayView parent = slash < 0 ? QByteArrayView("") : dir.first(slash);
            auto known = children.find(parent);
            if (known == children.end()) {
                const QString path = parent.isEmpty() ? base : base + QLatin1Char('/') + QString::fromUtf8(parent);
                known = children.insert(parent, subdirectoryNames(path));
            }
            if (!known->contains(dir.sliced(slash + 1).toByteArray()))
                continue;
        }
        const auto size = sizes.value(dir, {0, 1});
        dirs << ThemeDir{dir.toByteArray(), size.first * qMax(1, size.second)};
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
        ThemeRoot found;
        found.base = root + QLatin1Char('/') + theme;
        QFile index(found.base + QStringLiteral("/index.theme"));
        if (!index.open(QIODevice::ReadOnly))
            continue;
        auto iconCache = std::make_shared<IconCache>(found.base + QStringLiteral("/icon-theme.cache"), found.base);
        if (iconCache->isValid())
            found.cache = std::move(iconCache);
        // A theme index is a few dozen kilobytes; a larger file is not one.
        // Ask for the file's size: read(n) reserves all n bytes first.
        found.dirs = parseIndexTheme(index.read(qMin<qint64>(index.size(), 4 << 20)), found.base, !found.cache,
                                     &result.inherits);
        result.roots << found;
    }
    return *cache.insert(theme, result);
}

QIcon lookInTheme(const QString &theme, const QString &name)
{
    std::map<int, QString> files;
    const QByteArray encoded = name.toUtf8();
    for (const ThemeRoot &root : themeDirs(theme).roots) {
        const auto listed = root.cache ? root.cache->lookUp(encoded) : std::nullopt;
        if (listed && listed->isEmpty())
            continue;
        for (const ThemeDir &dir : root.dirs) {
            // The first directory of a size wins, as the theme lists them.
            if (files.count(dir.size))
                continue;
            const quint16 flags = listed ? listed->value(dir.name) : 0;
            if (listed && !(flags & (kCacheSvg | kCachePng)))
                continue;
            for (const auto &[ext, flag] : {std::pair{".svg", kCacheSvg}, std::pair{".png", kCachePng}}) {
                if (listed && !(flags & flag))
                    continue;
                const QString file = root.base + QLatin1Char('/') + QString::fromUtf8(dir.name) + QLatin1Char('/') +
                                     name + QLatin1String(ext);
                if (QFileInfo(file).isFile()) {
                    files.emplace(dir.size, file);
                    break;
                }
            }
        }
    }
    return files.empty() ? QIcon() : QIcon(new ThemeFilesEngine(std::move(files)));
}

// A theme name is one directory name under an icon root.
bool isThemeName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

void addWithParents(const QString &theme, QStringList *order, int depth)
{
    // Each theme once, so a theme that inherits itself ends the walk.
    if (depth > 16 || !isThemeName(theme) || order->contains(theme))
        return;
    *order << theme;
    for (const QString &parent : themeDirs(theme).inherits)
        addWithParents(parent, order, depth + 1);
}

// The themes searched for a name: the user's icon theme and what it inherits,
// depth first, then hicolor, which every theme falls back to, then ours.
QStringList searchOrder(const QString &userTheme, const QStringList &fallbacks)
{
    QStringList order;
    if (isThemeName(userTheme)) {
        addWithParents(userTheme, &order, 0);
        addWithParents(QStringLiteral("hicolor"), &order, 0);
    }
    for (const QString &fallback : fallbacks)
        addWithParents(fallback, &order, 0);
    return order;
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
    // The user's theme is searched by the same reader as ours: Qt's own
    // loader parses a large index (hicolor's) through QSettings, which cost
    // a sixth of the window's start-up for two names.
    QIcon found;
    const QStringList order = searchOrder(QIcon::themeName(), fallbacks);
    for (int i = 0; found.isNull() && i < order.size(); ++i)
        found = lookInTheme(order.at(i), iconName);
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
