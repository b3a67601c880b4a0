#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QListView>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

#include "basepage.h"
#include "mainwindow.h"
#include "testsupport.h"
#include "ui/aboutdialog.h"
#include "ui/appearance.h"
#include "ui/components.h"
#include "ui/pageblocks.h"
#include "ui/sidebar.h"
#include "widgetchecks.h"
#include "zguiapplicationhelper.h"

// Renders the main window on every page in the light and the dark theme to
// PNG files and checks what a look at them would: icons present, text not
// cut off, backgrounds taken from the theme. Set TAVRIN_SCREENSHOT_DIR to
// keep the files (scripts/render-pages.sh does); otherwise they go to a
// temporary directory.
class TestScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void renderEveryPage_data();
    void renderEveryPage();
    void renderAboutDialog_data();
    void renderAboutDialog();

private:
    QString m_dir;
    QTemporaryDir m_tmp;
};

namespace {

void applyTheme(ZGuiApplicationHelper::ColorType type)
{
    ZGuiApplicationHelper::instance()->setPaletteType(type);
    TavrinUi::applyAppearance();
    TavrinUi::refreshExactColorLabels();
}

// A label whose single line of plain text does not fit its width is cut off.
QStringList clippedLabels(QWidget *root)
{
    QStringList clipped;
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(root) || label->text().isEmpty() || dynamic_cast<Ui::ElidedLabel *>(label))
            continue;
        if (Qt::mightBeRichText(label->text()))
            continue;
        const QRect area = label->contentsRect();
        if (label->wordWrap()) {
            if (label->height() + 1 < label->heightForWidth(label->width()))
                clipped << label->text();
        } else if (!label->text().contains(QLatin1Char('\n')) &&
                   area.width() + 1 < label->fontMetrics().horizontalAdvance(label->text())) {
            clipped << label->text();
        }
    }
    return clipped;
}

} // namespace

void TestScreenshots::initTestCase()
{
    const QString fakes = Tavrin::Test::sourcePath(QStringLiteral("tests/fakes/ui"));
    qputenv("PATH", (fakes + QLatin1Char(':') + qEnvironmentVariable("PATH")).toLocal8Bit());
    if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
        QSKIP("no font for Chinese text is installed (fonts-noto-cjk)");
    m_dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
    if (m_dir.isEmpty()) {
        QVERIFY(m_tmp.isValid());
        m_dir = m_tmp.path();
    }
    QVERIFY(QDir().mkpath(m_dir));
}

void TestScreenshots::renderEveryPage_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<QString>("name");
    QTest::newRow("light") << int(ZGuiApplicationHelper::LightType) << QStringLiteral("light");
    QTest::newRow("dark") << int(ZGuiApplicationHelper::DarkType) << QStringLiteral("dark");
}

void TestScreenshots::renderEveryPage()
{
    QFETCH(int, theme);
    QFETCH(QString, name);
    applyTheme(ZGuiApplicationHelper::ColorType(theme));

    MainWindow window;
    window.restartProgram = [] {};
    window.resize(1060, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QStandardItemModel *model = window.navigation()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        QVERIFY2(!model->item(row)->icon().isNull(), qPrintable(model->item(row)->text()));

    const QColor window_ = TavrinUi::windowColor();
    const QColor base = TavrinUi::baseColor();
    const QColor title = TavrinUi::appPalette().color(ZPalette::TextTitle);
    const char *const files[] = {"overview", "disk", "versions", "protection", "policy", "update", "about"};
    for (int id = Overview; id <= About; ++id) {
        window.gotoPage(PageId(id));
        QCoreApplication::processEvents();
        const QImage shot = window.grab().toImage();
        const QString file = QStringLiteral("%1/%2-%3.png").arg(m_dir, name, QString::fromLatin1(files[id]));
        QVERIFY2(shot.save(file), qPrintable(file));

        BasePage *page = window.page(PageId(id));
        // Judge the settled layout: a read that just answered may have posted a relayout.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QStringList clipped = clippedLabels(page);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(" | "))));
        const QStringList square = Tavrin::Test::defaultStyledButtons(&window);
        QVERIFY2(square.isEmpty(), qPrintable(square.join(QStringLiteral(" | "))));
        if (auto *icon = page->findChild<QLabel *>(QStringLiteral("tavrinPageIcon")))
            QVERIFY(!icon->pixmap().isNull());
        if (auto *heading = page->findChild<QLabel *>(QStringLiteral("tavrinPageTitle")))
            QCOMPARE(heading->palette().color(QPalette::WindowText), title);

        // Backgrounds come from the theme: the sidebar's bottom corner shows
        // the base colour, the page margin the window colour.
        QWidget *sidebar = window.findChild<QWidget *>(QStringLiteral("tavrinSidebar"));
        const QPoint sidebarSpot = sidebar->mapTo(&window, QPoint(20, sidebar->height() - 20));
        QCOMPARE(shot.pixelColor(sidebarSpot * shot.devicePixelRatio()).rgb(), base.rgb());
        const QPoint pageSpot = page->mapTo(&window, QPoint(page->width() - 30, 8));
        QCOMPARE(shot.pixelColor(pageSpot * shot.devicePixelRatio()).rgb(), window_.rgb());
    }
    window.close();
}

void TestScreenshots::renderAboutDialog_data()
{
    renderEveryPage_data();
}

void TestScreenshots::renderAboutDialog()
{
    QFETCH(int, theme);
    QFETCH(QString, name);
    applyTheme(ZGuiApplicationHelper::ColorType(theme));
    TavrinUi::TavrinAboutDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCoreApplication::processEvents();
    const QString file = QStringLiteral("%1/%2-about-dialog.png").arg(m_dir, name);
    QVERIFY2(dialog.grab().save(file), qPrintable(file));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("关于Tavrin设置"));
    const QStringList clipped = clippedLabels(&dialog);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(" | "))));
    // Six command rows, each with its own copy button.
    QCOMPARE(dialog.findChildren<QAbstractButton *>(QStringLiteral("tavrinCopyButton")).size(), 6);
    const QStringList square = Tavrin::Test::defaultStyledButtons(&dialog);
    QVERIFY2(square.isEmpty(), qPrintable(square.join(QStringLiteral(" | "))));

    auto *scroll = dialog.findChild<QScrollArea *>(QStringLiteral("tavrinScroll"));
    QVERIFY(scroll && scroll->widget());
    QWidget *content = scroll->widget();
    QScrollBar *bar = scroll->verticalScrollBar();
    // Bottom edge of the lowest row, in the viewport's coordinates.
    auto lowestRow = [&] {
        int bottom = 0;
        for (QLabel *label : content->findChildren<QLabel *>()) {
            if (label->isVisibleTo(content))
                bottom = qMax(bottom, label->mapTo(scroll->viewport(), QPoint(0, label->height())).y());
        }
        return bottom;
    };
    if (bar->isVisibleTo(&dialog)) {
        const int barRight = bar->mapTo(&dialog, QPoint(bar->width(), 0)).x();
        QVERIFY2(dialog.width() - barRight >= 12, "the scroll bar touches the dialog's border");
    }
    // Scrolled to the end, the last row shows whole, with room below it.
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    QVERIFY2(
        lowestRow() + 8 <= scroll->viewport()->height(),
        qPrintable(
            QStringLiteral("last row ends at %1 of %2").arg(lowestRow()).arg(scroll->viewport()->height())));
    QVERIFY2(dialog.grab().save(QStringLiteral("%1/%2-about-dialog-end.png").arg(m_dir, name)), "save");

    // At its own size hint the dialog shows everything without scrolling.
    dialog.resize(dialog.width(), dialog.sizeHint().height());
    QCoreApplication::processEvents();
    QVERIFY(!bar->isVisibleTo(&dialog));
    QVERIFY(lowestRow() <= scroll->viewport()->height());
}

TAVRIN_TEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
