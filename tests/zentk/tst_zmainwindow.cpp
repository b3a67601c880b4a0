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
