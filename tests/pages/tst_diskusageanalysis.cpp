// The disk page's derivations and its chart, without the page: analysis rows, followed-directory
// series, spikes, summary and forecast, CSV, service-error texts, chart geometry and keys.

#include "testsupport.h"

#include <QSignalSpy>
#include <QtTest/QtTest>

#include "backend/backend.h"
#include "ui/alertuistate.h"
#include "ui/diskanalysis.h"
#include "ui/monitorservice.h"
#include "ui/usagechart.h"
#include "zguiapplicationhelper.h"

#include <QScopeGuard>

using Tavrin::DiskDayRecord;
using Tavrin::DiskItem;

namespace {

constexpr qint64 MiB = 1024 * 1024;

DiskDayRecord day(const QDate &date, qint64 total, const QList<DiskItem> &top = {})
{
    DiskDayRecord r;
    r.date = date;
    r.total = total;
    r.capacity = 100LL * 1024 * MiB;
    r.topLevel = top;
    return r;
}

QList<DiskItem> items(int count, qint64 unit)
{
    QList<DiskItem> out;
    for (int i = 0; i < count; ++i)
        out.append({QStringLiteral("/d%1").arg(i), unit * (i + 1), true});
    return out;
}

QStringList labels(const QList<DiskPage::AnalysisRow> &rows)
{
    QStringList out;
    for (const auto &r : rows)
        out << r.label;
    return out;
}

const QDate d0(2026, 3, 1);

} // namespace

class TestDiskUsageAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Reduced motion: the chart draws its final state at once.
        qputenv("PATH",
                QFile::encodeName(Tavrin::Test::sourcePath("tests/fakes/ui")) + ":" + qgetenv("PATH"));
        qputenv("FAKE_GSETTINGS_OUTPUT", "false");
        QVERIFY(!TavrinUi::UsageChart::animationsEnabled());
    }

    void compositionAndRanking_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("itemCount");
        QTest::addColumn<qint64>("extraTotal");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("hasOther");

        QTest::newRow("composition, seven items: five and other") << 0 << 7 << qint64(0) << 6 << true;
        QTest::newRow("composition, four items equal to total") << 0 << 4 << qint64(0) << 4 << false;
        QTest::newRow("composition, four items below total") << 0 << 4 << 5 * MiB << 5 << true;
        QTest::newRow("ranking, 250 children: 200 rows") << 2 << 250 << qint64(0) << 200 << false;
        QTest::newRow("no items: message") << 2 << 0 << qint64(0) << 1 << false;
    }

    void compositionAndRanking()
    {
        QFETCH(int, mode);
        QFETCH(int, itemCount);
        QFETCH(qint64, extraTotal);
        QFETCH(int, rows);
        QFETCH(bool, hasOther);

        const QList<DiskItem> top = items(itemCount, MiB);
        qint64 sum = 0;
        for (const DiskItem &i : top)
            sum += i.size;
        DiskPage::AnalysisInput in;
        in.mode = DiskPage::ViewMode(mode);
        in.records = {day(d0, sum + extraTotal, top)};
        const auto result = DiskPage::analysisRows(in);
        QCOMPARE(result.size(), rows);
        QCOMPARE(labels(result).contains(QStringLiteral("其他")), hasOther);
        if (itemCount == 0) {
            QVERIFY(result.constFirst().message);
            return;
        }
        // Largest first, shares against the day's used bytes (or the kept sum when larger).
        QCOMPARE(result.constFirst().path, top.constLast().path);
        double shares = 0;
        for (const auto &r : result)
            shares += r.share;
        if (mode == 0)
            QVERIFY(qAbs(shares - 100.0) < 0.01);
    }

    void growthView_data()
    {
        QTest::addColumn<qint64>("secondTotal");
        QTest::addColumn<QString>("followed");
        QTest::addColumn<QDate>("focused");
        QTest::addColumn<QStringList>("expectLabels");
        QTest::addColumn<bool>("sharesValid");

        QTest::newRow("growth with shares")
            << 130 * MiB << QString() << d0.addDays(1) << QStringList{"/b", "/a"} << true;
        QTest::newRow("used fell: no shares")
            << 80 * MiB << QString() << d0.addDays(1) << QStringList{"/b", "/a"} << false;
        QTest::newRow("no focused day") << 130 * MiB << QString() << QDate()
                                        << QStringList{"点击时间线上任意数据点，查看该日的增长来源"} << false;
        QTest::newRow("day outside range")
            << 130 * MiB << QString() << d0.addDays(9) << QStringList{"所选日期不在当前加载范围内"} << false;
        QTest::newRow("followed directory") << 130 * MiB << QStringLiteral("/b") << d0.addDays(1)
                                            << QStringList{"目录 /b", "较前一日变化"} << false;
        // Whole directory sizes are no growth: without a scanned day before, nothing to compare.
        QTest::newRow("first loaded day")
            << 130 * MiB << QString() << d0 << QStringList{"前一日没有目录扫描记录，无法比较增长"} << false;
        QTest::newRow("day before not scanned")
            << -1LL << QString() << d0.addDays(1) << QStringList{"前一日没有目录扫描记录，无法比较增长"}
            << false;
        QTest::newRow("followed directory on first day")
            << 130 * MiB << QStringLiteral("/b") << d0 << QStringList{"目录 /b", "前一日暂无数据"} << false;
    }

    void growthView()
    {
        QFETCH(qint64, secondTotal);
        QFETCH(QString, followed);
        QFETCH(QDate, focused);
        QFETCH(QStringList, expectLabels);
        QFETCH(bool, sharesValid);

        DiskPage::AnalysisInput in;
        in.mode = DiskPage::Growth;
        in.records = {day(d0, 100 * MiB, {{"/a", 50 * MiB, true}, {"/b", 50 * MiB, true}}),
                      day(d0.addDays(1), secondTotal, {{"/a", 60 * MiB, true}, {"/b", 70 * MiB, true}})};
        if (secondTotal < 0) {
            in.records.first().topLevel.clear();
            in.records.last().total = 130 * MiB;
        }
        in.focused = focused;
        in.followed = followed;
        const auto rows = DiskPage::analysisRows(in);
        QCOMPARE(labels(rows), expectLabels);
        if (followed.isEmpty() && rows.size() == 2) {
            for (const auto &r : rows) {
                QCOMPARE(r.shareValid, sharesValid);
                QCOMPARE(DiskPage::shareText(r) == QStringLiteral("—"), !sharesValid);
            }
        }
        if (!followed.isEmpty() && focused == d0.addDays(1))
            QCOMPARE(rows.at(1).sizeText, QStringLiteral("+") + Tavrin::formatSize(20 * MiB));
    }

    void directorySeries()
    {
        DiskDayRecord a = day(d0, 10 * MiB, {{"/var", 5 * MiB, true}});
        a.drillCache.insert("/var", {{"/var/log", 2 * MiB, true}});
        const DiskDayRecord b = day(d0.addDays(1), 11 * MiB, {{"/var", 6 * MiB, true}});
        DiskDayRecord c = day(d0.addDays(2), 12 * MiB, {{"/var", 7 * MiB, true}});
        c.drillCache.insert("/var", {{"/var/log", 3 * MiB, true}});

        const auto top = DiskPage::directorySeries({a, b, c}, "/var");
        QCOMPARE(top.size(), 3);
        QCOMPARE(top.at(1).total, 6 * MiB);
        // One level deeper: only the days on which the parent was drilled.
        const auto deep = DiskPage::directorySeries({a, b, c}, "/var/log");
        QCOMPARE(deep.size(), 2);
        QCOMPARE(deep.at(0).date, d0);
        QCOMPARE(deep.at(1).total, 3 * MiB);
        QVERIFY(DiskPage::directorySeries({a, b, c}, "/nowhere").isEmpty());
    }

    void spikeSet()
    {
        Tavrin::DiskHistoryIndex index;
        Tavrin::DiskDaySummary flagged;
        flagged.date = d0.addDays(5);
        flagged.spike = true;
        index.days << flagged;
        // 400 MiB apart is below a 500 MB minimum; 600 MiB across a calendar gap is a spike.
        const QList<DiskDayRecord> records{day(d0, 1000 * MiB), day(d0.addDays(1), 1400 * MiB),
                                           day(d0.addDays(4), 2000 * MiB)};
        const QSet<QDate> spikes = DiskPage::spikeDays(index, records, 500 * MiB);
        QCOMPARE(spikes, (QSet<QDate>{d0.addDays(4), d0.addDays(5)}));
    }

    void summaryAndForecast()
    {
        const QDate today(2026, 6, 1);
        const auto empty = DiskPage::summarize(d0, d0.addDays(6), {}, {}, today);
        QCOMPARE(empty.rangeLine, QStringLiteral("2026-03-01 ~ 2026-03-07 · 7 天 · 0 条记录"));
        QCOMPARE(empty.netCaption, QStringLiteral("所选范围内暂无监控数据"));
        QCOMPARE(empty.forecastValue, QStringLiteral("-"));
        QCOMPARE(empty.forecast, TavrinUi::Muted);

        const auto one = DiskPage::summarize(d0, d0, {day(d0, 10 * MiB)}, {day(d0, 10 * MiB)}, today);
        QCOMPARE(one.maxValue, QStringLiteral("-"));
        QVERIFY(one.maxDate.isEmpty());
        QCOMPARE(one.forecastValue, QStringLiteral("暂无风险"));
        QCOMPARE(one.forecast, TavrinUi::Accent);

        // Steady growth toward a nearly full disk: a fill-up forecast in the warning state.
        QList<DiskDayRecord> filling;
        for (int i = 0; i < 10; ++i) {
            DiskDayRecord r = day(d0.addDays(i), 90LL * 1024 * MiB + i * 1024 * MiB);
            r.capacity = 100LL * 1024 * MiB;
            filling << r;
        }
        const auto full = DiskPage::summarize(d0, d0.addDays(9), filling, filling, today);
        QCOMPARE(full.forecast, TavrinUi::Warning);
        QVERIFY2(full.forecastValue.startsWith(QStringLiteral("约 ")), qPrintable(full.forecastValue));
        QCOMPARE(full.maxSemantic, TavrinUi::Warning);
        QCOMPARE(full.netValue, Tavrin::formatSize(9LL * 1024 * MiB));

        // A past range shows its own growth, but the forecast is today's: from the recent days.
        const QList<DiskDayRecord> flat{day(today.addDays(-1), 90LL * 1024 * MiB),
                                        day(today, 90LL * 1024 * MiB)};
        const auto past = DiskPage::summarize(d0, d0.addDays(9), filling, flat, today);
        QCOMPARE(past.netValue, Tavrin::formatSize(9LL * 1024 * MiB));
        QCOMPARE(past.forecastValue, QStringLiteral("暂无风险"));
        const auto calm = DiskPage::summarize(today.addDays(-1), today, flat, filling, today);
        QCOMPARE(calm.forecast, TavrinUi::Warning);
        QCOMPARE(calm.forecastCaption,
                 QStringLiteral("按当前增速 · 预计 %1").arg(today.addDays(1).toString(Qt::ISODate)));
        // The recent days of a range: the 30 up to today.
        const QList<DiskDayRecord> mixed{day(today.addDays(-30), 1), day(today.addDays(-29), 2),
                                         day(today, 3), day(today.addDays(1), 4)};
        const auto recent = DiskPage::recentDays(mixed, today);
        QCOMPARE(recent.size(), 2);
        QCOMPARE(recent.first().total, qint64(2));
    }

    // "新增" keeps counting once "alert.json" has reached its 200 entries.
    void freshAlerts_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("seen");
        QTest::addColumn<int>("lastSeenIndex"); // -1: no key stored, -2: a key no longer listed
        QTest::addColumn<int>("fresh");
        QTest::newRow("older file: by count") << 7 << 5 << -1 << 2;
        QTest::newRow("all seen") << 5 << 5 << 4 << 0;
        QTest::newRow("full list, three new since") << 200 << 200 << 196 << 3;
        QTest::newRow("full list, seen one rotated out") << 200 << 200 << -2 << 200;
    }

    void freshAlerts()
    {
        QFETCH(int, total);
        QFETCH(int, seen);
        QFETCH(int, lastSeenIndex);
        QFETCH(int, fresh);
        QStringList keys;
        for (int i = 0; i < total; ++i)
            keys << QStringLiteral("2026-01-01|/var/%1").arg(i);
        DiskPage::AlertUiState state;
        state.seen = seen;
        state.lastSeen = lastSeenIndex >= 0    ? keys.at(lastSeenIndex)
                         : lastSeenIndex == -2 ? "gone|/x"
                                               : QString();
        QCOMPARE(DiskPage::freshAlertCount(keys, state), fresh);
        const DiskPage::AlertUiState back =
            DiskPage::alertUiStateFromBytes(DiskPage::alertUiStateToBytes(state), 200);
        QCOMPARE(back.lastSeen, state.lastSeen);
        QCOMPARE(back.seen, seen);
    }

    void csvRoundTrip()
    {
        QList<DiskDayRecord> records{day(d0, 100, {{"/a", 50, true}}),
                                     day(d0.addDays(1), 300, {{"/a, \"b\"", 250, true}}),
                                     day(d0.addDays(2), 310), day(d0.addDays(3), 400, {{"/a", 390, true}})};
        const QByteArray csv = DiskPage::recordsCsv(records, {d0.addDays(1)});
        const QList<QByteArray> lines = csv.split('\n');
        QCOMPARE(lines.at(0).trimmed(),
                 QByteArray("date,used_bytes,capacity_bytes,growth_bytes,spike,main_cause"));
        QVERIFY(lines.at(1).startsWith("2026-03-01,100,"));
        QVERIFY(lines.at(1).trimmed().endsWith(",,0,"));
        QCOMPARE(lines.at(2).trimmed(), QByteArray("2026-03-02,300,107374182400,200,1,\"/a, \"\"b\"\"\""));
        // After a day without a scan there is nothing to name: no cause, not the whole /a.
        QCOMPARE(lines.at(4).trimmed(), QByteArray("2026-03-04,400,107374182400,90,0,"));
    }

    void briefError_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("brief");
        QTest::newRow("empty") << "  "
                               << "";
        QTest::newRow("first line only") << " Failed to enable unit\nsecond line"
                                         << "Failed to enable unit";
        QTest::newRow("120 kept") << QString(120, 'x') << QString(120, 'x');
        QTest::newRow("121 cut") << QString(121, 'y') + "\nmore" << QString(120, 'y') + "…";
    }

    void briefError()
    {
        QFETCH(QString, text);
        QFETCH(QString, brief);
        QCOMPARE(MonitorService::briefError(text), brief);
    }

    void chartScale_data()
    {
        QTest::addColumn<qint64>("max");
        QTest::addColumn<qint64>("top");
        QTest::newRow("3.4e9 -> 5e9") << qint64(3400000000) << qint64(5000000000);
        QTest::newRow("exactly 1e9 kept") << qint64(1000000000) << qint64(1000000000);
        QTest::newRow("1.5e9 -> 2e9") << qint64(1500000000) << qint64(2000000000);
        QTest::newRow("7e9 -> 1e10") << qint64(7000000000) << qint64(10000000000);
        QTest::newRow("zero -> 1") << qint64(0) << qint64(1);
    }

    void chartScale()
    {
        QFETCH(qint64, max);
        QFETCH(qint64, top);
        QCOMPARE(TavrinUi::UsageChart::scaleTopFor(max), top);
    }

    // The selected day's ring stands out from the page in both themes (the base colour alone
    // vanished on the light theme's white).
    void selectedRingVisible_data()
    {
        QTest::addColumn<int>("theme");
        QTest::newRow("light") << int(ZGuiApplicationHelper::LightType);
        QTest::newRow("dark") << int(ZGuiApplicationHelper::DarkType);
    }

    void selectedRingVisible()
    {
        QFETCH(int, theme);
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        const auto restore = qScopeGuard(
            [] { ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::LightType); });
        TavrinUi::UsageChart chart;
        chart.resize(454, 254);
        // Two equal days: the line runs along the top of the chart area, the ring reaches above it.
        chart.setRecords({day(d0, 1000), day(d0.addDays(1), 1000)});
        chart.setSelectedDate(d0);
        QImage image(chart.size(), QImage::Format_ARGB32);
        image.fill(TavrinUi::baseColor());
        chart.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const int x = int(chart.xForIndex(0));
        const int y = chart.chartArea().top() - 7;
        const int ring = QColor(image.pixel(x, y)).lightness();
        const int page = QColor(image.pixel(x + 30, y)).lightness();
        QVERIFY2(qAbs(ring - page) > 60, qPrintable(QStringLiteral("%1 vs %2").arg(ring).arg(page)));
    }

    void chartGeometryAndTooltips()
    {
        TavrinUi::UsageChart chart;
        chart.resize(454, 254); // chart area 400 x 220
        const QRect area = chart.chartArea();
        QCOMPARE(area, QRect(46, 10, 400, 220));
        QCOMPARE(chart.indexAtX(100), -1);

        chart.setRecords({day(d0, 1000)});
        QCOMPARE(chart.xForIndex(0), area.left() + area.width() / 2.0);
        QVERIFY(!chart.dayTooltip(0).contains(QStringLiteral("当日增长")));

        QList<DiskDayRecord> week;
        for (int i = 0; i < 7; ++i)
            week << day(d0.addDays(i), 1000 + i * 2048);
        chart.setRecords(week);
        chart.setSpikeDays({d0.addDays(3)});
        QCOMPARE(chart.indexAtX(area.left()), 0);
        QCOMPARE(chart.indexAtX(area.right()), 6);
        QCOMPARE(chart.indexAtX(area.right() + 1), -1);
        QCOMPARE(chart.indexAtX(area.left() - 1), -1);
        QCOMPARE(chart.dayTooltip(3),
                 QStringLiteral("2026-03-04\n已用 6.98 KB\n当日增长 2.00 KB\n⚠ 异常增长"));
        QCOMPARE(DiskPage::chartSizeText(1023), QStringLiteral("1023 B"));
        QCOMPARE(DiskPage::chartSizeText(3LL << 40), QStringLiteral("3.00 TB"));
        QCOMPARE(DiskPage::chartSizeText(5LL << 50), QStringLiteral("5120.00 TB"));

        QSignalSpy picked(&chart, &TavrinUi::UsageChart::dateSelected);
        QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(int(chart.xForIndex(2)), area.center().y()));
        QCOMPARE(picked.count(), 1);
        QCOMPARE(chart.selectedDate(), d0.addDays(2));
    }

    void chartKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("left") << int(Qt::Key_Left) << 9;
        QTest::newRow("right") << int(Qt::Key_Right) << 11;
        QTest::newRow("home") << int(Qt::Key_Home) << 0;
        QTest::newRow("end") << int(Qt::Key_End) << 19;
        QTest::newRow("page up: a week back") << int(Qt::Key_PageUp) << 3;
        QTest::newRow("page down: a week on") << int(Qt::Key_PageDown) << 17;
    }

    void chartKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, expected);
        TavrinUi::UsageChart chart;
        chart.resize(600, 300);
        QList<DiskDayRecord> days;
        for (int i = 0; i < 20; ++i)
            days << day(d0.addDays(i), 1000 + i);
        chart.setRecords(days);
        chart.setSelectedDate(d0.addDays(10));
        QCOMPARE(chart.focusPolicy(), Qt::StrongFocus);
        QSignalSpy picked(&chart, &TavrinUi::UsageChart::dateSelected);
        QTest::keyClick(&chart, Qt::Key(key));
        QCOMPARE(picked.count(), 1);
        QCOMPARE(chart.selectedDate(), d0.addDays(expected));
        // The selection is what a screen reader hears.
        QVERIFY(chart.accessibleName().contains(d0.addDays(expected).toString(Qt::ISODate)));
        QVERIFY(chart.accessibleDescription().contains(QStringLiteral("已用")));
    }
};

TAVRIN_TEST_MAIN(TestDiskUsageAnalysis)
#include "tst_diskusageanalysis.moc"
