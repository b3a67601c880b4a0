#include "backend/backend_p.h"
#include "backend/syspaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <memory>
#include <sys/utsname.h>
#include <unistd.h>

namespace Tavrin {

QString ctlPath()
{
    return systemPath(QStringLiteral("/usr/sbin/zarnex-immutable-ctl"));
}
QString writablePath()
{
    return systemPath(QStringLiteral("/usr/bin/zarnex-immutable-writable"));
}
QString ostreePath()
{
    return systemPath(QStringLiteral("/usr/bin/ostree"));
}
QString sysRepoPath()
{
    return systemPath(QStringLiteral("/ostree/repo"));
}
QString persistRepoPath()
{
    return systemPath(QStringLiteral("/persistent/ostree/repo"));
}
QString snapshotDirPath()
{
    return systemPath(QStringLiteral("/persistent/ostree/snapshot"));
}
QString ctlConfPath()
{
    return systemPath(QStringLiteral("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf"));
}
QString stateFilePath()
{
    return systemPath(QStringLiteral("/var/lib/tavrin-manager/rollback-state.json"));
}
QString osVersionPath()
{
    return systemPath(QStringLiteral("/etc/os-version"));
}
QString zarnexVersionPath()
{
    return systemPath(QStringLiteral("/etc/zarnex-version"));
}
QString rebootCounterRunMarkerPath()
{
    return systemPath(QStringLiteral("/run/tavrin-rollback-counter-run"));
}
QString installToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/install"));
}
QString rmToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/rm"));
}
QString mvToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/mv"));
}
QString systemctlToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/systemctl"));
}

namespace {

enum class RunOutcome { NotStarted, TimedOut, TooLarge, Finished };

// Far beyond any real answer (a full tree listing is a few tens of MiB); a tool
// that prints without end is stopped before it exhausts memory.
constexpr qint64 kMaxOutputBytes = qint64(512) * 1024 * 1024;
QAtomicInteger<qint64> outputLimit(kMaxOutputBytes);
constexpr int kPollMs = 250;

QAtomicInt killDisabled(0);
QAtomicInt timeoutLimit(0);

struct Run
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QByteArray out;
    QByteArray err;
};

// A root child outlives its time-out: the user may not signal it, and
// destroying its QProcess would block for half a minute. The process object
// moves to a thread of its own and is deleted once the child has ended.
QThread *reaperThread()
{
    static QThread *thread = [] {
        auto *t = new QThread;
        t->setObjectName(QStringLiteral("tavrin-reaper"));
        t->start();
        return t;
    }();
    return thread;
}

QAtomicInt orphans(0);

struct LiveOrphans
{
    QMutex mutex;
    QSet<quint64> ids;
    quint64 last = 0;
};

LiveOrphans &liveOrphans()
{
    static LiveOrphans l;
    return l;
}

quint64 releaseToReaper(std::unique_ptr<QProcess> process)
{
    QProcess *p = process.release();
    orphans.ref();
    LiveOrphans &live = liveOrphans();
    quint64 id = 0;
    {
        QMutexLocker lock(&live.mutex);
        id = ++live.last;
        live.ids.insert(id);
    }
    QObject::connect(p, &QObject::destroyed, [id] {
        LiveOrphans &l = liveOrphans();
        QMutexLocker lock(&l.mutex);
        l.ids.remove(id);
        orphans.deref();
    });
    QObject::connect(p, &QProcess::finished, p, &QObject::deleteLater);
    p->moveToThread(reaperThread());
    return id;
}

// Each child leads its own process group so a time-out also ends whatever it
// started (sudo's or a wrapper script's children).
void startInOwnGroup(QProcess &process, const QString &program, const QList<QString> &args)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(program, args, QIODevice::ReadWrite);
}

void killGroup(QProcess &process)
{
    if (!killDisabled.loadRelaxed()) {
        const qint64 pid = process.processId();
        if (pid > 0)
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process.kill();
    }
    process.waitForFinished(kKillGraceMs);
}

RunOutcome runToEnd(Run &run, const QString &program, const QList<QString> &args, int timeoutMs,
                    const QByteArray &input = QByteArray())
{
    QProcess &process = *run.process;
    startInOwnGroup(process, program, args);
    if (!process.waitForStarted(kStartTimeoutMs)) {
        if (process.state() != QProcess::NotRunning)
            killGroup(process);
        return RunOutcome::NotStarted;
    }
    // Only the privileged helper is fed (its plan); a closed input keeps any
    // other tool that reads it from hanging.
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qint64 left = deadline.remainingTime();
        const bool finished = process.waitForFinished(left < 0 ? kPollMs : int(qMin<qint64>(left, kPollMs)));
        run.out += process.readAllStandardOutput();
        run.err += process.readAllStandardError();
        if (finished || process.state() == QProcess::NotRunning)
            return RunOutcome::Finished;
        if (run.out.size() + run.err.size() > outputLimit.loadRelaxed()) {
            killGroup(process);
            return RunOutcome::TooLarge;
        }
        if (deadline.hasExpired()) {
            killGroup(process);
            return RunOutcome::TimedOut;
        }
    }
}

bool asksForPassword(const QString &errorOutput)
{
    return errorOutput.contains(QLatin1String("password"), Qt::CaseInsensitive) ||
           errorOutput.contains(QLatin1String("passphrase"), Qt::CaseInsensitive) ||
           errorOutput.contains(QStringLiteral("密码"));
}

// A child that is still there after the kill (a root child of sudo or pkexec)
// is left to the reaper instead of blocking this thread in ~QProcess.
quint64 letGo(Run &run)
{
    if (run.process->state() != QProcess::NotRunning)
        return releaseToReaper(std::move(run.process));
    return 0;
}

void takeOutputs(const Run &run, CommandResult &result)
{
    result.exitCode = run.process->exitCode();
    result.output = QString::fromUtf8(run.out).trimmed();
    result.errorOutput = QString::fromUtf8(run.err).trimmed();
}

struct Observer
{
    QMutex mutex;
    RunObserver observe;
};

Observer &observer()
{
    static Observer o;
    return o;
}

QString timeoutMessage(const QString &program, bool elevated)
{
    if (elevated)
        return Backend::tr("命令执行超时，操作可能仍在后台运行，请稍后查看系统状态: %1").arg(program);
    return Backend::tr("命令执行超时: %1").arg(program);
}

} // namespace

bool childStillRunning(quint64 id)
{
    LiveOrphans &live = liveOrphans();
    QMutexLocker lock(&live.mutex);
    return id != 0 && live.ids.contains(id);
}

void setTimeoutLimitForTesting(int ms)
{
    timeoutLimit.storeRelaxed(ms);
}

void setKillDisabledForTesting(bool disabled)
{
    killDisabled.storeRelaxed(disabled ? 1 : 0);
}

int runningOrphansForTesting()
{
    return orphans.loadRelaxed();
}

void setOutputLimitForTesting(qint64 bytes)
{
    outputLimit.storeRelaxed(bytes > 0 ? bytes : kMaxOutputBytes);
}

void setRunObserverForTesting(RunObserver observe)
{
    Observer &o = observer();
    QMutexLocker lock(&o.mutex);
    o.observe = std::move(observe);
}

CommandResult runProcess(const QString &program, const QList<QString> &args, int timeoutMs, bool elevate)
{
    return runProcessWithInput(program, args, QByteArray(), timeoutMs, elevate);
}

CommandResult runProcessWithInput(const QString &program, const QList<QString> &args, const QByteArray &input,
                                  int timeoutMs, bool elevate)
{
    {
        Observer &o = observer();
        QMutexLocker lock(&o.mutex);
        if (o.observe)
            o.observe(program, args, timeoutMs, elevate);
    }
    CommandResult result;
    const bool viaSudo = elevate && effectiveUserId() != 0;
    if (const int limit = timeoutLimit.loadRelaxed(); limit > 0)
        timeoutMs = qMin(timeoutMs, limit);

    QString started = program;
    QList<QString> startArgs = args;
    if (viaSudo) {
        started = sudoToolPath();
        startArgs = QList<QString>{QStringLiteral("-n"), program} + args;
    }

    Run run;
    const RunOutcome outcome = runToEnd(run, started, startArgs, timeoutMs, input);
    const quint64 orphan = letGo(run);
    switch (outcome) {
    case RunOutcome::NotStarted:
        result.error = Backend::tr("无法启动进程: %1").arg(program);
        return result;
    case RunOutcome::TimedOut:
        result.error = timeoutMessage(program, viaSudo);
        result.runningChild = orphan;
        return result;
    case RunOutcome::TooLarge:
        result.error = Backend::tr("命令输出过大: %1").arg(program);
        return result;
    case RunOutcome::Finished:
        break;
    }
    takeOutputs(run, result);
    if (run.process->exitStatus() == QProcess::NormalExit && run.process->exitCode() == 0) {
        result.ok = true;
        return result;
    }

    if (viaSudo && asksForPassword(result.errorOutput)) {
        Run pkexec;
        const RunOutcome pkexecOutcome =
            runToEnd(pkexec, pkexecToolPath(), QList<QString>{program} + args, timeoutMs, input);
        const quint64 pkexecOrphan = letGo(pkexec);
        if (pkexecOutcome == RunOutcome::Finished) {
            takeOutputs(pkexec, result);
            result.ok =
                pkexec.process->exitStatus() == QProcess::NormalExit && pkexec.process->exitCode() == 0;
            if (result.ok)
                return result;
        } else if (pkexecOutcome == RunOutcome::TimedOut) {
            // The password may have been given: the root command may still be at work.
            result.exitCode = -1;
            result.error = timeoutMessage(program, true);
            result.runningChild = pkexecOrphan;
            return result;
        }
    }

    result.error = !result.errorOutput.isEmpty() ? result.errorOutput : result.output;
    if (result.error.isEmpty())
        result.error = Backend::tr("命令执行失败");
    return result;
}

QString friendlyExecError(const QString &message)
{
    const QString text = message.trimmed();
    if (text.isEmpty())
        return Backend::tr("命令执行失败");
    if (text.contains(QLatin1String("Request dismissed")))
        return Backend::tr("已取消授权，未执行操作");
    if (text.contains(QLatin1String("Not authorized")))
        return Backend::tr("没有权限执行此操作");
    if (text.contains(QLatin1String("Authentication failure")))
        return Backend::tr("身份验证失败，请检查密码后重试");
    if (text.contains(QLatin1String("incorrect password")) || text.contains(QLatin1String("wrong password")))
        return Backend::tr("密码错误，请重试");
    if (text.contains(QLatin1String("permission denied")))
        return Backend::tr("权限不足，无法执行此操作");
    if (text.contains(QLatin1String("timeout")))
        return Backend::tr("命令执行超时");
    return text;
}

QByteArray readAtMost(QIODevice &device, qint64 limit)
{
    QByteArray data;
    char chunk[16 * 1024];
    while (data.size() < limit) {
        const qint64 n = device.read(chunk, std::min<qint64>(sizeof chunk, limit - data.size()));
        if (n <= 0)
            break;
        data.append(chunk, n);
    }
    return data;
}

QJsonObject parseJson(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return QJsonObject();
    return doc.object();
}

QString jsonField(const QJsonObject &object, const QList<QString> &keys, const QString &fallback)
{
    for (const QString &key : keys) {
        if (object.contains(key))
            return object.value(key).toString();
    }
    return fallback;
}

QString formatSize(qint64 bytes)
{
    if (bytes > -1024 && bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    static const char *const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (qAbs(value) >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 2).arg(QLatin1String(units[unit]));
}

QString formatTime(qint64 epochSeconds)
{
    if (epochSeconds <= 0)
        return QStringLiteral("-");
    const std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return QStringLiteral("-");
    char buffer[64];
    const size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(n));
}

QString getKernel()
{
    struct utsname info
    {
    };
    if (::uname(&info) != 0)
        return QString();
    return QString::fromLocal8Bit(info.release);
}

bool isImmutableAnswer(const QString &output)
{
    // The first "Immutable mode:" followed by "true" or "false", in any case.
    // By hand: this runs at every start, and a regular expression would load
    // and compile the regex engine for one line.
    const QLatin1String key("Immutable mode:");
    for (qsizetype at = output.indexOf(key, 0, Qt::CaseInsensitive); at >= 0;
         at = output.indexOf(key, at + 1, Qt::CaseInsensitive)) {
        qsizetype i = at + key.size();
        while (i < output.size() && output.at(i).isSpace())
            ++i;
        const QStringView rest = QStringView(output).mid(i);
        if (rest.startsWith(QLatin1String("true"), Qt::CaseInsensitive))
            return true;
        if (rest.startsWith(QLatin1String("false"), Qt::CaseInsensitive))
            return false;
    }
    return true;
}

bool isImmutable()
{
    const CommandResult r = runProcess(ctlPath(), {QStringLiteral("-s")}, 30000, false);
    if (!r.ok)
        return true;
    return isImmutableAnswer(r.output);
}

ImmutableRead readImmutableMode()
{
    const CommandResult r = runProcess(ctlPath(), {QStringLiteral("-s")}, 30000, false);
    ImmutableRead read;
    if (!r.ok) {
        read.error = r.error;
        return read;
    }
    if (!r.output.contains(QLatin1String("Immutable mode:"), Qt::CaseInsensitive)) {
        read.error = Backend::tr("无法识别保护状态: %1").arg(r.output.left(400));
        return read;
    }
    read.ok = true;
    read.immutable = isImmutableAnswer(r.output);
    return read;
}

bool startReboot()
{
    return QProcess::startDetached(systemctlToolPath(), {QStringLiteral("reboot")});
}

namespace {
void registerAtStart()
{
    registerBackendMetaTypes();
}
Q_CONSTRUCTOR_FUNCTION(registerAtStart)
} // namespace

void registerBackendMetaTypes()
{
    qRegisterMetaType<CommandResult>();
    qRegisterMetaType<SnapshotInfo>();
    qRegisterMetaType<DeployInfo>();
    qRegisterMetaType<RepoSizes>();
    qRegisterMetaType<MeasuredSize>();
    qRegisterMetaType<SnapshotSizes>();
    qRegisterMetaType<ImmutableRead>();
    qRegisterMetaType<RollbackState>();
    qRegisterMetaType<WritableStatus>();
    qRegisterMetaType<QList<SnapshotInfo>>();
    qRegisterMetaType<QList<DeployInfo>>();
    qRegisterMetaType<SnapshotSizeMap>();
}

} // namespace Tavrin
