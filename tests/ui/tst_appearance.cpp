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

// The piece named `kind` filling a host painted in the base colour, so that a
// background of its own shows against it.
QWidget *makeHost(const QString &kind)
{
    auto *host = new QWidget;
    host->setAutoFillBackground(true);
    host->setBackgroundRole(QPalette::Base);
    QWidget *w = nullptr;
    if (kind == QLatin1String("tavrinSidebar")) {
        w = new QFrame(host);
    } else if (kind == QLatin1String("tavrinContent")) {
        w = new QStackedWidget(host);
    } else if (kind == QLatin1String("tavrinMask")) {
        w = new QWidget(host);
    } else if (kind == QLatin1String("tavrinPageTitle")) {
        w = new ZLabel(QStringLiteral("备份与版本"), host);
        ZFontSizeManager::instance()->bind(w, ZFontSizeManager::T3);
    } else if (kind == QLatin1String("collapsible")) {
        w = new TavrinCollapsible(QStringLiteral("有什么区别？"), host);
    } else {
        QTableWidget *table = makeRecordTable({QStringLiteral("名称")}, QStringLiteral("备份列表"), host);
        table->setObjectName(QStringLiteral("tavrinSnapshotTable"));
        applySnapshotTableLook(table);
        table->setRowCount(2);
        table->setItem(1, 0, new QTableWidgetItem(QStringLiteral("备份")));
        table->selectRow(1);
        w = table;
    }
    if (kind.startsWith(QLatin1String("tavrin")))
        w->setObjectName(kind);
    (new QVBoxLayout(host))->addWidget(w);
    host->layout()->setContentsMargins(0, 0, 0, 0);
    host->resize(320, 160);
    host->show();
    return host;
}

// What the piece must show in the current theme.
void verifyLook(const QString &kind, QWidget *host)
{
    QVERIFY(QTest::qWaitForWindowExposed(host));
    const QImage image = host->grab().toImage();
    QWidget *w = host->layout()->itemAt(0)->widget();
    const auto at = [&](int x, int y) { return image.pixelColor(QPoint(x, y) * image.devicePixelRatio()); };
    const int y = w->height() / 2;
    if (kind == QLatin1String("tavrinSidebar")) {
        QCOMPARE(at(4, y), baseColor());
        QCOMPARE(at(w->width() - 1, y), borderColor());
    } else if (kind == QLatin1String("tavrinContent")) {
        QCOMPARE(at(4, y), windowColor());
    } else if (kind == QLatin1String("tavrinMask")) {
        // 5 % black over the base.
        QVERIFY(qAbs(at(4, y).lightness() - baseColor().lightness() * 242 / 255) <= 1);
    } else if (kind == QLatin1String("tavrinPageTitle")) {
        QCOMPARE(w->font().weight(), QFont::DemiBold);
    } else if (kind == QLatin1String("collapsible")) {
        const QPalette pal = static_cast<TavrinCollapsible *>(w)->headerButton()->palette();
        QCOMPARE(pal.color(QPalette::ButtonText), appPalette().color(QPalette::ButtonText));
    } else {
        QHeaderView *header = static_cast<QTableWidget *>(w)->horizontalHeader();
        const QPoint spot = header->mapTo(host, QPoint(header->sectionViewportPosition(0) + 10, 4));
        QCOMPARE(at(spot.x(), spot.y()), baseColor());
    }
}

void setTheme(ZGuiApplicationHelper::ColorType type)
{
    ZGuiApplicationHelper::instance()->setPaletteType(type);
    applyAppearance();
}

} // namespace

class TestAppearance : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { setTheme(ZGuiApplicationHelper::UnknownType); }

    // Each look the program's widgets get: present when built, and after a theme
    // switch the same as on a widget built in the new theme.
    void lookFollowsThemeSwitch_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"tavrinSidebar", "tavrinContent", "tavrinMask", "tavrinPageTitle",
                                 "collapsible", "tavrinSnapshotTable"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void lookFollowsThemeSwitch()
    {
        QFETCH(QString, kind);
        using Helper = ZGuiApplicationHelper;
        for (const auto &[from, to] :
             {std::pair{Helper::LightType, Helper::DarkType}, {Helper::DarkType, Helper::LightType}}) {
            setTheme(from);
            QVERIFY(qobject_cast<ZStyle *>(QApplication::style()));
            std::unique_ptr<QWidget> before(makeHost(kind));
            verifyLook(kind, before.get());
            const QImage first = before->grab().toImage();
            setTheme(to);
            verifyLook(kind, before.get());
            const QImage switched = before->grab().toImage();
            // Built after the switch; both grabbed while they were the active window.
            std::unique_ptr<QWidget> after(makeHost(kind));
            verifyLook(kind, after.get());
            if (QTest::currentTestFailed())
                return;
            const QImage fresh = after->grab().toImage();
            QVERIFY(fresh != first);
            QVERIFY2(switched == fresh, "the widget built before the switch looks different");
        }
    }

    // The font-size manager keeps the title's weight when the application font changes.
    void pageTitleStaysBoldWhenFontChanges()
    {
        std::unique_ptr<QWidget> host(makeHost(QStringLiteral("tavrinPageTitle")));
        QWidget *title = host->layout()->itemAt(0)->widget();
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
