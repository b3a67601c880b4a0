#include "renderchecks.h"
#include "zbuttonbox.h"
#include "zguiapplicationhelper.h"
#include "zicontheme.h"
#include "zlabel.h"
#include "zspinner.h"
#include "zswitchbutton.h"
#include "ztabbar.h"

#include "testsupport.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

class TestZControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QAbstractButton *>(); }

    void switchToggles()
    {
        ZSwitchButton sw;
        QSignalSpy spy(&sw, &ZSwitchButton::toggled);
        QVERIFY(sw.isCheckable());
        QTest::mouseClick(&sw, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        sw.show();
        sw.setFocus();
        QTest::keyClick(&sw, Qt::Key_Space);
        QCOMPARE(sw.isChecked(), false);
        QCOMPARE(spy.count(), 2);
        sw.setEnabled(false);
        QTest::mouseClick(&sw, Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
    }

    void knobSlidesToWhereTheStateIs()
    {
        ZSwitchButton sw;
        sw.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sw));
        QCOMPARE(sw.knobPosition(), 0.0);
        sw.setChecked(true);
        QTRY_COMPARE(sw.knobPosition(), 1.0);
        // Toggled back mid-slide, it ends off, not on.
        sw.setChecked(false);
        sw.setChecked(true);
        sw.setChecked(false);
        QTRY_COMPARE(sw.knobPosition(), 0.0);
        sw.setAnimated(false);
        sw.setChecked(true);
        QCOMPARE(sw.knobPosition(), 1.0);
    }

    // The focus ring stands apart from the track, so it shows on the accent
    // coloured "on" track as well as on the grey "off" one.
    void switchFocusRingShowsInBothStates_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::newRow("off") << false;
        QTest::newRow("on") << true;
    }

    void switchFocusRingShowsInBothStates()
    {
        QFETCH(bool, checked);
        ZSwitchButton sw;
        sw.setAnimated(false);
        sw.setChecked(checked);
        sw.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sw));
        QApplication::setActiveWindow(&sw);
        sw.setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(sw.hasFocus());
        const QImage image = sw.grab().toImage();
        const QColor accent = sw.palette().color(QPalette::Active, QPalette::Highlight);
        auto isAccent = [&](int x) {
            const QColor c = image.pixelColor(x, image.height() / 2);
            return qAbs(c.red() - accent.red()) + qAbs(c.green() - accent.green()) +
                       qAbs(c.blue() - accent.blue()) < 60;
        };
        QVERIFY(isAccent(0) || isAccent(1));                 // the ring
        QVERIFY(!isAccent(2) || !isAccent(3));               // a gap inside it
        QCOMPARE(isAccent(image.width() / 2 - 12), checked); // the track
    }

    void buttonBoxIsExclusiveWhenCheckable()
    {
        ZButtonBox box;
        auto *day = new QPushButton(QStringLiteral("日"));
        auto *week = new QPushButton(QStringLiteral("周"));
        box.setButtonList({day, week}, true);
        QSignalSpy clicked(&box, &ZButtonBox::buttonClicked);
        day->click();
        week->click();
        QVERIFY(week->isChecked());
        QVERIFY(!day->isChecked());
        QCOMPARE(box.checkedButton(), week);
        QCOMPARE(clicked.count(), 2);
        QCOMPARE(clicked.at(1).at(0).value<QAbstractButton *>(), week);
        QCOMPARE(box.buttonList(), QList<QAbstractButton *>({day, week}));

        QPointer<QPushButton> oldDay = day;
        auto *month = new QPushButton(QStringLiteral("月"));
        box.setButtonList({week, month}, false);
        QTRY_VERIFY(oldDay.isNull());
        QCOMPARE(box.buttonList(), QList<QAbstractButton *>({week, month}));
        week->click();
        month->click();
        QVERIFY(!week->isCheckable());
    }

    void buttonBoxIsOneSegmentedFrame_data()
    {
        QTest::addColumn<int>("theme");
        QTest::newRow("light") << int(ZGuiApplicationHelper::LightType);
        QTest::newRow("dark") << int(ZGuiApplicationHelper::DarkType);
    }

    void buttonBoxIsOneSegmentedFrame()
    {
        QFETCH(int, theme);
        auto *helper = ZGuiApplicationHelper::instance();
        helper->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        const ZPalette pal = helper->applicationPalette();
        const QColor accent = pal.color(QPalette::Active, QPalette::Highlight);
        const QColor base = pal.color(QPalette::Active, QPalette::Base);

        // Held away from the window's corner, where the offscreen pointer rests.
        QWidget holder;
        auto *layout = new QHBoxLayout(&holder);
        layout->setContentsMargins(40, 40, 40, 40);
        auto &box = *new ZButtonBox;
        layout->addWidget(&box);
        QList<QAbstractButton *> buttons;
        for (const char *text : {"今日", "近 7 天", "近 30 天"})
            buttons << new QPushButton(QString::fromUtf8(text));
        box.setButtonList(buttons, true);
        buttons.at(1)->setChecked(true);
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));

        auto segmentColour = [&box](const QImage &img, QAbstractButton *b) {
            return img.pixelColor(b->geometry().left() + 5, box.height() / 2);
        };
        auto isAccent = [&accent](const QColor &c) {
            return c.saturationF() > 0.5 && qAbs(c.hslHue() - accent.hslHue()) <= 12;
        };
        QImage img = RenderChecks::render(&box);
        QVERIFY(isAccent(segmentColour(img, buttons.at(1))));
        QCOMPARE(segmentColour(img, buttons.at(0)).rgb(), base.rgb());
        QCOMPARE(segmentColour(img, buttons.at(2)).rgb(), base.rgb());
        // One frame with rounded ends, not a row of separate buttons.
        QVERIFY(img.pixelColor(0, 0).rgb() != base.rgb());
        QVERIFY(img.pixelColor(box.width() / 2, 0).rgb() != base.rgb());
        QVERIFY(!isAccent(img.pixelColor(box.width() - 1, box.height() - 1)));
        QVERIFY(RenderChecks::maxContrast(img, segmentColour(img, buttons.at(1)),
                                          buttons.at(1)->geometry()) >= 4.5);
        QVERIFY(RenderChecks::maxContrast(img, base, buttons.at(2)->geometry()) >= 4.5);

        buttons.at(0)->click();
        img = RenderChecks::render(&box);
        QVERIFY(isAccent(segmentColour(img, buttons.at(0))));
        QCOMPARE(segmentColour(img, buttons.at(1)).rgb(), base.rgb());
    }

    void labelFollowsTheTheme()
    {
        auto *helper = ZGuiApplicationHelper::instance();
        ZLabel label(QStringLiteral("提示"));
        label.setForegroundRole(ZPalette::TextTips);
        QCOMPARE(label.palette().color(QPalette::Active, QPalette::WindowText),
                 helper->applicationPalette().color(QPalette::Active, ZPalette::TextTips));
        const auto other = helper->themeType() == ZGuiApplicationHelper::DarkType
                               ? ZGuiApplicationHelper::LightType
                               : ZGuiApplicationHelper::DarkType;
        helper->setPaletteType(other);
        QCOMPARE(label.palette().color(QPalette::Active, QPalette::WindowText),
                 helper->applicationPalette().color(QPalette::Active, ZPalette::TextTips));
        // The plain role setter stays usable.
        label.setForegroundRole(QPalette::Text);
        QCOMPARE(label.foregroundRole(), QPalette::Text);
    }

    // A spinner keeps its state while hidden but never ticks unseen, whether
    // it or a page around it is hidden.
    void spinnerTicksOnlyWhileSeen()
    {
        QWidget page;
        auto *spinner = new ZSpinner(&page);
        const QTimer *tick = spinner->findChild<QTimer *>();
        QVERIFY(tick);
        spinner->start();
        QVERIFY(spinner->isPlaying());
        QVERIFY(!tick->isActive());

        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QVERIFY(tick->isActive());

        page.hide();
        QVERIFY(!tick->isActive());
        QVERIFY(spinner->isPlaying());

        spinner->stop();
        page.show();
        QVERIFY(!tick->isActive());
        spinner->start();
        QVERIFY(tick->isActive());
        spinner->hide();
        QVERIFY(!tick->isActive());
    }

    void tabBarAddButton()
    {
        ZTabBar bar;
        bar.addTab(QStringLiteral("系统快照"));
        auto *add = bar.findChild<QToolButton *>(QStringLiteral("ZTabBarAddButton"));
        QVERIFY(add);
        QVERIFY(!bar.isAddButtonVisible());
        bar.setAddButtonVisible(true);
        QVERIFY(bar.isAddButtonVisible());
        QSignalSpy spy(&bar, &ZTabBar::tabAddRequested);
        add->click();
        QCOMPARE(spy.count(), 1);
    }

    // Tab onto the bar rings its current tab; focus from a click does not.
    void tabBarShowsKeyboardFocus()
    {
        QWidget host;
        auto *layout = new QHBoxLayout(&host);
        auto *before = new QPushButton(QStringLiteral("刷新"), &host);
        auto *bar = new ZTabBar(&host);
        bar->addTab(QStringLiteral("系统快照"));
        bar->addTab(QStringLiteral("系统部署实例"));
        layout->addWidget(before);
        layout->addWidget(bar);
        host.show();
        QApplication::setActiveWindow(&host);
        QVERIFY(QTest::qWaitForWindowActive(&host));
        const QColor accent =
            ZGuiApplicationHelper::instance()->applicationPalette().color(QPalette::Active, QPalette::Highlight);
        auto accentPixels = [&] {
            const QImage image = bar->grab().toImage();
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += image.pixelColor(x, y) == accent;
            return n;
        };
        bar->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(bar->hasFocus());
        const int byClick = accentPixels();
        before->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
        QTRY_VERIFY(bar->hasFocus());
        QVERIFY2(accentPixels() >= byClick + 40, qPrintable(QString::number(byClick)));
    }

    void iconLookup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("absent") << QStringLiteral("no-such-icon-zentk") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("path-like") << QStringLiteral("../../etc/passwd") << false;
    }

    void iconLookup()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        QCOMPARE(!ZIconTheme::findQIcon(name).isNull(), found);
    }

    void iconFromInstalledThemes()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/icons/breeze/index.theme")))
            QSKIP("breeze icon theme not installed");
        QVERIFY(!ZIconTheme::findQIcon(QStringLiteral("edit-delete")).isNull());
    }
};

TAVRIN_TEST_MAIN(TestZControls)
#include "tst_zcontrols.moc"
