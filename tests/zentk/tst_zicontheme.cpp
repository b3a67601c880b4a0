#include "zguiapplicationhelper.h"
#include "zicontheme.h"

#include "testsupport.h"

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

    void cleanup() { ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::UnknownType); }

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

private:
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
