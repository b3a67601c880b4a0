#include "zapplication.h"

#include "zguiapplicationhelper.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSocketNotifier>
#include <QTranslator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// The socket is plain POSIX rather than QLocalSocket: QtNetwork and the nine
// libraries it brings (Kerberos, libproxy) cost every start for one message.
bool socketAddress(const QString &path, sockaddr_un *address)
{
    const QByteArray encoded = QFile::encodeName(path);
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (encoded.isEmpty() || size_t(encoded.size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, encoded.constData(), size_t(encoded.size()));
    return true;
}

// Waits for `events` on `fd` for at most `timeoutMs`.
bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    int n;
    do
        n = ::poll(&p, 1, timeoutMs);
    while (n < 0 && errno == EINTR);
    return n > 0 && (p.revents & events);
}

// Tells the instance listening at `path` that another start happened.
void sendActivate(const QString &path)
{
    sockaddr_un address;
    if (!socketAddress(path, &address))
        return;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    // Non-blocking throughout: a first instance that hangs must not hang us.
    int rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    if (rc != 0 && (errno == EINPROGRESS || errno == EAGAIN) && waitFor(fd, POLLOUT, 2000)) {
        int error = 0;
        socklen_t length = sizeof error;
        rc = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 ? 0 : -1;
    }
    if (rc == 0) {
        const char *data = kActivate;
        size_t left = sizeof kActivate - 1;
        while (left > 0) {
            const ssize_t n = ::send(fd, data, left, MSG_NOSIGNAL);
            if (n > 0) {
                data += n;
                left -= size_t(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN && waitFor(fd, POLLOUT, 2000)) {
                continue;
            } else {
                break;
            }
        }
    }
    ::close(fd);
}

} // namespace

// One connection of a later start: reads until the peer closes or has said its word.
class ZSingleInstancePeer : public QObject
{
public:
    ZSingleInstancePeer(int fd, ZApplication *app)
        : QObject(app), m_fd(fd), m_notifier(fd, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this, app] {
            char buffer[256];
            ssize_t n;
            do
                n = ::recv(m_fd, buffer, sizeof buffer, 0);
            while (n < 0 && errno == EINTR);
            if (n < 0 && errno == EAGAIN)
                return;
            if (n > 0)
                m_seen.append(buffer, int(n));
            const bool activate = m_seen.contains("activate");
            // A peer that talks without end is cut off, not buffered.
            if (n <= 0 || activate || m_seen.size() > 4096) {
                m_notifier.setEnabled(false);
                deleteLater();
                if (activate)
                    emit app->newInstanceStarted();
            }
        });
    }
    ~ZSingleInstancePeer() override
    {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }

private:
    int m_fd;
    QSocketNotifier m_notifier;
    QByteArray m_seen;
};

ZApplication::ZApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // Palette and theme follow the desktop from the start.
    ZGuiApplicationHelper::instance();
}

ZApplication::~ZApplication()
{
    delete m_aboutDialog.data();
    if (m_serverFd >= 0) {
        // Still holding the lock, so the socket file is ours to remove.
        delete m_serverNotifier;
        ::close(m_serverFd);
        ::unlink(QFile::encodeName(m_serverPath).constData());
    }
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
        sendActivate(singleInstanceServerName(key));
        return false;
    }
    m_lockFd = fd;

    const QString serverName = singleInstanceServerName(key);
    sockaddr_un address;
    const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (server < 0 || !socketAddress(serverName, &address)) {
        if (server >= 0)
            ::close(server);
        qWarning("[ZApplication] cannot listen on %s", qPrintable(serverName));
        return true;
    }
    // We hold the lock, so a socket file left there is a crashed holder's.
    ::unlink(address.sun_path);
    // Owner only, as the lock file: nobody else may raise our window.
    const mode_t oldMask = ::umask(0077);
    const bool bound = ::bind(server, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(oldMask);
    if (!bound || ::listen(server, 8) != 0) {
        qWarning("[ZApplication] cannot listen on %s: %s", qPrintable(serverName), std::strerror(errno));
        ::close(server);
        return true;
    }
    m_serverFd = server;
    m_serverPath = serverName;
    m_serverNotifier = new QSocketNotifier(server, QSocketNotifier::Read, this);
    connect(m_serverNotifier, &QSocketNotifier::activated, this, [this] {
        int peer;
        while ((peer = ::accept4(m_serverFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0)
            new ZSingleInstancePeer(peer, this);
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
    const QStringList dirs{
        QDir::homePath() + QStringLiteral("/.local/share/zentk/translations"),
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
