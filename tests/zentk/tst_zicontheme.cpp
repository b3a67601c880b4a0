#include "zguiapplicationhelper.h"
#include "zicontheme.h"

#include "testsupport.h"

#include <QDataStream>
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
        QTest::addColumn<QByteArray>("cache");
        QTest::addColumn<int>("age"); // seconds older than the theme
        QTest::addColumn<bool>("used");
        // Both names share the one bucket; the wanted one comes second.
        const QByteArray current = iconCache({"zentk-other", "zentk-listed"});
        QTest::newRow("current") << current << -60 << true;
        QTest::newRow("older than the theme") << current << 60 << false;
        QTest::newRow("truncated") << current.left(30) << -60 << false;
        QTest::newRow("offsets past the end") << QByteArray(current).replace(16, 4, "\x7f\xff\xff\xf0") << -60 << false;
        QTest::newRow("chain loops") << iconCache({"zentk-other"}, true) << -60 << false;
    }

    void iconCacheSaysWhereIconsAre()
    {
        QFETCH(QByteArray, cache);
        QFETCH(int, age);
        QFETCH(bool, used);
        const QString theme = QStringLiteral("zentk-cached-%1").arg(QTest::currentDataTag()).replace(' ', '-');
        writeTheme(theme, "");
        writeThemeIcon(theme, QStringLiteral("zentk-listed"), Qt::green);
        writeThemeIcon(theme, QStringLiteral("zentk-unlisted"), Qt::green);
        QFile file(m_base + QStringLiteral("/../%1/icon-theme.cache").arg(theme));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(cache), cache.size());
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(QFileInfo(QFileInfo(file).path()).lastModified().addSecs(-age),
                                 QFileDevice::FileModificationTime));
        file.close();

        QIcon::setThemeName(theme);
        QCOMPARE(colourOf(ZIconTheme::findQIcon(QStringLiteral("zentk-listed"))), QColor(Qt::green));
        QCOMPARE(ZIconTheme::findQIcon(QStringLiteral("zentk-unlisted")).isNull(), used);
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
    // An icon-theme.cache as GTK's updater lays it out: one bucket holding
    // `names` chained in order, each a PNG in "apps/16"; `loop` chains the
    // last name to itself.
    static QByteArray iconCache(const QByteArrayList &names, bool loop = false)
    {
        const quint32 count = quint32(names.size()), strings = 20 + 24 * count;
        QByteArray text("apps/16", 8);
        for (const QByteArray &name : names)
            text += name + '\0';
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly); // big endian, as the file is
        out << quint16(1) << quint16(0) << quint32(12) << quint32(strings + text.size()) << quint32(1)
            << quint32(20);
        for (quint32 i = 0, name = strings + 8; i < count; name += names.at(i).size() + 1, ++i) {
            const quint32 icon = 20 + 24 * i;
            out << (i + 1 < count ? icon + 24 : loop ? icon : 0xffffffffu) << name << icon + 12 << quint32(1)
                << quint16(0) << quint16(4) << quint32(0);
        }
        out.writeRawData(text.constData(), int(text.size()));
        out << quint32(1) << strings;
        return bytes;
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
