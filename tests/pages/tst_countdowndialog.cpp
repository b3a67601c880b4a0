#include "countdowndialog.h"
#include "pagetest.h"
#include "ui/confirmdialog.h"
#include "widgetchecks.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

class TestCountdownDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { TavrinCountdownDialog::setTickInterval(2); }
    void cleanup() { QCOMPARE(PageTest::dropPendingAnswers(), 0); }

    void confirmUnlocksOnlyAfterThirtyTicks()
    {
        TavrinCountdownDialog dialog;
        auto *confirm = dialog.findChild<QPushButton *>(QStringLiteral("tavrinCountdownConfirm"));
        auto *ring = dialog.findChild<CountdownRing *>();
        auto *timer = dialog.findChild<QTimer *>();
        QVERIFY(confirm && ring && timer);
        QVERIFY(!confirm->isEnabled());
        QCOMPARE(confirm->text(), QStringLiteral("我已知晓风险，完全关闭（30s）"));
        QCOMPARE(ring->remain(), 30);
        // Cancel, the default, is drawn as a toolkit button like the confirm one.
        auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("tavrinCountdownCancel"));
        QVERIFY(cancel && cancel->isDefault());
        const QStringList square = Tavrin::Test::defaultStyledButtons(&dialog);
        QVERIFY2(square.isEmpty(), qPrintable(square.join(QStringLiteral(" | "))));

        // Observe every tick: the button must stay locked for the first 29.
        int ticks = 0;
        int enabledEarly = 0;
        QStringList labels;
        connect(timer, &QTimer::timeout, this, [&] {
            ++ticks;
            if (ticks < 30 && confirm->isEnabled())
                ++enabledEarly;
            labels << confirm->text();
        });
        dialog.show();
        QTRY_VERIFY(confirm->isEnabled());
        QCOMPARE(ticks, 30);
        QCOMPARE(enabledEarly, 0);
        QCOMPARE(labels.value(0), QStringLiteral("我已知晓风险，完全关闭（29s）"));
        QCOMPARE(labels.value(28), QStringLiteral("我已知晓风险，完全关闭（1s）"));
        QCOMPARE(confirm->text(), QStringLiteral("我已知晓风险，完全关闭"));
        QCOMPARE(ring->remain(), 0);
        QVERIFY(!timer->isActive());
    }

    void closingDeclines_data()
    {
        QTest::addColumn<bool>("waitForUnlock");
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel during countdown") << false << "取消";
        QTest::newRow("escape during countdown") << false << "escape";
        QTest::newRow("cancel after countdown") << true << "取消";
        QTest::newRow("escape after countdown") << true << "escape";
        QTest::newRow("confirm after countdown") << true << "confirm";
        QTest::newRow("confirm clicked while locked") << false << "confirm";
        // Keys act on the focused button, never on another one.
        QTest::newRow("Return on cancel") << true << "return:tavrinCountdownCancel";
        QTest::newRow("Return on confirm") << true << "return:tavrinCountdownConfirm";
        QTest::newRow("Space on confirm") << true << "space:tavrinCountdownConfirm";
    }

    void closingDeclines()
    {
        QFETCH(bool, waitForUnlock);
        QFETCH(QString, how);
        TavrinCountdownDialog dialog;
        auto *confirm = dialog.findChild<QPushButton *>(QStringLiteral("tavrinCountdownConfirm"));
        QVERIFY(confirm);
        bool clickedWhileLocked = false;
        PageTest::onNextDialog([&](QDialog *d) {
            if (waitForUnlock)
                QTRY_VERIFY(confirm->isEnabled());
            if (how.contains(QLatin1Char(':'))) {
                auto *button = d->findChild<QPushButton *>(how.section(QLatin1Char(':'), 1));
                button->setFocus();
                QTest::keyClick(button,
                                how.startsWith(QLatin1String("space")) ? Qt::Key_Space : Qt::Key_Return);
                if (d->isVisible())
                    d->done(-5);
            } else if (how == QLatin1String("escape")) {
                QTest::keyClick(d, Qt::Key_Escape);
            } else if (how == QLatin1String("confirm")) {
                clickedWhileLocked = !confirm->isEnabled();
                QTest::mouseClick(confirm, Qt::LeftButton);
                if (clickedWhileLocked)
                    d->reject();
            } else {
                PageTest::findButton(d, how)->click();
            }
        });
        const int result = dialog.exec();
        const bool accepted =
            (how == QLatin1String("confirm") || how.endsWith(QLatin1String("Confirm"))) && waitForUnlock;
        QVERIFY(result != -5);
        QCOMPARE(result == QDialog::Accepted, accepted);
    }

    void askConfirmHandsOverToCountdown()
    {
        QWidget parent;
        parent.show();
        TavrinUi::ConfirmRequest req;
        req.title = QStringLiteral("ignored title");
        req.message = QStringLiteral("ignored message");
        req.countdownSeconds = 5;
        QString seen;
        PageTest::onNextDialog([&](QDialog *d) {
            seen = d->objectName();
            auto *confirm = d->findChild<QPushButton *>(QStringLiteral("tavrinCountdownConfirm"));
            QTRY_VERIFY(confirm && confirm->isEnabled());
            confirm->click();
        });
        QVERIFY(TavrinUi::askConfirm(&parent, req));
        QCOMPARE(seen, QStringLiteral("tavrinCountdownDialog"));

        PageTest::dismissNextDialog();
        QVERIFY(!TavrinUi::askConfirm(&parent, req));
    }
};

TAVRIN_TEST_MAIN(TestCountdownDialog)
#include "tst_countdowndialog.moc"
