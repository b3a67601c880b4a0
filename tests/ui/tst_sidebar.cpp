#include <QAccessible>
#include <QListView>
#include <QStandardItemModel>
#include <QtTest>

#include "testsupport.h"
#include "ui/sidebar.h"
#include "zguiapplicationhelper.h"

using TavrinUi::TavrinSidebar;

class TestSidebar : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void headingsAreNotEntries();
    void entriesNavigate();
    void keyboardActivates();
    void accessibleSelectNavigates();
    void setCurrentDataDoesNotNavigate();
    void rowHeights();
    void iconLookup();
    void iconsFollowTheme();

private:
    QRect rectOf(int row) const { return m_bar->listView()->visualRect(m_bar->model()->index(row, 0)); }
    // A point on the entry itself, below any heading painted above it.
    QPoint entryPoint(int row) const { return QPoint(rectOf(row).center().x(), rectOf(row).bottom() - 12); }

    TavrinSidebar *m_bar = nullptr;
    QList<int> m_navigated;
};

void TestSidebar::init()
{
    m_bar = new TavrinSidebar;
    m_bar->beginGroup(QStringLiteral("概览"));
    m_bar->addItem(QStringLiteral("zarnex-system-monitor"), QString(), QStringLiteral("总览"), 0); // row 0
    m_bar->beginGroup(QStringLiteral("系统维护"));
    m_bar->addItem(QStringLiteral("shield-check"), QString(), QStringLiteral("系统保护"), 3); // row 1
    m_bar->addItem(QStringLiteral("folder"), QString(), QStringLiteral("磁盘空间"), 1);       // row 2
    m_navigated.clear();
    m_bar->onNavigate = [this](int id) { m_navigated << id; };
    m_bar->resize(200, 400);
    m_bar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_bar));
}

void TestSidebar::cleanup()
{
    delete m_bar;
    m_bar = nullptr;
}

// A screen reader counts the pages alone and hears each entry's group; a
// click on a heading selects nothing.
void TestSidebar::headingsAreNotEntries()
{
    QListView *list = m_bar->listView();
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(list);
    QVERIFY(iface);
    QStringList entries;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        QCOMPARE(child->role(), QAccessible::ListItem);
        QVERIFY(child->state().selectable);
        entries << child->text(QAccessible::Name) + u'/' + child->text(QAccessible::Description);
    }
    QCOMPARE(entries, QStringList({QStringLiteral("总览/概览"), QStringLiteral("系统保护/系统维护"),
                                   QStringLiteral("磁盘空间/系统维护")}));

    for (int row : {0, 1}) {
        const QRect band =
            TavrinSidebar::headingBand(m_bar->model()->index(row, 0), rectOf(row), list->font());
        QVERIFY(!band.isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, band.center());
    }
    QVERIFY(TavrinSidebar::headingBand(m_bar->model()->index(2, 0), rectOf(2), list->font()).isEmpty());
    QVERIFY(m_navigated.isEmpty());
    QVERIFY(!list->selectionModel()->hasSelection());
}

void TestSidebar::entriesNavigate()
{
    QListView *list = m_bar->listView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entryPoint(1));
    QCOMPARE(m_navigated, QList<int>({3}));
    // The current entry again: navigation again (the window reloads the page).
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entryPoint(1));
    QCOMPARE(m_navigated, QList<int>({3, 3}));
    QStandardItem *item = m_bar->model()->item(2);
    QCOMPARE(item->toolTip(), QStringLiteral("磁盘空间"));
    QCOMPARE(item->data(TavrinSidebar::IconNameRole).toString(), QStringLiteral("folder"));
    QCOMPARE(item->data(TavrinSidebar::PageIdRole).toInt(), 1);

    m_bar->onNavigate = nullptr; // without a callback a click is harmless
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entryPoint(2));
}

void TestSidebar::keyboardActivates()
{
    QListView *list = m_bar->listView();
    list->setFocus();
    m_bar->setCurrentData(0);
    int entered = 0;
    m_bar->onEnterPage = [&entered] { ++entered; };
    // The page follows the arrows; Enter goes on into the page.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(m_navigated, QList<int>({3}));
    QCOMPARE(entered, 0);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(m_navigated, QList<int>({3, 3}));
    QCOMPARE(entered, 1);
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(m_navigated, QList<int>({3, 3, 0}));
    m_bar->onEnterPage = nullptr;
}

// A screen reader's "select" on an entry opens its page, as a click does.
void TestSidebar::accessibleSelectNavigates()
{
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(m_bar->listView());
    QVERIFY(list);
    QAccessibleInterface *entry = nullptr;
    for (int i = 0; i < list->childCount(); ++i) {
        if (list->child(i)->text(QAccessible::Name) == QStringLiteral("系统保护"))
            entry = list->child(i);
    }
    QVERIFY(entry && entry->actionInterface());
    const QStringList actions = entry->actionInterface()->actionNames();
    QVERIFY2(actions.contains(QAccessibleActionInterface::toggleAction()), qPrintable(actions.join(u',')));
    entry->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(m_navigated, QList<int>({3}));
}

void TestSidebar::setCurrentDataDoesNotNavigate()
{
    QListView *list = m_bar->listView();
    QVERIFY(m_bar->setCurrentData(1));
    QVERIFY(m_navigated.isEmpty());
    QCOMPARE(list->currentIndex().row(), 2);
    QVERIFY(list->selectionModel()->isSelected(list->currentIndex()));

    QVERIFY(!m_bar->setCurrentData(42));
    QCOMPARE(list->currentIndex().row(), 2);
    QCOMPARE(list->selectionModel()->selectedIndexes().size(), 1);

    QVERIFY(m_bar->setCurrentData(0));
    QCOMPARE(list->currentIndex().row(), 0);
    QCOMPARE(list->selectionModel()->selectedIndexes().size(), 1);
    QVERIFY(m_navigated.isEmpty());
}

void TestSidebar::rowHeights()
{
    // An entry alone; the first of a group carries its heading above it,
    // later groups keep more room from the entry before.
    QCOMPARE(rectOf(2).height(), 44);
    const int first =
        TavrinSidebar::headingBand(m_bar->model()->index(0, 0), rectOf(0), m_bar->font()).height();
    const int later =
        TavrinSidebar::headingBand(m_bar->model()->index(1, 0), rectOf(1), m_bar->font()).height();
    QVERIFY2(first >= QFontMetrics(m_bar->font()).height() / 2 && later > first,
             qPrintable(QString::number(first)));
    QCOMPARE(rectOf(0).height(), 44 + first);
    QCOMPARE(rectOf(1).height(), 44 + later);
}

void TestSidebar::iconLookup()
{
    auto image = [](const QIcon &icon) { return icon.pixmap(20, 20).toImage(); };
    // The program's own icon wins over the theme.
    QCOMPARE(image(TavrinSidebar::lookupIcon(QStringLiteral("shield-check"),
                                             QStringLiteral("dialog-information"))),
             image(QIcon(QStringLiteral(":/icons/nav/shield-check.svg"))));
    QVERIFY(!TavrinSidebar::lookupIcon(QStringLiteral("folder"), QString()).isNull());
    // Neither name exists anywhere: the style's folder icon, never a blank.
    QVERIFY(!TavrinSidebar::lookupIcon(QStringLiteral("no-such-icon"), QStringLiteral("nor-this")).isNull());
    for (int row = 0; row < m_bar->model()->rowCount(); ++row)
        QVERIFY(!m_bar->model()->item(row)->icon().isNull());
}

void TestSidebar::iconsFollowTheme()
{
    auto *helper = ZGuiApplicationHelper::instance();
    helper->setPaletteType(ZGuiApplicationHelper::LightType);
    const QImage lightDisk = m_bar->model()->item(2)->icon().pixmap(20, 20).toImage();
    const QImage lightShield = m_bar->model()->item(1)->icon().pixmap(20, 20).toImage();
    helper->setPaletteType(ZGuiApplicationHelper::DarkType);
    // A theme icon is redrawn for the dark theme; the program's own stays.
    QVERIFY(m_bar->model()->item(2)->icon().pixmap(20, 20).toImage() != lightDisk);
    QCOMPARE(m_bar->model()->item(1)->icon().pixmap(20, 20).toImage(), lightShield);
    helper->setPaletteType(ZGuiApplicationHelper::LightType);
    QCOMPARE(m_bar->model()->item(2)->icon().pixmap(20, 20).toImage(), lightDisk);
}

TAVRIN_TEST_MAIN(TestSidebar)
#include "tst_sidebar.moc"
