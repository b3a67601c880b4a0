// A notification server for tests: owns org.freedesktop.Notifications on the session bus and
// appends every Notify call, as received, to the file named by its first argument (one JSON
// object a line). With "--hang" as second argument it never answers; with "--delay MS" it answers
// after that many milliseconds.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QVariantMap>

#include <cstdio>

class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QString logPath;
    bool hang = false;
    int delayMs = 0;

public slots:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout,
                const QDBusMessage &message)
    {
        QJsonObject hintObject;
        for (auto it = hints.cbegin(); it != hints.cend(); ++it)
            hintObject.insert(it.key(), it.value().toString());
        const QJsonObject call{{"signature", message.signature()},
                               {"app", app},
                               {"replaces", double(replaces)},
                               {"icon", icon},
                               {"summary", summary},
                               {"body", body},
                               {"actions", QJsonArray::fromStringList(actions)},
                               {"hints", hintObject},
                               {"timeout", timeout}};
        QFile log(logPath);
        if (log.open(QIODevice::Append))
            log.write(QJsonDocument(call).toJson(QJsonDocument::Compact) + '\n');
        if (hang)
            message.setDelayedReply(true);
        if (delayMs > 0) {
            message.setDelayedReply(true);
            const QDBusMessage reply = message.createReply(QVariant::fromValue(++counter));
            QTimer::singleShot(delayMs, this, [reply] { QDBusConnection::sessionBus().send(reply); });
            return counter;
        }
        return ++counter;
    }
    QStringList GetCapabilities() { return {"body", "actions"}; }

private:
    uint counter = 0;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    NotificationServer server;
    server.logPath = QString::fromLocal8Bit(argv[1]);
    server.hang = argc > 2 && qstrcmp(argv[2], "--hang") == 0;
    if (argc > 3 && qstrcmp(argv[2], "--delay") == 0)
        server.delayMs = QByteArray(argv[3]).toInt();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/Notifications", &server, QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.Notifications")) {
        std::fprintf(stderr, "fakenotifyd: cannot own the notification service\n");
        return 1;
    }
    return app.exec();
}

#include "fakenotifyd.moc"
