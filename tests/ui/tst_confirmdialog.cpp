#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "testsupport.h"
#include "ui/components.h"
#include "ui/confirmdialog.h"
#include "zdialog.h"
#include "zwarningbutton.h"

using namespace TavrinUi;

namespace {

// Waits (from the event loop the dialog runs) for a visible dialog of type T
// and hands it to the answer, as a user would act on it.
template <typename T> void answerDialog(std::function<void(T *)> answer, int attempts = 200)
{
    QTimer::singleShot(10, qApp, [answer, attempts] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<T *>(w); dialog && dialog->isVisible()) {
                answer(dialog);
                return;
            }
        }
        if (attempts > 0)
            answerDialog<T>(answer, attempts - 1);
    });
}

void clickButton(ZDialog *dialog, int index)
{
    dialog->getButton(index)->click();
}

} // namespace

class TestConfirmDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void onlyTheConfirmButtonConfirms_data();
    void onlyTheConfirmButtonConfirms();
    void keysActOnTheFocusedButton_data();
    void keysActOnTheFocusedButton();
    void optionsWrittenBackOnConfirm_data();
    void optionsWrittenBackOnConfirm();
    void dangerShowsConsequences();
    void plainQuestionHasNoContent();
    void factsInShadedBox();
    void freezesMainWindowWhileOpen();
    void countdownReplacesTheDialog();
    void detailsBoxToggles();
};

void TestConfirmDialog::initTestCase()
{
    const QString fakes = Tavrin::Test::sourcePath(QStringLiteral("tests/fakes/ui"));
    qputenv("PATH", (fakes + QLatin1Char(':') + qEnvironmentVariable("PATH")).toLocal8Bit());
}

void TestConfirmDialog::onlyTheConfirmButtonConfirms_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("confirm button") << QStringLiteral("confirm") << true;
    QTest::newRow("cancel button") << QStringLiteral("cancel") << false;
    QTest::newRow("escape") << QStringLiteral("escape") << false;
    QTest::newRow("window close") << QStringLiteral("close") << false;
}

void TestConfirmDialog::onlyTheConfirmButtonConfirms()
{
    QFETCH(QString, how);
    QFETCH(bool, confirmed);
    QString seenTitle;
    QString confirmText;
    answerDialog<ZDialog>([&](ZDialog *dialog) {
        seenTitle = dialog->title();
        confirmText = dialog->getButton(1)->text();
        if (how == QLatin1String("confirm"))
            clickButton(dialog, 1);
        else if (how == QLatin1String("cancel"))
            clickButton(dialog, 0);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->close();
    });
    QCOMPARE(askConfirm(nullptr, QStringLiteral("删除快照"), QStringLiteral("确定删除？"), QString()),
             confirmed);
    QCOMPARE(seenTitle, QStringLiteral("删除快照"));
    QCOMPARE(confirmText, QStringLiteral("确定")); // empty confirm text falls back
}

// Enter must never confirm from anywhere but the confirm button itself.
void TestConfirmDialog::keysActOnTheFocusedButton_data()
{
    QTest::addColumn<int>("tone");
    QTest::addColumn<QString>("focus"); // "start": where the dialog puts it
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("confirmed");
    const struct
    {
        const char *name;
        int key;
    } keys[] = {{"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Space", Qt::Key_Space}};
    for (int tone : {0, 1}) {
        for (const auto &k : keys) {
            for (const char *focus : {"start", "cancel", "confirm"}) {
                QTest::addRow("tone %d, %s on %s", tone, k.name, focus)
                    << tone << QString::fromLatin1(focus) << k.key << (QLatin1String(focus) == "confirm");
            }
        }
        QTest::addRow("tone %d, Escape on confirm", tone)
            << tone << "confirm" << int(Qt::Key_Escape) << false;
        QTest::addRow("tone %d, Return on an option", tone)
            << tone << "radio" << int(Qt::Key_Return) << false;
    }
}

void TestConfirmDialog::keysActOnTheFocusedButton()
{
    QFETCH(int, tone);
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, confirmed);
    ConfirmRequest request;
    request.title = QStringLiteral("删除备份");
    request.confirmText = QStringLiteral("删除");
    request.options = {QStringLiteral("甲"), QStringLiteral("乙")};
    request.tone = tone;
    bool startedOnCancel = false;
    bool keyClosed = false;
    answerDialog<ZDialog>([&](ZDialog *dialog) {
        startedOnCancel = dialog->focusWidget() == dialog->getButton(0);
        QWidget *target = nullptr;
        if (focus == QLatin1String("cancel"))
            target = dialog->getButton(0);
        else if (focus == QLatin1String("confirm"))
            target = dialog->getButton(1);
        else if (focus == QLatin1String("radio"))
            target = dialog->findChildren<QRadioButton *>().value(1);
        if (target)
            target->setFocus();
        QWidget *receiver = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClick(receiver, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        keyClosed = !dialog->isVisible();
        if (!keyClosed)
            dialog->reject();
    });
    QCOMPARE(askConfirm(nullptr, request), confirmed);
    QVERIFY(startedOnCancel);
    if (focus != QLatin1String("radio"))
        QVERIFY2(keyClosed, "the key did nothing on a focused button");
}

void TestConfirmDialog::optionsWrittenBackOnConfirm_data()
{
    QTest::addColumn<int>("defaultOption");
    QTest::addColumn<int>("clickRadio");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("expected");
    QTest::newRow("default kept") << 1 << -1 << true << 1;
    QTest::newRow("user picks first") << 1 << 0 << true << 0;
    QTest::newRow("cancel leaves it") << 1 << 0 << false << -7;
    QTest::newRow("out of range default, nothing picked") << 5 << -1 << true << -7;
}

void TestConfirmDialog::optionsWrittenBackOnConfirm()
{
    QFETCH(int, defaultOption);
    QFETCH(int, clickRadio);
    QFETCH(bool, confirm);
    QFETCH(int, expected);
    int selected = -7;
    ConfirmRequest request;
    request.title = QStringLiteral("还原快照");
    request.options = {QStringLiteral("仅还原系统"), QStringLiteral("还原并重启")};
    request.defaultOption = defaultOption;
    request.selectedOption = &selected;
    int checkedAtStart = -2;
    answerDialog<ZDialog>([&](ZDialog *dialog) {
        const QList<QRadioButton *> radios = dialog->findChildren<QRadioButton *>();
        checkedAtStart = -1;
        for (int i = 0; i < radios.size(); ++i) {
            if (radios.at(i)->isChecked())
                checkedAtStart = i;
        }
        if (clickRadio >= 0)
            radios.at(clickRadio)->click();
        clickButton(dialog, confirm ? 1 : 0);
    });
    QCOMPARE(askConfirm(nullptr, request), confirm);
    QCOMPARE(checkedAtStart, defaultOption < 2 ? defaultOption : -1);
    QCOMPARE(selected, expected);
}

void TestConfirmDialog::dangerShowsConsequences()
{
    QStringList lines;
    QList<QColor> colours;
    bool warningButton = false;
    bool hasRadios = true;
    int indented = 0;
    bool wrapped = false;
    answerDialog<ZDialog>([&](ZDialog *dialog) {
        const QList<QLabel *> bullets =
            dialog->findChildren<QLabel *>(QStringLiteral("tavrinConsequenceBullet"));
        for (QLabel *label : dialog->findChildren<QLabel *>(QStringLiteral("tavrinConsequence"))) {
            lines << label->text();
            colours << label->palette().color(QPalette::WindowText);
            // A hanging indent: the text, wrapped or not, starts right of its bullet.
            const int textLeft = label->mapTo(dialog, QPoint()).x();
            for (QLabel *bullet : bullets) {
                if (bullet->parentWidget() == label->parentWidget() &&
                    qAbs(bullet->mapTo(dialog, QPoint()).y() - label->mapTo(dialog, QPoint()).y()) < 2)
                    indented += textLeft > bullet->mapTo(dialog, QPoint()).x() + bullet->width() ? 1 : 0;
            }
            wrapped = wrapped || label->height() > 2 * label->fontMetrics().height();
        }
        warningButton = qobject_cast<ZWarningButton *>(dialog->getButton(1)) != nullptr;
        hasRadios = !dialog->findChildren<QRadioButton *>().isEmpty();
        clickButton(dialog, 0);
    });
    const QStringList consequences = {
        QStringLiteral("系统将重启"), QStringLiteral("未保存的数据会丢失"),
        QStringLiteral("可写层将关闭，其中的改动不会保留；已经安装到可写层的软件、"
                       "修改过的配置文件与临时放入系统目录的文件都会一并消失")};
    QVERIFY(!askDanger(nullptr, QStringLiteral("还原"), QStringLiteral("确定还原？"), QStringLiteral("还原"),
                       consequences));
    QCOMPARE(lines, consequences);
    QCOMPARE(indented, 3);
    QVERIFY(wrapped); // the long line really wrapped
    for (const QColor &c : colours)
        QCOMPARE(c, semanticColor(Warning));
    QVERIFY(warningButton);
    QVERIFY(!hasRadios);
}

void TestConfirmDialog::plainQuestionHasNoContent()
{
    bool hasContentPanel = true;
    QString cancelText;
    answerDialog<ZDialog>([&](ZDialog *dialog) {
        hasContentPanel = dialog->findChild<QWidget *>(QStringLiteral("tavrinFacts")) != nullptr ||
                          !dialog->findChildren<QLabel *>(QStringLiteral("tavrinConsequence")).isEmpty();
        cancelText = dialog->getButton(0)->text();
        clickButton(dialog, 1);
    });
    QVERIFY(askConfirm(nullptr, QStringLiteral("t"), QString(), QStringLiteral("继续")));
    QVERIFY(!hasContentPanel);
    QCOMPARE(cancelText, QStringLiteral("取消"));
}

void TestConfirmDialog::factsInShadedBox()
{
    QStringList factTexts;
    answerDialog<ZDialog>([&](ZDialog *dialog) {
        auto *panel =
            dynamic_cast<TavrinPanel *>(dialog->findChild<QWidget *>(QStringLiteral("tavrinFacts")));
        if (panel) {
            QCOMPARE(panel->level(), TavrinPanel::Subtle);
            for (QLabel *label : panel->findChildren<QLabel *>())
                factTexts << label->text();
        }
        clickButton(dialog, 1);
    });
    ConfirmRequest request;
    request.title = QStringLiteral("删除");
    request.facts = {QStringLiteral("名称：每日备份"), QStringLiteral("创建时间：2026-01-01")};
    request.cancelText = QStringLiteral("保留");
    QVERIFY(askConfirm(nullptr, request));
    QCOMPARE(factTexts, request.facts);
}

void TestConfirmDialog::freezesMainWindowWhileOpen()
{
    QMainWindow window;
    auto *central = new QWidget;
    window.setCentralWidget(central);
    auto *button = new QPushButton(central);
    window.show();
    bool frozen = false;
    bool windowModalBlock = true;
    answerDialog<ZDialog>([&](ZDialog *dialog) {
        frozen = !central->isEnabled();
        windowModalBlock = dialog->windowModality() == Qt::WindowModal;
        clickButton(dialog, 1);
    });
    QVERIFY(askConfirm(button, QStringLiteral("t"), QStringLiteral("m"), QString()));
    QVERIFY(frozen);
    QVERIFY(!windowModalBlock);
    QVERIFY(central->isEnabled());
}

void TestConfirmDialog::countdownReplacesTheDialog()
{
    bool sawZDialog = false;
    QString title;
    answerDialog<QDialog>([&](QDialog *dialog) {
        sawZDialog = qobject_cast<ZDialog *>(dialog) != nullptr;
        title = dialog->windowTitle();
        dialog->reject();
    });
    ConfirmRequest request;
    request.title = QStringLiteral("不应出现的标题");
    request.message = QStringLiteral("不应出现的消息");
    request.countdownSeconds = 5;
    QVERIFY(!askConfirm(nullptr, request));
    QVERIFY(!sawZDialog);
    QVERIFY(title != request.title);
}

void TestConfirmDialog::detailsBoxToggles()
{
    QWidget parent;
    QWidget *box = createDetailsBox(QStringLiteral("错误详情"), QStringLiteral("exit code 1"), &parent);
    QCOMPARE(box->parentWidget(), &parent);
    auto *toggle = box->findChild<QPushButton *>();
    QLabel *details = nullptr;
    for (QLabel *label : box->findChildren<QLabel *>()) {
        if (label->text() == QStringLiteral("exit code 1"))
            details = label;
    }
    QVERIFY(toggle && details);
    QVERIFY(details->isHidden());
    QCOMPARE(toggle->text(), QStringLiteral("▸ 错误详情"));
    toggle->click();
    QVERIFY(!details->isHidden());
    QCOMPARE(toggle->text(), QStringLiteral("▾ 错误详情"));
    QVERIFY(details->textInteractionFlags() & Qt::TextSelectableByMouse);
    toggle->click();
    QVERIFY(details->isHidden());
    QCOMPARE(toggle->text(), QStringLiteral("▸ 错误详情"));
}

TAVRIN_TEST_MAIN(TestConfirmDialog)
#include "tst_confirmdialog.moc"
