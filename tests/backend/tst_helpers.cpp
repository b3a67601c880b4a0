#include "backend/backend_p.h"
#include "simroot.h"

#include <QDateTime>
#include <QSysInfo>

using namespace Tavrin;
using Tavrin::Test::kCtl;
using Tavrin::Test::SimRoot;

class TestHelpers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }

    void friendlyError_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << "命令执行失败";
        QTest::newRow("blank") << " \n\t"
                               << "命令执行失败";
        QTest::newRow("dismissed") << "Error executing command as another user: Request dismissed"
                                   << "已取消授权，未执行操作";
        QTest::newRow("not authorised") << "Error executing command as another user: Not authorized"
                                        << "没有权限执行此操作";
        QTest::newRow("authentication") << "pkexec: Authentication failure"
                                        << "身份验证失败，请检查密码后重试";
        QTest::newRow("incorrect password") << "sudo: 1 incorrect password attempt"
                                            << "密码错误，请重试";
        QTest::newRow("wrong password") << "wrong password given"
                                        << "密码错误，请重试";
        QTest::newRow("permission denied") << "open: permission denied"
                                           << "权限不足，无法执行此操作";
        QTest::newRow("Permission denied kept") << "  rm: Permission denied \n"
                                                << "rm: Permission denied";
        QTest::newRow("timeout") << "connection timeout"
                                 << "命令执行超时";
        QTest::newRow("first rule wins") << "Not authorized; Request dismissed"
                                         << "已取消授权，未执行操作";
        QTest::newRow("other text trimmed") << "  something odd happened\n"
                                            << "something odd happened";
    }
    void friendlyError()
    {
        QFETCH(QString, message);
        QFETCH(QString, expected);
        QCOMPARE(friendlyExecError(message), expected);
    }

    void sizes_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << qint64(0) << "0 B";
        QTest::newRow("512") << qint64(512) << "512 B";
        QTest::newRow("1023") << qint64(1023) << "1023 B";
        QTest::newRow("-1023") << qint64(-1023) << "-1023 B";
        QTest::newRow("1024") << qint64(1024) << "1.00 KB";
        QTest::newRow("1536") << qint64(1536) << "1.50 KB";
        QTest::newRow("-2048") << qint64(-2048) << "-2.00 KB";
        QTest::newRow("just below a MB") << qint64(1024 * 1024 - 1) << "1024.00 KB";
        QTest::newRow("5 GB") << qint64(5) * 1024 * 1024 * 1024 << "5.00 GB";
        QTest::newRow("2048 TB") << qint64(2048) * 1024 * 1024 * 1024 * 1024 << "2048.00 TB";
        QTest::newRow("max") << std::numeric_limits<qint64>::max() << "8388608.00 TB";
        QTest::newRow("min") << std::numeric_limits<qint64>::min() << "-8388608.00 TB";
    }
    void sizes()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, expected);
        QCOMPARE(formatSize(bytes), expected);
    }

    void times()
    {
        QCOMPARE(formatTime(0), QStringLiteral("-"));
        QCOMPARE(formatTime(-5), QStringLiteral("-"));
        const qint64 t = 1700000000;
        QCOMPARE(formatTime(t),
                 QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }

    void json_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("keys");
        QTest::newRow("object") << R"({"a":1,"b":"x"})" << 2;
        QTest::newRow("array at top") << "[1,2]" << 0;
        QTest::newRow("garbage") << "not json {" << 0;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("truncated") << R"({"a":)" << 0;
        QTest::newRow("number") << "42" << 0;
        QTest::newRow("non-ASCII") << QStringLiteral(R"({"名称":"回滚"})") << 1;
    }
    void json()
    {
        QFETCH(QString, text);
        QFETCH(int, keys);
        QCOMPARE(parseJson(text).size(), keys);
    }

    void field_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first present key") << QStringList{"missing", "name", "title"} << "snap";
        QTest::newRow("number stops the walk") << QStringList{"count", "name"} << "";
        QTest::newRow("boolean stops the walk") << QStringList{"flag", "name"} << "";
        QTest::newRow("none present") << QStringList{"x", "y"} << "fallback";
        QTest::newRow("no keys") << QStringList{} << "fallback";
        QTest::newRow("null value") << QStringList{"nothing", "name"} << "";
    }
    void field()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, expected);
        const QJsonObject o =
            parseJson(R"({"name":"snap","title":"t","count":3,"flag":true,"nothing":null})");
        QCOMPARE(jsonField(o, keys, QStringLiteral("fallback")), expected);
    }

    void immutableAnswer_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("immutable");
        QTest::newRow("true") << "Immutable mode: true" << true;
        QTest::newRow("false") << "Status\nImmutable mode: false\nOther: 1" << false;
        QTest::newRow("FALSE any case") << "immutable MODE:   FALSE" << false;
        QTest::newRow("no space") << "Immutable mode:false" << false;
        QTest::newRow("unrecognised") << "Immutable mode: maybe" << true;
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("an unreadable answer, then a readable one")
            << "Immutable mode: unknown\nImmutable mode:\n\tfalse" << false;
        QTest::newRow("the first readable answer wins") << "Immutable mode: true\nImmutable mode: false" << true;
    }
    void immutableAnswer()
    {
        QFETCH(QString, output);
        QFETCH(bool, immutable);
        QCOMPARE(isImmutableAnswer(output), immutable);
    }

    void isImmutableRunsTheTool()
    {
        SimRoot sim;
        QList<QPair<QStringList, int>> seen;
        setRunObserverForTesting([&](const QString &, const QList<QString> &args, int timeout, bool elevate) {
            QVERIFY(!elevate);
            seen.append({args, timeout});
        });
        sim.respond(kCtl, QStringLiteral("-s"), "Immutable mode: false\n");
        QVERIFY(!isImmutable());
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first().first, QStringList{"-s"});
        QCOMPARE(seen.first().second, 30000);

        sim.respond(kCtl, QStringLiteral("-s"), "Immutable mode: false\n", 1);
        QVERIFY(isImmutable());
        QFile::remove(sim.path(QStringLiteral("/usr/sbin/zarnex-immutable-ctl")));
        QVERIFY(isImmutable());
        setRunObserverForTesting({});
    }

    void kernel() { QCOMPARE(getKernel(), QSysInfo::kernelVersion()); }

    void recordsTravelInVariants()
    {
        SnapshotInfo s;
        s.id = QStringLiteral("a1");
        s.time = 7;
        const QVariant list = QVariant::fromValue(QList<SnapshotInfo>{s});
        QCOMPARE(list.value<QList<SnapshotInfo>>().value(0).id, QStringLiteral("a1"));
        RollbackState state;
        state.status = QStringLiteral("pending");
        QCOMPARE(QVariant::fromValue(state).value<RollbackState>().status, QStringLiteral("pending"));
        SnapshotSizeMap sizes{{QStringLiteral("a1"), qMakePair(qint64(1), qint64(2))}};
        QCOMPARE(QVariant::fromValue(sizes).value<SnapshotSizeMap>().value(QStringLiteral("a1")).second,
                 qint64(2));
        QVERIFY(QMetaType::fromName("Tavrin::DeployInfo").isValid());
        QVERIFY(QMetaType::fromName("Tavrin::WritableStatus").isValid());
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestHelpers)
#include "tst_helpers.moc"
