#include <QAbstractButton>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "testsupport.h"
#include "ui/pageblocks.h"
#include "zguiapplicationhelper.h"
#include "zpushbutton.h"
#include "zsuggestbutton.h"
#include "zwarningbutton.h"

class TestPageBlocks : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void pageHeaderParts_data();
    void pageHeaderParts();
    void pageHeaderFollowsTheme();
    void pageHeaderOwnIcon_data();
    void pageHeaderOwnIcon();
    void buttonKinds();
    void iconBadgeSize_data();
    void iconBadgeSize();
    void elidedLabelKeepsBothEnds();
    void elidedLabelSizeHints();
    void copyButtonCopiesAndComesBack();
    void commandRow();
    void featureRowIcon();
};

void TestPageBlocks::init()
{
    ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::LightType);
}

void TestPageBlocks::pageHeaderParts_data()
{
    QTest::addColumn<QString>("subtitle");
    QTest::addColumn<QString>("icon");
    QTest::newRow("all parts") << QStringLiteral("Tavrin系统运行状态一览")
                               << QStringLiteral("dialog-information");
    QTest::newRow("no icon") << QStringLiteral("副标题") << QString();
    QTest::newRow("title only") << QString() << QString();
    QTest::newRow("icon the theme lacks") << QString() << QStringLiteral("no-such-icon-anywhere");
}

void TestPageBlocks::pageHeaderParts()
{
    QFETCH(QString, subtitle);
    QFETCH(QString, icon);
    QScopedPointer<QWidget> header(Ui::pageHeader(QStringLiteral("总览"), subtitle, icon));
    QVERIFY(!header->parentWidget());
    auto *title = header->findChild<QLabel *>(QStringLiteral("tavrinPageTitle"));
    QVERIFY(title);
    QCOMPARE(title->text(), QStringLiteral("总览"));
    auto *sub = header->findChild<QLabel *>(QStringLiteral("tavrinPageSubtitle"));
    QCOMPARE(sub != nullptr, !subtitle.isEmpty());
    if (sub) {
        QVERIFY(sub->wordWrap());
        QCOMPARE(sub->text(), subtitle);
    }
    auto *box = header->findChild<QLabel *>(QStringLiteral("tavrinPageIcon"));
    QCOMPARE(box != nullptr, !icon.isEmpty());
    if (box) {
        QCOMPARE(box->size(), QSize(48, 48));
        QVERIFY(!box->pixmap().isNull()); // a missing theme icon falls back, never blank
    }
}

void TestPageBlocks::pageHeaderOwnIcon_data()
{
    QTest::addColumn<QString>("icon");
    // The header icons of the pages that the program draws itself.
    for (const char *name :
         {"utilities-system-monitor", "drive-harddisk", "shield-check", "cycle-update", "preferences-system"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestPageBlocks::pageHeaderOwnIcon()
{
    QFETCH(QString, icon);
    const QString resource = QStringLiteral(":/icons/nav/%1.svg").arg(icon);
    QVERIFY2(QFile::exists(resource), qPrintable(resource));
    QScopedPointer<QWidget> header(Ui::pageHeader(QStringLiteral("总览"), QString(), icon));
    auto *box = header->findChild<QLabel *>(QStringLiteral("tavrinPageIcon"));
    QVERIFY(box);
    const QImage shown = box->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage own = QIcon(resource).pixmap(29, 29).toImage().convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!own.isNull());
    QCOMPARE(shown, own);
}

void TestPageBlocks::pageHeaderFollowsTheme()
{
    QScopedPointer<QWidget> header(
        Ui::pageHeader(QStringLiteral("总览"), QStringLiteral("副标题"), QString()));
    auto *title = header->findChild<QLabel *>(QStringLiteral("tavrinPageTitle"));
    auto *sub = header->findChild<QLabel *>(QStringLiteral("tavrinPageSubtitle"));
    const QColor lightTitle = title->palette().color(QPalette::WindowText);
    QCOMPARE(lightTitle, TavrinUi::appPalette().color(ZPalette::TextTitle));
    QCOMPARE(sub->palette().color(QPalette::WindowText), TavrinUi::appPalette().color(ZPalette::TextTips));
    ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::DarkType);
    QCOMPARE(title->palette().color(QPalette::WindowText), TavrinUi::appPalette().color(ZPalette::TextTitle));
    QVERIFY(title->palette().color(QPalette::WindowText) != lightTitle);
}

void TestPageBlocks::buttonKinds()
{
    QScopedPointer<QPushButton> primary(Ui::button(QStringLiteral("创建"), true, true));
    QScopedPointer<QPushButton> warning(Ui::button(QStringLiteral("删除"), false, true));
    QScopedPointer<QPushButton> plain(Ui::button(QStringLiteral("刷新")));
    QVERIFY(qobject_cast<ZSuggestButton *>(primary.data())); // primary wins over warning
    QVERIFY(qobject_cast<ZWarningButton *>(warning.data()));
    QVERIFY(!qobject_cast<ZSuggestButton *>(plain.data()) && !qobject_cast<ZWarningButton *>(plain.data()));
    // The ordinary kind is the toolkit's rounded button, wide enough for its text.
    QVERIFY(qobject_cast<ZPushButton *>(plain.data()));
    QVERIFY(plain->sizeHint().width() > plain->fontMetrics().horizontalAdvance(plain->text()));
    for (QPushButton *b : {primary.data(), warning.data(), plain.data()})
        QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
}

void TestPageBlocks::iconBadgeSize_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("pixels");
    QTest::newRow("16 clamps to 12") << 16 << 12;
    QTest::newRow("10 clamps to 12") << 10 << 12;
    QTest::newRow("48") << 48 << 30;
    QTest::newRow("36") << 36 << 22;
}

void TestPageBlocks::iconBadgeSize()
{
    QFETCH(int, size);
    QFETCH(int, pixels);
    QCOMPARE(Ui::iconBadgePixelSize(size), pixels);
    QScopedPointer<ZLabel> badge(Ui::iconBadge(QStringLiteral("dialog-warning"), size));
    QCOMPARE(badge->size(), QSize(size, size));
    const QPixmap pm = badge->pixmap();
    QVERIFY(!pm.isNull());
    QCOMPARE(qRound(pm.width() / pm.devicePixelRatio()), pixels);
}

void TestPageBlocks::elidedLabelKeepsBothEnds()
{
    const QString text = QStringLiteral("/var/lib/tavrin-manager/history/2026-01-01.json");
    Ui::ElidedLabel label(text);
    label.resize(label.fontMetrics().horizontalAdvance(text) / 2, 30);
    const QString shown = label.elidedText();
    QVERIFY(shown.contains(QChar(0x2026)));
    QVERIFY(shown.startsWith(QStringLiteral("/va")));
    QVERIFY(shown.endsWith(QStringLiteral("json")));
    QVERIFY(shown.size() < text.size());
    label.resize(label.fontMetrics().horizontalAdvance(text) + 10, 30);
    QCOMPARE(label.elidedText(), text);
    QVERIFY(!label.wordWrap());
}

void TestPageBlocks::elidedLabelSizeHints()
{
    Ui::ElidedLabel label(QStringLiteral("内核版本 6.1.0-zarnex"));
    QCOMPARE(label.sizeHint().width(), label.fontMetrics().horizontalAdvance(label.text()) + 2);
    QCOMPARE(label.minimumSizeHint().width(), 0);
    QVERIFY(label.minimumSizeHint().height() > 0);
}

void TestPageBlocks::copyButtonCopiesAndComesBack()
{
    QWidget parent;
    QAbstractButton *copy =
        Ui::makeCopyButton(QStringLiteral("sudo zarnex-immutable-ctl snapshot list"), &parent);
    QCOMPARE(copy->parentWidget(), &parent);
    QCOMPARE(copy->toolTip(), QStringLiteral("复制"));
    const qint64 idleIcon = copy->icon().cacheKey();
    copy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("sudo zarnex-immutable-ctl snapshot list"));
    QCOMPARE(copy->toolTip(), QStringLiteral("已复制"));
    QVERIFY(copy->icon().cacheKey() != idleIcon);
    QTRY_COMPARE_WITH_TIMEOUT(copy->toolTip(), QStringLiteral("复制"), 5000);
}

void TestPageBlocks::commandRow()
{
    QScopedPointer<QWidget> row(Ui::makeCommandRow(
        QStringLiteral("列出快照"), QStringLiteral("sudo zarnex-immutable-ctl snapshot list")));
    auto *command = row->findChild<QLabel *>(QStringLiteral("tavrinCommandText"));
    QVERIFY(command);
    QVERIFY(!command->wordWrap());
    auto *copy = row->findChild<QAbstractButton *>(QStringLiteral("tavrinCopyButton"));
    QVERIFY(copy);
    QCOMPARE(copy->toolTip(), QStringLiteral("复制命令"));
    copy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), command->text());
    QTRY_COMPARE_WITH_TIMEOUT(copy->toolTip(), QStringLiteral("复制命令"), 5000);
}

void TestPageBlocks::featureRowIcon()
{
    QScopedPointer<QWidget> own(Ui::featureRow(QStringLiteral("cycle-update"), QStringLiteral("原子更新"),
                                               QStringLiteral("升级失败自动回滚")));
    QScopedPointer<QWidget> themed(
        Ui::featureRow(QStringLiteral("not-a-resource"), QStringLiteral("t"), QStringLiteral("d")));
    for (QWidget *row : {own.data(), themed.data()}) {
        QVERIFY(row->findChild<QLabel *>(QStringLiteral("tavrinRowLabel")));
        QVERIFY(row->findChild<QLabel *>(QStringLiteral("tavrinRowDesc"))->wordWrap());
        bool hasIcon = false;
        for (QLabel *label : row->findChildren<QLabel *>()) {
            if (!label->pixmap().isNull() && label->size() == QSize(36, 36))
                hasIcon = true;
        }
        QVERIFY(hasIcon);
    }
}

TAVRIN_TEST_MAIN(TestPageBlocks)
#include "tst_pageblocks.moc"
