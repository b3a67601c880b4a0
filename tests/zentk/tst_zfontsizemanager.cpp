#include "zfontsizemanager.h"

#include "testsupport.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>

class TestZFontSizeManager : public QObject
{
    Q_OBJECT

private:
    static int pixels(QWidget *w) { return QFontInfo(w->font()).pixelSize(); }

private slots:
    void init()
    {
        QFont f = QApplication::font();
        f.setPixelSize(14);
        QApplication::setFont(f);
    }

    void levelsShrinkFromT1ToT10()
    {
        auto *m = ZFontSizeManager::instance();
        QCOMPARE(m->fontPixelSize(ZFontSizeManager::T6), QFontInfo(QApplication::font()).pixelSize());
        for (int t = ZFontSizeManager::T1; t < ZFontSizeManager::T10; ++t) {
            QVERIFY2(m->fontPixelSize(ZFontSizeManager::SizeType(t)) >
                         m->fontPixelSize(ZFontSizeManager::SizeType(t + 1)),
                     qPrintable(QStringLiteral("level T%1").arg(t + 1)));
        }
    }

    void boundWidgetsFollowTheApplicationFont_data()
    {
        QTest::addColumn<bool>("pointSized");
        QTest::newRow("pixel-sized app font") << false;
        QTest::newRow("point-sized app font") << true;
    }

    void boundWidgetsFollowTheApplicationFont()
    {
        QFETCH(bool, pointSized);
        auto *m = ZFontSizeManager::instance();
        QLabel title, body, free;
        m->bind(&title, ZFontSizeManager::T3, QFont::Bold);
        m->bind(&body, ZFontSizeManager::T6);
        m->bind(&free, ZFontSizeManager::T6);
        m->unbind(&free);
        QCOMPARE(pixels(&title), m->fontPixelSize(ZFontSizeManager::T3));
        QVERIFY(title.font().bold());
        const int titleBefore = pixels(&title);
        const int freeBefore = pixels(&free);

        QFont bigger = QApplication::font();
        if (pointSized)
            bigger.setPointSizeF(18);
        else
            bigger.setPixelSize(22);
        QApplication::setFont(bigger);

        QTRY_COMPARE(pixels(&body), QFontInfo(bigger).pixelSize());
        QVERIFY(pixels(&title) > titleBefore);
        QCOMPARE(pixels(&title), m->fontPixelSize(ZFontSizeManager::T3));
        QVERIFY(title.font().bold());
        QCOMPARE(pixels(&free), freeBefore);
    }

    void destroyedWidgetsAreForgotten()
    {
        auto *m = ZFontSizeManager::instance();
        {
            QLabel gone;
            m->bind(&gone, ZFontSizeManager::T2);
        }
        QFont f = QApplication::font();
        f.setPixelSize(16);
        QApplication::setFont(f); // must not touch the dead label
        QLabel alive;
        m->bind(&alive, ZFontSizeManager::T6);
        QCOMPARE(pixels(&alive), 16);
    }
};

TAVRIN_TEST_MAIN(TestZFontSizeManager)
#include "tst_zfontsizemanager.moc"
