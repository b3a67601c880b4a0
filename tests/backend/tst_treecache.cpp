#include "backend/backend_p.h"
#include "simroot.h"

#include <QStandardPaths>

#include <sys/stat.h>

using namespace Tavrin;
using Tavrin::Test::SimRoot;

// The tree-listing cache files live in the user's cache directory, where anything may lie: only a
// file this program wrote for the same commit replaces a listing, and nothing found there blocks
// the worker or fills the memory.
class TestTreeCache : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }
    void init()
    {
        sim.reset(new SimRoot);
        QDir(cacheDir()).removeRecursively();
        QVERIFY(QDir().mkpath(cacheDir()));
        // Every listing ostree is asked for fails, so only a trusted cache can answer.
        qputenv("FAKE_OSTREE_FAIL", "no such commit");
    }
    void cleanup()
    {
        qunsetenv("FAKE_OSTREE_FAIL");
        QDir(cacheDir()).removeRecursively();
        sim.reset();
    }

    void cacheContents_data()
    {
        const QByteArray sum(64, 'a');
        const QByteArray good = "{\"commit\":\"" + kCommit + "\",\"files\":{\"" + sum + "\":4096}}";
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("written by this program") << "file" << good << true;
        QTest::newRow("FIFO") << "fifo" << QByteArray() << false;
        QTest::newRow("directory") << "dir" << QByteArray() << false;
        QTest::newRow("link to an endless device") << "zero" << QByteArray() << false;
        QTest::newRow("huge sparse file") << "sparse" << QByteArray() << false;
        QTest::newRow("cut off") << "file" << good.left(good.size() - 9) << false;
        QTest::newRow("another commit")
            << "file" << QByteArray(good).replace(kCommit, QByteArray(64, 'c')) << false;
        QTest::newRow("negative size") << "file" << QByteArray(good).replace("4096", "-1") << false;
        QTest::newRow("size as text") << "file" << QByteArray(good).replace("4096", "\"4096\"") << false;
        QTest::newRow("not a checksum")
            << "file" << QByteArray(good).replace(sum, "../../etc/passwd") << false;
        QTest::newRow("no files") << "file"
                                  << "{\"commit\":\"" + kCommit + "\",\"files\":{}}" << false;
        QTest::newRow("binary garbage") << "file" << QByteArray("\x00\xff\xfe{\"commit\"", 12) << false;
    }

    void cacheContents()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(bool, trusted);
        const QString path = cacheDir() + QLatin1Char('/') + treeCacheFileName(QStringLiteral("share_x"));
        if (kind == QLatin1String("file")) {
            SimRoot::writeFile(path, content);
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("dir")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(200LL * 1024 * 1024));
        }

        bool listed = !trusted;
        const QHash<QString, qint64> files = ostreeLsTreeCached(QStringLiteral("share_x"), kCommit, &listed);
        QCOMPARE(listed, trusted);
        QCOMPARE(files.size(), trusted ? 1 : 0);
        // An untrusted cache sends the question to ostree; a trusted one answers it.
        QCOMPARE(sim->calls(QStringLiteral("ostree")).size(), trusted ? 0 : 1);
    }

private:
    static QString cacheDir() { return QStandardPaths::writableLocation(QStandardPaths::CacheLocation); }
    static inline const QByteArray kCommit = QByteArray(64, 'b');
    std::unique_ptr<SimRoot> sim;
};

TAVRIN_TEST_GUILESS_MAIN(TestTreeCache)
#include "tst_treecache.moc"
