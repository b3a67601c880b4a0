#pragma once

#include "disk/diskrecords.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <functional>
#include <memory>

namespace Tavrin {

/// Owns the disk history directory: day files, "index.json", retention, storage budget, a small
/// in-memory cache and asynchronous range loading. Also hosts the history analyses (static).
class DiskHistoryStore : public QObject
{
    Q_OBJECT
public:
    explicit DiskHistoryStore(QObject *parent = nullptr);
    /// Cancels running range loads and waits for their workers, so none outlives the store.
    ~DiskHistoryStore() override;

    /// Storage budget of the history directory in bytes.
    qint64 budgetBytes = 512LL * 1024 * 1024;
    /// Day files older than this many days are deleted after each save (≤ 0: keep all).
    int retentionDays = 400;
    /// Days older than this lose their samples first when over budget.
    int samplesRetentionDays = 90;
    /// Days older than this lose their drill caches next; also the day-file count above which the
    /// oldest days are stripped.
    int drillRetentionDays = 30;
    /// Capacity of the memory cache in days (≤ 0: nothing stays cached).
    int memoryCacheDays = 90;
    /// Growth at or above this marks a day `spike` in the index.
    qint64 spikeThresholdBytes = 1024LL * 1024 * 1024;
    /// How many of the index's newest summaries a save keeps for `savedRecent` (0: none).
    int keepRecentDays = 0;

    /// The generic data location + "/tavrin-manager/disk-history"; created on every call.
    static QString historyDir();
    /// historyDir() + "/yyyy-MM-dd.json".
    static QString dayFilePath(const QDate &date);

    /// Writes the day file, then maintains cache, index, retention and budget. False only when the
    /// date is invalid or the day file could not be written.
    bool saveDayRecord(const DiskDayRecord &record);
    /// Reads the day's file afresh (an empty record for the date when there is none), lets `change`
    /// edit it and saves it, all under the history lock, so a writer in another process loses
    /// nothing. False as `saveDayRecord`.
    bool updateDayRecord(const QDate &date, const std::function<void(DiskDayRecord &)> &change);
    /// Why the last `saveDayRecord` or `updateDayRecord` failed; empty after a success.
    QString lastError() const { return lastErrorText; }
    /// The newest `keepRecentDays` summaries of the index as the last successful save left it
    /// (ascending), taken from the read of the index the save makes anyway; empty after a failure.
    QList<DiskDaySummary> savedRecent() const { return savedRecentDays; }
    /// One day, from the cache when its file is still the one the cache read, else from the file
    /// (which does not fill the cache): another process's write is always seen.
    bool loadDay(const QDate &date, DiskDayRecord *out) const;
    /// Days from `from` to `to` inclusive that have a readable file, in date order; fills the cache.
    /// Longer ranges are parsed on several threads.
    QList<DiskDayRecord> loadRange(const QDate &from, const QDate &to);
    /// Loads a range on the store's own threads (never Qt's global pool, which painting waits
    /// on); emits `rangeProgress` in order, for every day of ranges up to 20 days and every
    /// 5 % of longer ones, always ending with `total`, and one `rangeLoaded` with the days in date
    /// order. Returns the request id, 0 when the range is invalid.
    quint64 requestRange(const QDate &from, const QDate &to);
    /// Marks a request cancelled; its `rangeLoaded` then carries what was loaded so far.
    void cancelRange(quint64 id);
    bool isCancelled(quint64 id) const;
    /// The threads that start requested ranges: whoever must order work against a request's start
    /// (a cancellation that has to come first) can occupy them.
    QThreadPool &requestThreads() { return requestPool; }

    /// The newest `n` summaries of the index (ascending), read from the end of "index.json" without
    /// decoding the rest; the whole index's when it is not in the form this program writes.
    QList<DiskDaySummary> loadRecentSummaries(int n);
    /// The index from "index.json", or rebuilt from the day files when absent, empty or corrupt.
    DiskHistoryIndex loadIndex();
    /// False when the index could not be written (the old file then stays as it was).
    bool writeIndex(const DiskHistoryIndex &index);
    /// The index computed from the day files (no top growth items); written when non-empty.
    DiskHistoryIndex rebuildIndex();
    /// Puts the summary of `record` into `index` (replacing that date's entry).
    void updateIndexWith(const DiskDayRecord &record, DiskHistoryIndex *index);
    /// Deletes day files dated more than `days` days before today, counting from the newest day
    /// before today when the clock is ahead of the history; also drops day files left far in the
    /// future by a clock that ran ahead.
    void pruneExpired(int days);
    /// Moves day files dated after `today` into aheadDir() when the history agrees with the clock
    /// (a record of the week before `today` exists): a clock that ran ahead wrote them, and they
    /// must not become that day once it comes. Nothing is deleted. Returns how many were moved.
    int setAsideFutureDays(const QDate &today);
    /// Takes the samples of `record` stamped more than an hour after `now` out of it, into the
    /// record of that date in aheadDir(). False when there were some but they could not be kept.
    static bool setAsideFutureSamples(DiskDayRecord *record, const QDateTime &now);
    /// historyDir() + "/ahead": what a clock ahead of time wrote, kept for a person to look at.
    static QString aheadDir();
    /// Thins old days until the directory fits the budget; true when a day was rewritten.
    bool enforceBudget();
    /// Deletes the day files from `from` to `to`; true when at least one was deleted.
    bool removeRange(const QDate &from, const QDate &to);
    /// Bytes of all "*.json" files in the history directory.
    qint64 storageBytes() const;
    /// Caches `record` as the content of its day file as the file is now.
    void addToCache(const DiskDayRecord &record);

    /// What identifies one version of a file: replaced files (atomic saves) get a new inode.
    struct FileStamp
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 mtimeNs = 0;
        bool isValid() const { return size >= 0; }
        bool operator==(const FileStamp &o) const
        {
            return device == o.device && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs;
        }
    };
    static FileStamp stampOf(const QString &path);

    /// Statistics over the records (sorted by date internally).
    static DiskRangeStats computeRangeStats(const QList<DiskDayRecord> &records);
    /// Top-level entries that grew from `previous` to `current` (by growth), competing with the
    /// children of `current`'s drilled directories (by size); the largest `n`.
    static QList<DiskItem> topGrowthItems(const DiskDayRecord &previous, const DiskDayRecord &current, int n);
    /// Days whose growth over the preceding record reached `threshold`, ascending by date.
    static QList<DiskSpikeInfo> detectSpikes(const QList<DiskDayRecord> &records, qint64 threshold);

    /// Largest drilled directories' children kept per directory, and drilled directories per day:
    /// what is written must stay within what the reader accepts.
    static constexpr int kMaxDrillItems = 100;
    static constexpr int kMaxDrillDirs = 32;
    static constexpr int kMaxTopLevelItems = 1000;
    static constexpr int kMaxSamples = 10000;
    /// `record` cut to the bounds above (largest items first).
    static DiskDayRecord boundedForStorage(DiskDayRecord record);

signals:
    void rangeProgress(quint64 requestId, int done, int total);
    void rangeLoaded(quint64 requestId, const QList<Tavrin::DiskDayRecord> &records);

private:
    bool saveLocked(const DiskDayRecord &record);
    bool quickIndexUpdate(const DiskDayRecord &record, qint64 sizeChange);
    DiskHistoryIndex loadIndexLocked(bool *rebuilt);
    void updateSummary(const DiskDayRecord &record, DiskHistoryIndex *index);
    bool pruneIndexed(int days, DiskHistoryIndex *index);
    QDate retentionAnchor(const DiskHistoryIndex &index) const;
    bool loadDayFrom(const QString &dir, const QDate &date, DiskDayRecord *out,
                     FileStamp *stamp = nullptr) const;
    void cacheStamped(const DiskDayRecord &record, const FileStamp &stamp);
    struct RangeJob;
    QList<DiskDayRecord> runRange(quint64 id, const QDate &from, const QDate &to);
    static void loadJobDays(DiskHistoryStore *store, RangeJob &job);
    void finishJobDay(RangeJob &job, int index, DiskDayRecord *record, const FileStamp &stamp);

    struct CachedDay
    {
        DiskDayRecord record;
        FileStamp stamp;
    };
    mutable QMutex cacheMutex;
    QHash<QDate, CachedDay> cache;
    QList<QDate> cacheOrder;

    mutable QMutex cancelMutex;
    QSet<quint64> cancelled;

    quint64 nextRequestId = 1;
    QString lastErrorText;
    QList<DiskDaySummary> savedRecentDays;
    QHash<quint64, QFuture<QList<DiskDayRecord>>> running;
    // A range's first worker, and its helpers: apart from the global pool, so work queued there
    // (painting, size computations) neither delays a load nor waits behind its disk reads.
    QThreadPool requestPool;
    QThreadPool rangePool;
};

} // namespace Tavrin
