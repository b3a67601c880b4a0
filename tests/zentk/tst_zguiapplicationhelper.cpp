#include "zguiapplicationhelper.h"

#include "testsupport.h"

#include <QApplication>
#include <QSignalSpy>
#include <QWidget>

using Type = ZGuiApplicationHelper::ColorType;

class TestZGuiApplicationHelper : public QObject
{
    Q_OBJECT

private:
    static Type forcedByEnvironment()
    {
        const QByteArray v = qgetenv("ZENTK_THEME");
        return v == "dark"    ? ZGuiApplicationHelper::DarkType
               : v == "light" ? ZGuiApplicationHelper::LightType
                              : ZGuiApplicationHelper::UnknownType;
    }

private slots:
    void startsWithDesktopOrForcedTheme()
    {
        auto *helper = ZGuiApplicationHelper::instance();
        const Type forced = forcedByEnvironment();
        QCOMPARE(helper->paletteType(), forced);
        QVERIFY(helper->themeType() != ZGuiApplicationHelper::UnknownType);
        if (forced != ZGuiApplicationHelper::UnknownType)
            QCOMPARE(helper->themeType(), forced);
        QCOMPARE(helper->applicationPalette(), ZGuiApplicationHelper::standardPalette(helper->themeType()));
    }

    void switchingThemeSignalsAndRepaintsEverything()
    {
        auto *helper = ZGuiApplicationHelper::instance();
        const Type start = helper->themeType();
        const Type other = start == ZGuiApplicationHelper::DarkType ? ZGuiApplicationHelper::LightType
                                                                    : ZGuiApplicationHelper::DarkType;
        QSignalSpy changed(helper, &ZGuiApplicationHelper::applicationPaletteChanged);
        QSignalSpy typeChanged(helper, &ZGuiApplicationHelper::themeTypeChanged);
        const QColor titleBefore = helper->applicationPalette().color(ZPalette::TextTitle);

        helper->setPaletteType(other);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(typeChanged.count(), 1);
        QCOMPARE(typeChanged.at(0).at(0).value<Type>(), other);
        QCOMPARE(helper->themeType(), other);
        QVERIFY(helper->applicationPalette().color(ZPalette::TextTitle) != titleBefore);
        // Plain Qt widgets follow through the application palette.
        QCOMPARE(QApplication::palette().color(QPalette::Window),
                 helper->applicationPalette().color(QPalette::Window));

        helper->setPaletteType(other);
        QCOMPARE(changed.count(), 1);

        helper->setPaletteType(start);
        QCOMPARE(helper->themeType(), start);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(typeChanged.at(1).at(0).value<Type>(), start);
    }

    void desktopThemeChangeKeepsOurPalette()
    {
        auto *helper = ZGuiApplicationHelper::instance();
        helper->setPaletteType(ZGuiApplicationHelper::DarkType);
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy changed(helper, &ZGuiApplicationHelper::applicationPaletteChanged);
        QEvent themeChange(QEvent::ThemeChange);
        QCoreApplication::sendEvent(window.windowHandle(), &themeChange);
        // The desktop was asked again, but the forced theme and its palette stay.
        QCOMPARE(helper->themeType(), ZGuiApplicationHelper::DarkType);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(QApplication::palette().color(QPalette::Window),
                 ZPalette::darkPalette().color(QPalette::Window));
    }

    void lightnessDecidesType_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<int>("expected");
        QTest::newRow("white") << QColor(Qt::white) << int(ZGuiApplicationHelper::LightType);
        QTest::newRow("light grey") << QColor("#dcdcdc") << int(ZGuiApplicationHelper::LightType);
        QTest::newRow("dark grey") << QColor("#2b2b2b") << int(ZGuiApplicationHelper::DarkType);
        QTest::newRow("black") << QColor(Qt::black) << int(ZGuiApplicationHelper::DarkType);
    }

    void lightnessDecidesType()
    {
        QFETCH(QColor, window);
        QFETCH(int, expected);
        QCOMPARE(int(ZGuiApplicationHelper::toColorType(window)), expected);
    }
};

TAVRIN_TEST_MAIN(TestZGuiApplicationHelper)
#include "tst_zguiapplicationhelper.moc"
