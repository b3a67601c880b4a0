#include "zguiapplicationhelper.h"
#include "zstyle.h"

#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// Pixels within a small distance of `colour`: a line may be blended at its ends.
int countNear(const QImage &image, const QColor &colour, int tolerance = 6)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += qAbs(c.red() - colour.red()) <= tolerance && qAbs(c.green() - colour.green()) <= tolerance &&
                 qAbs(c.blue() - colour.blue()) <= tolerance;
        }
    }
    return n;
}

} // namespace

class TestZStyle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(new ZStyle); }
    void cleanupTestCase()
    {
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::UnknownType);
    }

    // The accent marks exactly the checked and the focused controls; the others
    // show the control outline (the disabled ones a fainter one), in both themes.
    void accentMarksCheckedAndFocused_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("accent");
        for (const auto theme : {ZGuiApplicationHelper::LightType, ZGuiApplicationHelper::DarkType}) {
            const char *name = theme == ZGuiApplicationHelper::LightType ? "light" : "dark";
            for (const auto &[control, accent] : {std::pair{"checked box", true},
                                                  {"unchecked box", false},
                                                  {"checked radio", true},
                                                  {"unchecked radio", false},
                                                  {"disabled radio", false},
                                                  {"focused edit", true},
                                                  {"edit", false},
                                                  {"focused text", true},
                                                  {"text", false},
                                                  {"spin box editor", false}})
                QTest::addRow("%s, %s", name, control)
                    << int(theme) << QString::fromLatin1(control) << accent;
        }
    }

    void accentMarksCheckedAndFocused()
    {
        QFETCH(int, theme);
        QFETCH(QString, control);
        QFETCH(bool, accent);
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        QWidget host;
        auto *layout = new QVBoxLayout(&host);
        QWidget *widget = nullptr;
        QWidget *focus = new QLineEdit(&host); // holds the focus unless the row wants it
        layout->addWidget(focus);
        if (control.endsWith(QLatin1String("box"))) {
            auto *box = new QCheckBox(QStringLiteral("选项"), &host);
            box->setChecked(control.startsWith(QLatin1String("checked")));
            widget = box;
        } else if (control.endsWith(QLatin1String("radio"))) {
            auto *radio = new QRadioButton(QStringLiteral("选项"), &host);
            radio->setChecked(!control.startsWith(QLatin1String("unchecked")));
            radio->setEnabled(!control.startsWith(QLatin1String("disabled")));
            widget = radio;
        } else if (control.endsWith(QLatin1String("edit"))) {
            widget = new QLineEdit(QStringLiteral("文字"), &host);
        } else if (control.endsWith(QLatin1String("text"))) {
            widget = new QTextEdit(QStringLiteral("文字"), &host);
        } else {
            // Its editor has the focus, but the frame and ring are the spin box's.
            auto *spin = new QSpinBox(&host);
            layout->addWidget(spin);
            focus = widget = spin->findChild<QLineEdit *>();
        }
        if (control.startsWith(QLatin1String("focused")))
            focus = widget;
        if (!widget->parentWidget()->inherits("QSpinBox"))
            layout->addWidget(widget);
        host.show();
        QApplication::setActiveWindow(&host);
        QVERIFY(QTest::qWaitForWindowActive(&host));
        focus->setFocus();
        QTRY_VERIFY(focus->hasFocus());

        QImage image = widget->grab().toImage();
        if (control == QLatin1String("spin box editor")) // a frame would run along its top edge
            image = image.copy(0, 0, image.width(), 1);
        const QPalette &pal = widget->palette();
        const int accentPixels = countNear(image, pal.color(QPalette::Active, QPalette::Highlight));
        const QColor outline =
            widget->isEnabled() ? ZStyle::controlOutline(pal) : pal.color(QPalette::Disabled, QPalette::Mid);
        if (accent) {
            // A solid indicator or a 2 px ring, not a stray blended pixel.
            QVERIFY2(accentPixels >= 20, qPrintable(QString::number(accentPixels)));
        } else if (control == QLatin1String("spin box editor")) {
            QCOMPARE(accentPixels + countNear(image, outline, 16), 0);
        } else {
            QCOMPARE(accentPixels, 0);
            QVERIFY2(countNear(image, outline) >= 10, qPrintable(outline.name()));
        }
    }

    // A flat button, like anything that asks the style for a focus rectangle,
    // shows keyboard focus as the accent ring; focus from a click shows none.
    void flatButtonShowsKeyboardFocus()
    {
        QWidget host;
        auto *layout = new QVBoxLayout(&host);
        auto *before = new QPushButton(QStringLiteral("刷新"), &host);
        auto *flat = new QPushButton(QStringLiteral("详情"), &host);
        flat->setFlat(true);
        layout->addWidget(before);
        layout->addWidget(flat);
        host.show();
        QApplication::setActiveWindow(&host);
        QVERIFY(QTest::qWaitForWindowActive(&host));
        const QColor accent = flat->palette().color(QPalette::Active, QPalette::Highlight);

        flat->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(flat->hasFocus());
        QCOMPARE(countNear(flat->grab().toImage(), accent), 0);

        before->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
        QTRY_VERIFY(flat->hasFocus());
        const int ring = countNear(flat->grab().toImage(), accent);
        QVERIFY2(ring >= 20, qPrintable(QString::number(ring)));
    }
};

TAVRIN_TEST_MAIN(TestZStyle)
#include "tst_zstyle.moc"
