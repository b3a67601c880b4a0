#include "zguiapplicationhelper.h"
#include "zstyle.h"

#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

enum Control {
    CheckedBox,
    UncheckedBox,
    CheckedRadio,
    UncheckedRadio,
    DisabledRadio,
    FocusedEdit,
    PlainEdit,
    FocusedText,
    PlainText
};

// Pixels within a small distance of `colour`: a line may be blended at its ends.
int countNear(const QImage &image, const QColor &colour, int tolerance = 6)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) <= tolerance && qAbs(c.green() - colour.green()) <= tolerance &&
                qAbs(c.blue() - colour.blue()) <= tolerance)
                ++n;
        }
    }
    return n;
}

QWidget *makeControl(Control control, QWidget *parent)
{
    switch (control) {
    case CheckedBox:
    case UncheckedBox: {
        auto *box = new QCheckBox(QStringLiteral("选项"), parent);
        box->setChecked(control == CheckedBox);
        return box;
    }
    case CheckedRadio:
    case UncheckedRadio:
    case DisabledRadio: {
        auto *radio = new QRadioButton(QStringLiteral("选项"), parent);
        radio->setChecked(control != UncheckedRadio);
        radio->setEnabled(control != DisabledRadio);
        return radio;
    }
    case FocusedEdit:
    case PlainEdit:
        return new QLineEdit(QStringLiteral("文字"), parent);
    case FocusedText:
    case PlainText:
        return new QTextEdit(QStringLiteral("文字"), parent);
    }
    return nullptr;
}

} // namespace

class TestZStyle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setStyle(new ZStyle);
        QVERIFY(qobject_cast<ZStyle *>(QApplication::style()));
    }

    void cleanupTestCase()
    {
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::UnknownType);
    }

    // The accent marks exactly the checked and the focused controls; the others
    // show the control outline instead, in both themes.
    void accentMarksCheckedAndFocused_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("control");
        QTest::addColumn<bool>("accent");
        const struct
        {
            const char *name;
            Control control;
            bool accent;
        } rows[] = {
            {"checked check box", CheckedBox, true},       {"unchecked check box", UncheckedBox, false},
            {"checked radio", CheckedRadio, true},         {"unchecked radio", UncheckedRadio, false},
            {"disabled radio", DisabledRadio, false},      {"focused line edit", FocusedEdit, true},
            {"line edit without focus", PlainEdit, false}, {"focused text edit", FocusedText, true},
            {"text edit without focus", PlainText, false}};
        for (int theme : {int(ZGuiApplicationHelper::LightType), int(ZGuiApplicationHelper::DarkType)}) {
            for (const auto &row : rows) {
                QTest::addRow("%s, %s", theme == ZGuiApplicationHelper::LightType ? "light" : "dark",
                              row.name)
                    << theme << int(row.control) << row.accent;
            }
        }
    }

    void accentMarksCheckedAndFocused()
    {
        QFETCH(int, theme);
        QFETCH(int, control);
        QFETCH(bool, accent);
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::ColorType(theme));

        QWidget host;
        auto *layout = new QVBoxLayout(&host);
        auto *anchor = new QLineEdit(&host); // takes the focus from the others
        QWidget *widget = makeControl(Control(control), &host);
        layout->addWidget(anchor);
        layout->addWidget(widget);
        host.resize(240, 160);
        host.show();
        QApplication::setActiveWindow(&host);
        QVERIFY(QTest::qWaitForWindowActive(&host));
        QWidget *focus = (control == FocusedEdit || control == FocusedText) ? widget : anchor;
        focus->setFocus();
        QTRY_VERIFY(focus->hasFocus());

        const QImage image = widget->grab().toImage();
        const QPalette &pal = widget->palette();
        const int accentPixels = countNear(image, pal.color(QPalette::Active, QPalette::Highlight));
        if (accent) {
            // A solid indicator or a 2 px ring, not a stray anti-aliased pixel.
            QVERIFY2(accentPixels >= 20, qPrintable(QString::number(accentPixels)));
        } else {
            QCOMPARE(accentPixels, 0);
            const QColor outline = control == DisabledRadio ? pal.color(QPalette::Disabled, QPalette::Mid)
                                                            : ZStyle::controlOutline(pal);
            QVERIFY2(countNear(image, outline) >= 10, qPrintable(outline.name()));
        }
    }

    // A spin box's editor is part of the spin box's frame: it gets no frame of
    // its own, so the box does not show a frame inside a frame.
    void spinBoxEditorHasNoOwnFrame()
    {
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::LightType);
        QSpinBox spin;
        spin.resize(160, spin.sizeHint().height());
        spin.show();
        QVERIFY(QTest::qWaitForWindowExposed(&spin));
        auto *editor = spin.findChild<QLineEdit *>();
        QVERIFY(editor);
        const QImage image = editor->grab().toImage();
        // A frame would run along the editor's top and bottom edges, where no text reaches.
        const QImage edges[] = {image.copy(0, 0, image.width(), 1),
                                image.copy(0, image.height() - 1, image.width(), 1)};
        for (const QImage &edge : edges) {
            QCOMPARE(countNear(edge, ZStyle::controlOutline(spin.palette()), 16), 0);
            QCOMPARE(countNear(edge, spin.palette().color(QPalette::Active, QPalette::Highlight), 16), 0);
        }
    }
};

TAVRIN_TEST_MAIN(TestZStyle)
#include "tst_zstyle.moc"
