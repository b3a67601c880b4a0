#include "backend/treediff.h"

#include "backend/backend_p.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace Tavrin {

namespace {

// Paths per "ostree ls" call: long enough to keep process start-up out of
// the total, short enough that the first sizes arrive early.
constexpr int kBatch = 1500;
constexpr int kProgressIntervalMs = 250;

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isHex64(QByteArrayView piece)
{
    return piece.size() == 64 && std::all_of(piece.begin(), piece.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// The head of one "ostree ls -C" entry: "TMODE UID GID SIZE CSUM [META] NAME".
// Returns the offset of NAME, or -1 when the line is no entry head.
int parseLsHead(const QByteArray &line, TreeEntry &entry)
{
    if (line.size() < 8)
        return -1;
    const char type = line.at(0);
    if (type != '-' && type != 'd' && type != 'l')
        return -1;
    bool ok = false;
    const int mode = line.mid(1, 5).toInt(&ok, 8);
    if (!ok || line.at(6) != ' ')
        return -1;
    int pos = 7;
    auto nextField = [&](QByteArray &field) {
        while (pos < line.size() && line.at(pos) == ' ')
            ++pos;
        const int start = pos;
        while (pos < line.size() && line.at(pos) != ' ')
            ++pos;
        field = line.mid(start, pos - start);
        return !field.isEmpty();
    };
    QByteArray uid, gid, size, csum;
    if (!nextField(uid) || !nextField(gid) || !nextField(size) || !nextField(csum))
        return -1;
    uid.toInt(&ok);
    if (!ok)
        return -1;
    gid.toInt(&ok);
    if (!ok)
        return -1;
    const qint64 bytes = size.toLongLong(&ok);
    if (!ok || bytes < 0 || !isHex64(csum))
        return -1;
    if (type == 'd') {
        QByteArray meta;
        if (!nextField(meta) || !isHex64(meta))
            return -1;
    }
    if (pos >= line.size() || line.at(pos) != ' ' || pos + 1 >= line.size() || line.at(pos + 1) != '/')
        return -1;
    entry.type = type;
    entry.mode = mode;
    entry.size = bytes;
    entry.checksum = QString::fromLatin1(csum);
    return pos + 1;
}

struct RawEntry
{
    TreeEntry entry;
    QByteArray name; // may hold line feeds
};

// Entries of an "ostree ls" answer; a line that is no entry head continues
// the previous name.
QList<RawEntry> splitLsEntries(const QByteArray &output, int *unreadable = nullptr)
{
    QList<RawEntry> entries;
    const QList<QByteArray> lines = output.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (i == lines.size() - 1 && line.isEmpty())
            break;
        TreeEntry entry;
        const int at = parseLsHead(line, entry);
        if (at >= 0) {
            entries.append({entry, line.mid(at)});
        } else if (!entries.isEmpty()) {
            entries.last().name += '\n' + line;
        } else if (unreadable) {
            ++*unreadable;
        }
    }
    return entries;
}

// The path of a raw entry, given the path it must be: a link's name ends in
// " -> TARGET", which a name alone may also contain, so the expected path decides.
std::optional<TreeEntry> matchEntry(const RawEntry &raw, const QString &path)
{
    const std::optional<QString> name = strictUtf8(raw.name);
    if (!name)
        return std::nullopt;
    TreeEntry entry = raw.entry;
    if (entry.type == 'l') {
        const QString prefix = path + QStringLiteral(" -> ");
        if (!name->startsWith(prefix))
            return std::nullopt;
        entry.linkTarget = name->mid(prefix.size());
        return entry;
    }
    if (*name != path)
        return std::nullopt;
    return entry;
}

struct StreamRun
{
    bool ok = false;
    bool timedOut = false;
    bool cancelled = false;
    QByteArray out;
    QString err;
};

StreamRun runOstree(const QStringList &args, int timeoutMs, const std::shared_ptr<std::atomic_bool> &cancel)
{
    StreamRun run;
    QProcess process;
    process.setProgram(ostreePath());
    QStringList full{QStringLiteral("--repo=") + sysRepoPath()};
    full += args;
    process.setArguments(full);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(kStartTimeoutMs)) {
        run.err = TreeDiff::tr("无法启动 %1：%2").arg(ostreePath(), process.errorString());
        return run;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (process.state() != QProcess::NotRunning) {
        if (cancel && cancel->load()) {
            run.cancelled = true;
            break;
        }
        if (deadline.hasExpired()) {
            run.timedOut = true;
            break;
        }
        process.waitForFinished(100);
        run.out += process.readAllStandardOutput();
    }
    if (run.cancelled || run.timedOut) {
        process.kill();
        process.waitForFinished(kKillGraceMs);
        if (run.timedOut)
            run.err = TreeDiff::tr("ostree 在 %1 秒内没有完成，已停止。").arg(timeoutMs / 1000);
        return run;
    }
    run.out += process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!run.ok && run.err.isEmpty())
        run.err = TreeDiff::tr("ostree 以状态 %1 退出。").arg(process.exitCode());
    return run;
}

bool isMissingCommit(const QString &toolError)
{
    return toolError.contains(QLatin1String("No such metadata object"));
}

// Entries of `paths` in `commit`. "ostree ls" stops at the first path it
// cannot find, so a failed batch is split until the unreadable path stands
// alone; that one stays unknown. False when the tool timed out, was cancelled
// or the commit itself is gone (then `error` holds the tool's text).
bool readEntries(const QString &commit, const QStringList &paths, QList<std::optional<TreeEntry>> &into,
                 int timeoutMs, const std::shared_ptr<std::atomic_bool> &cancel, QString *error)
{
    if (paths.isEmpty())
        return true;
    QStringList args{QStringLiteral("ls"), QStringLiteral("-d"), QStringLiteral("-C"), commit};
    args += paths;
    const StreamRun run = runOstree(args, timeoutMs, cancel);
    if (run.timedOut || run.cancelled || (!run.ok && isMissingCommit(run.err))) {
        if (error)
            *error = run.err;
        return false;
    }
    if (run.ok) {
        into += parseOstreeLsEntries(run.out, paths);
        return true;
    }
    if (paths.size() == 1) {
        into.append(std::nullopt);
        return true;
    }
    const int half = paths.size() / 2;
    return readEntries(commit, paths.mid(0, half), into, timeoutMs, cancel, error)
           && readEntries(commit, paths.mid(half), into, timeoutMs, cancel, error);
}

QString parentOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

DiffLines parseOstreeDiff(const QByteArray &output)
{
    DiffLines result;
    bool lastValid = false;
    const QList<QByteArray> lines = output.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (i == lines.size() - 1 && line.isEmpty())
            break;
        const std::optional<QString> text = strictUtf8(line);
        if (!text) {
            // ostree refuses names that are not UTF-8, so this is no name;
            // the entry it may continue is not to be trusted either.
            ++result.unreadable;
            if (lastValid) {
                result.changes.removeLast();
                ++result.unreadable;
            }
            lastValid = false;
            continue;
        }
        const char mark = line.isEmpty() ? 0 : line.at(0);
        if ((mark == 'A' || mark == 'D' || mark == 'M') && line.startsWith(QByteArray(1, mark) + "    /")) {
            const ChangeKind kind =
                mark == 'A' ? ChangeKind::Added : (mark == 'D' ? ChangeKind::Removed : ChangeKind::Modified);
            result.changes.append({kind, text->mid(5)});
            lastValid = true;
        } else if (lastValid) {
            result.changes.last().second += QLatin1Char('\n') + *text;
        } else {
            ++result.unreadable;
        }
    }
    return result;
}

QList<std::optional<TreeEntry>> parseOstreeLsEntries(const QByteArray &output, const QStringList &paths)
{
    const QList<RawEntry> raw = splitLsEntries(output);
    QList<std::optional<TreeEntry>> entries;
    entries.reserve(paths.size());
    // A count that does not line up means some name was split wrongly: then
    // nothing of this answer is trusted.
    const bool aligned = raw.size() == paths.size();
    for (int i = 0; i < paths.size(); ++i)
        entries.append(aligned ? matchEntry(raw.at(i), paths.at(i)) : std::nullopt);
    return entries;
}

QList<QPair<QString, TreeEntry>> parseOstreeLsRecursive(const QByteArray &output, const QString &dir)
{
    QList<QPair<QString, TreeEntry>> result;
    const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    for (const RawEntry &raw : splitLsEntries(output)) {
        const std::optional<QString> name = strictUtf8(raw.name);
        if (!name || !name->startsWith(prefix) || name->size() == prefix.size())
            continue;
        TreeEntry entry = raw.entry;
        QString path = *name;
        if (entry.type == 'l') {
            // Within a recursive listing the name cannot be checked against a
            // request; the first " -> " splits, as ostree prints it.
            const int arrow = path.indexOf(QStringLiteral(" -> "), prefix.size());
            if (arrow < 0)
                continue;
            entry.linkTarget = path.mid(arrow + 4);
            path.truncate(arrow);
        }
        result.append({path, entry});
    }
    return result;
}

bool countsAsFile(const FileChange &change)
{
    const auto isFile = [](const std::optional<TreeEntry> &e) { return e && e->type != 'd'; };
    if (!change.entriesKnown)
        return true;
    return isFile(change.oldEntry) || isFile(change.newEntry);
}

std::optional<qint64> sizeDelta(const FileChange &change)
{
    if (!change.entriesKnown)
        return std::nullopt;
    const auto size = [](const std::optional<TreeEntry> &e) -> qint64 {
        return e && e->type != 'd' ? e->size : 0;
    };
    return size(change.newEntry) - size(change.oldEntry);
}

DiffSummary summarize(const QList<FileChange> &changes)
{
    DiffSummary s;
    for (const FileChange &c : changes) {
        if (!countsAsFile(c))
            continue;
        switch (c.kind) {
        case ChangeKind::Added: ++s.added; break;
        case ChangeKind::Removed: ++s.removed; break;
        case ChangeKind::Modified: ++s.modified; break;
        }
        if (const auto d = sizeDelta(c))
            s.sizeDelta += *d;
        else
            ++s.unknownSizes;
    }
    return s;
}

std::unique_ptr<DiffDir> groupChanges(const QList<FileChange> &changes, const QString &filter)
{
    auto root = std::make_unique<DiffDir>();
    root->name = QStringLiteral("/");
    root->path = QStringLiteral("/");
    QHash<QString, DiffDir *> dirs;
    dirs.insert(root->path, root.get());
    std::function<DiffDir *(const QString &)> dirFor = [&](const QString &path) -> DiffDir * {
        if (DiffDir *d = dirs.value(path))
            return d;
        DiffDir *parent = dirFor(parentOf(path));
        auto dir = std::make_unique<DiffDir>();
        dir->path = path;
        dir->name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        dir->parent = parent;
        DiffDir *raw = dir.get();
        parent->dirs.push_back(std::move(dir));
        dirs.insert(path, raw);
        return raw;
    };
    for (int i = 0; i < changes.size(); ++i) {
        const FileChange &c = changes.at(i);
        if (!filter.isEmpty() && !c.path.contains(filter, Qt::CaseInsensitive))
            continue;
        const bool isDir = !countsAsFile(c);
        // A directory whose entry changed but whose content is listed apart
        // shows as its own group, not as a file row.
        DiffDir *dir = dirFor(isDir ? c.path : parentOf(c.path));
        if (isDir)
            continue;
        dir->files.push_back(i);
        const std::optional<qint64> delta = sizeDelta(c);
        for (DiffDir *d = dir; d; d = d->parent) {
            switch (c.kind) {
            case ChangeKind::Added: ++d->added; break;
            case ChangeKind::Removed: ++d->removed; break;
            case ChangeKind::Modified: ++d->modified; break;
            }
            if (delta)
                d->sizeDelta += *delta;
            else
                ++d->unknownSizes;
        }
    }
    std::function<void(DiffDir &)> order = [&](DiffDir &d) {
        std::stable_sort(d.dirs.begin(), d.dirs.end(), [](const auto &a, const auto &b) {
            const qint64 x = qAbs(a->sizeDelta), y = qAbs(b->sizeDelta);
            if (x != y)
                return x > y;
            return a->added + a->removed + a->modified > b->added + b->removed + b->modified;
        });
        std::stable_sort(d.files.begin(), d.files.end(), [&](int a, int b) {
            return qAbs(sizeDelta(changes.at(a)).value_or(0)) > qAbs(sizeDelta(changes.at(b)).value_or(0));
        });
        for (size_t i = 0; i < d.dirs.size(); ++i) {
            d.dirs[i]->row = int(i);
            order(*d.dirs[i]);
        }
    };
    order(*root);
    return root;
}

QByteArray changesToCsv(const QList<FileChange> &changes)
{
    const auto field = [](QString text) {
        if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.at(0)))
            text.prepend(QLatin1Char('\''));
        if (text.contains(QLatin1Char('"')) || text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('\n'))
            || text.contains(QLatin1Char('\r'))) {
            text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            text = QLatin1Char('"') + text + QLatin1Char('"');
        }
        return text;
    };
    const auto size = [&](const FileChange &c, const std::optional<TreeEntry> &e) {
        if (!c.entriesKnown)
            return QStringLiteral("unknown");
        return e ? QString::number(e->type == 'd' ? 0 : e->size) : QString();
    };
    const auto mode = [](const std::optional<TreeEntry> &e) {
        return e ? QString::number(e->mode, 8).rightJustified(4, QLatin1Char('0')) : QString();
    };
    const auto type = [](const std::optional<TreeEntry> &e) {
        if (!e)
            return QString();
        return e->type == 'd' ? QStringLiteral("directory") : (e->type == 'l' ? QStringLiteral("symlink") : QStringLiteral("file"));
    };
    QByteArray csv = "path,change,old_size,new_size,size_difference,old_mode,new_mode,old_type,new_type\r\n";
    for (const FileChange &c : changes) {
        const char *kind = c.kind == ChangeKind::Added ? "added" : (c.kind == ChangeKind::Removed ? "removed" : "modified");
        const std::optional<qint64> delta = sizeDelta(c);
        const QStringList row{field(c.path),
                              QString::fromLatin1(kind),
                              size(c, c.oldEntry),
                              size(c, c.newEntry),
                              delta ? QString::number(*delta) : QStringLiteral("unknown"),
                              mode(c.oldEntry),
                              mode(c.newEntry),
                              type(c.oldEntry),
                              type(c.newEntry)};
        csv += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return csv;
}

QThreadPool &comparePool()
{
    struct Pool : QThreadPool
    {
        Pool() { setMaxThreadCount(4); }
    };
    static Pool pool;
    return pool;
}

QString snapshotCommit(const QString &snapshotId)
{
    if (snapshotId.isEmpty() || snapshotId.contains(QLatin1Char('/')) || snapshotId.startsWith(QLatin1Char('.')))
        return QString();
    QFile file(sysRepoPath() + QStringLiteral("/refs/heads/snapshot/") + snapshotId);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(readAtMost(file, 256)).trimmed();
}

TreeDiffResult compareCommits(const QString &oldCommit, const QString &newCommit,
                              const std::function<void(const TreeDiffResult &)> &progress,
                              const std::shared_ptr<std::atomic_bool> &cancel, int timeoutMs)
{
    TreeDiffResult result;
    const auto finish = [&](DiffOutcome outcome) {
        result.outcome = outcome;
        if (progress)
            progress(result);
        return result;
    };
    const auto stopped = [&](const StreamRun &run) {
        if (run.cancelled)
            return finish(DiffOutcome::Cancelled);
        result.error = run.err;
        return finish(DiffOutcome::TimedOut);
    };
    // Rows read before a commit went away would show a tree that no longer exists.
    const auto gone = [&] {
        result.changes.clear();
        result.sized = 0;
        return finish(DiffOutcome::MissingCommit);
    };
    for (const QString &commit : {oldCommit, newCommit}) {
        if (commit.isEmpty() || commit.startsWith(QLatin1Char('-'))) {
            result.missingCommit = commit;
            result.error = TreeDiff::tr("没有可比较的提交。");
            return finish(DiffOutcome::MissingCommit);
        }
    }
    const StreamRun diff = runOstree({QStringLiteral("diff"), oldCommit, newCommit}, timeoutMs, cancel);
    if (diff.cancelled || diff.timedOut)
        return stopped(diff);
    if (!diff.ok) {
        // Tell a vanished commit from any other failure, with the tool's text.
        for (const QString &commit : {oldCommit, newCommit}) {
            const StreamRun probe = runOstree({QStringLiteral("ls"), QStringLiteral("-d"), commit, QStringLiteral("/")},
                                              timeoutMs, cancel);
            if (probe.cancelled || probe.timedOut)
                return stopped(probe);
            if (!probe.ok) {
                result.missingCommit = commit;
                result.error = probe.err;
                return finish(DiffOutcome::MissingCommit);
            }
        }
        result.error = diff.err;
        return finish(DiffOutcome::Failed);
    }
    const DiffLines lines = parseOstreeDiff(diff.out);
    result.unreadable = lines.unreadable;
    result.changes.reserve(lines.changes.size());
    for (const auto &[kind, path] : lines.changes)
        result.changes.append(FileChange{path, kind, std::nullopt, std::nullopt, false});
    if (result.changes.isEmpty())
        return finish(lines.unreadable ? DiffOutcome::Failed : DiffOutcome::Identical);
    if (progress)
        progress(result);

    QElapsedTimer sinceProgress;
    sinceProgress.start();
    QList<FileChange> expanded;
    QString error;
    for (int start = 0; start < result.changes.size(); start += kBatch) {
        const int end = std::min<int>(start + kBatch, result.changes.size());
        QStringList oldPaths, newPaths;
        for (int i = start; i < end; ++i) {
            const FileChange &c = result.changes.at(i);
            if (c.kind != ChangeKind::Added)
                oldPaths.append(c.path);
            if (c.kind != ChangeKind::Removed)
                newPaths.append(c.path);
        }
        // The two trees are read side by side, off any pool.
        QList<std::optional<TreeEntry>> oldEntries, newEntries;
        bool newOk = true;
        QString newError;
        std::unique_ptr<QThread> other(QThread::create([&] {
            newOk = readEntries(newCommit, newPaths, newEntries, timeoutMs, cancel, &newError);
        }));
        other->start();
        const bool oldOk = readEntries(oldCommit, oldPaths, oldEntries, timeoutMs, cancel, &error);
        other->wait();
        if (!oldOk || !newOk) {
            if (cancel && cancel->load())
                return finish(DiffOutcome::Cancelled);
            // The commit went away while it was being read: what is known of
            // it is not a comparison any more.
            const bool oldGone = !oldOk && isMissingCommit(error);
            if (oldGone || (!newOk && isMissingCommit(newError))) {
                result.missingCommit = oldGone ? oldCommit : newCommit;
                result.error = oldGone ? error : newError;
                return gone();
            }
            result.error = error.isEmpty() ? newError : error;
            return finish(DiffOutcome::TimedOut);
        }
        int o = 0, n = 0;
        for (int i = start; i < end; ++i) {
            FileChange &c = result.changes[i];
            bool known = true;
            if (c.kind != ChangeKind::Added) {
                c.oldEntry = oldEntries.value(o++);
                known = known && c.oldEntry.has_value();
            }
            if (c.kind != ChangeKind::Removed) {
                c.newEntry = newEntries.value(n++);
                known = known && c.newEntry.has_value();
            }
            c.entriesKnown = known;
            // ostree lists a removed directory, or one a file replaced, without
            // its content: read it, so what went with it is counted.
            const bool oldDir = c.oldEntry && c.oldEntry->type == 'd';
            const bool newDir = c.newEntry && c.newEntry->type == 'd';
            const bool readOld = oldDir && !newDir;
            if (readOld || (newDir && !oldDir && c.kind == ChangeKind::Modified)) {
                const QString &commit = readOld ? oldCommit : newCommit;
                const StreamRun sub = runOstree(
                    {QStringLiteral("ls"), QStringLiteral("-R"), QStringLiteral("-C"), commit, c.path}, timeoutMs,
                    cancel);
                if (sub.cancelled || sub.timedOut)
                    return stopped(sub);
                if (!sub.ok && isMissingCommit(sub.err)) {
                    result.missingCommit = commit;
                    result.error = sub.err;
                    return gone();
                }
                if (!sub.ok) {
                    // What the directory held is not known: the row says so
                    // rather than counting nothing for it.
                    c.entriesKnown = false;
                    continue;
                }
                for (const auto &[path, entry] : parseOstreeLsRecursive(sub.out, c.path)) {
                    if (readOld)
                        expanded.append(FileChange{path, ChangeKind::Removed, entry, std::nullopt, true});
                    else
                        expanded.append(FileChange{path, ChangeKind::Added, std::nullopt, entry, true});
                }
            }
        }
        result.sized = end;
        if (progress && end < result.changes.size() && sinceProgress.elapsed() >= kProgressIntervalMs) {
            progress(result);
            sinceProgress.restart();
        }
    }
    if (!expanded.isEmpty()) {
        result.changes += expanded;
        result.sized = result.changes.size();
    }
    return finish(DiffOutcome::Done);
}

} // namespace Tavrin
