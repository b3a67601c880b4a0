// Floor program for the monitor benchmark: a bare core application that runs "df -B1 /" once
// and exits.
// Built twice: linked to Core, Gui, Widgets and DBus (what the one executable used to load), and
// with FLOOR_CORE_ONLY to Core and DBus alone (what the monitor uses).
#ifndef FLOOR_CORE_ONLY
#include <QApplication>
#endif
#include <QCoreApplication>
#include <QDBusConnection>
#include <QProcess>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Keep the libraries linked in: never true, but the linker cannot know.
#ifndef FLOOR_CORE_ONLY
    if (argc > 99)
        return QApplication::exec() + int(QDBusConnection::sessionBus().isConnected());
#else
    if (argc > 99)
        return int(QDBusConnection::sessionBus().isConnected());
#endif
    QProcess df;
    df.start(QStringLiteral("df"), {QStringLiteral("-B1"), QStringLiteral("/")});
    df.waitForFinished(15000);
    return df.readAllStandardOutput().isEmpty() ? 1 : 0;
}
