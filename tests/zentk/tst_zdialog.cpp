#include "zdialog.h"

#include "testsupport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include <functional>

using DialogAction = std::function<void(ZDialog *)>;
Q_DECLARE_METATYPE(DialogAction)

class TestZDialog : public QObject
{
    Q_OBJECT

private:
    // Answers the dialog from the event loop once it is up, as a user would.
    static void answerWhenShown(ZDialog *dialog, const DialogAction &action)
    {
        QTimer::singleShot(0, dialog, [dialog, action] {
            if (!QTest::qWaitFor([dialog] { return dialog->isVisible(); }, 5000)) {
                dialog->reject();
                return;
            }
            action(dialog);
        });
    }

    static ZDialog *makeDialog()
    {
        auto *d = new ZDialog(QStringLiteral("删除快照"), QStringLiteral("确定要删除吗？"));
        d->addButton(QStringLiteral("取消"));
        d->addButton(QStringLiteral("删除"), true, ZDialog::ButtonWarning);
        d->addButton(QStringLiteral("稍后"), false, ZDialog::ButtonRecommend);
        return d;
    }

private slots:
    void execReturnsClickedIndex_data()
    {
        QTest::addColumn<DialogAction>("action");
        QTest::addColumn<int>("expected");
        QTest::newRow("first button") << DialogAction([](ZDialog *d) { d->getButton(0)->click(); }) << 0;
        QTest::newRow("last button") << DialogAction([](ZDialog *d) { d->getButton(2)->click(); }) << 2;
        QTest::newRow("mouse on warning button")
            << DialogAction([](ZDialog *d) { QTest::mouseClick(d->getButton(1), Qt::LeftButton); }) << 1;
        QTest::newRow("Return hits the default")
            << DialogAction([](ZDialog *d) { QTest::keyClick(d, Qt::Key_Return); }) << 1;
        QTest::newRow("Escape") << DialogAction([](ZDialog *d) { QTest::keyClick(d, Qt::Key_Escape); }) << -1;
        QTest::newRow("close button") << DialogAction([](ZDialog *d) {
            d->findChild<QToolButton *>(QStringLiteral("ZDialogCloseButton"))->click();
        }) << -1;
        QTest::newRow("window closed") << DialogAction([](ZDialog *d) { d->close(); }) << -1;
        QTest::newRow("accepted without a click") << DialogAction([](ZDialog *d) { d->accept(); }) << -1;
    }

    void execReturnsClickedIndex()
    {
        QFETCH(DialogAction, action);
        QFETCH(int, expected);
        std::unique_ptr<ZDialog> dialog(makeDialog());
        answerWhenShown(dialog.get(), action);
        QCOMPARE(dialog->exec(), expected);
    }

    void reusedDialogForgetsEarlierClick()
    {
        std::unique_ptr<ZDialog> dialog(makeDialog());
        answerWhenShown(dialog.get(), [](ZDialog *d) { d->getButton(2)->click(); });
        QCOMPARE(dialog->exec(), 2);
        answerWhenShown(dialog.get(), [](ZDialog *d) { QTest::keyClick(d, Qt::Key_Escape); });
        QCOMPARE(dialog->exec(), -1);
    }

    void clickSignalsIndexAndText()
    {
        std::unique_ptr<ZDialog> dialog(makeDialog());
        QSignalSpy spy(dialog.get(), &ZDialog::buttonClicked);
        answerWhenShown(dialog.get(), [](ZDialog *d) { d->getButton(1)->click(); });
        QCOMPARE(dialog->exec(), 1);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("删除"));
    }

    void buttonsThatDoNotClose()
    {
        std::unique_ptr<ZDialog> dialog(makeDialog());
        dialog->setOnButtonClickedClose(false);
        answerWhenShown(dialog.get(), [](ZDialog *d) {
            d->getButton(0)->click();
            const bool stillOpen = d->isVisible();
            d->done(stillOpen ? QDialog::Accepted : QDialog::Rejected);
        });
        // Closed by code after a click that kept it open: the click counts.
        QCOMPARE(dialog->exec(), 0);
        QCOMPARE(dialog->clickedButtonIndex(), 0);
    }

    void focusChosenByTheCallerIsKept_data()
    {
        QTest::addColumn<int>("focused"); // -1: nothing chosen
        QTest::addColumn<int>("expected");
        QTest::newRow("default button by default") << -1 << 1;
        QTest::newRow("caller focused the safe button") << 0 << 0;
    }

    void focusChosenByTheCallerIsKept()
    {
        QFETCH(int, focused);
        QFETCH(int, expected);
        std::unique_ptr<ZDialog> dialog(makeDialog());
        if (focused >= 0)
            dialog->getButton(focused)->setFocus();
        int hadFocus = -2;
        answerWhenShown(dialog.get(), [&hadFocus](ZDialog *d) {
            for (int i = 0; i < d->buttonCount(); ++i) {
                if (d->focusWidget() == d->getButton(i))
                    hadFocus = i;
            }
            d->reject();
        });
        dialog->exec();
        QCOMPARE(hadFocus, expected);
    }

    void partsAreReachable()
    {
        ZDialog dialog;
        dialog.setTitle(QStringLiteral("标题"));
        dialog.setMessage(QStringLiteral("消息"));
        auto *extra = new QLabel(QStringLiteral("附加"));
        dialog.addContent(extra);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("ZDialogTitle"))->text(), QStringLiteral("标题"));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("ZDialogMessage"))->text(),
                 QStringLiteral("消息"));
        QVERIFY(dialog.findChild<QWidget *>(QStringLiteral("ZDialogContent"))->isAncestorOf(extra));
        QCOMPARE(dialog.buttonCount(), 0);
        QCOMPARE(dialog.getButton(0), nullptr);
        QCOMPARE(dialog.addButton(QStringLiteral("好")), 0);
        QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("ZDialogButton0"))->text(),
                 QStringLiteral("好"));
        QCOMPARE(dialog.getButton(-1), nullptr);
    }
};

TAVRIN_TEST_MAIN(TestZDialog)
#include "tst_zdialog.moc"
