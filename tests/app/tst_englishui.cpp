#include "basepage.h"
#include "mainwindow.h"
#include "startup.h"
#include "testsupport.h"
#include "ui/aboutdialog.h"
#include "ui/components.h"
#include "ui/pageblocks.h"
#include "ui/sidebar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTranslator>

#include <algorithm>

// The window in English, as a user who picked English sees it: no Chinese
// left on screen and no English text cut off. Set TAVRIN_SCREENSHOT_DIR to
// keep the PNGs ("en-<page>.png") for a look.
class TestEnglishUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyPageInEnglish();
    void aboutDialogInEnglish();

private:
    QString m_dir;
    QTemporaryDir m_tmp;
    QTranslator m_program;
    QTranslator m_toolkit;
};

namespace {

bool hasChinese(const QString &text)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return text.contains(han);
}

// Text a user reads on the visible widgets below root: labels, buttons,
// placeholders, table headers.
QStringList visibleTexts(QWidget *root)
{
    QStringList texts;
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (label->isVisibleTo(root))
            texts << (Qt::mightBeRichText(label->text())
                          ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                          : label->text());
    }
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->isVisibleTo(root))
            texts << button->text();
    }
    for (QLineEdit *edit : root->findChildren<QLineEdit *>()) {
        if (edit->isVisibleTo(root))
            texts << edit->placeholderText();
    }
    for (QTableWidget *table : root->findChildren<QTableWidget *>()) {
        if (!table->isVisibleTo(root))
            continue;
        for (int c = 0; c < table->columnCount(); ++c) {
            if (const QTableWidgetItem *item = table->horizontalHeaderItem(c))
                texts << item->text();
        }
    }
    texts.removeAll(QString());
    return texts;
}

QStringList chineseTexts(QWidget *root)
{
    QStringList texts = visibleTexts(root);
    texts.erase(std::remove_if(texts.begin(), texts.end(), [](const QString &t) { return !hasChinese(t); }),
                texts.end());
    return texts;
}

// Single-line labels narrower than their text, wrapped labels shorter than
// their lines, and buttons squeezed below the width their text needs.
QStringList clippedTexts(QWidget *root)
{
    QStringList clipped;
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(root) || label->text().isEmpty() || dynamic_cast<Ui::ElidedLabel *>(label) ||
            Qt::mightBeRichText(label->text()))
            continue;
        if (label->wordWrap()) {
            if (label->height() + 1 < label->heightForWidth(label->width()))
                clipped << label->text();
        } else if (!label->text().contains(QLatin1Char('\n')) &&
                   label->contentsRect().width() + 1 <
                       label->fontMetrics().horizontalAdvance(label->text())) {
            clipped << label->text();
        }
    }
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->isVisibleTo(root) && !button->text().isEmpty() &&
            button->width() + 1 < button->sizeHint().width())
            clipped << button->text();
    }
    return clipped;
}

} // namespace

void TestEnglishUi::initTestCase()
{
    const QString fakes = Tavrin::Test::sourcePath(QStringLiteral("tests/fakes/ui"));
    qputenv("PATH", (fakes + QLatin1Char(':') + qEnvironmentVariable("PATH")).toLocal8Bit());
    const QString translations = Tavrin::Test::buildPath(QStringLiteral("bin/translations"));
    QCOMPARE(TavrinStartup::loadTranslation(&m_program, QStringLiteral("en_US"), {translations}),
             translations);
    QVERIFY(QCoreApplication::installTranslator(&m_program));
    // The toolkit's own buttons and titles, when its catalogue is built.
    if (m_toolkit.load(QStringLiteral("zentk_en_US"), translations))
        QCoreApplication::installTranslator(&m_toolkit);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qApp->setStyleSheet(tavrinStyleSheet());

    m_dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
    if (m_dir.isEmpty()) {
        QVERIFY(m_tmp.isValid());
        m_dir = m_tmp.path();
    }
    QVERIFY(QDir().mkpath(m_dir));
}

void TestEnglishUi::cleanupTestCase()
{
    QCoreApplication::removeTranslator(&m_toolkit);
    QCoreApplication::removeTranslator(&m_program);
    QLocale::setDefault(QLocale::c());
}

void TestEnglishUi::everyPageInEnglish()
{
    MainWindow window;
    window.restartProgram = [] {};
    window.resize(1060, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QStringLiteral("Tavrin Settings"));

    const QStandardItemModel *model = window.navigation()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        QVERIFY2(!hasChinese(model->item(row)->text()), qPrintable(model->item(row)->text()));

    const char *const files[] = {"overview", "disk", "versions", "protection", "policy", "update", "about"};
    for (int id = Overview; id <= About; ++id) {
        window.gotoPage(PageId(id));
        QCoreApplication::processEvents();
        QVERIFY(QTest::qWaitFor([&] { return !window.page(PageId(id))->isBusy(); }, 60000));
        QCoreApplication::processEvents();
        const QString file = QStringLiteral("%1/en-%2.png").arg(m_dir, QString::fromLatin1(files[id]));
        QVERIFY2(window.grab().save(file), qPrintable(file));

        BasePage *page = window.page(PageId(id));
        const QStringList chinese = chineseTexts(page);
        QVERIFY2(chinese.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(files[id], chinese.join(" | "))));
        const QStringList clipped = clippedTexts(page);
        QVERIFY2(clipped.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(files[id], clipped.join(" | "))));
    }
    window.close();
}

void TestEnglishUi::aboutDialogInEnglish()
{
    TavrinUi::TavrinAboutDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCoreApplication::processEvents();
    QVERIFY(dialog.grab().save(m_dir + QStringLiteral("/en-about-dialog.png")));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About Tavrin Settings"));
    const QStringList texts = chineseTexts(&dialog);
    QVERIFY2(texts.isEmpty(), qPrintable(texts.join(QStringLiteral(" | "))));
    const QStringList clipped = clippedTexts(&dialog);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(" | "))));
}

TAVRIN_TEST_MAIN(TestEnglishUi)
#include "tst_englishui.moc"
