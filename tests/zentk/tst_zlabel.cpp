#include "zlabel.h"

#include "testsupport.h"

#include <QVBoxLayout>

#include <functional>

// ZLabel remembers its height per width. Each case measures a label at several
// widths, changes one thing the text's layout depends on, and expects the same
// heights as a plain QLabel given the same change, which measures afresh.
class TestZLabel : public QObject
{
    Q_OBJECT

private slots:
    void heightFollowsChange_data();
    void heightFollowsChange();
    void manyWidthsStayRight();
    void wrappedLabelInLayoutGrowsWithNewText();
};

namespace {

const QList<int> kWidths{40, 90, 160, 320, 900};

using Change = std::function<void(QLabel &, QWidget &)>;

QList<int> heights(const QLabel &label)
{
    QList<int> result;
    for (int w : kWidths)
        result << label.heightForWidth(w);
    return result;
}

} // namespace

void TestZLabel::heightFollowsChange_data()
{
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<Change>("change");

    const QList<std::pair<const char *, Change>> changes{
        // Through the base class: setText is not virtual.
        {"text",
         [](QLabel &l, QWidget &) { l.setText(QStringLiteral("第一行\n第二行\n第三行 three lines")); }},
        {"font",
         [](QLabel &l, QWidget &) {
             QFont f = l.font();
             f.setPixelSize(f.pixelSize() > 0 ? f.pixelSize() * 2 : 30);
             l.setFont(f);
         }},
        {"parent font",
         [](QLabel &, QWidget &parent) {
             QFont f = parent.font();
             f.setPixelSize(28);
             parent.setFont(f);
         }},
        // A sheet takes effect when the label is polished, as a layout does first.
        {"style sheet font",
         [](QLabel &l, QWidget &) {
             l.setStyleSheet(QStringLiteral("font-size: 26px;"));
             l.ensurePolished();
         }},
        {"margin", [](QLabel &l, QWidget &) { l.setMargin(14); }},
        {"contents margins", [](QLabel &l, QWidget &) { l.setContentsMargins(6, 20, 6, 20); }},
        {"indent", [](QLabel &l, QWidget &) { l.setIndent(30); }},
        {"frame",
         [](QLabel &l, QWidget &) {
             l.setFrameStyle(QFrame::Box | QFrame::Plain);
             l.setLineWidth(7);
         }},
        {"word wrap switched", [](QLabel &l, QWidget &) { l.setWordWrap(!l.wordWrap()); }},
        {"rich text",
         [](QLabel &l, QWidget &) {
             l.setTextFormat(Qt::RichText);
             l.setText(QStringLiteral("<h1>大标题 big heading</h1><p>正文 text</p>"));
         }},
    };
    for (const bool wrap : {true, false}) {
        for (const auto &[name, change] : changes)
            QTest::addRow("%s, %s", wrap ? "wrap" : "plain", name) << wrap << change;
    }
}

void TestZLabel::heightFollowsChange()
{
    QFETCH(bool, wrap);
    QFETCH(Change, change);

    // Indent counts vertically only with a vertical alignment.
    auto prepare = [wrap](QLabel &label) {
        label.setText(QStringLiteral("系统快照是可还原的备份点，系统部署实例是可启动的系统 and some words"));
        label.setWordWrap(wrap);
        label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    };
    QWidget cachedParent, freshParent;
    auto *cached = new ZLabel(&cachedParent);
    auto *fresh = new QLabel(&freshParent);
    prepare(*cached);
    prepare(*fresh);

    const QList<int> before = heights(*cached);
    QCOMPARE(before, heights(*fresh));
    QCOMPARE(heights(*cached), before); // answered from what it remembered

    change(*cached, cachedParent);
    change(*fresh, freshParent);
    const QList<int> expected = heights(*fresh);
    // Each change moves the height somewhere, or the row would prove nothing.
    QVERIFY2(expected != before, "the change does not affect the height");
    QCOMPARE(heights(*cached), expected);
}

void TestZLabel::manyWidthsStayRight()
{
    // More widths than it remembers, asked twice in turn: evicted widths are
    // measured again, kept ones answered, all of them right.
    ZLabel cached(QStringLiteral("一段会折行的较长说明文字，用来检查按宽度记住的高度 with words"));
    QLabel fresh(cached.text());
    cached.setWordWrap(true);
    fresh.setWordWrap(true);
    for (int round = 0; round < 2; ++round) {
        for (int w = 30; w <= 400; w += 37)
            QCOMPARE(cached.heightForWidth(w), fresh.heightForWidth(w));
    }
}

void TestZLabel::wrappedLabelInLayoutGrowsWithNewText()
{
    // What a user sees: a shown label whose text becomes longer after it was
    // laid out takes the new height in its layout.
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *label = new ZLabel(QStringLiteral("短"));
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addStretch();
    window.resize(160, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int shortHeight = label->height();

    static_cast<QLabel *>(label)->setText(QString(40, QChar(0x5B57)));
    QTRY_VERIFY_WITH_TIMEOUT(label->height() > shortHeight * 2, 10000);
    QCOMPARE(label->height(), label->heightForWidth(label->width()));
}

TAVRIN_TEST_MAIN(TestZLabel)
#include "tst_zlabel.moc"
