#include "zapplication.h"
#include "zmainwindow.h"
#include "ztitlebar.h"

#include "testsupport.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

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

    void closeButtonClosesTheWindow()
    {
        ZMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.titlebar()->findChild<QToolButton *>(QStringLiteral("ZTitlebarCloseButton"))->click();
        QVERIFY(!window.isVisible());
    }
};

TAVRIN_TEST_MAIN_IMPL(TestZMainWindow, ZApplication)
#include "tst_zmainwindow.moc"
