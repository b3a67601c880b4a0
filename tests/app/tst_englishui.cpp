#include "../pages/pagetest.h"
#include "backend/backend.h"
#include "backend/backend_p.h"
#include "basepage.h"
#include "countdowndialog.h"
#include "mainwindow.h"
#include "masterswitch.h"
#include "protectionpage.h"
#include "snapshotrowdelegate.h"
#include "snapshotspage.h"
#include "startup.h"
#include "testsupport.h"
#include "ui/aboutdialog.h"
#include "ui/appearance.h"
#include "ui/components.h"
#include "ui/pageblocks.h"
#include "ui/sidebar.h"
#include "zsuggestbutton.h"
#include "zswitchbutton.h"
#include "zwarningbutton.h"

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
    void snapshotsAndProtectionInEnglish();

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

// As above, after taking out the system's own data (names, descriptions)
// that the texts quote.
QStringList chineseTexts(QWidget *root, const QSet<QString> &data)
{
    QStringList texts;
    for (QString text : visibleTexts(root)) {
        for (const QString &quoted : data) {
            if (!quoted.isEmpty())
                text.remove(quoted);
        }
        if (hasChinese(text))
            texts << text;
    }
    return texts;
}

// Single-line labels narrower than their text, wrapped labels shorter than
// their lines.
QStringList clippedLabels(QWidget *root)
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
    return clipped;
}

// Buttons may give up some padding, but not the room for their text and
// icon; `filled` picks the toolkit's filled buttons, else the others.
QStringList clippedButtons(QWidget *root, bool filled)
{
    QStringList clipped;
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (!button->isVisibleTo(root) || button->text().isEmpty())
            continue;
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        const int text =
            button->fontMetrics().horizontalAdvance(QString(button->text()).remove(QLatin1Char('&')));
        // The toolkit's filled buttons draw their text 8 px in from each side.
        const bool isFilled =
            dynamic_cast<ZWarningButton *>(button) || dynamic_cast<ZSuggestButton *>(button);
        if (isFilled == filled && button->width() < text + icon + (filled ? 16 : 4))
            clipped << button->text();
    }
    return clipped;
}

QStringList clippedTexts(QWidget *root)
{
    return clippedLabels(root) + clippedButtons(root, false) + clippedButtons(root, true);
}

// The toolkit's filled buttons paint their text 8 px in from each side; their
// size hint must leave room for that or longer English texts get cut.
void verifyFilledButtonsFit(const QStringList &cut)
{
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
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
    TavrinUi::applyAppearance();

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
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int role : {int(Qt::DisplayRole), int(TavrinUi::TavrinSidebar::GroupRole)}) {
            const QString text = model->item(row)->data(role).toString();
            QVERIFY2(!hasChinese(text), qPrintable(text));
        }
    }

    const char *const files[] = {"overview", "disk", "versions", "protection", "policy", "update", "about"};
    QStringList toolkitCut;
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
        const QStringList clipped = clippedLabels(page) + clippedButtons(page, false);
        QVERIFY2(clipped.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(files[id], clipped.join(" | "))));
        for (const QString &text : clippedButtons(page, true))
            toolkitCut << QStringLiteral("%1: %2").arg(files[id], text);
    }
    window.close();
    verifyFilledButtonsFit(toolkitCut);
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

// The two pages with system data, and the dialogs their actions open.
void TestEnglishUi::snapshotsAndProtectionInEnglish()
{
    PageTest::SimRoot sim;
    QVERIFY(sim.isReady());
    Tavrin::resetSizeCachesForTesting();
    const QList<Tavrin::SnapshotInfo> snaps = Tavrin::getSnapshots();
    QVERIFY(snaps.size() >= 2);
    // A recorded pre-rollback backup, so its badge and state card show too.
    const QJsonObject state{{QStringLiteral("backup_snapshot_id"), snaps.last().id},
                            {QStringLiteral("status"), QStringLiteral("pending")},
                            {QStringLiteral("strategy"), QStringLiteral("manual")}};
    QVERIFY(Tavrin::saveRollbackState(state).ok);
    // Names and descriptions are the system's data, not interface text.
    QSet<QString> data;
    for (const Tavrin::SnapshotInfo &snap : snaps)
        data << snap.name << snap.desc;

    QStringList toolkitCut;
    const auto check = [this, &data, &toolkitCut](QWidget *widget, const QString &name) {
        QVERIFY(widget->grab().save(QStringLiteral("%1/en-%2.png").arg(m_dir, name)));
        const QStringList chinese = chineseTexts(widget, data);
        QVERIFY2(chinese.isEmpty(),
                 qPrintable(name + QStringLiteral(": ") + chinese.join(QStringLiteral(" | "))));
        const QStringList clipped = clippedLabels(widget) + clippedButtons(widget, false);
        QVERIFY2(clipped.isEmpty(),
                 qPrintable(name + QStringLiteral(": ") + clipped.join(QStringLiteral(" | "))));
        for (const QString &text : clippedButtons(widget, true))
            toolkitCut << name + QStringLiteral(": ") + text;
    };
    const auto checkDialog = [&check](const QString &name) {
        PageTest::onNextDialog([&check, name](QDialog *dialog) {
            QCoreApplication::processEvents();
            check(dialog, name);
            dialog->reject();
        });
    };

    SnapshotsPage snapshots(nullptr);
    snapshots.resize(900, 680);
    snapshots.show();
    snapshots.refresh();
    QVERIFY(QTest::qWaitFor([&] { return !snapshots.isBusy(); }, 120000));
    QCoreApplication::processEvents();
    check(&snapshots, QStringLiteral("snapshots"));
    if (QTest::currentTestFailed())
        return;

    auto *table = snapshots.findChild<QTableWidget *>(QStringLiteral("tavrinSnapshotTable"));
    QVERIFY(table && table->rowCount() >= 2);
    // The row's buttons are drawn by the table; their templates carry the texts.
    auto *rows = qobject_cast<SnapshotRowDelegate *>(table->itemDelegateForColumn(5));
    QVERIFY(rows);
    QCOMPARE(table->findChild<QAbstractButton *>(QStringLiteral("tavrinRestoreButton"))->text(),
             QStringLiteral("Restore"));
    QCOMPARE(table->findChild<QAbstractButton *>(QStringLiteral("tavrinDeleteButton"))->text(),
             QStringLiteral("Delete"));
    const int last = table->rowCount() - 1;
    checkDialog(QStringLiteral("snapshots-restore"));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      rows->actionRect(last, SnapshotRowDelegate::Restore).center());
    // The question follows the writable-layer check, read off the GUI thread.
    QVERIFY(QTest::qWaitFor([] { return PageTest::DialogAnswerer::pending == 0; }, 60000));
    checkDialog(QStringLiteral("snapshots-delete"));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      rows->actionRect(last, SnapshotRowDelegate::Delete).center());
    checkDialog(QStringLiteral("snapshots-create"));
    QMetaObject::invokeMethod(&snapshots, "onCreate");
    QCOMPARE(PageTest::dropPendingAnswers(), 0);
    if (QTest::currentTestFailed())
        return;

    ProtectionPage protection(nullptr);
    protection.resize(900, 680);
    protection.show();
    protection.refresh();
    QVERIFY(QTest::qWaitFor([&] { return !protection.isBusy(); }, 120000));
    QCoreApplication::processEvents();
    check(&protection, QStringLiteral("protection-sim"));
    checkDialog(QStringLiteral("protection-off"));
    protection.masterSwitchRow()->switchControl()->click();
    // The question opens from the event loop once the click has returned.
    QVERIFY(QTest::qWaitFor([] { return PageTest::DialogAnswerer::pending == 0; }, 120000));
    QVERIFY(QTest::qWaitFor([&] { return !protection.isBusy(); }, 120000));
    QCOMPARE(PageTest::dropPendingAnswers(), 0);

    // Protection off for good: the other state texts, and the conflict a
    // restore then runs into.
    QVERIFY(Tavrin::enableWritable(false, true).ok);
    protection.refresh();
    QVERIFY(QTest::qWaitFor([&] { return !protection.isBusy(); }, 120000));
    QCoreApplication::processEvents();
    check(&protection, QStringLiteral("protection-sim-off"));
    snapshots.refresh();
    QVERIFY(QTest::qWaitFor([&] { return !snapshots.isBusy(); }, 120000));
    checkDialog(QStringLiteral("snapshots-conflict"));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      rows->actionRect(table->rowCount() - 1, SnapshotRowDelegate::Restore).center());
    QVERIFY(QTest::qWaitFor([] { return PageTest::DialogAnswerer::pending == 0; }, 60000));
    QCOMPARE(PageTest::dropPendingAnswers(), 0);

    TavrinCountdownDialog countdown;
    countdown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&countdown));
    QCoreApplication::processEvents();
    check(&countdown, QStringLiteral("countdown"));
    verifyFilledButtonsFit(toolkitCut);
}

TAVRIN_TEST_MAIN(TestEnglishUi)
#include "tst_englishui.moc"
