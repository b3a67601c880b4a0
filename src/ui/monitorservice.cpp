#include "ui/monitorservice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "backend/syspaths.h"

namespace MonitorService {

namespace {
class Text
{
    Q_DECLARE_TR_FUNCTIONS(DiskUsagePage)
};
} // namespace

SystemctlResult runSystemctlUser(const QStringList &args, int timeoutMs)
{
    SystemctlResult result;
    QProcess process;
    process.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + args);
    if (!process.waitForFinished(timeoutMs)) {
        // A program that never started has nothing to kill; one that hangs is killed.
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
            result.message = Text::tr("systemctl --user %1 执行超时").arg(args.join(QLatin1Char(' ')));
        } else {
            result.message = process.errorString();
        }
        return result;
    }
    const QString out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    const QString err = QString::fromUtf8(process.readAllStandardError()).trimmed();
    if (out.isEmpty())
        result.message = err;
    else if (err.isEmpty())
        result.message = out;
    else
        result.message = out + QLatin1Char('\n') + err;
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return result;
}

bool setTimerEnabled(bool enable, QString *error)
{
    const QString timer = QLatin1String(kTimerUnit);
    SystemctlResult last;
    if (enable) {
        runSystemctlUser({QStringLiteral("daemon-reload")}, 20000);
        if (!runSystemctlUser({QStringLiteral("cat"), timer}, 15000).ok) {
            if (error)
                *error = Text::tr("systemd 未识别监控单元（tavrin-monitor.timer）");
            return false;
        }
        last = runSystemctlUser({QStringLiteral("enable"), QStringLiteral("--now"), timer}, 15000);
    } else {
        last = runSystemctlUser({QStringLiteral("disable"), QStringLiteral("--now"), timer}, 15000);
    }
    if (last.ok)
        return true;
    if (!enable && !runSystemctlUser({QStringLiteral("is-enabled"), timer}, 15000).ok)
        return true;
    if (error)
        *error = last.message.isEmpty() ? Text::tr("systemctl --user 执行失败") : last.message;
    return false;
}

QStringList timerFileCandidates()
{
    const QString name = QLatin1String(kTimerUnit);
    const QString home = QDir::homePath();
    return {Tavrin::systemPath(QStringLiteral("/usr/local/lib/systemd/user/")) + name,
            Tavrin::systemPath(QStringLiteral("/usr/lib/systemd/user/")) + name,
            Tavrin::systemPath(QStringLiteral("/etc/systemd/user/")) + name,
            home + QStringLiteral("/.config/systemd/user/") + name,
            home + QStringLiteral("/.local/share/systemd/user/") + name};
}

QString findTimerFile()
{
    const QStringList candidates = timerFileCandidates();
    for (const QString &path : candidates) {
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

QString briefError(const QString &text)
{
    QString brief = text.trimmed();
    if (brief.isEmpty())
        return brief;
    const int newline = brief.indexOf(QLatin1Char('\n'));
    if (newline >= 0)
        brief = brief.left(newline).trimmed();
    if (brief.size() <= 120)
        return brief;
    return brief.left(120) + QStringLiteral("…");
}

} // namespace MonitorService
