#include "zlogmanager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <cstdio>

namespace {

struct LogState
{
    QMutex mutex;
    bool console = false;
    bool file = false;
    bool installed = false;
    QFile logFile;
    QtMessageHandler previous = nullptr;
    qint64 maxSize = 4 * 1024 * 1024;
};

LogState &state()
{
    static LogState s;
    return s;
}

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "Debug";
    case QtInfoMsg:
        return "Info";
    case QtWarningMsg:
        return "Warning";
    case QtCriticalMsg:
        return "Critical";
    case QtFatalMsg:
        return "Fatal";
    }
    return "Info";
}

// Logs name the user's paths and actions: readable by the user only.
bool openPrivate(QFile &file)
{
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

// Called with the mutex held.
void writeToFile(LogState &s, const QByteArray &line)
{
    if (!s.logFile.isOpen()) {
        const QString path = ZLogManager::logFilePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        s.logFile.setFileName(path);
        if (!openPrivate(s.logFile)) {
            // Keep the program running; the console still gets the message.
            s.file = false;
            std::fprintf(stderr, "[ZLogManager] cannot open log file %s\n", qPrintable(path));
            return;
        }
    }
    if (s.logFile.size() > 0 && s.logFile.size() + line.size() > s.maxSize) {
        const QString path = s.logFile.fileName();
        s.logFile.close();
        QFile::remove(path + QStringLiteral(".1"));
        QFile::rename(path, path + QStringLiteral(".1"));
        if (!openPrivate(s.logFile)) {
            s.file = false;
            return;
        }
    }
    if (s.logFile.write(line) != line.size() || !s.logFile.flush()) {
        // A full disk must not turn every later message into another failed write.
        s.logFile.close();
        s.file = false;
        std::fprintf(stderr, "[ZLogManager] log file write failed; file logging stopped\n");
    }
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogState &s = state();
    const QByteArray line = (ZLogManager::formatMessage(type, message) + QLatin1Char('\n')).toLocal8Bit();
    QtMessageHandler previous = nullptr;
    {
        QMutexLocker lock(&s.mutex);
        if (s.console) {
            std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
            std::fflush(stderr);
        } else {
            previous = s.previous;
        }
        if (s.file)
            writeToFile(s, line);
    }
    if (previous)
        previous(type, context, message);
    if (type == QtFatalMsg)
        std::abort();
}

void install()
{
    LogState &s = state();
    if (s.installed)
        return;
    s.installed = true;
    s.previous = qInstallMessageHandler(handler);
}

} // namespace

void ZLogManager::registerConsoleAppender()
{
    {
        QMutexLocker lock(&state().mutex);
        state().console = true;
    }
    install();
}

void ZLogManager::registerFileAppender()
{
    {
        QMutexLocker lock(&state().mutex);
        state().file = true;
    }
    install();
}

QString ZLogManager::logFilePath()
{
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty() || !QDir::isAbsolutePath(stateHome))
        stateHome = QDir::homePath() + QStringLiteral("/.local/state");
    QString app = QCoreApplication::applicationName();
    if (app.isEmpty() || app.contains(QLatin1Char('/')) || app.startsWith(QLatin1Char('.')))
        app = QStringLiteral("zentk");
    return stateHome + QLatin1Char('/') + app + QLatin1Char('/') + app + QStringLiteral(".log");
}

qint64 ZLogManager::maxFileSize()
{
    return state().maxSize;
}

void ZLogManager::setMaxFileSize(qint64 bytes)
{
    QMutexLocker lock(&state().mutex);
    state().maxSize = qMax<qint64>(1024, bytes);
}

QString ZLogManager::formatMessage(QtMsgType type, const QString &message)
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) +
           QStringLiteral(" [") + QLatin1String(levelName(type)) + QStringLiteral("] ") + message;
}
