// What the planner offers from the tools' answers, and how the checked rows
// add up when a size is a lower bound, unknown, or the free space unreadable.

#include "planner/freespacemodel.h"
#include "testsupport.h"

#include <QtTest/QtTest>

using namespace Tavrin;
using namespace Tavrin::FreeSpace;

class TestFreeSpaceModel : public QObject
{
    Q_OBJECT

    static SnapshotInfo snap(const char *id, qint64 time, bool initial = false)
    {
        SnapshotInfo s;
        s.id = QLatin1String(id);
        s.name = QStringLiteral("名称-") + s.id;
        s.time = time;
        s.isInitial = initial;
        return s;
    }

private slots:
    // Never the initial snapshot nor the backup of an unsettled rollback; oldest first.
    void offeredSnapshots_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("offered");
        QTest::newRow("no rollback") << QString() << QStringList{"b", "c"};
        QTest::newRow("pending") << QStringLiteral("pending") << QStringList{"c"};
        QTest::newRow("active") << QStringLiteral("active") << QStringList{"c"};
        QTest::newRow("done") << QStringLiteral("done") << QStringList{"b", "c"};
        QTest::newRow("cancelled") << QStringLiteral("cancelled") << QStringList{"b", "c"};
    }
    void offeredSnapshots()
    {
        QFETCH(QString, status);
        QFETCH(QStringList, offered);
        RollbackState state;
        state.valid = !status.isEmpty();
        state.status = status;
        state.backupSnapshotId = QStringLiteral("b");
        // Out of order, with an id that would read as an option.
        const QList<SnapshotInfo> list{snap("c", 300), snap("a", 100, true), snap("-x", 50), snap("b", 200)};
        QStringList ids;
        for (const Candidate &c : snapshotCandidates(list, state))
            ids << c.id;
        QCOMPARE(ids, offered);
    }

    void offeredDeployments()
    {
        DeployInfo booted, staged, backup, old, blank;
        booted.commit = QStringLiteral("c0");
        booted.isBooted = true;
        staged.commit = QStringLiteral("c1");
        staged.hidden = true;
        backup.commit = QStringLiteral("c2");
        backup.isRollbackBackup = true;
        old.commit = QStringLiteral("c3");
        QStringList ids;
        for (const Candidate &c : deploymentCandidates({booted, staged, backup, old, blank}))
            ids << c.id;
        QCOMPARE(ids, (QStringList{"c2", "c3"}));
    }

    // The running total: exact, a lower bound, unknown rows, unknown free space.
    void totals_data()
    {
        QTest::addColumn<QList<qint64>>("bytes"); // -1: unknown
        QTest::addColumn<QList<bool>>("atLeast");
        QTest::addColumn<qint64>("free");
        QTest::addColumn<QString>("text");
        QTest::newRow("exact") << QList<qint64>{1024, 2048} << QList<bool>{false, false} << qint64(4096)
                               << QStringLiteral("已选 2 项，可释放 3.00 KB，释放后可用 7.00 KB");
        QTest::newRow("a lower bound")
            << QList<qint64>{1024, 2048} << QList<bool>{true, false} << qint64(4096)
            << QStringLiteral("已选 2 项，可释放 至少 3.00 KB，释放后可用 至少 7.00 KB");
        QTest::newRow("one unknown")
            << QList<qint64>{-1, 2048} << QList<bool>{false, false} << qint64(4096)
            << QStringLiteral("已选 2 项，可释放 至少 2.00 KB（1 项大小未知），释放后可用 至少 6.00 KB");
        QTest::newRow("all unknown")
            << QList<qint64>{-1} << QList<bool>{false} << qint64(4096)
            << QStringLiteral("已选 1 项，可释放 未知（1 项大小未知），释放后可用 至少 4.00 KB");
        QTest::newRow("free space unreadable")
            << QList<qint64>{1024} << QList<bool>{false} << qint64(-1)
            << QStringLiteral("已选 1 项，可释放 1.00 KB，释放后可用 未知");
    }
    void totals()
    {
        QFETCH(QList<qint64>, bytes);
        QFETCH(QList<bool>, atLeast);
        QFETCH(qint64, free);
        QFETCH(QString, text);
        Inventory inv;
        Group g;
        g.ok = true;
        QHash<QString, Size> sizes;
        for (int i = 0; i < bytes.size(); ++i) {
            Candidate c;
            c.id = QStringLiteral("s%1").arg(i);
            g.items.append(c);
            if (bytes.at(i) >= 0)
                sizes.insert(keyOf(c), {bytes.at(i), atLeast.at(i)});
        }
        inv.groups = {g, Group{Kind::Deployment, true, {}, {}}, Group{Kind::UpgradeCache, true, {}, {}}};
        inv.freeBytes = free;
        FreeSpaceModel model;
        model.setInventory(inv);
        model.setSizes(sizes);
        QCOMPARE(model.totalsText(), QStringLiteral("未选择任何项目"));
        for (const Candidate &c : g.items)
            model.setChecked(keyOf(c), true);
        QCOMPARE(model.totalsText(), text);
        // Group rows cannot be checked; unchecking brings the total down again.
        QVERIFY(!model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        model.setChecked(keyOf(g.items.first()), false);
        QCOMPARE(model.totals().count, int(g.items.size()) - 1);
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestFreeSpaceModel)
#include "tst_freespacemodel.moc"
