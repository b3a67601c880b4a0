#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThreadPool;

/// The difference of two OSTree commits: which paths were added, removed or
/// changed, with the sizes of both sides, grouped by directory.
namespace Tavrin {

enum class ChangeKind { Added, Removed, Modified };

/// One entry of a tree listing ("ostree ls -d -C"): type, mode, size and,
/// for a symbolic link, its target.
struct TreeEntry
{
    /// '-' regular file, 'd' directory, 'l' symbolic link.
    char type = '-';
    int mode = 0;
    qint64 size = 0;
    QString checksum;
    QString linkTarget;
};

/// One changed path. A side that was not read (or could not be) stays empty.
struct FileChange
{
    QString path;
    ChangeKind kind = ChangeKind::Modified;
    std::optional<TreeEntry> oldEntry;
    std::optional<TreeEntry> newEntry;
    /// True when the sides this kind needs were read; false when the tool
    /// could not say, so the sizes are unknown, not 0.
    bool entriesKnown = false;
};

/// One line of "ostree diff" or a name it could not parse.
struct DiffLines
{
    QList<QPair<ChangeKind, QString>> changes;
    /// Lines that were neither a change nor a continuation (not UTF-8, …).
    int unreadable = 0;
};

/// Parses the output of "ostree diff". A line that does not start with a
/// change mark continues the previous name (a file name with a line feed).
DiffLines parseOstreeDiff(const QByteArray &output);

/// Parses the output of "ostree ls -d -C PATHS..." against the paths it was
/// asked for, in order: entry i belongs to `paths[i]` only when its name is
/// exactly that path; an answer that does not line up yields no entry for it.
QList<std::optional<TreeEntry>> parseOstreeLsEntries(const QByteArray &output, const QStringList &paths);

/// Parses "ostree ls -R -C COMMIT DIR": every entry below DIR (DIR itself
/// excluded), path and entry.
QList<QPair<QString, TreeEntry>> parseOstreeLsRecursive(const QByteArray &output, const QString &dir);

/// A directory of the grouped result: its changes summed over everything
/// below it, its subdirectories largest change first, then its files.
struct DiffDir
{
    QString name;
    QString path;
    int added = 0;
    int removed = 0;
    int modified = 0;
    /// Sum of new minus old size of the files below with known sizes.
    qint64 sizeDelta = 0;
    /// Files below whose size is not known.
    int unknownSizes = 0;
    std::vector<std::unique_ptr<DiffDir>> dirs;
    /// Indexes into the change list.
    std::vector<int> files;
    DiffDir *parent = nullptr;
    /// Position among the parent's `dirs`.
    int row = 0;
};

/// Counts of a whole comparison.
struct DiffSummary
{
    int added = 0;
    int removed = 0;
    int modified = 0;
    qint64 sizeDelta = 0;
    int unknownSizes = 0;
};

/// Size difference of one change; empty when a needed side is unknown.
std::optional<qint64> sizeDelta(const FileChange &change);

/// Only regular files and links count as files; a directory entry itself is
/// not counted (its content is).
bool countsAsFile(const FileChange &change);

/// Groups `changes` by directory. With a non-empty `filter`, only paths that
/// contain it (case-insensitive) are kept.
std::unique_ptr<DiffDir> groupChanges(const QList<FileChange> &changes, const QString &filter = QString());

DiffSummary summarize(const QList<FileChange> &changes);

/// CSV of every change: path, change, old size, new size, size difference,
/// old mode, new mode, old type, new type. Unknown sizes are "unknown"; fields are quoted as
/// RFC 4180 wants, and a leading "=", "+", "-" or "@" is escaped so a
/// spreadsheet does not run a path as a formula.
QByteArray changesToCsv(const QList<FileChange> &changes);

/// What a comparison reached.
enum class DiffOutcome { Running, Done, Identical, MissingCommit, Failed, TimedOut, Cancelled };

/// A snapshot of a running or finished comparison.
struct TreeDiffResult
{
    DiffOutcome outcome = DiffOutcome::Running;
    QList<FileChange> changes;
    /// Changes whose sides have been read so far (the rest are still being sized).
    int sized = 0;
    int unreadable = 0;
    /// The missing commit, for MissingCommit.
    QString missingCommit;
    /// Message for the user with the tool's text, for the failures.
    QString error;
};

/// Compares two commits of the system repository with "ostree diff", then reads
/// the entries of the changed paths only (each tree once per path, in batches
/// run in parallel), so a large tree is never listed whole. `progress` is
/// called on the calling thread with a fresh snapshot whenever more is known
/// (first right after the diff, with the sizes still pending), the last time
/// with the final outcome. `cancel` stops the work and the tools it runs.
TreeDiffResult compareCommits(const QString &oldCommit, const QString &newCommit,
                              const std::function<void(const TreeDiffResult &)> &progress,
                              const std::shared_ptr<std::atomic_bool> &cancel, int timeoutMs = 300000);

/// The comparison's own pool: it waits on "ostree" and the disk and must not
/// hold up Qt's global pool.
QThreadPool &comparePool();

/// Commit of a snapshot, read from its ref; "" when there is none.
QString snapshotCommit(const QString &snapshotId);

class TreeDiff
{
    Q_DECLARE_TR_FUNCTIONS(TreeDiff)
};

} // namespace Tavrin
