#include "disk/diskscanner.h"

#include "backend/syspaths.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <sys/stat.h>

namespace Tavrin {

namespace {

const char *const kPseudoTypes[] = {
    "proc",     "sysfs",      "tmpfs",     "devpts",      "devtmpfs",   "cgroup",   "cgroup2",
    "efivarfs", "selinuxfs",  "debugfs",   "tracefs",     "securityfs", "pstore",   "bpf",
    "ramfs",    "mqueue",     "hugetlbfs", "binfmt_misc", "fusectl",    "configfs", "overlay",
    "autofs",   "rpc_pipefs", "nsfs",      "squashfs",    "iso9660"};

constexpr int kMaxDuRecordBytes = 1024 * 1024;
// df prints a line per file system: thousands of mounts stay far below this.
constexpr qsizetype kMaxDfOutputBytes = 4 * 1024 * 1024;
constexpr int kDfTimeoutMs = 15000;
constexpr int kDfPollMs = 100;

bool parseInt64(const QByteArray &text, qint64 *out)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (ok)
        *out = v;
    return ok;
}

QList<QByteArray> fields(const QByteArray &line)
{
    QList<QByteArray> result;
    const QByteArray trimmed = line.trimmed();
    for (const QByteArray &piece : trimmed.split(' ')) {
        // Tabs are not df column separators, but blanks around them are.
        const QByteArray p = piece.trimmed();
        if (!p.isEmpty())
            result.append(p);
    }
    return result;
}

// The mount table escapes blank, tab, newline and backslash as three octal digits.
QString decodeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            const QByteArray oct = field.mid(i + 1, 3);
            bool ok = oct.size() == 3;
            for (char c : oct)
                ok = ok && c >= '0' && c <= '7';
            if (ok) {
                out.append(char(oct.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(field.at(i));
    }
    return QString::fromUtf8(out);
}

struct DfRun
{
    bool ok = false;
    QByteArray output;
    QString error;
};

DfRun runDf(const QStringList &arguments)
{
    DfRun run;
    QProcess df;
    df.start(dfToolPath(), arguments);
    if (!df.waitForStarted(5000)) {
        run.error = DiskScanner::tr("无法启动 df 进程");
        return run;
    }
    df.closeWriteChannel();
    // Read as it comes, not all at the end: a df that prints without end is stopped at the cap
    // instead of filling the memory until the time-out.
    QByteArray errors;
    const QDeadlineTimer deadline(kDfTimeoutMs);
    while (df.state() != QProcess::NotRunning) {
        if (run.output.size() + errors.size() > kMaxDfOutputBytes || deadline.hasExpired()) {
            const bool tooLarge = !deadline.hasExpired();
            df.kill();
            df.waitForFinished(3000);
            run.output.clear();
            run.error = tooLarge ? DiskScanner::tr("df 的输出过大，已停止") : DiskScanner::tr("df 执行超时");
            return run;
        }
        // Returns with each chunk of output, so the cap is checked often.
        df.waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 1, kDfPollMs)));
        run.output += df.readAllStandardOutput();
        errors += df.readAllStandardError();
    }
    run.output += df.readAllStandardOutput();
    errors += df.readAllStandardError();
    if (df.exitStatus() != QProcess::NormalExit || df.exitCode() != 0) {
        run.error = QString::fromUtf8(errors).trimmed();
        return run;
    }
    run.ok = true;
    return run;
}

} // namespace

bool parseDuLine(const QByteArray &raw, DuLine *out)
{
    QByteArray line = raw;
    if (line.endsWith('\r'))
        line.chop(1);
    line = line.trimmed();
    if (line.isEmpty())
        return false;
    const int tab = line.indexOf('\t');
    if (tab <= 0)
        return false;
    qint64 kib = 0;
    if (!parseInt64(line.left(tab), &kib))
        return false;
    // Sizes beyond what fits in bytes are garbage, not a disk.
    if (kib > std::numeric_limits<qint64>::max() / 1024)
        return false;
    out->size = kib * 1024;
    out->path = QString::fromUtf8(line.mid(tab + 1));
    return true;
}

bool parseDuRecord(const QByteArray &record, DuLine *out)
{
    const int tab = record.indexOf('\t');
    if (tab <= 0 || tab + 1 >= record.size())
        return false;
    qint64 kib = 0;
    if (!parseInt64(record.left(tab), &kib) || kib > std::numeric_limits<qint64>::max() / 1024)
        return false;
    out->size = kib * 1024;
    out->path = QFile::decodeName(record.mid(tab + 1));
    return true;
}

bool parseDfRootOutput(const QByteArray &output, qint64 *total, qint64 *used)
{
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> f = fields(line);
        if (f.size() < 3 || f.first() == "Filesystem")
            continue;
        qint64 t = 0;
        qint64 u = 0;
        if (parseInt64(f.at(1), &t) && parseInt64(f.at(2), &u)) {
            if (total)
                *total = t;
            if (used)
                *used = u;
            return true;
        }
    }
    return false;
}

QList<DiskMountInfo> parseMountTable(const QByteArray &mounts)
{
    static const QSet<QByteArray> pseudo = [] {
        QSet<QByteArray> set;
        for (const char *type : kPseudoTypes)
            set.insert(type);
        return set;
    }();
    QList<DiskMountInfo> candidates;
    const QList<QByteArray> lines = mounts.split('\n');
    // The root device may be mounted elsewhere before the table reaches "/" (bind mounts).
    QSet<QString> seen;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() >= 3 && decodeMountField(f.at(1)) == QLatin1String("/"))
            seen.insert(decodeMountField(f.at(0)));
    }
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 3)
            continue;
        const QString device = decodeMountField(f.at(0));
        const QString mountPoint = decodeMountField(f.at(1));
        if (mountPoint == QLatin1String("/") || pseudo.contains(f.at(2)) ||
            !device.startsWith(QLatin1String("/dev/")) || seen.contains(device))
            continue;
        seen.insert(device);
        candidates.append({device, mountPoint, QString::fromUtf8(f.at(2)), 0, 0});
    }
    return candidates;
}

QList<DiskMountInfo> applyDfPartitions(const QList<DiskMountInfo> &candidates, const QByteArray &output)
{
    QList<DiskMountInfo> result;
    QSet<QString> measured;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> f = fields(line);
        if (f.size() <= 5 || f.first() == "Filesystem")
            continue;
        qint64 total = 0;
        qint64 used = 0;
        if (!parseInt64(f.at(1), &total) || !parseInt64(f.at(2), &used))
            continue;
        const QString device = QString::fromUtf8(f.at(0));
        if (measured.contains(device))
            continue;
        for (const DiskMountInfo &candidate : candidates) {
            if (candidate.device == device) {
                DiskMountInfo info = candidate;
                info.total = total;
                info.used = used;
                result.append(info);
                measured.insert(device);
                break;
            }
        }
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const DiskMountInfo &a, const DiskMountInfo &b) { return a.used > b.used; });
    return result;
}

DiskScanner::DiskScanner(QObject *parent) : QObject(parent) {}

DiskScanner::~DiskScanner()
{
    if (process) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(3000);
        }
        process->deleteLater();
        process = nullptr;
    }
}

bool DiskScanner::isBusy() const
{
    return process != nullptr;
}

QString DiskScanner::excludePattern(const QString &path)
{
    QString pattern;
    pattern.reserve(path.size() + 4);
    for (const QChar c : path) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[') || c == QLatin1Char('\\'))
            pattern.append(QLatin1Char('\\'));
        pattern.append(c);
    }
    return pattern;
}

namespace {

QStringList scanArguments(const QString &options, const QString &target, const QStringList &excluded)
{
    QStringList arguments{options,
                          QStringLiteral("--max-depth=1"),
                          QStringLiteral("--null"),
                          QStringLiteral("--exclude=/proc"),
                          QStringLiteral("--exclude=/sys"),
                          QStringLiteral("--exclude=/dev"),
                          QStringLiteral("--exclude=/run"),
                          QStringLiteral("--exclude=/tmp")};
    // du matches these against the names it forms from the scanned root, which are absolute.
    for (const QString &path : excluded) {
        if (path.startsWith(QLatin1Char('/')) && path.size() > 1)
            arguments.append(QStringLiteral("--exclude=") + DiskScanner::excludePattern(path));
    }
    arguments.append(target);
    return arguments;
}

} // namespace

QStringList DiskScanner::topLevelArguments(const QStringList &excluded)
{
    return scanArguments(QStringLiteral("-xk"), QStringLiteral("/"), excluded);
}

QStringList DiskScanner::drillArguments(const QString &path, const QStringList &excluded)
{
    return scanArguments(QStringLiteral("-ak"), path, excluded);
}

bool DiskScanner::startTopLevelScan()
{
    if (isBusy())
        return false;
    inputName.clear();
    startDu(topLevelArguments(excludedPaths), false, QString());
    return true;
}

bool DiskScanner::drillInto(const QString &path)
{
    if (isBusy())
        return false;
    QStringList duArgs = drillArguments(path, excludedPaths);
    inputName = rawNames.value(path);
    if (!inputName.isEmpty())
        duArgs.last() = QStringLiteral("--files0-from=-");
    startDu(duArgs, true, path);
    return true;
}

void DiskScanner::resetResults()
{
    items.clear();
    lineBuffer.clear();
    lineCount = 0;
    cancelled = false;
    garbled = false;
}

void DiskScanner::startDu(const QStringList &duArgs, bool drill, const QString &target)
{
    resetResults();
    fellBack = false;
    authTried = false;
    drillMode = drill;
    drillTarget = target;
    // Every link of the chain by absolute path: sudo and pkexec would look a bare name up on the
    // user's PATH, and the monitor runs from a timer with whatever PATH the session has.
    args = QStringList{QStringLiteral("-n"), QStringLiteral("19"), ioniceToolPath(), QStringLiteral("-c3"),
                       duToolPath()} +
           duArgs;
    launch(useElevation && effectiveUserId() != 0 ? Runner::Sudo : Runner::Plain);
}

void DiskScanner::launch(Runner how)
{
    runner = how;
    QString program;
    QStringList arguments;
    switch (how) {
    case Runner::Sudo:
        program = sudoToolPath();
        arguments = QStringList{QStringLiteral("-n"), niceToolPath()} + args;
        break;
    case Runner::Pkexec:
        program = pkexecToolPath();
        arguments = QStringList{niceToolPath()} + args;
        break;
    case Runner::Plain:
        program = niceToolPath();
        arguments = args;
        break;
    }
    auto *p = new QProcess(this);
    process = p;
    connect(p, &QProcess::readyReadStandardOutput, this, &DiskScanner::onReadyRead);
    connect(p, &QProcess::finished, this, &DiskScanner::onFinished);
    // A child that cannot start never emits finished; without this the scanner stays busy for ever.
    connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            QTimer::singleShot(0, this, [this, p] { onStartFailed(p); });
    });
    p->start(program, arguments);
    if (!inputName.isEmpty()) {
        p->write(inputName + '\0');
        p->closeWriteChannel();
    }
}

void DiskScanner::onStartFailed(QProcess *failed)
{
    if (process != failed)
        return;
    process = nullptr;
    failed->disconnect(this);
    failed->deleteLater();
    if (cancelled) {
        emit scanFinished(false, tr("扫描已取消"));
        return;
    }
    if (runner != Runner::Plain && !fellBack) {
        fellBack = true;
        resetResults();
        launch(Runner::Plain);
        return;
    }
    emit scanFinished(false, tr("无法启动 du 进程"));
}

void DiskScanner::emitProgress()
{
    emit progress(int(items.size()), items.isEmpty() ? QString() : items.constLast().path);
}

void DiskScanner::parseLine(const QByteArray &line)
{
    DuLine parsed;
    if (!parseDuRecord(line, &parsed))
        return;
    const QByteArray raw = line.mid(line.indexOf('\t') + 1);
    if (QFile::encodeName(parsed.path) != raw) {
        if (rawNames.size() >= 100000)
            rawNames.clear();
        rawNames.insert(parsed.path, raw);
    }
    bool isDir = true;
    if (drillMode) {
        if (parsed.path == drillTarget || parsed.path == drillTarget + QLatin1Char('/'))
            return;
        // By the listed bytes: a name that does not decode would not be found again.
        struct stat info;
        isDir = ::stat(raw.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    } else if (parsed.path == QLatin1String("/") || parsed.path == QLatin1String("//")) {
        return;
    }
    items.append({parsed.path, parsed.size, isDir});
}

void DiskScanner::onReadyRead()
{
    if (!process)
        return;
    if (garbled) {
        process->readAllStandardOutput();
        return;
    }
    lineBuffer += process->readAllStandardOutput();
    int start = 0;
    // "du --null" ends each entry with NUL: names may hold line feeds.
    for (;;) {
        const int nl = lineBuffer.indexOf('\0', start);
        if (nl < 0)
            break;
        parseLine(lineBuffer.mid(start, nl - start));
        start = nl + 1;
        if (++lineCount % 20 == 0)
            emitProgress();
    }
    lineBuffer.remove(0, start);
    // No path comes near this length: an entry that never ends is not du's output, and holding it
    // would let a broken tool fill the memory.
    if (lineBuffer.size() > kMaxDuRecordBytes) {
        garbled = true;
        lineBuffer.clear();
        process->kill();
    }
}

void DiskScanner::parseBufferRemainder()
{
    for (const QByteArray &piece : lineBuffer.split('\0'))
        parseLine(piece);
    lineBuffer.clear();
}

void DiskScanner::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    QProcess *finished = process;
    if (!finished)
        return;
    onReadyRead();
    process = nullptr;
    finished->disconnect(this);
    finished->deleteLater();

    if (cancelled) {
        emit scanFinished(false, tr("扫描已取消"));
        return;
    }
    // Nothing of a run that printed garbage is trusted.
    if (garbled) {
        emit scanFinished(false, tr("du 的输出无法识别，扫描已停止"));
        return;
    }
    const bool failed = exitCode != 0 || exitStatus != QProcess::NormalExit;
    if (useElevation && effectiveUserId() != 0 && failed && !fellBack) {
        const bool askedPassword =
            runner == Runner::Sudo && finished->readAllStandardError().contains("password");
        resetResults();
        // One graphical authentication per scan at most.
        if (interactive == 1 && askedPassword && !authTried) {
            authTried = true;
            launch(Runner::Pkexec);
            return;
        }
        fellBack = true;
        launch(Runner::Plain);
        return;
    }
    parseBufferRemainder();
    emitProgress();
    const bool complete = !failed && !fellBack;
    if (drillMode)
        emit drillFinished(drillTarget, items);
    else
        emit topLevelFinished(items, complete);
    emit scanFinished(!failed, failed ? tr("扫描未完整完成") : QString());
}

void DiskScanner::cancel()
{
    cancelled = true;
    if (process && process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(3000);
    }
}

bool DiskScanner::dfRoot(qint64 *total, qint64 *used, QString *error)
{
    const DfRun run = runDf({QStringLiteral("-B1"), QStringLiteral("/")});
    if (!run.ok) {
        if (error)
            *error = run.error;
        return false;
    }
    if (!parseDfRootOutput(run.output, total, used)) {
        if (error)
            *error = tr("无法解析 df 输出");
        return false;
    }
    return true;
}

QList<DiskMountInfo> DiskScanner::listOtherPartitions()
{
    QFile file(systemPath(QStringLiteral("/proc/self/mounts")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // /proc files report size 0; read until the end.
    const QList<DiskMountInfo> candidates = parseMountTable(file.readAll());
    if (candidates.isEmpty())
        return {};
    QStringList arguments{QStringLiteral("-B1")};
    for (const DiskMountInfo &candidate : candidates)
        arguments.append(candidate.mountPoint);
    const DfRun run = runDf(arguments);
    // df reports what it could measure even when one mount point fails.
    if (run.output.isEmpty())
        return {};
    return applyDfPartitions(candidates, run.output);
}

} // namespace Tavrin
