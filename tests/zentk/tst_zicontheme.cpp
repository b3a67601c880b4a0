#include "zguiapplicationhelper.h"
#include "zicontheme.h"

#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>

// A private "breeze" theme in the user's data directory holds the probe
// icons: one file per size, each in its own colour.
class TestZIconTheme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                 QStringLiteral("/icons/breeze");
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/actions/16")));
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/actions/32")));
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/actions/16@2x")));
        QVERIFY(QDir().mkpath(m_base + QStringLiteral("/../escape")));
        // As themes write them: comments, CRLF line ends, blanks around '=',
        // translated names, scaled directories and a path that leaves the theme.
        QFile index(m_base + QStringLiteral("/index.theme"));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write(
            "# Breeze icon theme\r\n[Icon Theme]\r\nName=Breeze\r\nName[de]=Brise\r\n"
            "Directories = actions/16, actions/32,../escape\r\nScaledDirectories=actions/16@2x\r\n\r\n"
            "[actions/16]\r\nSize=16\r\nType=Fixed\r\n\r\n[actions/32]\r\nSize = 32\r\n\r\n"
            "[actions/16@2x]\r\nSize=16\r\nScale=2\r\n[../escape]\r\nSize=16\r\n");
        index.close();
        writeIcon(QStringLiteral("zentk-probe"), 16, Qt::red);
        writeIcon(QStringLiteral("zentk-probe"), 32, Qt::blue);
        QImage scaled(32, 32, QImage::Format_ARGB32);
        scaled.fill(Qt::magenta);
        QVERIFY(scaled.save(m_base + QStringLiteral("/actions/16@2x/zentk-scaled.png")));
        QVERIFY(scaled.save(m_base + QStringLiteral("/../escape/zentk-escaped.png")));
    }

    // Only directories the index lists, under the theme, are looked into; a
    // scaled directory counts at its size times its scale.
    void readsTheThemeIndex()
    {
        const QIcon scaled = ZIconTheme::findQIcon(QStringLiteral("zentk-scaled"));
        QVERIFY(!scaled.isNull());
        QCOMPARE(scaled.availableSizes(), QList<QSize>{QSize(32, 32)});
        QCOMPARE(scaled.pixmap(32, 32).toImage().pixelColor(16, 16), QColor(Qt::magenta));
        QVERIFY(ZIconTheme::findQIcon(QStringLiteral("zentk-escaped")).isNull());
    }

    void cleanup()
    {
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::UnknownType);
        QIcon::setThemeName(QString());
    }

    // The desktop's theme is searched first, then what it inherits (a cycle
    // ends), then hicolor and ours; a name that leaves the icon roots is not
    // a theme.
    void searchesTheDesktopThemeAndItsParents()
    {
        writeTheme(QStringLiteral("zentk-child"), "Inherits=zentk-parent, zentk-child\n");
        writeTheme(QStringLiteral("zentk-parent"), "Inherits=zentk-child\n");
        writeThemeIcon(QStringLiteral("zentk-parent"), QStringLiteral("zentk-inherited"), Qt::green);
        writeIcon(QStringLiteral("zentk-inherited"), 16, Qt::red);

        QIcon::setThemeName(QStringLiteral("zentk-child"));
        QCOMPARE(colourOf(ZIconTheme::findQIcon(QStringLiteral("zentk-inherited"))), QColor(Qt::green));
        QCOMPARE(colourOf(ZIconTheme::findQIcon(QStringLiteral("zentk-probe"))), QColor(Qt::red));
        QIcon::setThemeName(QStringLiteral("../icons/zentk-parent"));
        QCOMPARE(colourOf(ZIconTheme::findQIcon(QStringLiteral("zentk-inherited"))), QColor(Qt::red));
    }

    // With a current icon-theme.cache the theme's directories are not probed:
    // what the cache lists is found, a file it does not list is not, and a
    // chain of names in one bucket is followed. A cache older than the theme,
    // or one that does not hold together, is passed over for probing.
    void iconCacheSaysWhereIconsAre_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("cacheUsed");
        QTest::newRow("current") << QString() << true;
        QTest::newRow("older than the theme") << QStringLiteral("old") << false;
        QTest::newRow("truncated") << QStringLiteral("truncate") << false;
        QTest::newRow("offsets past the end") << QStringLiteral("offsets") << false;
        QTest::newRow("chain loops") << QStringLiteral("loop") << false;
        QTest::newRow("another version") << QStringLiteral("version") << false;
    }

    void iconCacheSaysWhereIconsAre()
    {
        QFETCH(QString, damage);
        QFETCH(bool, cacheUsed);
        const QString theme = QStringLiteral("zentk-cached-%1").arg(QTest::currentDataTag()).replace(' ', '-');
        writeTheme(theme, "");
        writeThemeIcon(theme, QStringLiteral("zentk-listed"), Qt::green);
        writeThemeIcon(theme, QStringLiteral("zentk-unlisted"), Qt::green);
        // Both names share the one bucket; the wanted one comes second.
        QByteArray cache = iconCache({"apps/16"}, {{"zentk-listed", 0, 4}, {"zentk-other", 0, 4}});
        if (damage == QLatin1String("truncate"))
            cache.truncate(30);
        else if (damage == QLatin1String("offsets"))
            cache.replace(16, 4, QByteArray("\x7f\xff\xff\xf0", 4));
        else if (damage == QLatin1String("loop"))
            cache = iconCache({"apps/16"}, {{"zentk-other", 0, 4}}, true);
        else if (damage == QLatin1String("version"))
            cache[1] = 2;
        const QString base = m_base + QStringLiteral("/../") + theme;
        QFile file(base + QStringLiteral("/icon-theme.cache"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(cache);
        file.close();
        const QDateTime themeTime = QFileInfo(base).lastModified();
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(themeTime.addSecs(damage == QLatin1String("old") ? -60 : 60),
                                 QFileDevice::FileModificationTime));
        file.close();

        QIcon::setThemeName(theme);
        if (damage.isEmpty() || damage == QLatin1String("old"))
            QCOMPARE(colourOf(ZIconTheme::findQIcon(QStringLiteral("zentk-listed"))), QColor(Qt::green));
        QCOMPARE(ZIconTheme::findQIcon(QStringLiteral("zentk-unlisted")).isNull(), cacheUsed);
    }

    void drawsTheFileMadeForTheSize_data()
    {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<int>("drawn"); // a bitmap is scaled down, never up
        QTest::addColumn<QColor>("colour");
        QTest::newRow("16") << 16 << 16 << QColor(Qt::red);
        QTest::newRow("between") << 24 << 24 << QColor(Qt::blue);
        QTest::newRow("32") << 32 << 32 << QColor(Qt::blue);
        QTest::newRow("larger") << 64 << 32 << QColor(Qt::blue);
        QTest::newRow("smaller") << 8 << 8 << QColor(Qt::red);
    }

    void drawsTheFileMadeForTheSize()
    {
        QFETCH(int, pixels);
        QFETCH(int, drawn);
        QFETCH(QColor, colour);
        const QIcon icon = ZIconTheme::findQIcon(QStringLiteral("zentk-probe"));
        QVERIFY(!icon.isNull());
        const QImage image = icon.pixmap(pixels, pixels).toImage();
        QCOMPARE(image.size(), QSize(drawn, drawn));
        QCOMPARE(image.pixelColor(drawn / 2, drawn / 2), colour);
    }

    // Found and missing names are both remembered; only a change of the icon
    // theme (dark picks breeze-dark first) looks them up again.
    void lookupsRememberedUntilTheIconThemeChanges()
    {
        auto *helper = ZGuiApplicationHelper::instance();
        helper->setPaletteType(ZGuiApplicationHelper::LightType);
        const QString late = QStringLiteral("zentk-late");
        const QString gone = QStringLiteral("zentk-gone");
        writeIcon(gone, 16, Qt::green);
        QVERIFY(ZIconTheme::findQIcon(late).isNull());
        QVERIFY(!ZIconTheme::findQIcon(gone).isNull());

        writeIcon(late, 16, Qt::green);
        QVERIFY(QFile::remove(m_base + QStringLiteral("/actions/16/zentk-gone.png")));
        helper->setPaletteType(ZGuiApplicationHelper::LightType); // no change of theme
        QVERIFY(ZIconTheme::findQIcon(late).isNull());
        QVERIFY(!ZIconTheme::findQIcon(gone).isNull());

        helper->setPaletteType(ZGuiApplicationHelper::DarkType);
        QVERIFY(!ZIconTheme::findQIcon(late).isNull());
        QVERIFY(ZIconTheme::findQIcon(gone).isNull());
    }

    // A file icon draws what Qt's own engine draws, keeps the picture's
    // proportions, and is one shared icon per file.
    void fileIconDrawsTheFile_data()
    {
        QTest::addColumn<QByteArray>("svg");
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("drawn");
        const QByteArray square =
            "<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24' viewBox='0 0 24 24'>"
            "<rect x='2' y='2' width='20' height='20' rx='4' fill='#3d8bfd'/>"
            "<path d='M6 12 H18' stroke='#ffffff' stroke-width='2'/></svg>";
        const QByteArray wide =
            "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='24'>"
            "<circle cx='12' cy='12' r='10' fill='#2e9d6b'/><rect x='26' y='4' width='20' "
            "height='16' fill='#f08a24'/></svg>";
        QTest::newRow("square 16") << square << QSize(16, 16) << QSize(16, 16);
        QTest::newRow("square 29") << square << QSize(29, 29) << QSize(29, 29);
        QTest::newRow("square 48") << square << QSize(48, 48) << QSize(48, 48);
        QTest::newRow("wide in a square") << wide << QSize(32, 32) << QSize(32, 16);
    }

    void fileIconDrawsTheFile()
    {
        QFETCH(QByteArray, svg);
        QFETCH(QSize, asked);
        QFETCH(QSize, drawn);
        const QString file = QStringLiteral("%1/file-icon-%2.svg").arg(m_base).arg(qHash(svg));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(svg);
        out.close();

        const QIcon icon = ZIconTheme::fileIcon(file);
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.actualSize(asked), drawn);
        const QImage ours = icon.pixmap(asked).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage qts = QIcon(file).pixmap(asked).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(ours.size(), drawn);
        QCOMPARE(ours, qts);
        QCOMPARE(ZIconTheme::fileIcon(file).cacheKey(), icon.cacheKey());
        // The disabled look comes from the style, as for any icon.
        QVERIFY(icon.pixmap(asked, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32) != ours);
    }

    void fileIconOfMissingFileIsNull()
    {
        QVERIFY(ZIconTheme::fileIcon(m_base + QStringLiteral("/no-such-file.svg")).isNull());
        QVERIFY(ZIconTheme::fileIcon(QString()).isNull());
    }

private:
    // An icon-theme.cache laid out as GTK's updater writes it, with every
    // name in one bucket; `loop` chains the first name to itself.
    static QByteArray iconCache(const QList<QByteArray> &dirs,
                                const QList<std::tuple<QByteArray, int, int>> &images, bool loop = false)
    {
        QByteArray out(12 + 8, '\0');
        auto put16 = [&out](int at, int v) { out[at] = char(v >> 8); out[at + 1] = char(v); };
        auto put32 = [&out, &put16](int at, quint32 v) { put16(at, int(v >> 16)); put16(at + 2, int(v & 0xffff)); };
        put16(0, 1);
        put32(4, 12);
        put32(12, 1); // one bucket
        quint32 head = 0xffffffff;
        for (const auto &[name, dir, flags] : images) {
            const int icon = int(out.size());
            out.append(12 + 4 + 8, '\0');
            put32(icon, loop ? quint32(icon) : head);
            put32(icon + 8, quint32(icon + 12));
            put32(icon + 12, 1);
            put16(icon + 16, dir);
            put16(icon + 18, flags);
            const int nameAt = int(out.size());
            out.append(name).append('\0');
            put32(icon + 4, quint32(nameAt));
            head = quint32(icon);
        }
        put32(16, head);
        const int dirList = int(out.size());
        out.append(4 + 4 * dirs.size(), '\0');
        put32(8, quint32(dirList));
        put32(dirList, quint32(dirs.size()));
        for (int i = 0; i < dirs.size(); ++i) {
            put32(dirList + 4 + 4 * i, quint32(out.size()));
            out.append(dirs.at(i)).append('\0');
        }
        return out;
    }

    static QColor colourOf(const QIcon &icon)
    {
        return icon.isNull() ? QColor() : icon.pixmap(16, 16).toImage().pixelColor(8, 8);
    }

    // A theme beside the private breeze with one directory of 16 pixel apps.
    void writeTheme(const QString &theme, const QByteArray &extra)
    {
        const QString base = m_base + QStringLiteral("/../") + theme;
        QVERIFY(QDir().mkpath(base + QStringLiteral("/apps/16")));
        QFile index(base + QStringLiteral("/index.theme"));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=" + theme.toUtf8() + "\nDirectories=apps/16\n" + extra +
                    "\n[apps/16]\nSize=16\n");
    }

    void writeThemeIcon(const QString &theme, const QString &name, const QColor &colour)
    {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(colour);
        QVERIFY(image.save(QStringLiteral("%1/../%2/apps/16/%3.png").arg(m_base, theme, name)));
    }

    void writeIcon(const QString &name, int size, const QColor &colour)
    {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(colour);
        QVERIFY(image.save(QStringLiteral("%1/actions/%2/%3.png").arg(m_base).arg(size).arg(name)));
    }

    QString m_base;
};

TAVRIN_TEST_MAIN(TestZIconTheme)
#include "tst_zicontheme.moc"
