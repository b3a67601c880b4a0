#include "basepage.h"
#include "masterswitch.h"
#include "pagetest.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>

#include "zlabel.h"
#include "zswitchbutton.h"

using TavrinSwitch::Presentation;
using TavrinSwitch::TavrinSwitchRow;

namespace {
Tavrin::WritableStatus status(bool readable, bool enabled, bool clear)
{
    Tavrin::WritableStatus s;
    s.enabled = enabled;
    s.clearAfterReboot = clear;
    if (readable) {
        s.conf.insert(QStringLiteral("enable"), enabled);
        s.conf.insert(QStringLiteral("clearAfterReboot"), clear);
    }
    return s;
}
} // namespace

class TestMasterSwitch : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(PageTest::dropPendingAnswers(), 0); }

    void presentation_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<bool>("known");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("semantic");
        QTest::newRow("unreadable") << false << false << false << false << false
                                    << "未知状态 · 无法读取Tavrin配置" << int(TavrinUi::Muted);
        // Flags without a configuration object are not trusted.
        QTest::newRow("unreadable but flags set") << false << true << true << false << false
                                                  << "未知状态 · 无法读取Tavrin配置" << int(TavrinUi::Muted);
        QTest::newRow("protected") << true << false << false << true << true << "保护中 · 核心目录只读"
                                   << int(TavrinUi::Success);
        QTest::newRow("protected, stale clear flag")
            << true << false << true << true << true << "保护中 · 核心目录只读" << int(TavrinUi::Success);
        QTest::newRow("temporarily off") << true << true << true << true << false
                                         << "已临时关闭 · 重启后自动恢复" << int(TavrinUi::Warning);
        QTest::newRow("off for good") << true << true << false << true << false
                                      << "已完全关闭 · 重启后仍保持关闭" << int(TavrinUi::Danger);
    }

    void presentation()
    {
        QFETCH(bool, readable);
        QFETCH(bool, enabled);
        QFETCH(bool, clear);
        const Presentation p = TavrinSwitch::presentationFor(status(readable, enabled, clear));
        QTEST(p.known, "known");
        QTEST(p.checked, "checked");
        QTEST(p.text, "text");
        if (p.known)
            QTEST(int(p.semantic), "semantic");

        // The row shows it without starting a switch attempt.
        BasePage page;
        TavrinSwitchRow row(&page, false, &page);
        QSignalSpy changed(&row, &TavrinSwitchRow::switchChanged);
        bool dialogOpened = false;
        PageTest::onNextDialog([&](QDialog *d) {
            dialogOpened = true;
            d->reject();
        });
        Presentation opposite = p;
        opposite.known = true;
        opposite.checked = !p.checked;
        row.applyStatus(opposite);
        row.applyStatus(p);
        QCoreApplication::processEvents();
        QVERIFY(!dialogOpened);
        QCOMPARE(PageTest::dropPendingAnswers(), 1);
        QCOMPARE(row.switchControl()->isChecked(), p.known && p.checked);
        QCOMPARE(row.switchControl()->isEnabled(), p.known);
        QCOMPARE(row.statusText(), p.text);
        auto *label = row.findChild<ZLabel *>(QStringLiteral("tavrinSwitchStatus"));
        QVERIFY(label);
        QCOMPARE(label->property("tavrinSemantic").toInt(), p.known ? int(p.semantic) : int(TavrinUi::Muted));
        QCOMPARE(changed.count(), 0);
        // The shield is in colour only while the state is known.
        int coloured = 0;
        for (QLabel *icon : row.findChildren<QLabel *>()) {
            const QImage image = icon->pixmap().toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    coloured += c.alpha() > 128 && c.hsvSaturation() > 80 ? 1 : 0;
                }
        }
        QCOMPARE(coloured > 0, p.known);
    }

    void newRowShowsUnknownState()
    {
        BasePage page;
        TavrinSwitchRow row(&page, true, &page);
        page.show();
        QVERIFY(!row.switchControl()->isEnabled());
        QVERIFY(!row.switchControl()->isChecked());
        QCOMPARE(row.statusText(), QStringLiteral("未知状态 · 无法读取Tavrin配置"));

        QSignalSpy details(&row, &TavrinSwitchRow::detailRequested);
        auto *button = PageTest::findButton(&row, QStringLiteral("详情"));
        QVERIFY(button);
        button->click();
        QCOMPARE(details.count(), 1);

        TavrinSwitchRow plainRow(&page, false, &page);
        plainRow.show();
        QVERIFY(!PageTest::findButton(&plainRow, QStringLiteral("详情")));
    }

    void nullPageDeclines()
    {
        int calls = 0;
        bool outcome = true;
        TavrinSwitch::requestSwitch(nullptr, true, [&](bool ok) {
            ++calls;
            outcome = ok;
        });
        QCOMPARE(calls, 1);
        QVERIFY(!outcome);
    }

    void flashHoldsThenFades_data()
    {
        QTest::addColumn<QByteArray>("animations");
        QTest::newRow("animated") << QByteArray("true");
        QTest::newRow("reduced motion") << QByteArray("false");
    }

    void flashHoldsThenFades()
    {
        QFETCH(QByteArray, animations);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", Tavrin::Test::sourcePath(QStringLiteral("tests/fakes/ui")).toUtf8() + ':' + path);
        qputenv("FAKE_GSETTINGS_OUTPUT", animations);
        TavrinUi::resetReduceMotionCache();
        QCOMPARE(TavrinUi::reduceMotionRequested(), animations == "false");
        qputenv("PATH", path);

        BasePage page;
        auto *row = new TavrinSwitchRow(&page, false, &page);
        page.registerSearchTarget(QStringLiteral("Tavrin功能"), row, nullptr);
        page.show();
        QCOMPARE(row->highlight(), 0.0);
        // The base finds the row by class name and flashes it through the meta-object.
        QVERIFY(page.highlightSetting(QStringLiteral("Tavrin功能")));
        QCOMPARE(row->highlight(), 1.0);
        QTRY_COMPARE_WITH_TIMEOUT(row->highlight(), 0.0, 5000);

        // A second flash starts over from full strength; with reduced motion
        // the highlight only ever takes the values 1 and 0.
        QList<double> seen;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] { seen << row->highlight(); });
        row->flashHighlight();
        QCOMPARE(row->highlight(), 1.0);
        probe.start(5);
        QTRY_COMPARE_WITH_TIMEOUT(row->highlight(), 0.0, 5000);
        probe.stop();
        const bool onlyExtremes =
            std::all_of(seen.cbegin(), seen.cend(), [](double v) { return v == 0.0 || v == 1.0; });
        if (animations == "false")
            QVERIFY(onlyExtremes);
        TavrinUi::resetReduceMotionCache();
    }
};

TAVRIN_TEST_MAIN(TestMasterSwitch)
#include "tst_masterswitch.moc"
