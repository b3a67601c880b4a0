#include "zpalette.h"

#include "testsupport.h"

class TestZPalette : public QObject
{
    Q_OBJECT

private:
    static double luminance(const QColor &c)
    {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    }
    static double contrast(const QColor &a, const QColor &b)
    {
        const double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }

private slots:
    void textIsReadable_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("type");
        for (bool dark : {false, true}) {
            const char *variant = dark ? "dark" : "light";
            QTest::addRow("%s title", variant) << dark << int(ZPalette::TextTitle);
            QTest::addRow("%s tips", variant) << dark << int(ZPalette::TextTips);
            QTest::addRow("%s warning", variant) << dark << int(ZPalette::TextWarning);
        }
    }

    void textIsReadable()
    {
        QFETCH(bool, dark);
        QFETCH(int, type);
        const ZPalette p = dark ? ZPalette::darkPalette() : ZPalette::lightPalette();
        const QColor text = p.color(QPalette::Active, ZPalette::ColorType(type));
        QVERIFY(text.isValid());
        for (auto role : {QPalette::Window, QPalette::Base}) {
            const double ratio = contrast(text, p.color(QPalette::Active, role));
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("contrast %1").arg(ratio)));
        }
        QVERIFY(contrast(p.color(QPalette::Active, ZPalette::ItemBackground), text) >= 4.5);
    }

    void variantsDiffer()
    {
        const ZPalette light = ZPalette::lightPalette();
        const ZPalette dark = ZPalette::darkPalette();
        QVERIFY(light.color(QPalette::Window).lightnessF() > 0.5);
        QVERIFY(dark.color(QPalette::Window).lightnessF() < 0.5);
        QVERIFY(light != dark);
        for (int t = ZPalette::ItemBackground; t < ZPalette::NColorTypes; ++t)
            QVERIFY(light.color(QPalette::Active, ZPalette::ColorType(t)).isValid());
    }

    void extraColoursPerGroup()
    {
        ZPalette p = ZPalette::lightPalette();
        p.setColor(QPalette::Disabled, ZPalette::TextTips, QColor("#123456"));
        QCOMPARE(p.color(QPalette::Disabled, ZPalette::TextTips), QColor("#123456"));
        QVERIFY(p.color(QPalette::Active, ZPalette::TextTips) != QColor("#123456"));
        p.setColor(ZPalette::FrameBorder, QColor("#010203"));
        QCOMPARE(p.color(QPalette::Inactive, ZPalette::FrameBorder), QColor("#010203"));
        p.setCurrentColorGroup(QPalette::Disabled);
        QCOMPARE(p.color(ZPalette::TextTips), QColor("#123456"));
        // Out-of-range types are harmless.
        QVERIFY(!p.color(QPalette::Active, ZPalette::NColorTypes).isValid());
        p.setColor(QPalette::Active, ZPalette::NoType, Qt::red);
        // The ordinary roles stay reachable.
        QVERIFY(p.color(QPalette::Active, QPalette::Window).isValid());
        // Copies compare by the extra colours as well.
        ZPalette q = p;
        QVERIFY(q == p);
        q.setColor(QPalette::Active, ZPalette::TextWarning, Qt::green);
        QVERIFY(q != p);
    }
};

TAVRIN_TEST_MAIN(TestZPalette)
#include "tst_zpalette.moc"
