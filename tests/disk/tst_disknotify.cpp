#include "disk/diskmonitor.h"

#include "diskfixture.h"
#include "monitorfixture.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>

using namespace Tavrin;

class TestDiskNotify : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { fx.reset(); }
    void cleanup();
    void notifyCallAsSent();
    void noServiceStillStoresAlert();
    void hungServerDoesNotHoldTheCycle();
    void forecastNotificationReceived();

private:
    void startServer(const QStringList &extra = {});
    QList<QJsonObject> calls() const;
    MonitorFixture fx;
    QProcess server;
};

void TestDiskNotify::initTestCase()
{
    TAVRIN_REQUIRE_PRIVATE_HOME();
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus (run under dbus-run-session)");
}

void TestDiskNotify::cleanup()
{
    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    }
    QTRY_VERIFY(
        !QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.Notifications"));
    fx.restorePath();
}

void TestDiskNotify::startServer(const QStringList &extra)
{
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral(FAKENOTIFYD), QStringList{fx.work.filePath("notify.log")} + extra);
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY(
        QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.Notifications"));
}

QList<QJsonObject> TestDiskNotify::calls() const
{
    QList<QJsonObject> out;
    QFile log(fx.work.filePath("notify.log"));
    if (!log.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.isEmpty())
            out.append(QJsonDocument::fromJson(line).object());
    }
    return out;
}

void TestDiskNotify::notifyCallAsSent()
{
    startServer();
    fx.spikeScenario(3 * MonitorFixture::GiB);
    QCOMPARE(fx.cycle(), qMakePair(true, QString("监控完成")));
    const QList<QJsonObject> sent = calls();
    QCOMPARE(sent.size(), 1);
    const QJsonObject call = sent.first();
    const QString date = QDate::currentDate().toString(Qt::ISODate);
    QCOMPARE(call.value("signature").toString(), QString("susssasa{sv}i"));
    QCOMPARE(call.value("app").toString(), QString("tavrin-manager"));
    QCOMPARE(call.value("replaces").toInt(), 0);
    QCOMPARE(call.value("icon").toString(), QString("drive-harddisk"));
    QCOMPARE(call.value("summary").toString(), QString("磁盘空间异常增长"));
    QCOMPARE(call.value("body").toString(), QString("系统盘 %1 增长 3.00 GB，主要来源：/var").arg(date));
    QCOMPARE(call.value("actions").toArray(), (QJsonArray{"default", "查看详情"}));
    QCOMPARE(call.value("hints").toObject(),
             (QJsonObject{{"x-zarnex-action-view", "tavrin-manager,--show-disk," + date}}));
    QCOMPARE(call.value("timeout").toInt(), -1);
    QVERIFY(fx.alerts().value("spikes").toArray().first().toObject().value("alerted").toBool());

    // Within the cooldown nothing more is sent.
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QCOMPARE(calls().size(), 1);
}

void TestDiskNotify::noServiceStillStoresAlert()
{
    fx.spikeScenario(3 * MonitorFixture::GiB);
    QCOMPARE(fx.cycle(), qMakePair(true, QString("监控完成")));
    QVERIFY(fx.alerts().value("spikes").toArray().first().toObject().value("alerted").toBool());
    QVERIFY(fx.alerts().value("lastAlert").toObject().contains("/var"));
}

void TestDiskNotify::hungServerDoesNotHoldTheCycle()
{
    startServer({"--hang"});
    fx.spikeScenario(3 * MonitorFixture::GiB);
    QCOMPARE(fx.cycle(), qMakePair(true, QString("监控完成")));
    QCOMPARE(calls().size(), 1);
    QVERIFY(fx.todayExists());
}

void TestDiskNotify::forecastNotificationReceived()
{
    startServer();
    fx.set("monitor.forecastDays", 7);
    // 900 MiB a day, 5 GiB left: full in 5 days; no day reaches the spike threshold.
    fx.forecastScenario(10, 495 * MonitorFixture::GiB, 900 * MonitorFixture::MiB);
    QCOMPARE(fx.cycle(), qMakePair(true, QString("监控完成")));
    const QList<QJsonObject> sent = calls();
    QCOMPARE(sent.size(), 1);
    const QJsonObject call = sent.first();
    const QDate today = QDate::currentDate();
    QCOMPARE(call.value("signature").toString(), QString("susssasa{sv}i"));
    QCOMPARE(call.value("summary").toString(), QString("系统盘即将写满"));
    QCOMPARE(call.value("body").toString(),
             QString("按近 14 天的增长，系统盘约 5 天后（%1）写满。增长最多：/var（14 天内 7.91 GB）")
                 .arg(today.addDays(5).toString(Qt::ISODate)));
    QCOMPARE(call.value("actions").toArray(), (QJsonArray{"default", "查看详情"}));
    QCOMPARE(
        call.value("hints").toObject(),
        (QJsonObject{{"x-zarnex-action-view", "tavrin-manager,--show-disk," + today.toString(Qt::ISODate)}}));

    // The same forecast an hour later is not sent again.
    QCOMPARE(fx.cycle().second, QString("监控完成"));
    QCOMPARE(calls().size(), 1);
}

TAVRIN_TEST_GUILESS_MAIN(TestDiskNotify)
#include "tst_disknotify.moc"
