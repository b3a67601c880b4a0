// Which snapshots a creation removes under the retention limit, and how the
// stored preferences are read, whatever the file holds.

#include "backend/retention.h"

#include <QtTest/QtTest>

#include <limits>

using namespace Tavrin;

namespace {

// "i" initial, "b" the safety backup, "o" ordinary; `times` give their ages
// (a list need not be sorted).
QList<SnapshotInfo> snapshots(const QString &kinds, const QList<qint64> &times)
{
    QList<SnapshotInfo> list;
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        SnapshotInfo s;
        s.id = QStringLiteral("id%1").arg(i);
        s.name = QStringLiteral("n%1").arg(i);
        s.time = times.value(i, 1000 + i);
        s.isInitial = kinds.at(i) == QLatin1Char('i');
        if (kinds.at(i) == QLatin1Char('b'))
            s.id = QStringLiteral("backup");
        if (kinds.at(i) == QLatin1Char('-'))
            s.id = QStringLiteral("-x");
        list << s;
    }
    return list;
}

QStringList ids(const QList<SnapshotInfo> &list)
{
    QStringList out;
    for (const SnapshotInfo &s : list)
        out << s.id;
    return out;
}

} // namespace

class TestRetention : public QObject
{
    Q_OBJECT

private slots:
    void pruning_data()
    {
        QTest::addColumn<QString>("kinds");
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("maxRemovals");
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<int>("stillOver");
        const QList<qint64> inOrder;
        QTest::newRow("no limit") << "iooo" << inOrder << 0 << 31 << QStringList() << 0;
        QTest::newRow("huge limit") << "iooo" << inOrder << 10000 << 31 << QStringList() << 0;
        QTest::newRow("room for the new one") << "iooo" << inOrder << 5 << 31 << QStringList() << 0;
        QTest::newRow("exactly full") << "iooo" << inOrder << 4 << 31 << QStringList{"id1"} << 0;
        // Oldest by time, not by place in the list.
        QTest::newRow("unsorted list")
            << "iooo" << QList<qint64>{1, 50, 10, 30} << 3 << 31 << QStringList{"id2", "id3"} << 0;
        QTest::newRow("initial is the newest")
            << "oooi" << QList<qint64>{10, 20, 30, 5000} << 3 << 31 << QStringList{"id0", "id1"} << 0;
        QTest::newRow("safety backup is the oldest")
            << "iboo" << inOrder << 3 << 31 << QStringList{"id2", "id3"} << 0;
        // Only the protected ones are left: the limit cannot be kept.
        QTest::newRow("limit of one") << "iboo" << inOrder << 1 << 31 << QStringList{"id2", "id3"} << 2;
        QTest::newRow("capped") << "iooooo" << inOrder << 1 << 2 << QStringList{"id1", "id2"} << 4;
        QTest::newRow("id read as an option")
            << "i-oo" << inOrder << 2 << 31 << QStringList{"id2", "id3"} << 1;
    }

    void pruning()
    {
        QFETCH(QString, kinds);
        QFETCH(QList<qint64>, times);
        QFETCH(int, limit);
        QFETCH(int, maxRemovals);
        QFETCH(QStringList, removed);
        QFETCH(int, stillOver);
        const PrunePlan plan =
            planPruning(snapshots(kinds, times), limit, 1, {QStringLiteral("backup")}, maxRemovals);
        QCOMPARE(ids(plan.remove), removed);
        QCOMPARE(plan.stillOver, stillOver);
    }

    void preferences_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("autoPrune");
        QTest::addColumn<QString>("rollbackClean");
        QTest::addColumn<bool>("prunes");
        QTest::newRow("missing") << QByteArray() << 0 << true << "manual" << false;
        QTest::newRow("not json") << QByteArray("max_snapshots=3") << 0 << true << "manual" << false;
        QTest::newRow("set") << QByteArray(
                                    R"({"max_snapshots":5,"auto_prune":true,"rb_auto_clean":"reboot3"})")
                             << 5 << true << "reboot3" << true;
        QTest::newRow("limit as text")
            << QByteArray(R"({"max_snapshots":"5"})") << 0 << true << "manual" << false;
        QTest::newRow("negative") << QByteArray(R"({"max_snapshots":-4})") << 0 << true << "manual" << false;
        QTest::newRow("fraction") << QByteArray(R"({"max_snapshots":2.7})") << 2 << true << "manual" << true;
        QTest::newRow("beyond int") << QByteArray(R"({"max_snapshots":1e30})")
                                    << std::numeric_limits<int>::max() << true << "manual" << true;
        QTest::newRow("prune as text")
            << QByteArray(R"({"max_snapshots":3,"auto_prune":"false"})") << 3 << true << "manual" << true;
    }

    void preferences()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, limit);
        QFETCH(bool, autoPrune);
        QFETCH(QString, rollbackClean);
        QFETCH(bool, prunes);
        const RetentionPrefs prefs = retentionPrefsFromJson(file);
        QCOMPARE(prefs.limit, limit);
        QCOMPARE(prefs.autoPrune, autoPrune);
        QCOMPARE(prefs.rollbackClean, rollbackClean);
        QCOMPARE(prefs.prunes(), prunes);
    }
};

QTEST_GUILESS_MAIN(TestRetention)
#include "tst_retention.moc"
