#include "backend/backend_p.h"
#include "backend/pools.h"
#include "backend/syspaths.h"
#include "disk/jsonfileio.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <QtNumeric>

#include <algorithm>
#include <limits>
#include <optional>

namespace Tavrin {

namespace {

constexpr int kListTimeoutMs = 60000;
constexpr int kCreateDeleteTimeoutMs = 900000;
constexpr int kModifyTimeoutMs = 300000;
constexpr int kRollbackTimeoutMs = 1800000;
constexpr int kDuTimeoutMs = 60000;
constexpr int kOstreeLsTimeoutMs = 300000;
constexpr qint64 kSizeMapValidSecs = 59;
constexpr qint64 kDirSizeValidSecs = 30;

struct Clock
{
    QMutex mutex;
    std::function<qint64()> now;
};

Clock &clock()
{
    static Clock c;
    return c;
}

struct DirSizeEntry
{
    qint64 at = 0;
    MeasuredSize size;
};

struct SizeCaches
{
    QMutex dirMutex;
    QHash<QString, DirSizeEntry> dirSizes;

    QMutex mapMutex;
    qint64 mapAt = 0;
    SnapshotSizes map;
    QStringList mapIds;

    // Serialises whole computations: a second caller waits and takes the
    // fresh result instead of listing the same trees again.
    QMutex computeMutex;
};

SizeCaches &caches()
{
    static SizeCaches c;
    return c;
}

QString prefix8(const QString &text)
{
    return text.left(8);
}

bool isChecksum(const QByteArray &piece)
{
    return piece.size() == 64 && std::all_of(piece.begin(), piece.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

// Files directly in a ref directory (no dot files), in name order, with their
// trimmed contents; empty contents skipped.
QList<QPair<QString, QString>> readRefs(const QString &dir)
{
    QList<QPair<QString, QString>> refs;
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        QFile file(QDir(dir).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString commit = QString::fromUtf8(file.read(4096)).trimmed();
        if (!commit.isEmpty())
            refs.append({name, commit});
    }
    return refs;
}

// A commit goes to ostree as a plain argument; one that looks like an option
// or carries white space is not a checksum and is never listed.
bool usableCommit(const QString &commit)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Za-z_.:^/-]+$"));
    return !commit.startsWith(QLatin1Char('-')) && re.match(commit).hasMatch();
}

QString treeCacheDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(dir);
    return dir;
}

} // namespace

qint64 backendNow()
{
    Clock &c = clock();
    QMutexLocker lock(&c.mutex);
    if (c.now)
        return c.now();
    return QDateTime::currentSecsSinceEpoch();
}

void setBackendClockForTesting(std::function<qint64()> now)
{
    Clock &c = clock();
    QMutexLocker lock(&c.mutex);
    c.now = std::move(now);
}

void resetSizeCachesForTesting()
{
    SizeCaches &c = caches();
    {
        QMutexLocker lock(&c.dirMutex);
        c.dirSizes.clear();
    }
    QMutexLocker lock(&c.mapMutex);
    c.map.clear();
    c.mapIds.clear();
    c.mapAt = 0;
}

SnapshotInfo snapshotFromJson(const QJsonObject &object)
{
    SnapshotInfo info;
    info.id = object.value(QLatin1String("id")).toString();
    info.name = object.value(QLatin1String("name")).toString();
    info.desc = object.value(QLatin1String("desc")).toString();
    info.time = object.value(QLatin1String("time")).toVariant().toLongLong();
    return info;
}

QList<SnapshotInfo> parseSnapshotList(const QString &json)
{
    QList<SnapshotInfo> list;
    const QJsonArray array = parseJson(json)
                                 .value(QLatin1String("data"))
                                 .toObject()
                                 .value(QLatin1String("snapshot_list"))
                                 .toArray();
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            continue;
        SnapshotInfo info = snapshotFromJson(value.toObject());
        info.isInitial = snapshotLooksInitial(info.name, info.desc);
        list.append(info);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const SnapshotInfo &a, const SnapshotInfo &b) { return a.time < b.time; });
    return list;
}

QList<SnapshotInfo> getSnapshots()
{
    const CommandResult r =
        runProcess(ctlPath(), {QStringLiteral("snapshot"), QStringLiteral("list"), QStringLiteral("-j")},
                   kListTimeoutMs, false);
    if (!r.ok)
        return {};
    return parseSnapshotList(r.output);
}

SnapshotListResult readSnapshots()
{
    const CommandResult r =
        runProcess(ctlPath(), {QStringLiteral("snapshot"), QStringLiteral("list"), QStringLiteral("-j")},
                   kListTimeoutMs, false);
    SnapshotListResult out;
    if (!r.ok) {
        out.error = r.error.isEmpty() ? r.errorOutput : r.error;
        return out;
    }
    // An answer without the list is a failure too, not an empty list.
    const QJsonValue list =
        parseJson(r.output).value(QLatin1String("data")).toObject().value(QLatin1String("snapshot_list"));
    if (!list.isArray()) {
        out.error = Backend::tr("无法解析快照列表: %1").arg(r.output.left(2000));
        return out;
    }
    out.ok = true;
    out.snapshots = parseSnapshotList(r.output);
    return out;
}

SnapshotInfo getSnapshotDetail(const QString &id)
{
    const CommandResult r =
        runProcess(ctlPath(), {QStringLiteral("snapshot"), QStringLiteral("show"), id, QStringLiteral("-j")},
                   kListTimeoutMs, false);
    if (!r.ok)
        return {};
    return snapshotFromJson(parseJson(r.output).value(QLatin1String("data")).toObject());
}

bool snapshotLooksInitial(const QString &name, const QString &desc)
{
    return name.contains(QLatin1String("First")) || desc.contains(QLatin1String("System initialization"));
}

QString snapshotTextProblem(const QString &name, const QString &desc)
{
    // The control tool parses its arguments: a leading "-" would be an option.
    if (name.startsWith(QLatin1Char('-')))
        return Backend::tr("备份名称不能以“-”开头。");
    if (desc.startsWith(QLatin1Char('-')))
        return Backend::tr("备份描述不能以“-”开头。");
    return QString();
}

namespace {

CommandResult refused(const QString &message)
{
    CommandResult r;
    r.error = message;
    return r;
}

bool usableId(const QString &id)
{
    return !id.isEmpty() && !id.startsWith(QLatin1Char('-'));
}

} // namespace

CommandResult createSnapshot(const QString &name, const QString &desc)
{
    const QString problem = snapshotTextProblem(name, desc);
    if (!problem.isEmpty())
        return refused(problem);
    QList<QString> args{QStringLiteral("snapshot"), QStringLiteral("create")};
    if (!name.isEmpty())
        args << name;
    args << desc;
    return runProcess(ctlPath(), args, kCreateDeleteTimeoutMs, true);
}

CommandResult deleteSnapshot(const QString &id)
{
    if (!usableId(id))
        return refused(Backend::tr("无效的备份标识: %1").arg(id));
    return runProcess(ctlPath(), {QStringLiteral("snapshot"), QStringLiteral("delete"), id},
                      kCreateDeleteTimeoutMs, true);
}

CommandResult modifySnapshot(const QString &id, const QString &name, const QString &desc)
{
    if (!usableId(id))
        return refused(Backend::tr("无效的备份标识: %1").arg(id));
    const QString problem = snapshotTextProblem(name, desc);
    if (!problem.isEmpty())
        return refused(problem);
    QList<QString> args{QStringLiteral("snapshot"), QStringLiteral("modify"), id};
    if (!name.isEmpty())
        args << name;
    args << desc;
    return runProcess(ctlPath(), args, kModifyTimeoutMs, true);
}

CommandResult rollbackSnapshot(const QString &id, bool deleteOthers)
{
    if (!usableId(id))
        return refused(Backend::tr("无效的备份标识: %1").arg(id));
    QList<QString> args{QStringLiteral("snapshot"), QStringLiteral("rollback"), id};
    if (deleteOthers)
        args << QStringLiteral("--delete-others");
    return runProcess(ctlPath(), args, kRollbackTimeoutMs, true);
}

qint64 parseDuOutput(const QString &output)
{
    bool ok = false;
    const qint64 bytes = output.section(QLatin1Char('\t'), 0, 0).trimmed().toLongLong(&ok);
    // A negative size is garbage, not a directory.
    return ok && bytes > 0 ? bytes : 0;
}

namespace {

// du's own words, for the user: the first lines of its standard error.
QString duText(const CommandResult &r)
{
    const QString text = r.errorOutput.isEmpty() ? r.error : r.errorOutput;
    return text.section(QLatin1Char('\n'), 0, 3).trimmed();
}

MeasuredSize runDu(const QString &path)
{
    const CommandResult r = runProcess(duToolPath(), {QStringLiteral("-sb"), path}, kDuTimeoutMs, false);
    if (r.ok) {
        bool parsed = false;
        const qint64 bytes = r.output.section(QLatin1Char('\t'), 0, 0).trimmed().toLongLong(&parsed);
        if (parsed && bytes >= 0)
            return MeasuredSize::exact(bytes);
        return MeasuredSize::unknown(Backend::tr("du 的输出无法识别: %1").arg(r.output.left(200)));
    }
    // Nothing there is nothing to measure, when the parent says so.
    const QFileInfo parent(QFileInfo(path).absolutePath());
    if (r.errorOutput.contains(QLatin1String("No such file or directory")) && parent.isDir() &&
        parent.isExecutable() && !QFileInfo::exists(path))
        return MeasuredSize::exact(0);
    // du still counts what it could read: a lower bound.
    const QString text = duText(r);
    if (!r.errorOutput.contains(QLatin1String("Permission denied")) || effectiveUserId() == 0)
        return MeasuredSize::atLeast(parseDuOutput(r.output), text);
    // Snapshot data is readable by root only. Measuring is worth no password
    // prompt on every refresh: only a sudo that needs none is asked.
    const CommandResult elevated = runProcess(
        sudoToolPath(), {QStringLiteral("-n"), duToolPath(), QStringLiteral("-sb"), path}, kDuTimeoutMs, false);
    if (elevated.ok && parseDuOutput(elevated.output) > 0)
        return MeasuredSize::exact(parseDuOutput(elevated.output));
    const QString sudoText = duText(elevated);
    return MeasuredSize::atLeast(parseDuOutput(r.output),
                                 sudoText.isEmpty() ? text : text + QLatin1Char('\n') + sudoText);
}

} // namespace

MeasuredSize measureDir(const QString &path)
{
    SizeCaches &c = caches();
    {
        QMutexLocker lock(&c.dirMutex);
        const auto it = c.dirSizes.constFind(path);
        if (it != c.dirSizes.constEnd() && backendNow() - it->at < kDirSizeValidSecs)
            return it->size;
    }
    const MeasuredSize size = runDu(path);
    QMutexLocker lock(&c.dirMutex);
    c.dirSizes.insert(path, DirSizeEntry{backendNow(), size});
    return size;
}

qint64 duPath(const QString &path)
{
    return measureDir(path).bytes;
}

QHash<QString, qint64> parseOstreeListing(const QByteArray &output)
{
    QHash<QString, qint64> files;
    qsizetype start = 0;
    while (start < output.size()) {
        qsizetype end = output.indexOf('\n', start);
        if (end < 0)
            end = output.size();
        const QByteArray line = output.mid(start, end - start);
        start = end + 1;
        if (!line.startsWith('-'))
            continue;
        const QList<QByteArray> pieces = line.simplified().split(' ');
        if (pieces.size() < 6 || !pieces.at(0).startsWith('-') || !isChecksum(pieces.at(4)))
            continue;
        bool ok = false;
        const qint64 size = pieces.at(3).toLongLong(&ok);
        // A negative size would shrink a snapshot's total below what it holds.
        if (!ok || size < 0)
            continue;
        files.insert(QString::fromLatin1(pieces.at(4)), size);
    }
    return files;
}

QString treeCacheFileName(const QString &key)
{
    QString safe = key;
    for (QChar &ch : safe) {
        const bool plain = (ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) ||
                           (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
                           (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char('_') ||
                           ch == QLatin1Char('-');
        if (!plain)
            ch = QLatin1Char('_');
    }
    return QStringLiteral("tree_%1.json").arg(safe);
}

namespace {

// The cached listing of `commit`, or nothing when the file is missing, does not
// parse, records another commit or holds no files (an empty listing is never
// written, so an empty file is a leftover of an older failure).
std::optional<QHash<QString, qint64>> readTreeCache(const QString &cachePath, const QString &commit)
{
    // Only a regular file of sane size: a FIFO or a link to a device in the cache directory must
    // neither block the worker nor fill the memory.
    const QByteArray bytes = readFileBytes(cachePath);
    if (bytes.isEmpty())
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject object = doc.object();
    const QJsonValue files = object.value(QLatin1String("files"));
    if (object.value(QLatin1String("commit")).toString() != commit || !files.isObject())
        return std::nullopt;
    const QJsonObject stored = files.toObject();
    if (stored.isEmpty())
        return std::nullopt;
    QHash<QString, qint64> listing;
    listing.reserve(stored.size());
    for (auto it = stored.constBegin(); it != stored.constEnd(); ++it) {
        if (!it.value().isDouble() || it.value().toDouble() < 0 || !isChecksum(it.key().toLatin1()))
            return std::nullopt;
        listing.insert(it.key(), it.value().toInteger());
    }
    return listing;
}

void writeTreeCache(const QString &cachePath, const QString &commit, const QHash<QString, qint64> &files)
{
    // Written by hand: QJsonObject inserts are linear each, far too slow for a
    // tree of tens of thousands of files. The keys are plain hex checksums.
    QByteArray data = QJsonDocument(QJsonArray{commit}).toJson(QJsonDocument::Compact);
    data = "{\"commit\":" + data.mid(1, data.size() - 2) + ",\"files\":{";
    data.reserve(data.size() + files.size() * 80);
    bool first = true;
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        if (!first)
            data += ',';
        first = false;
        data += '"' + it.key().toLatin1() + "\":" + QByteArray::number(it.value());
    }
    data += "}}";
    QSaveFile save(cachePath);
    if (save.open(QIODevice::WriteOnly)) {
        // A short write (full disk) must not leave a truncated cache behind.
        if (save.write(data) == data.size() && save.flush())
            save.commit();
        else
            save.cancelWriting();
    }
}

} // namespace

QHash<QString, qint64> ostreeLsTreeCached(const QString &key, const QString &commit, bool *listed)
{
    const QString cachePath = QDir(treeCacheDir()).filePath(treeCacheFileName(key));
    if (const auto cached = readTreeCache(cachePath, commit)) {
        if (listed)
            *listed = true;
        return *cached;
    }

    QHash<QString, qint64> files;
    bool ok = false;
    if (usableCommit(commit)) {
        const CommandResult r = runProcess(ostreePath(),
                                           {QStringLiteral("--repo=") + sysRepoPath(), QStringLiteral("ls"),
                                            QStringLiteral("-R"), QStringLiteral("-C"), commit},
                                           kOstreeLsTimeoutMs, false);
        if (r.ok) {
            files = parseOstreeListing(r.output.toUtf8());
            ok = true;
        }
    }
    if (listed)
        *listed = ok;
    // A failed or cut-off listing is never kept: it would read as a tree
    // without files in every later run.
    if (ok && !files.isEmpty())
        writeTreeCache(cachePath, commit, files);
    return files;
}

SnapshotSizeMap computeSnapshotSizes()
{
    return computeSnapshotSizes(getSnapshots());
}

SnapshotSizeMap computeSnapshotSizes(const QList<SnapshotInfo> &snapshots, bool *completeOut)
{
    const SnapshotSizes measured = measureSnapshotSizes(snapshots);
    SnapshotSizeMap result;
    bool complete = true;
    for (auto it = measured.cbegin(); it != measured.cend(); ++it) {
        result.insert(it.key(), qMakePair(it->extra.bytes, it->unique.bytes));
        complete = complete && it->unique.complete();
    }
    if (completeOut)
        *completeOut = complete;
    return result;
}

SnapshotSizes measureSnapshotSizes(const QList<SnapshotInfo> &snapshots)
{
    if (snapshots.isEmpty())
        return {};
    SizeCaches &c = caches();
    QMutexLocker computeLock(&c.computeMutex);

    QStringList ids;
    for (const SnapshotInfo &snapshot : snapshots)
        ids.append(snapshot.id);
    {
        // The cached sizes only serve the list they were computed for.
        QMutexLocker lock(&c.mapMutex);
        if (!c.map.isEmpty() && c.mapIds == ids && backendNow() - c.mapAt <= kSizeMapValidSecs)
            return c.map;
    }

    const QString heads = sysRepoPath() + QStringLiteral("/refs/heads/");
    const auto snapshotRefs = readRefs(heads + QStringLiteral("snapshot"));
    QStringList referenceCommits;
    QHash<QString, int> refsPerCommit;
    for (const auto &ref : readRefs(heads + QStringLiteral("deployment")) + snapshotRefs) {
        if (!refsPerCommit.contains(ref.second))
            referenceCommits.append(ref.second);
        ++refsPerCommit[ref.second];
    }

    QList<QFuture<std::optional<QHash<QString, qint64>>>> tasks;
    for (const QString &commit : std::as_const(referenceCommits)) {
        const QString key = QStringLiteral("share_") + prefix8(commit);
        tasks.append(QtConcurrent::run(&listingPool(), [key, commit] {
            bool listed = false;
            QHash<QString, qint64> files = ostreeLsTreeCached(key, commit, &listed);
            return listed ? std::optional<QHash<QString, qint64>>(std::move(files)) : std::nullopt;
        }));
    }
    QStringList unlisted;
    // How many refs keep each object alive; a snapshot's own ref is one of them.
    QHash<QString, QHash<QString, qint64>> listings;
    QHash<QString, int> holders;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        const std::optional<QHash<QString, qint64>> listed = tasks[i].result();
        if (!listed)
            unlisted.append(prefix8(referenceCommits.at(i)));
        const QHash<QString, qint64> listing = listed.value_or(QHash<QString, qint64>());
        const int refs = refsPerCommit.value(referenceCommits.at(i));
        for (auto it = listing.constBegin(); it != listing.constEnd(); ++it)
            holders[it.key()] += refs;
        listings.insert(referenceCommits.at(i), listing);
    }

    QHash<QString, QString> snapshotCommits;
    for (const auto &ref : snapshotRefs)
        snapshotCommits.insert(ref.first.section(QLatin1Char('.'), 0, 0), ref.second);

    SnapshotSizes result;
    bool complete = unlisted.isEmpty();
    for (const SnapshotInfo &snapshot : snapshots) {
        SnapshotSize size;
        // An id is one path component below the snapshot directory, never a way out of it.
        if (!snapshot.id.isEmpty() && !snapshot.id.contains(QLatin1Char('/')) &&
            snapshot.id != QLatin1String(".") && snapshot.id != QLatin1String(".."))
            size.extra = measureDir(snapshotDirPath() + QLatin1Char('/') + snapshot.id);
        else
            size.extra = MeasuredSize::unknown(Backend::tr("无效的备份标识: %1").arg(snapshot.id));
        qint64 unique = 0;
        bool listed = true;
        const QString commit = snapshotCommits.value(snapshot.id);
        if (!commit.isEmpty()) {
            const bool ownRefCounted = listings.contains(commit);
            const QHash<QString, qint64> listing =
                ownRefCounted
                    ? listings.value(commit)
                    : ostreeLsTreeCached(QStringLiteral("snap_") + prefix8(snapshot.id), commit, &listed);
            if (!listed)
                unlisted.append(prefix8(commit));
            const int own = ownRefCounted ? 1 : 0;
            for (auto it = listing.constBegin(); it != listing.constEnd(); ++it) {
                // Saturates: a garbage listing must not wrap the total round to a negative size.
                if (holders.value(it.key()) <= own && qAddOverflow(unique, it.value(), &unique))
                    unique = std::numeric_limits<qint64>::max();
            }
        }
        complete = complete && listed;
        size.unique = MeasuredSize::exact(unique);
        result.insert(snapshot.id, size);
    }
    // A tree that could not be listed makes the objects it holds look unshared
    // (or missing): no "unique" figure is to be trusted then, not even as a bound.
    if (!complete) {
        const QString why = Backend::tr("无法读取系统树: %1").arg(unlisted.join(QLatin1String(", ")));
        for (SnapshotSize &size : result)
            size.unique = MeasuredSize::unknown(why);
    }

    // Sizes from a failed listing are kept for nobody: the next call lists again.
    if (complete) {
        QMutexLocker lock(&c.mapMutex);
        c.map = result;
        c.mapIds = ids;
        c.mapAt = backendNow();
    }
    return result;
}

} // namespace Tavrin
