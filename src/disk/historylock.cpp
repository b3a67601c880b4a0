#include "disk/historylock.h"

#include "disk/diskhistorystore.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QMutex>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Tavrin {

namespace {

// flock() locks belong to an open file description: one per kind and process, counted, so nested
// holders in the same process share it instead of blocking on themselves.
struct LockState
{
    QRecursiveMutex mutex;
    int fd = -1;
    int depth = 0;
};

LockState &state(HistoryLock::Kind kind)
{
    static LockState history;
    static LockState monitor;
    return kind == HistoryLock::Kind::History ? history : monitor;
}

QString lockPath(HistoryLock::Kind kind)
{
    return DiskHistoryStore::historyDir() + (kind == HistoryLock::Kind::History
                                                 ? QStringLiteral("/history.lock")
                                                 : QStringLiteral("/monitor.lock"));
}

} // namespace

QDateTime diskNow()
{
    static const QByteArray name("TAVRIN_DISK_NOW");
    if (qEnvironmentVariableIsSet(name.constData())) {
        const QDateTime fake = QDateTime::fromString(qEnvironmentVariable(name.constData()), Qt::ISODate);
        if (fake.isValid())
            return fake;
    }
    return QDateTime::currentDateTime();
}

QDate diskToday()
{
    return diskNow().date();
}

int HistoryLock::defaultTimeoutMs()
{
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("TAVRIN_HISTORY_LOCK_TIMEOUT_MS", &ok);
    return ok && fromEnv >= 0 ? fromEnv : kDefaultTimeoutMs;
}

HistoryLock::HistoryLock(Kind kind, int timeoutMs) : kind(kind)
{
    if (timeoutMs < 0)
        timeoutMs = defaultTimeoutMs();
    LockState &s = state(kind);
    QDeadlineTimer deadline(timeoutMs);
    if (!s.mutex.tryLock(int(deadline.remainingTime()))) {
        busy = true;
        return;
    }
    if (s.depth > 0) {
        ++s.depth;
        locked = true;
        return;
    }
    const QByteArray path = QFile::encodeName(lockPath(kind));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        s.mutex.unlock();
        return;
    }
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            s.fd = fd;
            s.depth = 1;
            locked = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (deadline.hasExpired()) {
            busy = true;
            break;
        }
        QThread::msleep(20);
    }
    ::close(fd);
    s.mutex.unlock();
}

HistoryLock::~HistoryLock()
{
    if (!locked)
        return;
    LockState &s = state(kind);
    if (--s.depth == 0) {
        ::flock(s.fd, LOCK_UN);
        ::close(s.fd);
        s.fd = -1;
    }
    s.mutex.unlock();
}

} // namespace Tavrin
