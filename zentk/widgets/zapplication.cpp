#include "zapplication.h"

#include "zguiapplicationhelper.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTranslator>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString sanitizedKey(const QString &key)
{
    QString out;
    for (const QChar c : key)
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') ||
                       c == QLatin1Char('-') || c == QLatin1Char('_')
                   ? c
                   : QLatin1Char('_');
    return out.isEmpty() ? QStringLiteral("default") : out;
}

bool ownedPrivateDir(const QString &dir)
{
    const QFileInfo fi(dir);
    return fi.isDir() && !fi.isSymLink() && fi.ownerId() == getuid() && fi.isWritable();
}

// Where the lock and socket live; never a directory someone else could own.
QString runtimeDir()
{
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg) && ownedPrivateDir(xdg))
        return xdg;
    const QString tmp = QDir::tempPath() + QStringLiteral("/zentk-") + QString::number(getuid());
    QDir().mkpath(tmp);
    if (ownedPrivateDir(tmp)) {
        QFile::setPermissions(tmp, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return tmp;
    }
    const QString home = QDir::homePath() + QStringLiteral("/.cache/zentk-runtime");
    QDir().mkpath(home);
    return home;
}

constexpr char kActivate[] = "activate\n";

} // namespace

ZApplication::ZApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // Palette and theme follow the desktop from the start.
    ZGuiApplicationHelper::instance();
}

ZApplication::~ZApplication()
{
    delete m_aboutDialog.data();
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

ZApplication *ZApplication::instance()
{
    return qobject_cast<ZApplication *>(QCoreApplication::instance());
}

QString ZApplication::singleInstanceLockPath(const QString &key)
{
    return runtimeDir() + QLatin1Char('/') + sanitizedKey(key) + QStringLiteral(".lock");
}

QString ZApplication::singleInstanceServerName(const QString &key)
{
    return runtimeDir() + QLatin1Char('/') + sanitizedKey(key) + QStringLiteral(".sock");
}

bool ZApplication::setSingleInstance(const QString &key)
{
    if (m_lockFd >= 0)
        return true;
    const QByteArray lockPath = QFile::encodeName(singleInstanceLockPath(key));
    // The kernel drops a flock when its holder dies, so a crashed instance
    // leaves a file but no lock. CLOEXEC keeps children from inheriting it.
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        qWarning("[ZApplication] cannot open %s; single instance not enforced", lockPath.constData());
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        QLocalSocket socket;
        socket.connectToServer(singleInstanceServerName(key));
        if (socket.waitForConnected(2000)) {
            socket.write(kActivate);
            socket.waitForBytesWritten(2000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(1000);
        }
        return false;
    }
    m_lockFd = fd;

    const QString serverName = singleInstanceServerName(key);
    QLocalServer::removeServer(serverName); // a crashed holder's socket file
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(serverName)) {
        qWarning("[ZApplication] cannot listen on %s: %s", qPrintable(serverName),
                 qPrintable(m_server->errorString()));
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                const QByteArray data = peer->readAll();
                if (data.contains("activate"))
                    emit newInstanceStarted();
            });
        }
    });
    return true;
}

void ZApplication::setProductName(const QString &name)
{
    m_productName = name;
}

QString ZApplication::productName() const
{
    return m_productName.isEmpty() ? applicationDisplayName() : m_productName;
}

void ZApplication::setProductIcon(const QIcon &icon)
{
    m_productIcon = icon;
    setWindowIcon(icon);
}

QIcon ZApplication::productIcon() const
{
    return m_productIcon;
}

void ZApplication::setAboutDialog(QDialog *dialog)
{
    m_aboutFactory = nullptr;
    if (m_aboutDialog && m_aboutDialog != dialog)
        m_aboutDialog->deleteLater();
    m_aboutDialog = dialog;
}

void ZApplication::setAboutDialogFactory(std::function<QDialog *()> factory)
{
    setAboutDialog(nullptr);
    m_aboutFactory = std::move(factory);
}

QDialog *ZApplication::aboutDialog() const
{
    // Closing keeps the dialog; only one that was destroyed is built again.
    if (!m_aboutDialog && m_aboutFactory)
        m_aboutDialog = m_aboutFactory();
    return m_aboutDialog;
}

void ZApplication::showAboutDialog()
{
    QDialog *dialog = aboutDialog();
    if (!dialog)
        return;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

bool ZApplication::loadTranslator(const QList<QLocale> &locales)
{
    const QList<QLocale> wanted = locales.isEmpty() ? QList<QLocale>{QLocale::system()} : locales;
    const QStringList dirs{QDir::homePath() + QStringLiteral("/.local/share/zentk/translations"),
                           QStringLiteral("/usr/share/zentk/translations"),
                           // Installed below another prefix, such as /usr/local.
                           QDir::cleanPath(applicationDirPath() + QStringLiteral("/../share/zentk/translations")),
                           applicationDirPath() + QStringLiteral("/translations"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    bool any = false;
    for (const QLocale &locale : wanted) {
        for (const QString &dir : dirs) {
            auto *translator = new QTranslator(this);
            if (translator->load(locale, QStringLiteral("zentk"), QStringLiteral("_"), dir) &&
                installTranslator(translator)) {
                any = true;
                break;
            }
            delete translator;
        }
    }
    return any;
}

bool ZApplication::setOOMScoreAdj(int score)
{
    if (score < -1000 || score > 1000)
        return false;
    QFile f(QStringLiteral("/proc/self/oom_score_adj"));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = QByteArray::number(score);
    return f.write(data) == data.size() && f.flush();
}
