#include "renderchecks.h"
#include "zapplication.h"
#include "zguiapplicationhelper.h"
#include "zmainwindow.h"
#include "ztitlebar.h"

#include "testsupport.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

class TestZMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void titlebarParts()
    {
        ZMainWindow window;
        ZTitlebar *bar = window.titlebar();
        QVERIFY(bar);
        QCOMPARE(window.menuWidget(), bar);
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        bar->setTitle(QStringLiteral("Tavrin设置"));
        QCOMPARE(bar->findChild<QLabel *>(QStringLiteral("ZTitlebarTitle"))->text(),
                 QStringLiteral("Tavrin设置"));
        QCOMPARE(bar->height(), 46);
        for (const char *name :
             {"ZTitlebarMinButton", "ZTitlebarMaxButton", "ZTitlebarCloseButton", "ZTitlebarMenuButton"})
            QVERIFY2(bar->findChild<QToolButton *>(QLatin1String(name)), name);
    }

    void titleCentredOnTheBar_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("menuVisible");
        QTest::newRow("short") << QStringLiteral("Tavrin设置") << true;
        QTest::newRow("short, no menu") << QStringLiteral("Tavrin设置") << false;
        QTest::newRow("longer than the room") << QStringLiteral("很长的标题").repeated(20) << true;
    }

    void titleCentredOnTheBar()
    {
        QFETCH(QString, title);
        QFETCH(bool, menuVisible);
        ZMainWindow window;
        ZTitlebar *bar = window.titlebar();
        bar->setMenuVisible(menuVisible);
        window.resize(800, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        bar->setTitle(title);
        auto *label = bar->findChild<QLabel *>(QStringLiteral("ZTitlebarTitle"));
        const QRect text = label->geometry();
        int buttonsLeft = bar->width();
        for (QToolButton *b : bar->findChildren<QToolButton *>()) {
            if (b->isVisible())
                buttonsLeft = qMin(buttonsLeft, b->geometry().left());
        }
        QVERIFY(text.right() < buttonsLeft);
        QVERIFY(text.left() > bar->findChild<QLabel *>(QStringLiteral("ZTitlebarIcon"))->geometry().right());
        if (label->sizeHint().width() < buttonsLeft - bar->width() / 2)
            QVERIFY2(qAbs(text.center().x() - bar->width() / 2) <= 1,
                     qPrintable(QString::number(text.center().x())));
    }

    void aboutStaysLastAndOpensTheAboutDialog()
    {
        ZMainWindow window;
        auto *about = new QDialog;
        ZApplication::instance()->setAboutDialog(about);
        QCOMPARE(ZApplication::instance()->aboutDialog(), about);

        QMenu *menu = window.titlebar()->menu();
        menu->addAction(QStringLiteral("语言"));
        emit menu->aboutToShow();
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.first()->text(), QStringLiteral("语言"));
        QAction *aboutAction =
            window.titlebar()->findChild<QAction *>(QStringLiteral("ZTitlebarAboutAction"));
        QVERIFY(aboutAction);
        QCOMPARE(aboutAction->text(), QStringLiteral("关于"));
        QCOMPARE(actions.at(actions.size() - 2), aboutAction);

        aboutAction->trigger();
        QVERIFY(about->isVisible());
        about->hide();
    }

    void replacedMenuGetsTheOwnEntries()
    {
        ZMainWindow window;
        QMenu own;
        own.addAction(QStringLiteral("设置"));
        window.titlebar()->setMenu(&own);
        QCOMPARE(window.titlebar()->menu(), &own);
        QCOMPARE(own.actions().size(), 3);
        window.titlebar()->setMenu(nullptr);
        QCOMPARE(window.titlebar()->menu(), nullptr);
    }

    void secondStartBringsWindowForward()
    {
        ZMainWindow window;
        QVERIFY(!window.isVisible());
        emit ZApplication::instance()->newInstanceStarted();
        QVERIFY(window.isVisible());
        window.showMinimized();
        emit ZApplication::instance()->newInstanceStarted();
        QTRY_VERIFY(!window.isMinimized());
    }

    void resizeBandAlongTheEdges_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("edges");
        const int m = ZMainWindow::kResizeMargin;
        QTest::newRow("inside") << QPoint(400, 300) << 0;
        QTest::newRow("just inside the band's end") << QPoint(m, m) << 0;
        QTest::newRow("left") << QPoint(0, 300) << int(Qt::LeftEdge);
        QTest::newRow("right, last pixel") << QPoint(799, 300) << int(Qt::RightEdge);
        QTest::newRow("right band start") << QPoint(800 - m, 300) << int(Qt::RightEdge);
        QTest::newRow("right, outside the band") << QPoint(800 - m - 1, 300) << 0;
        QTest::newRow("top-left corner") << QPoint(1, 1) << int(Qt::LeftEdge | Qt::TopEdge);
        QTest::newRow("bottom-right corner") << QPoint(799, 599) << int(Qt::RightEdge | Qt::BottomEdge);
    }

    void resizeBandAlongTheEdges()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, edges);
        QCOMPARE(int(ZMainWindow::edgesAt(pos, QSize(800, 600))), edges);
    }

    void windowButtonsFollowTheTheme_data()
    {
        QTest::addColumn<int>("theme");
        QTest::newRow("light") << int(ZGuiApplicationHelper::LightType);
        QTest::newRow("dark") << int(ZGuiApplicationHelper::DarkType);
    }

    void windowButtonsFollowTheTheme()
    {
        QFETCH(int, theme);
        auto *helper = ZGuiApplicationHelper::instance();
        helper->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        const QColor text = helper->applicationPalette().color(QPalette::Active, QPalette::WindowText);
        ZMainWindow window;
        window.resize(600, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ZTitlebar *bar = window.titlebar();
        const QColor background = bar->palette().color(QPalette::Window);

        for (const char *name :
             {"ZTitlebarMenuButton", "ZTitlebarMinButton", "ZTitlebarMaxButton", "ZTitlebarCloseButton"}) {
            auto *button = bar->findChild<QToolButton *>(QLatin1String(name));
            QVERIFY2(RenderChecks::maxContrast(RenderChecks::render(button), background) >= 4.5, name);
            // One-colour glyphs in the theme's text colour: no stock pixmaps (the menu
            // button used to show the Qt logo) and nothing left in the other theme's colour.
            const QImage glyph =
                button->icon().pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
            int inked = 0;
            for (int y = 0; y < glyph.height(); ++y) {
                for (int x = 0; x < glyph.width(); ++x) {
                    const QColor c = glyph.pixelColor(x, y);
                    if (c.alpha() < 160)
                        continue;
                    ++inked;
                    QVERIFY2(
                        qAbs(c.red() - text.red()) + qAbs(c.green() - text.green()) +
                                qAbs(c.blue() - text.blue()) <=
                            12,
                        qPrintable(QStringLiteral("%1 at %2,%3: %4").arg(name).arg(x).arg(y).arg(c.name())));
                }
            }
            QVERIFY2(inked >= 8, name);
        }

        // Maximised, the button shows the restore glyph.
        auto *max = bar->findChild<QToolButton *>(QStringLiteral("ZTitlebarMaxButton"));
        const QImage maximiseGlyph = max->icon().pixmap(QSize(16, 16)).toImage();
        window.showMaximized();
        QTRY_VERIFY(window.isMaximized());
        QVERIFY(max->icon().pixmap(QSize(16, 16)).toImage() != maximiseGlyph);
        QCOMPARE(max->toolTip(), QStringLiteral("还原"));
        window.showNormal();
        QTRY_COMPARE(max->icon().pixmap(QSize(16, 16)).toImage(), maximiseGlyph);
        QCOMPARE(max->toolTip(), QStringLiteral("最大化"));

        // Pressed, the close button turns to the warning colour with a glyph readable on it.
        auto *close = bar->findChild<QToolButton *>(QStringLiteral("ZTitlebarCloseButton"));
        close->setDown(true);
        const QImage pressed = RenderChecks::render(close);
        close->setDown(false);
        const QColor backdrop = pressed.pixelColor(7, pressed.height() / 2);
        QVERIFY(ZentkPaint::contrastRatio(backdrop, background) >= 2.0);
        QVERIFY(RenderChecks::maxContrast(pressed, backdrop, QRect(12, 12, 16, 16)) >= 4.5);
    }

    void closeButtonClosesTheWindow()
    {
        ZMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.titlebar()->findChild<QToolButton *>(QStringLiteral("ZTitlebarCloseButton"))->click();
        QVERIFY(!window.isVisible());
    }

    // Enter and Return act on the focused button, as Space does; a control
    // that takes Enter itself keeps it.
    void enterActsOnTheFocusedButton()
    {
        ZMainWindow window;
        auto *central = new QWidget(&window);
        auto *layout = new QVBoxLayout(central);
        auto *button = new QPushButton(QStringLiteral("详情"), central);
        auto *edit = new QLineEdit(central);
        layout->addWidget(button);
        layout->addWidget(edit);
        window.setCentralWidget(central);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy clicked(button, &QPushButton::clicked);

        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(button, Qt::Key_Space);
        QTRY_COMPARE(clicked.count(), 3);

        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        button->setEnabled(false);
        button->setFocus();
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::qWait(50);
        QCOMPARE(clicked.count(), 3);
    }
};

TAVRIN_TEST_MAIN_IMPL(TestZMainWindow, ZApplication)
#include "tst_zmainwindow.moc"
