#include "countdowndialog.h"
#include "pagetest.h"
#include "protectionpage.h"
#include "ui/components.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>

#include "zlabel.h"
#include "zswitchbutton.h"

using TavrinSwitch::TavrinSwitchRow;

namespace {

struct Shown
{
    bool enabled;
    bool clear;
    bool operator==(const Shown &o) const { return enabled == o.enabled && clear == o.clear; }
};

Shown systemState()
{
    const Tavrin::WritableStatus s = Tavrin::getWritableStatus();
    return {s.enabled, s.clearAfterReboot};
}

QString cardValue(ProtectionPage *page, const QString &title)
{
    for (TavrinUi::TavrinStateCard *card : PageTest::childrenOfType<TavrinUi::TavrinStateCard>(page)) {
        const auto labels = card->findChildren<QLabel *>();
        for (QLabel *l : labels) {
            if (l->text() == title)
                return card->valueLabel()->text();
        }
    }
    return QStringLiteral("<no card %1>").arg(title);
}

QString bannerDetails(TavrinUi::TavrinInlineBanner *banner)
{
    if (!banner->details() || !banner->details()->content())
        return QString();
    auto *label = qobject_cast<QLabel *>(banner->details()->content());
    return label ? label->text() : QString();
}

} // namespace

class TestProtectionPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;
    std::unique_ptr<ProtectionPage> page;

    TavrinSwitchRow *row() const { return page->masterSwitchRow(); }
    TavrinUi::TavrinInlineBanner *banner() const { return page->findChild<TavrinUi::TavrinInlineBanner *>(); }

    bool loadPage()
    {
        page->refresh();
        return QTest::qWaitFor([this] { return !page->isBusy(); }, 60000);
    }

    // Flips the switch as a user would and waits for the attempt to end and
    // the page to show the state read back from the system.
    bool flipAndWait()
    {
        QSignalSpy changed(row(), &TavrinSwitchRow::switchChanged);
        row()->switchControl()->click();
        if (!QTest::qWaitFor([&] { return changed.count() == 1; }, 120000))
            return false;
        return QTest::qWaitFor([this] { return !page->isBusy(); }, 60000);
    }

private slots:
    void initTestCase() { TavrinCountdownDialog::setTickInterval(2); }

    void init()
    {
        sim = std::make_unique<PageTest::SimRoot>();
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
        page = std::make_unique<ProtectionPage>(nullptr);
        page->resize(900, 700);
        page->show();
        QVERIFY(loadPage());
    }

    void cleanup()
    {
        page.reset();
        sim.reset();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    void showsProtectedSystem()
    {
        QVERIFY(row()->switchControl()->isChecked());
        QVERIFY(row()->switchControl()->isEnabled());
        QCOMPARE(row()->statusText(), QStringLiteral("保护中 · 核心目录只读"));
        QCOMPARE(cardValue(page.get(), QStringLiteral("只读保护")), QStringLiteral("已开启"));
        QCOMPARE(cardValue(page.get(), QStringLiteral("可写层")), QStringLiteral("已锁定"));
        QCOMPARE(cardValue(page.get(), QStringLiteral("重启后状态")), QStringLiteral("仍为只读"));

        const auto entries = page->searchableSettings();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().key, QStringLiteral("Tavrin功能"));
        // The entry's key must lead to the switch row.
        QVERIFY(page->highlightSetting(entries.first().key));
        QCOMPARE(row()->highlight(), 1.0);
    }

    void unreadableConfiguration()
    {
        // A writable tool that prints garbage leaves the state unknown.
        qputenv("SIM_WRITABLE_GARBAGE", "1");
        QVERIFY(loadPage());
        qunsetenv("SIM_WRITABLE_GARBAGE");
        QVERIFY(!row()->switchControl()->isEnabled());
        QVERIFY(!row()->switchControl()->isChecked());
        QCOMPARE(row()->statusText(), QStringLiteral("未知状态 · 无法读取Tavrin配置"));
        // Not "protected": unknown, with the tool's own answer at hand.
        for (const char *card : {"只读保护", "可写层", "重启后状态"})
            QCOMPARE(cardValue(page.get(), QString::fromUtf8(card)), QStringLiteral("未知"));
        TavrinUi::TavrinInlineBanner *banner = static_cast<BasePage *>(page.get())->banner();
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->semantic(), TavrinUi::Danger);
        QCOMPARE(banner->text(), QStringLiteral("无法读取可写层状态。"));

        // A good read afterwards takes the failure away.
        QVERIFY(loadPage());
        QCOMPARE(cardValue(page.get(), QStringLiteral("只读保护")), QStringLiteral("已开启"));
        QVERIFY(!banner->isVisible());
    }

    void switchOffAndBackOn_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("afterReboot");
        QTest::newRow("temporary") << "临时关闭（重启后自动恢复）" << true << "已临时关闭 · 重启后自动恢复"
                                   << "恢复只读";
        QTest::newRow("permanent") << "完全关闭（重启后仍保持关闭）" << false
                                   << "已完全关闭 · 重启后仍保持关闭"
                                   << "仍保持可写";
    }

    void switchOffAndBackOn()
    {
        QFETCH(QString, option);
        QFETCH(bool, clear);
        QFETCH(QString, status);
        QFETCH(QString, afterReboot);

        QString asked;
        PageTest::answerNextDialog(QStringLiteral("关闭保护"), option, &asked);
        bool countdownSeen = false;
        if (!clear) {
            PageTest::onNextDialog([&countdownSeen](QDialog *d) {
                countdownSeen = d->objectName() == QLatin1String("tavrinCountdownDialog");
                auto *confirm = d->findChild<QPushButton *>(QStringLiteral("tavrinCountdownConfirm"));
                QVERIFY(confirm);
                QVERIFY(!confirm->isEnabled());
                QTRY_VERIFY(confirm->isEnabled());
                confirm->click();
            });
        }
        QVERIFY(flipAndWait());
        QVERIFY(asked.contains(QStringLiteral("关闭Tavrin保护")));
        QVERIFY(asked.contains(QStringLiteral("核心系统目录将变为可写")));
        QCOMPARE(countdownSeen, !clear);

        QCOMPARE(systemState(), (Shown{true, clear}));
        QVERIFY(!row()->switchControl()->isChecked());
        QVERIFY(row()->switchControl()->isEnabled());
        QCOMPARE(row()->statusText(), status);
        QCOMPARE(cardValue(page.get(), QStringLiteral("只读保护")), QStringLiteral("已关闭"));
        QCOMPARE(cardValue(page.get(), QStringLiteral("可写层")), QStringLiteral("已解锁"));
        QCOMPARE(cardValue(page.get(), QStringLiteral("重启后状态")), afterReboot);
        QCOMPARE(banner()->semantic(), TavrinUi::Success);
        QCOMPARE(banner()->text(), QStringLiteral("设置成功，请重启系统使设置生效。"));

        PageTest::answerNextDialog(QStringLiteral("恢复保护"), QString(), &asked);
        QVERIFY(flipAndWait());
        QVERIFY(asked.contains(QStringLiteral("开启Tavrin保护")));
        QCOMPARE(systemState(), (Shown{false, false}));
        QVERIFY(row()->switchControl()->isChecked());
        QCOMPARE(row()->statusText(), QStringLiteral("保护中 · 核心目录只读"));
        QCOMPARE(cardValue(page.get(), QStringLiteral("重启后状态")), QStringLiteral("仍为只读"));
    }

    void decliningChangesNothing_data()
    {
        QTest::addColumn<bool>("startOff");
        QTest::addColumn<QString>("firstAnswer");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("countdownAnswer");
        QTest::newRow("cancel switching off") << false << "取消" << QString() << QString();
        QTest::newRow("close the switch-off question") << false << QString() << QString() << QString();
        QTest::newRow("cancel the countdown") << false << "关闭保护"
                                              << "完全关闭（重启后仍保持关闭）"
                                              << "取消";
        QTest::newRow("close the countdown before it ends") << false << "关闭保护"
                                                            << "完全关闭（重启后仍保持关闭）" << QString();
        QTest::newRow("cancel switching on") << true << "取消" << QString() << QString();
        QTest::newRow("close the switch-on question") << true << QString() << QString() << QString();
    }

    void decliningChangesNothing()
    {
        QFETCH(bool, startOff);
        QFETCH(QString, firstAnswer);
        QFETCH(QString, option);
        QFETCH(QString, countdownAnswer);

        if (startOff) {
            QVERIFY(Tavrin::enableWritable(true, true).ok);
            QVERIFY(loadPage());
        }
        const Shown before = systemState();
        const bool checkedBefore = row()->switchControl()->isChecked();
        QCOMPARE(checkedBefore, !startOff);

        if (firstAnswer.isEmpty())
            PageTest::dismissNextDialog();
        else
            PageTest::answerNextDialog(firstAnswer, option);
        if (!option.isEmpty()) {
            PageTest::onNextDialog([countdownAnswer](QDialog *d) {
                if (countdownAnswer.isEmpty())
                    d->close();
                else
                    PageTest::findButton(d, countdownAnswer)->click();
            });
        }
        QVERIFY(flipAndWait());

        QCOMPARE(systemState(), before);
        QCOMPARE(row()->switchControl()->isChecked(), checkedBefore);
        QVERIFY(row()->switchControl()->isEnabled());
        QVERIFY(banner()->isHidden());
    }

    void refusedAuthorisation_data()
    {
        QTest::addColumn<QByteArray>("sudo");
        QTest::addColumn<QByteArray>("pkexec");
        QTest::addColumn<QString>("rawText");
        QTest::addColumn<QString>("friendlyText");
        QTest::newRow("password dialog dismissed")
            << QByteArray("password") << QByteArray("dismiss") << "Request dismissed"
            << "已取消授权，未执行操作";
        QTest::newRow("not authorised") << QByteArray("password") << QByteArray("deny") << "Not authorized"
                                        << "没有权限执行此操作";
        QTest::newRow("sudo refuses outright")
            << QByteArray("deny") << QByteArray("grant") << "not allowed to execute" << QString();
    }

    void refusedAuthorisation()
    {
        QFETCH(QByteArray, sudo);
        QFETCH(QByteArray, pkexec);
        QFETCH(QString, rawText);
        QFETCH(QString, friendlyText);

        qputenv("SIM_SUDO", sudo);
        qputenv("SIM_PKEXEC", pkexec);
        PageTest::answerNextDialog(QStringLiteral("关闭保护"));
        QVERIFY(flipAndWait());
        qputenv("SIM_SUDO", "grant");
        qputenv("SIM_PKEXEC", "grant");

        QCOMPARE(systemState(), (Shown{false, false}));
        QVERIFY(banner()->isVisible());
        QCOMPARE(banner()->semantic(), TavrinUi::Danger);
        QCOMPARE(banner()->text(), QStringLiteral("设置失败，请查看详情了解具体原因。"));
        QCOMPARE(banner()->details()->headerButton()->text().mid(2), QStringLiteral("完整输出"));
        const QString details = bannerDetails(banner());
        QVERIFY2(details.contains(rawText), qPrintable(details));
        if (!friendlyText.isEmpty())
            QVERIFY2(details.contains(friendlyText), qPrintable(details));
        // Usable again at once, showing the unchanged state.
        QVERIFY(row()->switchControl()->isEnabled());
        QVERIFY(row()->switchControl()->isChecked());
    }

    // A refresh (any visit to the page) while the privileged call waits must
    // not offer a second switch, here or on another page's row.
    void switchStaysLockedWhileRequestRuns()
    {
        TavrinSwitchRow otherRow(page.get(), true);
        otherRow.applyStatus(TavrinSwitch::presentationFor(Tavrin::getWritableStatus()));
        QVERIFY(otherRow.switchControl()->isEnabled());

        qputenv("SIM_WRITABLE_DELAY", "20");
        PageTest::answerNextDialog(QStringLiteral("关闭保护"));
        QSignalSpy changed(row(), &TavrinSwitchRow::switchChanged);
        row()->switchControl()->click();
        QVERIFY(!row()->switchControl()->isEnabled());
        // Once the privileged call has started, reads run without the delay.
        const QString log = sim->path(QStringLiteral("/var/log/zarnex-sim/calls.jsonl"));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QFile f(log);
                return f.open(QIODevice::ReadOnly) && f.readAll().contains("\"enable\"");
            }(),
            60000);
        qunsetenv("SIM_WRITABLE_DELAY");

        auto *busy = row()->findChild<QWidget *>(QStringLiteral("tavrinSwitchBusy"));
        QVERIFY(busy);
        QTRY_VERIFY(busy->isVisible());
        QVERIFY(loadPage());
        QVERIFY2(TavrinSwitch::switchRunning(), "the switch ended before the refresh; raise the delay");
        QVERIFY(!row()->switchControl()->isEnabled());
        QVERIFY(busy->isVisible());
        otherRow.applyStatus(TavrinSwitch::presentationFor(Tavrin::getWritableStatus()));
        QVERIFY(!otherRow.switchControl()->isEnabled());
        // Even a direct second request is refused at once, without a dialog.
        int calls = 0;
        TavrinSwitch::requestSwitch(page.get(), true, [&calls](bool ok) { calls += ok ? 100 : 1; });
        QCOMPARE(calls, 1);

        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 120000);
        QVERIFY(!busy->isVisible());
        QVERIFY(loadPage());
        QVERIFY(row()->switchControl()->isEnabled());
        QVERIFY(otherRow.switchControl()->isEnabled());
        QCOMPARE(systemState(), (Shown{true, true}));
    }

    void highlightBringsSwitchIntoView()
    {
        page->resize(600, 200);
        auto *area = page->findChild<QScrollArea *>(QStringLiteral("tavrinScroll"));
        QVERIFY(area);
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
        page->highlightEnableProtect();
        QCOMPARE(row()->highlight(), 1.0);
        const QRect inViewport(row()->mapTo(area->viewport(), QPoint(0, 0)), row()->size());
        QVERIFY(area->viewport()->rect().intersects(inViewport));
    }
};

TAVRIN_TEST_MAIN(TestProtectionPage)
#include "tst_protectionpage.moc"
