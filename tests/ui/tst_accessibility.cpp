#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include "basepage.h"
#include "mainwindow.h"
#include "snapshotspage.h"
#include "testsupport.h"
#include "ui/aboutdialog.h"
#include "ui/confirmdialog.h"

// What a screen reader finds: every control a user can operate says what it
// is, on every page the window has, in the window's frame and in dialogs.
class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyControlOnEveryPageHasAName();
    void dialogsNameTheirControls();

private:
    static QStringList unnamedControls(QWidget *root);
    static QStringList unnamedTabStops(QWidget *root);
    static inline int s_audited = 0;
};

namespace {

bool isControl(const QWidget *w)
{
    // Scroll bars are read by their role and position, never by a name.
    if (qobject_cast<const QScrollBar *>(w))
        return false;
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QTextEdit *>(w) || qobject_cast<const QComboBox *>(w) ||
           qobject_cast<const QAbstractSlider *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
           qobject_cast<const QAbstractItemView *>(w);
}

QString describe(const QWidget *w)
{
    return QStringLiteral("%1 \"%2\" in %3")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(),
             w->parentWidget() ? QString::fromLatin1(w->parentWidget()->metaObject()->className())
                               : QStringLiteral("-"));
}

// Items of lists and tables read by their texts: none may be empty, none may
// carry the zero-width characters that only confuse speech.
void checkItems(QAccessibleInterface *iface, QStringList &problems, int depth = 0)
{
    if (!iface || !iface->isValid() || depth > 3)
        return;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (!child)
            continue;
        const QAccessible::Role role = child->role();
        if (role == QAccessible::ListItem || role == QAccessible::Cell) {
            const QString name = child->text(QAccessible::Name);
            if (name.trimmed().isEmpty())
                problems
                    << QStringLiteral("unnamed item %1 of %2").arg(i).arg(iface->text(QAccessible::Name));
        }
        checkItems(child, problems, depth + 1);
    }
}

} // namespace

QStringList TestAccessibility::unnamedControls(QWidget *root)
{
    QStringList problems;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : std::as_const(widgets)) {
        if (!w->isVisibleTo(root->window()))
            continue;
        if (auto *label = qobject_cast<QLabel *>(w); label && label->text().contains(QChar(0x200b)))
            problems << QStringLiteral("zero-width space: ") + label->text();
        if (!isControl(w))
            continue;
        ++s_audited;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        if (!iface) {
            problems << QStringLiteral("no interface: ") + describe(w);
            continue;
        }
        const QString name = iface->text(QAccessible::Name);
        if (name.trimmed().isEmpty())
            problems << QStringLiteral("no name: ") + describe(w);
        for (QAccessible::Text t : {QAccessible::Name, QAccessible::Description}) {
            if (iface->text(t).contains(QChar(0x200b)))
                problems << QStringLiteral("zero-width space: ") + describe(w);
        }
        if (qobject_cast<QAbstractItemView *>(w))
            checkItems(iface, problems);
    }
    return problems;
}

// Every stop of the Tab chain is a control a screen reader can name: a frame
// such as a scroll area would be a silent stop.
QStringList TestAccessibility::unnamedTabStops(QWidget *root)
{
    QStringList problems;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : std::as_const(widgets)) {
        if (!w->isVisibleTo(root->window()) || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) ||
            w->focusProxy())
            continue;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        if (!iface || iface->text(QAccessible::Name).trimmed().isEmpty())
            problems << QStringLiteral("unnamed Tab stop: ") + describe(w);
    }
    return problems;
}

void TestAccessibility::initTestCase()
{
    const QString fakes = Tavrin::Test::sourcePath(QStringLiteral("tests/fakes/ui"));
    qputenv("PATH", (fakes + QLatin1Char(':') + qEnvironmentVariable("PATH")).toLocal8Bit());
}

// Walks the pages the window has, whatever they are, by their widget trees.
void TestAccessibility::everyControlOnEveryPageHasAName()
{
    MainWindow window;
    window.restartProgram = [] {};
    window.resize(1100, 760);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStackedWidget *stack = window.pageStack();
    QVERIFY(stack->count() >= 7);
    QStringList problems;
    for (int i = 0; i < stack->count(); ++i) {
        auto *page = window.page(PageId(i)); // pages are built on first use
        stack->setCurrentIndex(i);
        if (page) {
            page->refresh();
            QVERIFY(QTest::qWaitFor([page] { return !page->isBusy(); }, 60000));
        }
        QCoreApplication::processEvents();
        problems << unnamedControls(stack->widget(i)) << unnamedTabStops(stack->widget(i));
    }
    // The frame around the pages: title bar, its menu and window buttons, the sidebar.
    for (QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child != stack && !stack->isAncestorOf(child))
            problems << unnamedControls(child);
    }
    problems.removeDuplicates();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    // The walk saw the window's controls, not an empty tree.
    QVERIFY2(s_audited >= 15, qPrintable(QString::number(s_audited)));
}

void TestAccessibility::dialogsNameTheirControls()
{
    MainWindow window;
    window.restartProgram = [] {};
    window.show();
    QStringList problems;
    int audited = 0;
    auto auditNext = [&problems, &audited] {
        QTimer::singleShot(0, qApp, [&problems, &audited] {
            QDialog *dialog = nullptr;
            const bool shown = QTest::qWaitFor(
                [&dialog] {
                    for (QWidget *w : QApplication::topLevelWidgets()) {
                        if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
                            dialog = d;
                    }
                    return dialog != nullptr;
                },
                10000);
            if (!shown || !dialog)
                return;
            problems << unnamedControls(dialog);
            ++audited;
            dialog->reject();
        });
    };

    TavrinUi::ConfirmRequest request;
    request.title = QStringLiteral("还原到备份");
    request.facts = {QStringLiteral("目标备份: <b>x</b>")};
    request.options = {QStringLiteral("甲"), QStringLiteral("乙")};
    request.tone = 1;
    auditNext();
    TavrinUi::askConfirm(&window, request);

    QVERIFY(window.page(VersionManagement));
    auto *snapshots = window.findChild<SnapshotsPage *>();
    QVERIFY(snapshots);
    auditNext();
    QMetaObject::invokeMethod(snapshots, "onCreate");

    // The about dialog's corner close button is a glyph alone.
    TavrinUi::TavrinAboutDialog about(&window);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    problems << unnamedControls(&about);

    QCOMPARE(audited, 2);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

TAVRIN_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
