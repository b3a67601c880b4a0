#include "backend/freedspacecache.h"
#include "backend/pools.h"
#include "testsupport.h"

#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>

using namespace Tavrin;

namespace {

// Figures the test hands out one by one, as slow listings would deliver them.
struct Figures
{
    QMutex mutex;
    QHash<QString, qint64> bytes;
    QString refs = QStringLiteral("refs-1");
    QHash<QString, int> computed;
    QSemaphore release;
    bool held = false;

    FreedFigure compute(const QString &commit)
    {
        if (held)
            release.acquire();
        QMutexLocker lock(&mutex);
        ++computed[commit];
        return {MeasuredSize::exact(bytes.value(commit)), refs};
    }
    QString readRefs()
    {
        QMutexLocker lock(&mutex);
        return refs;
    }
};

} // namespace

class TestFreedSpaceCache : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Figures> figures;
    std::unique_ptr<FreedSpaceCache> cache;

    bool arrives(const QString &commit)
    {
        return QTest::qWaitFor([&] { return cache->figure(commit).has_value(); }, 30000);
    }

private slots:
    void init()
    {
        figures = std::make_unique<Figures>();
        figures->bytes = {{QStringLiteral("aaa"), 1000}, {QStringLiteral("bbb"), 2000}};
        Figures *f = figures.get();
        cache = std::make_unique<FreedSpaceCache>([f](const QString &c) { return f->compute(c); },
                                                  [f] { return f->readRefs(); });
    }
    void cleanup()
    {
        figures->release.release(100);
        cache.reset();
        taskPool().waitForDone();
    }

    // Each commit gets its own figure, announced under its own commit: one
    // arriving says nothing about another still being computed.
    void figuresBelongToTheirCommit()
    {
        figures->held = true;
        QSignalSpy changed(cache.get(), &FreedSpaceCache::figureChanged);
        cache->request(QStringLiteral("aaa"));
        cache->request(QStringLiteral("bbb"));
        cache->request(QStringLiteral("aaa")); // under way: nothing new starts
        figures->release.release(1);
        QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, 30000);
        const QString first = changed.at(0).at(0).toString();
        const QString other = first == QLatin1String("aaa") ? QStringLiteral("bbb") : QStringLiteral("aaa");
        QCOMPARE(cache->figure(first), MeasuredSize::exact(figures->bytes.value(first)));
        QVERIFY(!cache->figure(other));
        figures->release.release(1);
        QVERIFY(arrives(other));
        QCOMPARE(cache->figure(other), MeasuredSize::exact(figures->bytes.value(other)));
        QCOMPARE(figures->computed.value(QStringLiteral("aaa")), 1);
    }

    // A figure asked for again is checked against the refs: the same refs
    // serve it without computing, other refs compute it anew.
    void askedAgainFollowsTheRefs_data()
    {
        QTest::addColumn<bool>("refsChange");
        QTest::addColumn<int>("computed");
        QTest::addColumn<qint64>("shown");
        QTest::newRow("same refs") << false << 1 << qint64(1000);
        QTest::newRow("a snapshot came or went") << true << 2 << qint64(1500);
    }
    void askedAgainFollowsTheRefs()
    {
        QFETCH(bool, refsChange);
        QFETCH(int, computed);
        QFETCH(qint64, shown);
        cache->request(QStringLiteral("aaa"));
        QVERIFY(arrives(QStringLiteral("aaa")));
        figures->bytes.insert(QStringLiteral("aaa"), 1500);
        if (refsChange)
            figures->refs = QStringLiteral("refs-2");
        cache->request(QStringLiteral("aaa"));
        // Not shown as fact until the check is back.
        QVERIFY(!cache->figure(QStringLiteral("aaa")));
        QVERIFY(arrives(QStringLiteral("aaa")));
        QCOMPARE(cache->figure(QStringLiteral("aaa")), MeasuredSize::exact(shown));
        QCOMPARE(figures->computed.value(QStringLiteral("aaa")), computed);
    }

    // Another deployment list drops every figure, announced, and a figure
    // computed for the old list is not taken when it arrives late.
    void anotherListDropsTheFigures()
    {
        cache->setDeployments({QStringLiteral("aaa"), QStringLiteral("bbb")});
        cache->request(QStringLiteral("aaa"));
        QVERIFY(arrives(QStringLiteral("aaa")));
        figures->held = true;
        cache->request(QStringLiteral("bbb"));
        QSignalSpy changed(cache.get(), &FreedSpaceCache::figureChanged);
        cache->setDeployments({QStringLiteral("aaa"), QStringLiteral("bbb")});
        QCOMPARE(changed.size(), 0);
        cache->setDeployments({QStringLiteral("aaa")});
        QCOMPARE(changed.size(), 2);
        QVERIFY(!cache->figure(QStringLiteral("aaa")));
        figures->release.release(1);
        // The late result is delivered, and dropped.
        QVERIFY(taskPool().waitForDone(30000));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(figures->computed.value(QStringLiteral("bbb")), 1);
        QVERIFY(!cache->figure(QStringLiteral("bbb")));
        QCOMPARE(changed.size(), 2);
        // Asked again, it is computed for the list as it is now.
        figures->held = false;
        cache->request(QStringLiteral("bbb"));
        QVERIFY(arrives(QStringLiteral("bbb")));
        QCOMPARE(figures->computed.value(QStringLiteral("bbb")), 2);
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestFreedSpaceCache)
#include "tst_freedspacecache.moc"
