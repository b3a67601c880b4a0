// Floor program for the monitor benchmark: a bare core application linked to the same Qt
// libraries as the executable that runs "df -B1 /" once and exits.
#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QProcess>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Keep the widget and bus libraries linked in, as they are in the executable.
    if (argc > 99)
        return QApplication::exec() + int(QDBusConnection::sessionBus().isConnected());
    QProcess df;
    df.start(QStringLiteral("df"), {QStringLiteral("-B1"), QStringLiteral("/")});
    df.waitForFinished(15000);
    return df.readAllStandardOutput().isEmpty() ? 1 : 0;
}
