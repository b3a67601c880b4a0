#include <QFrame>
#include <QHeaderView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtTest>

#include "testsupport.h"
#include "ui/appearance.h"
#include "ui/components.h"
#include "zfontsizemanager.h"
#include "zguiapplicationhelper.h"
#include "zlabel.h"
#include "zstyle.h"

using namespace TavrinUi;

namespace {

enum class Piece { Sidebar, Content, Mask, PageTitle, Collapsible, SnapshotTable };

// The subject fills a host painted in the base colour, so a background of
// its own shows against that.
QWidget *makeHost(Piece subject)
{
    auto *host = new QWidget;
    host->setAutoFillBackground(true);
    host->setBackgroundRole(QPalette::Base);
    auto *layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget *w = nullptr;
    switch (subject) {
    case Piece::Sidebar: {
        auto *frame = new QFrame(host);
        frame->setObjectName(QStringLiteral("tavrinSidebar"));
        w = frame;
        break;
    }
    case Piece::Content:
        w = new QStackedWidget(host);
        w->setObjectName(QStringLiteral("tavrinContent"));
        break;
    case Piece::Mask:
        w = new QWidget(host);
        w->setObjectName(QStringLiteral("tavrinMask"));
        break;
    case Piece::PageTitle: {
        auto *label = new ZLabel(QStringLiteral("备份与版本"), host);
        ZFontSizeManager::instance()->bind(label, ZFontSizeManager::T3);
        label->setObjectName(QStringLiteral("tavrinPageTitle"));
        w = label;
        break;
    }
    case Piece::Collapsible: {
        auto *box = new TavrinCollapsible(QStringLiteral("有什么区别？"), host);
        box->setContent(new QWidget);
        w = box;
        break;
    }
    case Piece::SnapshotTable: {
        QTableWidget *table = makeRecordTable({QStringLiteral("名称"), QStringLiteral("大小")},
                                              QStringLiteral("备份列表"), host);
        table->setObjectName(QStringLiteral("tavrinSnapshotTable"));
        applySnapshotTableLook(table);
        table->setRowCount(2);
        for (int row = 0; row < 2; ++row) {
            table->setItem(row, 0, new QTableWidgetItem(QStringLiteral("备份 %1").arg(row)));
            table->setItem(row, 1, new QTableWidgetItem(QStringLiteral("1.2 MB")));
        }
        table->selectRow(1);
        w = table;
        break;
    }
    }
    layout->addWidget(w);
    host->resize(320, 160);
    return host;
}

QWidget *subjectOf(QWidget *host)
{
    return host->layout()->itemAt(0)->widget();
}

void setTheme(ZGuiApplicationHelper::ColorType type)
{
    ZGuiApplicationHelper::instance()->setPaletteType(type);
    applyAppearance();
}

// What the subject must show in the current theme.
void verifyLook(Piece subject, QWidget *host, const QImage &image)
{
    QWidget *w = subjectOf(host);
    const qreal dpr = image.devicePixelRatio();
    const auto at = [&](int x, int y) { return image.pixelColor(QPoint(x, y) * dpr).rgb(); };
    const int midY = w->height() / 2;
    switch (subject) {
    case Piece::Sidebar:
        QCOMPARE(at(4, midY), baseColor().rgb());
        QCOMPARE(at(w->width() - 1, midY), borderColor().rgb());
        break;
    case Piece::Content:
        QCOMPARE(at(4, midY), windowColor().rgb());
        break;
    case Piece::Mask: {
        const QColor base = baseColor();
        const auto dim = [](int c) { return c - (c * 13 + 127) / 255; };
        const QColor expected(dim(base.red()), dim(base.green()), dim(base.blue()));
        const QColor seen = image.pixelColor(QPoint(4, midY) * dpr);
        QVERIFY2(qAbs(seen.red() - expected.red()) <= 1 && qAbs(seen.blue() - expected.blue()) <= 1,
                 qPrintable(seen.name() + QLatin1Char(' ') + expected.name()));
        break;
    }
    case Piece::PageTitle:
        QCOMPARE(w->font().weight(), QFont::DemiBold);
        break;
    case Piece::Collapsible: {
        auto *header = static_cast<TavrinCollapsible *>(w)->headerButton();
        QCOMPARE(header->palette().color(QPalette::ButtonText), appPalette().color(QPalette::ButtonText));
        break;
    }
    case Piece::SnapshotTable: {
        auto *table = static_cast<QTableWidget *>(w);
        QHeaderView *header = table->horizontalHeader();
        const QPoint inHeader = header->mapTo(host, QPoint(header->width() / 2, 4));
        QCOMPARE(at(inHeader.x(), inHeader.y()), baseColor().rgb());
        break;
    }
    }
}

} // namespace

class TestAppearance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setTheme(ZGuiApplicationHelper::LightType);
        QVERIFY(qobject_cast<ZStyle *>(QApplication::style()));
    }

    void cleanupTestCase() { setTheme(ZGuiApplicationHelper::UnknownType); }

    // Each look the program's widgets get by name: present when built, and after
    // a theme switch the same as on a widget built in the new theme.
    void lookFollowsThemeSwitch_data()
    {
        QTest::addColumn<int>("subject");
        QTest::newRow("sidebar") << int(Piece::Sidebar);
        QTest::newRow("content") << int(Piece::Content);
        QTest::newRow("loading mask") << int(Piece::Mask);
        QTest::newRow("page title") << int(Piece::PageTitle);
        QTest::newRow("collapsible (own sheet)") << int(Piece::Collapsible);
        QTest::newRow("snapshot table (own sheet)") << int(Piece::SnapshotTable);
    }

    void lookFollowsThemeSwitch()
    {
        QFETCH(int, subject);
        const auto kind = Piece(subject);
        for (const auto [from, to] :
             {std::pair{ZGuiApplicationHelper::LightType, ZGuiApplicationHelper::DarkType},
              std::pair{ZGuiApplicationHelper::DarkType, ZGuiApplicationHelper::LightType}}) {
            setTheme(from);
            std::unique_ptr<QWidget> before(makeHost(kind));
            before->show();
            QVERIFY(QTest::qWaitForWindowExposed(before.get()));
            const QImage first = before->grab().toImage();
            verifyLook(kind, before.get(), first);
            if (QTest::currentTestFailed())
                return;

            setTheme(to);
            const QImage switched = before->grab().toImage();
            std::unique_ptr<QWidget> after(makeHost(kind));
            after->show();
            QVERIFY(QTest::qWaitForWindowExposed(after.get()));
            const QImage fresh = after->grab().toImage();
            verifyLook(kind, after.get(), fresh);
            verifyLook(kind, before.get(), switched);
            if (QTest::currentTestFailed())
                return;
            QVERIFY(fresh != first);
            QVERIFY2(switched == fresh, "the widget built before the switch looks different");
        }
    }

    // The weight is the title's own; the font-size manager keeps it when the
    // application font changes.
    void pageTitleStaysBoldWhenFontChanges()
    {
        std::unique_ptr<QWidget> host(makeHost(Piece::PageTitle));
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        QWidget *title = subjectOf(host.get());
        const QFont original = QApplication::font();
        const auto restore = qScopeGuard([&original] { QApplication::setFont(original); });
        const int before = QFontInfo(title->font()).pixelSize();
        QFont larger = original;
        larger.setPointSizeF(original.pointSizeF() * 1.5);
        QApplication::setFont(larger);
        QTRY_VERIFY(QFontInfo(title->font()).pixelSize() > before);
        QCOMPARE(title->font().weight(), QFont::DemiBold);
    }
};

TAVRIN_TEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
