#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <limits>

#include "testsupport.h"
#include "ui/appearance.h"
#include "ui/components.h"
#include "zguiapplicationhelper.h"
#include "zlabel.h"
#include "zpushbutton.h"
#include "zsuggestbutton.h"
#include "zswitchbutton.h"
#include "zwarningbutton.h"

#include "../zentk/renderchecks.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QVBoxLayout>

using namespace TavrinUi;

class TestComponents : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void relativeLuminance_data();
    void relativeLuminance();
    void ensureContrastKeepsEnoughContrast();
    void ensureContrastDarkensOnLight();
    void ensureContrastLightensOnDark();
    void softFillArithmetic();
    void usageSemantic_data();
    void usageSemantic();
    void successGreenOverride_data();
    void successGreenOverride();
    void semanticColoursFollowTheme();

    void labelRegistrySurvivesDestroyedLabels();

    void reduceMotion_data();
    void reduceMotion();

    void cardRowColumns_data();
    void cardRowColumns();
    void cardRowUsesWidestCard();

    void bannerAutoDismiss();
    void bannerNewTextCancelsDismiss();
    void bannerCloseAndDetails();
    void actionButtonKinds();

    void collapsible();
    void skeletonRows_data();
    void skeletonRows();
    void localLoadingKeepsShortTextOnOneLine();
    void rowControls();
    void stateCardStatus();
    void tableAccessibleText();
    void windowModalFreezesContent();
    void controlsStandOutInBothThemes_data();
    void controlsStandOutInBothThemes();

private:
    QString m_fakes;
};

void TestComponents::initTestCase()
{
    m_fakes = Tavrin::Test::sourcePath(QStringLiteral("tests/fakes/ui"));
    qputenv("PATH", (m_fakes + QLatin1Char(':') + qEnvironmentVariable("PATH")).toLocal8Bit());
}

void TestComponents::init()
{
    qunsetenv("TAVRIN_SUCCESS_GREEN");
    ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::LightType);
}

void TestComponents::relativeLuminance_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<double>("expected");
    QTest::newRow("black") << QColor(0, 0, 0) << 0.0;
    QTest::newRow("white") << QColor(255, 255, 255) << 1.0;
    QTest::newRow("pure red") << QColor(255, 0, 0) << 0.2126;
    QTest::newRow("pure green") << QColor(0, 255, 0) << 0.7152;
    // 10/255 is below the 0.03928 knee: linear part v / 12.92.
    QTest::newRow("dark grey, linear part") << QColor(10, 10, 10) << (10.0 / 255.0) / 12.92;
    QTest::newRow("mid grey") << QColor(128, 128, 128) << std::pow((128.0 / 255.0 + 0.055) / 1.055, 2.4);
}

void TestComponents::relativeLuminance()
{
    QFETCH(QColor, colour);
    QFETCH(double, expected);
    QVERIFY(qAbs(relLum(colour) - expected) < 1e-9);
}

void TestComponents::ensureContrastKeepsEnoughContrast()
{
    QColor dark(20, 30, 40, 77);
    const QColor result = ensureContrast(dark, Qt::white, 4.8);
    QCOMPARE(result, dark);
    QCOMPARE(result.alpha(), 77);
}

void TestComponents::ensureContrastDarkensOnLight()
{
    const QColor grey(150, 150, 150);
    QVERIFY(contrastRatio(grey, Qt::white) < 4.8);
    const QColor result = ensureContrast(grey, Qt::white, 4.8);
    QVERIFY(result.lightness() < grey.lightness());
    QVERIFY(contrastRatio(result, Qt::white) >= 4.8);
    // The search stops near the target, not at black.
    QVERIFY(contrastRatio(result, Qt::white) < 5.0);
    QCOMPARE(result.hslSaturation(), grey.hslSaturation());

    const QColor blue(90, 140, 255, 200);
    const QColor adjusted = ensureContrast(blue, Qt::white, 4.8);
    QVERIFY(contrastRatio(adjusted, Qt::white) >= 4.8);
    QVERIFY(qAbs(adjusted.hslHueF() - blue.hslHueF()) < 0.01);
    QCOMPARE(adjusted.alpha(), 200);
}

void TestComponents::ensureContrastLightensOnDark()
{
    const QColor background(30, 30, 30);
    const QColor blue(20, 60, 160);
    const QColor result = ensureContrast(blue, background, 4.8);
    QVERIFY(result.lightness() > blue.lightness());
    QVERIFY(contrastRatio(result, background) >= 4.8);
    QVERIFY(qAbs(result.hslHueF() - blue.hslHueF()) < 0.01);
}

void TestComponents::softFillArithmetic()
{
    for (auto type : {ZGuiApplicationHelper::LightType, ZGuiApplicationHelper::DarkType}) {
        ZGuiApplicationHelper::instance()->setPaletteType(type);
        QCOMPARE(softFill(Accent, 0), baseColor());
        QCOMPARE(softFill(Accent, -5), baseColor());
        QColor full = semanticColor(Accent);
        full.setAlpha(255);
        QCOMPARE(softFill(Accent, 255), full);
        QCOMPARE(softFill(Accent, 400), full);

        const QColor c = semanticColor(Warning);
        const QColor b = baseColor();
        const QColor mixed = softFill(Warning, 51);
        QCOMPARE(mixed.red(), (51 * c.red() + 204 * b.red()) / 255);
        QCOMPARE(mixed.green(), (51 * c.green() + 204 * b.green()) / 255);
        QCOMPARE(mixed.blue(), (51 * c.blue() + 204 * b.blue()) / 255);
        QCOMPARE(mixed.alpha(), 255);
    }
}

void TestComponents::usageSemantic_data()
{
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("expected");
    QTest::newRow("below") << 74.99 << int(Normal);
    QTest::newRow("at threshold") << 75.0 << int(Warning);
    QTest::newRow("full") << 100.0 << int(Warning);
    QTest::newRow("negative") << -3.0 << int(Normal);
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << int(Normal);
}

void TestComponents::usageSemantic()
{
    QFETCH(double, percent);
    QFETCH(int, expected);
    QCOMPARE(int(usageSemanticForPct(percent)), expected);
}

void TestComponents::successGreenOverride_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("used");
    QTest::newRow("valid") << QByteArray("#123456") << true;
    QTest::newRow("too short") << QByteArray("#12345") << false;
    QTest::newRow("too long") << QByteArray("#1234567") << false;
    QTest::newRow("not a colour") << QByteArray("#zzzzzz") << false;
}

void TestComponents::successGreenOverride()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, used);
    qputenv("TAVRIN_SUCCESS_GREEN", value);
    for (auto type : {ZGuiApplicationHelper::LightType, ZGuiApplicationHelper::DarkType}) {
        ZGuiApplicationHelper::instance()->setPaletteType(type);
        const QColor success = semanticColor(Success);
        if (used) {
            QCOMPARE(success, QColor(QString::fromLatin1(value)));
        } else {
            QVERIFY(success.isValid());
            QVERIFY(contrastRatio(success, baseColor()) >= 4.8);
        }
    }
}

void TestComponents::semanticColoursFollowTheme()
{
    auto *helper = ZGuiApplicationHelper::instance();
    helper->setPaletteType(ZGuiApplicationHelper::LightType);
    const QColor lightNormal = semanticColor(Normal);
    const QColor lightAccent = semanticColor(Accent);
    const QColor lightSuccess = semanticColor(Success);
    const QColor lightBase = baseColor();
    helper->setPaletteType(ZGuiApplicationHelper::DarkType);
    QVERIFY(baseColor() != lightBase);
    QVERIFY(semanticColor(Normal) != lightNormal);
    QVERIFY(contrastRatio(semanticColor(Accent), baseColor()) >= 4.8);
    QVERIFY(contrastRatio(lightAccent, lightBase) >= 4.8);
    QVERIFY(semanticColor(Success) != lightSuccess);
    QCOMPARE(semanticColor(Danger), semanticColor(Warning));
    QCOMPARE(semanticColor(Semantic(42)), semanticColor(Normal));
}

void TestComponents::labelRegistrySurvivesDestroyedLabels()
{
    auto *helper = ZGuiApplicationHelper::instance();
    auto *doomed = makeLabel(QStringLiteral("gone"), Body, Muted);
    auto *kept = makeLabel(QStringLiteral("kept"), Body, Muted);
    applySemantic(kept, Warning);
    applySemantic(kept, Warning); // registered once; a second call must not duplicate
    delete doomed;

    helper->setPaletteType(ZGuiApplicationHelper::DarkType);
    refreshExactColorLabels();
    QCOMPARE(kept->palette().color(QPalette::Active, QPalette::WindowText), semanticColor(Warning));
    QCOMPARE(kept->property("tavrinSemantic").toInt(), int(Warning));

    helper->setPaletteType(ZGuiApplicationHelper::LightType);
    refreshExactColorLabels();
    QCOMPARE(kept->palette().color(QPalette::Disabled, QPalette::WindowText), semanticColor(Warning));
    delete kept;
    refreshExactColorLabels();
}

void TestComponents::reduceMotion_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("exitCode");
    QTest::addColumn<bool>("reduce");
    QTest::addColumn<QString>("warning");
    QTest::newRow("animations on") << QByteArray("true") << QByteArray("0") << false << QString();
    QTest::newRow("animations off") << QByteArray("false") << QByteArray("0") << true << QString();
    QTest::newRow("garbage") << QByteArray("maybe") << QByteArray("0") << false
                             << QStringLiteral("unexpected gsettings output");
    QTest::newRow("tool fails") << QByteArray("false") << QByteArray("1") << false
                                << QStringLiteral("gsettings query failed");
}

void TestComponents::reduceMotion()
{
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, exitCode);
    QFETCH(bool, reduce);
    QFETCH(QString, warning);
    qputenv("FAKE_GSETTINGS_OUTPUT", output);
    qputenv("FAKE_GSETTINGS_EXIT", exitCode);
    resetReduceMotionCache();
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
    QCOMPARE(reduceMotionRequested(), reduce);
    // Asked once: a changed desktop setting is not seen again.
    qputenv("FAKE_GSETTINGS_OUTPUT", reduce ? "true" : "false");
    qputenv("FAKE_GSETTINGS_EXIT", "0");
    QCOMPARE(reduceMotionRequested(), reduce);
    resetReduceMotionCache();
}

void TestComponents::cardRowColumns_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("columns");
    QTest::newRow("wide") << 1000 << 3;
    QTest::newRow("exactly three") << 528 << 3;
    QTest::newRow("just under three") << 527 << 2;
    QTest::newRow("exactly two") << 348 << 2;
    QTest::newRow("just under two") << 347 << 1;
    QTest::newRow("tiny") << 10 << 1;
    QTest::newRow("negative") << -50 << 1;
}

void TestComponents::cardRowColumns()
{
    QFETCH(int, width);
    QFETCH(int, columns);
    TavrinResponsiveCardRow row(3);
    QCOMPARE(row.columns(), 0);
    row.setAvailableWidth(600); // no cards yet: nothing happens
    QCOMPARE(row.columns(), 0);
    for (int i = 0; i < 3; ++i)
        row.addCard(new QWidget);
    // Decided by the first card; later cards wait for a width.
    QCOMPARE(row.columns(), 1);
    row.setAvailableWidth(width);
    QCOMPARE(row.columns(), columns);
    // Every card sits at (k / columns, k % columns).
    auto *grid = qobject_cast<QGridLayout *>(row.layout());
    QVERIFY(grid);
    for (int k = 0; k < 3; ++k) {
        const int index = grid->indexOf(row.cards().at(k));
        QVERIFY(index >= 0);
        int r = 0, c = 0, rs = 0, cs = 0;
        grid->getItemPosition(index, &r, &c, &rs, &cs);
        QCOMPARE(r, k / columns);
        QCOMPARE(c, k % columns);
    }
}

void TestComponents::cardRowUsesWidestCard()
{
    TavrinResponsiveCardRow row(4);
    auto *narrow = new QWidget;
    auto *wide = new QWidget;
    wide->setMinimumWidth(200);
    row.addCard(narrow);
    row.addCard(narrow); // already present: ignored
    row.addCard(nullptr);
    row.addCard(wide);
    QCOMPARE(row.cards().size(), 2);
    QCOMPARE(row.columns(), 1);
    row.setAvailableWidth(411); // 2 * 200 + 12 = 412
    QCOMPARE(row.columns(), 1);
    row.setAvailableWidth(412);
    QCOMPARE(row.columns(), 2);
    row.addCard(new QWidget); // columns already decided: stays 2, third card wraps
    QCOMPARE(row.columns(), 2);
    row.setAvailableWidth(5000);
    QCOMPARE(row.columns(), 3);
}

void TestComponents::bannerAutoDismiss()
{
    TavrinInlineBanner banner;
    QVERIFY(banner.isHidden());
    QSignalSpy dismissed(&banner, &TavrinInlineBanner::dismissed);
    banner.setText(QStringLiteral("已保存"));
    QVERIFY(!banner.isHidden());
    banner.autoDismiss(50);
    QTRY_VERIFY(banner.isHidden());
    QCOMPARE(dismissed.count(), 0);
    QCOMPARE(banner.text(), QStringLiteral("已保存"));
}

void TestComponents::bannerNewTextCancelsDismiss()
{
    TavrinInlineBanner banner;
    banner.setText(QStringLiteral("旧消息"));
    banner.autoDismiss(5000);
    auto *timer = banner.findChild<QTimer *>();
    QVERIFY(timer && timer->isActive());
    banner.setText(QStringLiteral("新消息"));
    QVERIFY(!timer->isActive());
    QVERIFY(!banner.isHidden());

    // Empty text hides at once, without the dismissed signal.
    QSignalSpy dismissed(&banner, &TavrinInlineBanner::dismissed);
    banner.setText(QString());
    QVERIFY(banner.isHidden());
    QCOMPARE(dismissed.count(), 0);
}

void TestComponents::bannerCloseAndDetails()
{
    TavrinInlineBanner banner;
    banner.setText(QStringLiteral("失败"));
    QPushButton *close = nullptr;
    for (QPushButton *b : banner.findChildren<QPushButton *>()) {
        if (b->accessibleName() == QStringLiteral("关闭提示"))
            close = b;
    }
    QVERIFY(close);
    QVERIFY(close->isHidden());
    banner.setClosable(true);
    QVERIFY(!close->isHidden());
    QSignalSpy dismissed(&banner, &TavrinInlineBanner::dismissed);
    close->click();
    QCOMPARE(dismissed.count(), 1);
    QVERIFY(banner.isHidden());

    banner.setDetails(QStringLiteral("详细信息"), QStringLiteral("stderr text"));
    QPointer<TavrinCollapsible> first = banner.details();
    QVERIFY(first);
    QVERIFY(!first->isExpanded());
    banner.setDetails(QStringLiteral("详细信息"), QStringLiteral("other"));
    QVERIFY(banner.details() != first.data());
    banner.setDetails(QString(), QString());
    QVERIFY(!banner.details());
    QTRY_VERIFY(!first); // scheduled for deletion

    QPushButton *action = banner.addAction(QStringLiteral("重试"), true);
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("重试"));
    QVERIFY(!action->parentWidget()->isHidden());
}

// Secondary actions of the banner and the empty state are toolkit buttons too,
// not Qt's square default.
void TestComponents::actionButtonKinds()
{
    TavrinInlineBanner banner;
    TavrinEmptyState empty;
    const QList<QPushButton *> plain = {banner.addAction(QStringLiteral("详情"), false),
                                        empty.addAction(QStringLiteral("刷新"), false)};
    const QList<QPushButton *> primary = {banner.addAction(QStringLiteral("重试"), true),
                                          empty.addAction(QStringLiteral("创建备份"), true)};
    for (QPushButton *b : plain)
        QVERIFY2(qobject_cast<ZPushButton *>(b), qPrintable(b->text()));
    for (QPushButton *b : primary)
        QVERIFY2(qobject_cast<ZSuggestButton *>(b), qPrintable(b->text()));
}

void TestComponents::collapsible()
{
    TavrinCollapsible box(QStringLiteral("详情"));
    QCOMPARE(box.headerButton()->text(), QStringLiteral("▸ 详情"));
    box.setExpanded(true); // no content: ignored
    QVERIFY(!box.isExpanded());
    QCOMPARE(box.headerButton()->text(), QStringLiteral("▸ 详情"));

    auto *content = new QWidget;
    box.setContent(content);
    auto *second = new QWidget;
    box.setContent(second); // only the first is taken
    QCOMPARE(box.content(), content);
    delete second;
    QVERIFY(!box.isExpanded());

    box.headerButton()->click();
    QVERIFY(box.isExpanded());
    QCOMPARE(box.headerButton()->text(), QStringLiteral("▾ 详情"));
    box.setExpanded(true); // already expanded: the mark stays
    QCOMPARE(box.headerButton()->text(), QStringLiteral("▾ 详情"));
    box.headerButton()->click();
    QVERIFY(!box.isExpanded());
    QCOMPARE(box.headerButton()->text(), QStringLiteral("▸ 详情"));
}

// A short loading text in a wide page stays on one line; in a narrow one it still wraps.
void TestComponents::localLoadingKeepsShortTextOnOneLine()
{
    TavrinLocalLoading loading(QStringLiteral("正在读取Tavrin系统状态…"));
    loading.resize(700, 60);
    loading.start();
    QVERIFY(QTest::qWaitForWindowExposed(&loading));
    auto *label = loading.findChild<QLabel *>();
    QVERIFY(label);
    const int line = label->fontMetrics().lineSpacing();
    QTRY_VERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));
    QVERIFY(label->heightForWidth(label->width()) < 2 * line);

    loading.resize(120, 200);
    QTRY_VERIFY(label->heightForWidth(label->width()) >= 2 * line);
    loading.stop();
}

void TestComponents::skeletonRows_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("height");
    QTest::newRow("zero is one row") << 0 << 24;
    QTest::newRow("negative is one row") << -4 << 24;
    QTest::newRow("one") << 1 << 24;
    QTest::newRow("three") << 3 << 88;
    QTest::newRow("five") << 5 << 152;
}

// Single-shot timers not yet fired: Qt keeps each as a child of the event dispatcher.
static int pendingSingleShots()
{
    int count = 0;
    for (const QObject *child : QAbstractEventDispatcher::instance()->children())
        count += qstrcmp(child->metaObject()->className(), "QSingleShotTimer") == 0;
    return count;
}

void TestComponents::skeletonRows()
{
    QFETCH(int, rows);
    QFETCH(int, height);
    TavrinSkeleton skeleton;
    QCOMPARE(skeleton.height(), 88);
    skeleton.setRows(rows);
    QCOMPARE(skeleton.minimumHeight(), height);
    QCOMPARE(skeleton.maximumHeight(), height);

    qputenv("FAKE_GSETTINGS_OUTPUT", "true");
    qputenv("FAKE_GSETTINGS_EXIT", "0");
    resetReduceMotionCache();
    const int waitingBefore = pendingSingleShots();
    skeleton.startPulse(); // the preference is read without blocking
    QTRY_VERIFY_WITH_TIMEOUT(skeleton.isPulsing(), 10000);
    // The query's time-out goes with the query: nothing is left to wake an idle window later.
    QTRY_VERIFY_WITH_TIMEOUT(pendingSingleShots() <= waitingBefore, 2000);
    skeleton.stopPulse();
    QVERIFY(!skeleton.isPulsing());
    skeleton.startPulse(); // known now: at once
    QVERIFY(skeleton.isPulsing());
    skeleton.stopPulse();

    qputenv("FAKE_GSETTINGS_OUTPUT", "false");
    resetReduceMotionCache();
    skeleton.startPulse(); // reduced motion: no pulse
    QTRY_VERIFY_WITH_TIMEOUT(reduceMotionKnown(), 10000);
    QVERIFY(!skeleton.isPulsing());

    // Stopped before the answer came: it stays still.
    qputenv("FAKE_GSETTINGS_OUTPUT", "true");
    resetReduceMotionCache();
    skeleton.startPulse();
    skeleton.stopPulse();
    QTRY_VERIFY_WITH_TIMEOUT(reduceMotionKnown(), 10000);
    QVERIFY(!skeleton.isPulsing());
    resetReduceMotionCache();
}

void TestComponents::rowControls()
{
    TavrinRow row;
    auto *first = new QWidget;
    first->setAccessibleName(QStringLiteral("own name"));
    auto *second = new QWidget;
    row.addControl(first, 120);
    QCOMPARE(row.controlContainer()->minimumWidth(), 120);
    row.addControl(second, 80);
    QCOMPARE(row.controlContainer()->minimumWidth(), 120);
    row.addControl(nullptr, 500);
    QCOMPARE(row.controls().size(), 2);
    QCOMPARE(row.controlContainer()->minimumWidth(), 120);

    row.setTitle(QStringLiteral("自动清理"));
    QCOMPARE(first->accessibleName(), QStringLiteral("own name"));
    QCOMPARE(second->accessibleName(), QStringLiteral("自动清理"));
    auto *third = new QWidget;
    row.addControl(third, -1);
    QCOMPARE(row.controlContainer()->minimumWidth(), 200);
    QCOMPARE(third->accessibleName(), QStringLiteral("自动清理"));

    row.setDescription(QStringLiteral("说明"));
    QCOMPARE(row.description(), QString()); // row not shown yet
    row.show();
    QCOMPARE(row.description(), QStringLiteral("说明"));
    row.setDescription(QString());
    QCOMPARE(row.description(), QString());
}

void TestComponents::stateCardStatus()
{
    TavrinStateCard card(QStringLiteral("保护状态"));
    QCOMPARE(card.valueLabel()->text(), QStringLiteral("-"));
    QVERIFY(card.statusBadge()->isHidden());
    card.setStatus(QStringLiteral("已开启"), Success);
    QVERIFY(!card.statusBadge()->isHidden());
    QCOMPARE(card.statusBadge()->semantic(), Success);
    card.setStatus(QString(), Muted);
    QVERIFY(card.statusBadge()->isHidden());
    card.setValue(QStringLiteral("12 GB"), Warning, Value);
    QCOMPARE(card.valueLabel()->text(), QStringLiteral("12 GB"));
    QCOMPARE(card.valueLabel()->palette().color(QPalette::WindowText), semanticColor(Warning));
}

void TestComponents::tableAccessibleText()
{
    QTableWidget table(2, 2);
    table.setHorizontalHeaderItem(0, new QTableWidgetItem(QStringLiteral("Name")));
    table.setItem(0, 0, new QTableWidgetItem(QStringLiteral("abc")));
    table.setItem(1, 0, new QTableWidgetItem(QString()));
    table.setItem(0, 1, new QTableWidgetItem(QStringLiteral("x"))); // column without a header item
    finalizeTableAccessible(&table);
    QCOMPARE(table.item(0, 0)->data(Qt::AccessibleTextRole).toString(), QStringLiteral("Name: abc"));
    QCOMPARE(table.item(1, 0)->data(Qt::AccessibleTextRole).toString(), QStringLiteral("Name: -"));
    QCOMPARE(table.item(0, 1)->data(Qt::AccessibleTextRole).toString(), QStringLiteral(": x"));
    finalizeTableAccessible(nullptr);
    setTableAccessibleName(nullptr, QStringLiteral("x"));
    setTableAccessibleName(&table, QStringLiteral("系统备份列表"));
    QCOMPARE(table.accessibleName(), QStringLiteral("系统备份列表"));
}

void TestComponents::windowModalFreezesContent()
{
    QMainWindow window;
    auto *central = new QWidget;
    window.setCentralWidget(central);
    auto *inner = new QWidget(central);
    window.show();

    auto *dialog = new QWidget(inner);
    makeDialogNonBlockingWindowModal(dialog);
    QCOMPARE(dialog->parentWidget(), &window);
    QVERIFY(dialog->isWindow());
    QCOMPARE(dialog->windowModality(), Qt::NonModal);
    auto veil = [central] { return central->findChild<QWidget *>(QStringLiteral("tavrinDialogVeil")); };
    dialog->show();
    QVERIFY(!central->isEnabled());
    // One wash over all of the content, also after the window changed size.
    QVERIFY(veil() && veil()->isVisible());
    QCOMPARE(veil()->geometry(), central->rect());
    window.resize(window.size() + QSize(120, 80));
    QTRY_COMPARE(veil()->geometry(), central->rect());
    dialog->hide();
    QVERIFY(central->isEnabled());
    QVERIFY(!veil()->isVisible());
    dialog->show();
    QVERIFY(!central->isEnabled());
    QVERIFY(veil()->isVisible());
    delete dialog;
    QVERIFY(central->isEnabled());
    QCOMPARE(veil(), nullptr);

    // Without a main window around it nothing changes.
    QWidget plain;
    auto *orphan = new QWidget(&plain);
    makeDialogNonBlockingWindowModal(orphan);
    QCOMPARE(orphan->parentWidget(), &plain);
    QVERIFY(!orphan->isWindow());
    makeDialogNonBlockingWindowModal(nullptr);
}

// Outlines of controls 3:1 and texts 4.5:1 against what they sit on, in the
// light and the dark theme, as the program styles them.
void TestComponents::controlsStandOutInBothThemes_data()
{
    QTest::addColumn<int>("theme");
    QTest::newRow("light") << int(ZGuiApplicationHelper::LightType);
    QTest::newRow("dark") << int(ZGuiApplicationHelper::DarkType);
}

void TestComponents::controlsStandOutInBothThemes()
{
    QFETCH(int, theme);
    ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
    TavrinUi::applyAppearance();
    const QColor window = TavrinUi::windowColor();

    QWidget host;
    host.setAutoFillBackground(true);
    QPalette pal = host.palette();
    pal.setColor(QPalette::Window, window);
    host.setPalette(pal);
    auto *layout = new QVBoxLayout(&host);
    auto *radioOff = new QRadioButton(QStringLiteral("临时关闭"), &host);
    auto *radioOn = new QRadioButton(QStringLiteral("完全关闭"), &host);
    radioOn->setChecked(true);
    auto *check = new QCheckBox(QStringLiteral("选项"), &host);
    auto *switchOff = new ZSwitchButton(&host);
    auto *switchOn = new ZSwitchButton(&host);
    switchOn->setChecked(true);
    auto *edit = new QLineEdit(&host);
    auto *plain = new ZPushButton(QStringLiteral("还原"), &host);
    auto *warning = new ZWarningButton(QStringLiteral("删除"), &host);
    auto *primary = new ZSuggestButton(QStringLiteral("创建"), &host);
    for (QWidget *w : std::initializer_list<QWidget *>{radioOff, radioOn, check, switchOff, switchOn, edit,
                                                       plain, warning, primary})
        layout->addWidget(w);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QImage image = RenderChecks::render(&host);
    if (const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR"); !dir.isEmpty())
        image.save(QStringLiteral("%1/controls-%2.png")
                       .arg(dir, theme == ZGuiApplicationHelper::DarkType ? QStringLiteral("dark")
                                                                          : QStringLiteral("light")));

    auto indicator = [](QAbstractButton *b, QStyle::SubElement element) {
        QStyleOptionButton option;
        option.initFrom(b);
        return b->style()->subElementRect(element, &option, b).translated(b->pos());
    };
    const struct
    {
        const char *what;
        QRect region;
    } outlines[] = {
        {"unchecked radio", indicator(radioOff, QStyle::SE_RadioButtonIndicator)},
        {"checked radio", indicator(radioOn, QStyle::SE_RadioButtonIndicator)},
        {"check box", indicator(check, QStyle::SE_CheckBoxIndicator)},
        {"switch off", switchOff->geometry()},
        {"switch on", switchOn->geometry()},
        {"edit field", edit->geometry()},
    };
    for (const auto &o : outlines) {
        const qreal c = RenderChecks::maxContrast(image, window, o.region);
        QVERIFY2(c >= 3.0, qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(o.what)).arg(c)));
    }
    // The off switch's knob stands out from its own track.
    const QImage knob = RenderChecks::render(switchOff);
    const QColor track = knob.pixelColor(knob.width() - 6, knob.height() / 2);
    QVERIFY(RenderChecks::maxContrast(knob, track,
                                      QRect(knob.height() / 2 - 3, knob.height() / 2 - 2, 6, 4)) >= 3.0);
    // Button labels on their own fills.
    for (QPushButton *b : {static_cast<QPushButton *>(plain), static_cast<QPushButton *>(warning),
                           static_cast<QPushButton *>(primary)}) {
        const QImage img = RenderChecks::render(b);
        const QColor fill = img.pixelColor(6, img.height() / 2);
        QVERIFY2(RenderChecks::maxContrast(img, fill) >= 4.5, qPrintable(b->text()));
    }
    ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::UnknownType);
}

TAVRIN_TEST_MAIN(TestComponents)
#include "tst_components.moc"
