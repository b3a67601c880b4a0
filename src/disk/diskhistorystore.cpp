#include "disk/diskhistorystore.h"

#include "disk/historylock.h"
#include "disk/jsonfileio.h"
#include "disk/pooltask.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <map>
#include <mutex>

namespace Tavrin {

namespace {

struct DayFile
{
    QDate date;
    QString path;
};

// Day files of the directory by name; the date comes from the name, never the content.
QList<DayFile> listDayFiles(const QString &dir)
{
    QList<DayFile> files;
    const QFileInfoList entries =
        QDir(dir).entryInfoList({QStringLiteral("*.json")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : entries) {
        const QDate date = dayFileDate(info.fileName());
        if (date.isValid())
            files.append({date, info.filePath()});
    }
    return files;
}

bool readDayFile(const QString &path, DiskDayRecord *out)
{
    const QByteArray data = readFileBytes(path);
    return !data.isEmpty() && dayRecordFromBytes(data, out);
}

void sortBySizeDescending(QList<DiskItem> &items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const DiskItem &a, const DiskItem &b) { return a.size > b.size; });
}

void keepLargest(QList<DiskItem> &items, int n)
{
    if (items.size() <= n)
        return;
    sortBySizeDescending(items);
    items.resize(n);
}

// Growth since the previous record compared per elapsed day: days without a record (the machine
// was off) do not add up to one day's spike.
bool isSpikeGrowth(qint64 growth, const QDate &previous, const QDate &date, qint64 threshold)
{
    const qint64 days = previous.isValid() && date.isValid() ? std::max<qint64>(1, previous.daysTo(date)) : 1;
    return growth / days >= threshold;
}

// A future day file far from every other day: a clock that ran ahead wrote it.
constexpr int kClockSlackDays = 7;

QList<DiskDayRecord> sortedByDate(QList<DiskDayRecord> records)
{
    const auto byDate = [](const DiskDayRecord &a, const DiskDayRecord &b) { return a.date < b.date; };
    // Loaded ranges arrive in order; sorting a shared list would copy every record first.
    if (!std::is_sorted(records.cbegin(), records.cend(), byDate))
        std::stable_sort(records.begin(), records.end(), byDate);
    return records;
}

// The end of "index.json" as this program writes it (compact, keys in order):
// {"budget":N,"days":[{"c":…},…,{"c":…}],"first":"…","last":"…","storage":N,"version":1}
// Every summary object begins with {"c": and a quote inside a string is always escaped, so those
// bytes mark the objects' starts; a cycle then decodes only the last few days, not the history.
struct IndexTail
{
    int daysStart = 0;
    int daysEnd = 0;
    QList<int> starts;
    QList<DiskDaySummary> summaries;
    QDate first;
    qint64 storage = 0;
};

bool scanIndexTail(const QByteArray &bytes, int wanted, IndexTail *out)
{
    static const QByteArray head = QByteArrayLiteral("{\"budget\":");
    static const QByteArray daysKey = QByteArrayLiteral(",\"days\":[");
    static const QByteArray tailKey = QByteArrayLiteral("],\"first\":\"");
    static const QByteArray marker = QByteArrayLiteral("{\"c\":");
    if (!bytes.startsWith(head))
        return false;
    const int days = bytes.indexOf(daysKey, head.size());
    const int end = bytes.lastIndexOf(tailKey);
    if (days < 0 || end < days + daysKey.size())
        return false;
    for (int i = head.size(); i < days; ++i) {
        if (bytes.at(i) < '0' || bytes.at(i) > '9')
            return false;
    }
    QJsonParseError error;
    const QJsonDocument tail = QJsonDocument::fromJson('{' + bytes.mid(end + 2), &error);
    if (error.error != QJsonParseError::NoError || !tail.isObject() ||
        tail.object().value(QLatin1String("version")).toInt() != 1)
        return false;
    out->daysStart = days + daysKey.size();
    out->daysEnd = end;
    out->first = parseIsoDay(tail.object().value(QLatin1String("first")).toString());
    out->storage = jsonBytes(tail.object().value(QLatin1String("storage")));
    out->starts.clear();
    out->summaries.clear();
    int limit = end;
    while (out->starts.size() < wanted) {
        const int start = bytes.lastIndexOf(marker, limit - 1);
        if (start < out->daysStart)
            break;
        const int stop = limit == end ? end : limit - 1;
        const QJsonDocument element = QJsonDocument::fromJson(bytes.mid(start, stop - start), &error);
        if (error.error != QJsonParseError::NoError || !element.isObject())
            return false;
        // This program writes no day without its date; the generic reader drops such days.
        const DiskDaySummary summary = daySummaryFromJson(element.object());
        if (!summary.date.isValid())
            return false;
        out->starts.prepend(start);
        out->summaries.prepend(summary);
        if (limit != end && bytes.at(limit - 1) != ',')
            return false;
        limit = start;
    }
    // The first object must start the array, or something else sits before it.
    if (out->starts.size() < wanted &&
        (out->starts.isEmpty() ? end != out->daysStart : out->starts.first() != out->daysStart))
        return false;
    return !out->summaries.isEmpty();
}

// Into the "ahead" directory beside the days, under a name not taken there yet.
bool moveAside(const QString &path)
{
    const QString dir = DiskHistoryStore::aheadDir();
    if (!QDir().mkpath(dir))
        return false;
    const QString name = QFileInfo(path).fileName();
    QString target = dir + QLatin1Char('/') + name;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = dir + QLatin1Char('/') + name + QLatin1Char('.') + QString::number(n);
    return QFile::rename(path, target);
}

QString lockFailure(const HistoryLock &lock)
{
    return lock.isBusy() ? DiskHistoryStore::tr("历史目录正被另一个进程占用")
                         : DiskHistoryStore::tr("无法在 %1 中加锁").arg(DiskHistoryStore::historyDir());
}

} // namespace

DiskHistoryStore::DiskHistoryStore(QObject *parent) : QObject(parent)
{
    // A superseded load may still be ending while the next one starts.
    requestPool.setMaxThreadCount(2);
    requestPool.setExpiryTimeout(-1);
    rangePool.setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 7));
    // Idle helpers wait without a time-out, so an idle window is not woken
    // 30 s after a load to end them.
    rangePool.setExpiryTimeout(-1);
    qRegisterMetaType<DiskItem>();
    qRegisterMetaType<DiskDayRecord>();
    qRegisterMetaType<QList<DiskDayRecord>>();
    qRegisterMetaType<QList<DiskItem>>();
    qRegisterMetaType<DiskDaySummary>();
    qRegisterMetaType<DiskHistoryIndex>();
    qRegisterMetaType<DiskSpikeInfo>();
    qRegisterMetaType<DiskRangeStats>();
    qRegisterMetaType<DiskMountInfo>();
}

DiskHistoryStore::~DiskHistoryStore()
{
    // Workers call back into the cache and the cancel set: stop them before those go away.
    {
        QMutexLocker lock(&cancelMutex);
        for (auto it = running.cbegin(); it != running.cend(); ++it)
            cancelled.insert(it.key());
    }
    for (auto it = running.begin(); it != running.end(); ++it)
        it.value().waitForFinished();
}

QString DiskHistoryStore::historyDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                        QStringLiteral("/tavrin-manager/disk-history");
    QDir().mkpath(dir);
    return dir;
}

QString DiskHistoryStore::dayFilePath(const QDate &date)
{
    return historyDir() + QStringLiteral("/%1.json").arg(date.toString(Qt::ISODate));
}

bool DiskHistoryStore::saveDayRecord(const DiskDayRecord &record)
{
    lastErrorText.clear();
    savedRecentDays.clear();
    if (!record.date.isValid()) {
        lastErrorText = tr("日期无效");
        return false;
    }
    HistoryLock lock;
    if (!lock.isLocked()) {
        lastErrorText = lockFailure(lock);
        return false;
    }
    return saveLocked(record);
}

bool DiskHistoryStore::updateDayRecord(const QDate &date, const std::function<void(DiskDayRecord &)> &change)
{
    lastErrorText.clear();
    savedRecentDays.clear();
    if (!date.isValid()) {
        lastErrorText = tr("日期无效");
        return false;
    }
    HistoryLock lock;
    if (!lock.isLocked()) {
        lastErrorText = lockFailure(lock);
        return false;
    }
    // The file, not the cache: another process may have written the day since.
    DiskDayRecord record;
    if (!readDayFile(dayFilePath(date), &record))
        record = DiskDayRecord();
    record.date = date;
    change(record);
    record.date = date;
    return saveLocked(record);
}

DiskDayRecord DiskHistoryStore::boundedForStorage(DiskDayRecord record)
{
    keepLargest(record.topLevel, kMaxTopLevelItems);
    if (record.drillCache.size() > kMaxDrillDirs) {
        // Keep the directories with the largest children.
        QList<QPair<qint64, QString>> weights;
        for (auto it = record.drillCache.cbegin(); it != record.drillCache.cend(); ++it) {
            qint64 sum = 0;
            for (const DiskItem &item : it.value())
                sum += std::max<qint64>(item.size, 0);
            weights.append({sum, it.key()});
        }
        std::stable_sort(weights.begin(), weights.end(),
                         [](const auto &a, const auto &b) { return a.first > b.first; });
        for (int i = kMaxDrillDirs; i < weights.size(); ++i)
            record.drillCache.remove(weights.at(i).second);
    }
    for (auto it = record.drillCache.begin(); it != record.drillCache.end(); ++it)
        keepLargest(it.value(), kMaxDrillItems);
    if (record.samples.size() > kMaxSamples)
        record.samples = record.samples.mid(record.samples.size() - kMaxSamples);
    return record;
}

bool DiskHistoryStore::saveLocked(const DiskDayRecord &input)
{
    const DiskDayRecord record = boundedForStorage(input);
    const QByteArray bytes = dayRecordToBytes(record);
    const QString path = dayFilePath(record.date);
    if (bytes.size() > kMaxJsonFileBytes) {
        lastErrorText = tr("记录过大，无法保存：%1").arg(path);
        return false;
    }
    const QFileInfo before(path);
    const qint64 oldSize = before.isFile() ? before.size() : 0;
    QString error;
    if (!writeFileAtomic(path, bytes, &error)) {
        lastErrorText = tr("无法写入 %1：%2").arg(path, error);
        return false;
    }
    addToCache(record);
    if (quickIndexUpdate(record, bytes.size() - oldSize))
        return true;
    savedRecentDays.clear();
    bool rebuilt = false;
    DiskHistoryIndex index = loadIndexLocked(&rebuilt);
    updateSummary(record, &index);
    // A rebuilt index measured the directory with the new file in it; otherwise account for the
    // change, so a save does not list the directory.
    if (!rebuilt)
        index.storage = std::max<qint64>(0, index.storage + bytes.size() - oldSize);
    index.budget = budgetBytes;
    pruneIndexed(retentionDays, &index);
    if (keepRecentDays > 0)
        savedRecentDays = index.days.mid(std::max<qsizetype>(0, index.days.size() - keepRecentDays));
    if (!writeIndex(index)) {
        // An index that misses a saved day would hide it for good; without one, the next reader
        // rebuilds it from the day files.
        QFile::remove(historyDir() + QStringLiteral("/index.json"));
    }
    if (index.storage > budgetBytes)
        enforceBudget();
    return true;
}

bool DiskHistoryStore::loadDay(const QDate &date, DiskDayRecord *out) const
{
    return loadDayFrom(historyDir(), date, out);
}

DiskHistoryStore::FileStamp DiskHistoryStore::stampOf(const QString &path)
{
    FileStamp stamp;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return stamp;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

bool DiskHistoryStore::loadDayFrom(const QString &dir, const QDate &date, DiskDayRecord *out,
                                   FileStamp *stampOut) const
{
    if (!date.isValid() || !out)
        return false;
    const QString path = dir + QStringLiteral("/%1.json").arg(date.toString(Qt::ISODate));
    // Taken before the read: a file replaced during it is read again next time, never cached as new.
    const FileStamp stamp = stampOf(path);
    {
        QMutexLocker lock(&cacheMutex);
        const auto it = cache.constFind(date);
        if (it != cache.cend() && it->stamp.isValid() && it->stamp == stamp) {
            *out = it->record;
            if (stampOut)
                *stampOut = stamp;
            return true;
        }
    }
    DiskDayRecord record;
    if (!stamp.isValid() || !readDayFile(path, &record))
        return false;
    // The file's name, not its content, says which day it is.
    record.date = date;
    *out = std::move(record);
    if (stampOut)
        *stampOut = stamp;
    return true;
}

// One range load, shared by the threads that parse it. Each claims the next day by index; the
// days read are kept by index, so the result keeps date order whoever finishes first, and memory
// grows with the days found, not with the length of the range.
struct DiskHistoryStore::RangeJob
{
    quint64 id = 0; // 0: a synchronous load, never cancelled, no progress
    QDate from;
    int total = 0;
    QString dir;
    std::atomic<int> next{0};

    // Guards the rest; held while progress is emitted, so reports stay in order. The standard
    // types, as the thread sanitizer follows them without an instrumented Qt.
    std::mutex mutex;
    std::condition_variable allFinished;
    std::map<int, std::pair<DiskDayRecord, FileStamp>> loaded;
    int finished = 0;
    int claimed = -1; // known once claiming has stopped
    int reportedStep = 0;
};

namespace {

// Progress of longer ranges in 5 % steps: per-day reports of a year would be queued 365 times
// to the GUI thread for a bar that moves a few pixels.
constexpr int kProgressSteps = 20;
// Days each extra thread should have to parse before it is worth waking.
constexpr int kDaysPerHelper = 8;

} // namespace

void DiskHistoryStore::loadJobDays(DiskHistoryStore *store, RangeJob &job)
{
    // The store is touched only for a claimed day, and the first worker, which keeps the store
    // alive, waits for every claimed day: a helper that starts late claims nothing.
    for (;;) {
        const int i = job.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= job.total)
            return;
        const bool stop = job.id != 0 && store->isCancelled(job.id);
        DiskDayRecord record;
        FileStamp stamp;
        const bool found = !stop && store->loadDayFrom(job.dir, job.from.addDays(i), &record, &stamp);
        store->finishJobDay(job, i, found ? &record : nullptr, stamp);
        if (stop)
            return;
    }
}

void DiskHistoryStore::finishJobDay(RangeJob &job, int index, DiskDayRecord *record, const FileStamp &stamp)
{
    const std::lock_guard lock(job.mutex);
    if (record)
        job.loaded.emplace(index, std::make_pair(std::move(*record), stamp));
    ++job.finished;
    if (job.id != 0 && !isCancelled(job.id)) {
        const int step = int(qint64(job.finished) * kProgressSteps / job.total);
        if (step > job.reportedStep || job.finished == job.total) {
            job.reportedStep = step;
            emit rangeProgress(job.id, job.finished, job.total);
        }
    }
    if (job.finished == job.claimed)
        job.allFinished.notify_all();
}

QList<DiskDayRecord> DiskHistoryStore::runRange(quint64 id, const QDate &from, const QDate &to)
{
    const auto job = std::make_shared<RangeJob>();
    job->id = id;
    job->from = from;
    job->total = int(from.daysTo(to) + 1);
    job->dir = historyDir();

    // Helpers hold the job, not the store's lifetime: one that starts after the work is gone
    // claims nothing and never touches the store.
    const int helpers = std::min(rangePool.maxThreadCount(), (job->total - 1) / kDaysPerHelper);
    for (int h = 0; h < helpers; ++h)
        startOnPool(rangePool, [this, job] { loadJobDays(this, *job); });
    loadJobDays(this, *job);
    {
        std::unique_lock lock(job->mutex);
        job->claimed = std::min(job->next.exchange(job->total), job->total);
        job->allFinished.wait(lock, [&] { return job->finished >= job->claimed; });
    }
    if (id != 0) {
        QMutexLocker lock(&cancelMutex);
        cancelled.remove(id);
    }

    QList<DiskDayRecord> records;
    QList<FileStamp> stamps;
    records.reserve(qsizetype(job->loaded.size()));
    stamps.reserve(qsizetype(job->loaded.size()));
    for (auto &day : job->loaded) {
        records.append(std::move(day.second.first));
        stamps.append(day.second.second);
    }
    // In date order, as one day after another would have: only the newest days stay cached.
    const qsizetype cached = std::min<qsizetype>(records.size(), std::max(memoryCacheDays, 0));
    for (qsizetype i = records.size() - cached; i < records.size(); ++i)
        cacheStamped(records.at(i), stamps.at(i));
    return records;
}

namespace {

// Days are counted in int, as the progress signal reports them.
bool isLoadableRange(const QDate &from, const QDate &to)
{
    return from.isValid() && to.isValid() && to >= from && from.daysTo(to) < INT_MAX;
}

} // namespace

QList<DiskDayRecord> DiskHistoryStore::loadRange(const QDate &from, const QDate &to)
{
    if (!isLoadableRange(from, to))
        return {};
    return runRange(0, from, to);
}

quint64 DiskHistoryStore::requestRange(const QDate &from, const QDate &to)
{
    if (!isLoadableRange(from, to))
        return 0;
    const quint64 id = nextRequestId++;
    auto *watcher = new QFutureWatcher<QList<DiskDayRecord>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, id] {
        const QList<DiskDayRecord> records = watcher->future().result();
        running.remove(id);
        watcher->deleteLater();
        emit rangeLoaded(id, records);
    });
    const QFuture<QList<DiskDayRecord>> future =
        QtConcurrent::run(&requestPool, [this, id, from, to] { return runRange(id, from, to); });
    running.insert(id, future);
    watcher->setFuture(future);
    return id;
}

void DiskHistoryStore::cancelRange(quint64 id)
{
    QMutexLocker lock(&cancelMutex);
    cancelled.insert(id);
}

bool DiskHistoryStore::isCancelled(quint64 id) const
{
    QMutexLocker lock(&cancelMutex);
    return cancelled.contains(id);
}

bool DiskHistoryStore::quickIndexUpdate(const DiskDayRecord &record, qint64 sizeChange)
{
    const QString path = historyDir() + QStringLiteral("/index.json");
    const QByteArray bytes = readFileBytes(path);
    IndexTail tail;
    // The days a caller wants kept come from this same read.
    if (!scanIndexTail(bytes, std::max(2, keepRecentDays), &tail))
        return false;
    const DiskDaySummary &last = tail.summaries.constLast();
    const qsizetype count = tail.summaries.size();
    int replaceFrom = 0;
    DiskHistoryIndex recent;
    if (record.date == last.date) {
        replaceFrom = tail.starts.constLast();
        if (count > 1)
            recent.days.append(tail.summaries.at(count - 2));
    } else if (last.date.isValid() && record.date > last.date) {
        replaceFrom = tail.daysEnd;
        recent.days.append(last);
    } else {
        return false;
    }
    updateSummary(record, &recent);
    const qint64 storage = std::max<qint64>(0, tail.storage + sizeChange);
    // Expired or stray days, or a full budget, take the whole index.
    const QDate today = diskToday();
    const QDate cutoff = retentionAnchor(recent).addDays(-retentionDays);
    if ((retentionDays > 0 && tail.first.isValid() && tail.first < cutoff) ||
        record.date > today.addDays(kClockSlackDays) || storage > budgetBytes)
        return false;
    const QDate first = tail.first.isValid() ? std::min(tail.first, record.date) : record.date;
    QByteArray out;
    out.reserve(bytes.size() + 1024);
    out += "{\"budget\":" + QByteArray::number(budgetBytes) + ",\"days\":[";
    out += QByteArrayView(bytes).sliced(tail.daysStart, replaceFrom - tail.daysStart);
    if (replaceFrom == tail.daysEnd)
        out += ',';
    out += QJsonDocument(daySummaryToJson(recent.days.constLast())).toJson(QJsonDocument::Compact);
    out += "],\"first\":\"" + first.toString(Qt::ISODate).toLatin1() + "\",\"last\":\"" +
           record.date.toString(Qt::ISODate).toLatin1() + "\",\"storage\":" + QByteArray::number(storage) +
           ",\"version\":1}";
    // A failed write (a full disk) leaves the old index; the full update below deals with it.
    if (!writeFileAtomic(path, out))
        return false;
    if (keepRecentDays > 0) {
        QList<DiskDaySummary> kept = tail.summaries;
        if (record.date == last.date)
            kept.removeLast();
        kept.append(recent.days.constLast());
        savedRecentDays = kept.mid(std::max<qsizetype>(0, kept.size() - keepRecentDays));
    }
    return true;
}

QList<DiskDaySummary> DiskHistoryStore::loadRecentSummaries(int n)
{
    if (n <= 0)
        return {};
    IndexTail tail;
    if (scanIndexTail(readFileBytes(historyDir() + QStringLiteral("/index.json")), n, &tail))
        return tail.summaries;
    const QList<DiskDaySummary> days = loadIndex().days;
    return days.mid(std::max<qsizetype>(0, days.size() - n));
}

DiskHistoryIndex DiskHistoryStore::loadIndex()
{
    bool rebuilt = false;
    return loadIndexLocked(&rebuilt);
}

DiskHistoryIndex DiskHistoryStore::loadIndexLocked(bool *rebuilt)
{
    *rebuilt = false;
    const QJsonDocument doc = readJson(historyDir() + QStringLiteral("/index.json"));
    if (doc.isObject()) {
        DiskHistoryIndex index = historyIndexFromJson(doc.object());
        if (!index.days.isEmpty()) {
            index.budget = budgetBytes;
            return index;
        }
    }
    *rebuilt = true;
    return rebuildIndex();
}

bool DiskHistoryStore::writeIndex(const DiskHistoryIndex &index)
{
    return writeJsonAtomic(historyDir() + QStringLiteral("/index.json"),
                           QJsonDocument(historyIndexToJson(index)));
}

DiskHistoryIndex DiskHistoryStore::rebuildIndex()
{
    HistoryLock lock;
    // What only the index knows (each day's top growth items) survives the rebuild.
    QHash<QDate, QList<DiskItem>> tops;
    const QJsonDocument old = readJson(historyDir() + QStringLiteral("/index.json"));
    if (old.isObject()) {
        for (const DiskDaySummary &day : historyIndexFromJson(old.object()).days) {
            if (!day.top.isEmpty())
                tops.insert(day.date, day.top);
        }
    }
    DiskHistoryIndex index;
    for (const DayFile &file : listDayFiles(historyDir())) {
        DiskDayRecord record;
        if (!readDayFile(file.path, &record))
            continue;
        DiskDaySummary summary;
        summary.date = file.date;
        summary.file = QFileInfo(file.path).fileName();
        summary.capacity = record.capacity;
        summary.total = record.total;
        summary.top = tops.value(file.date);
        index.days.append(summary);
    }
    std::stable_sort(index.days.begin(), index.days.end(),
                     [](const DiskDaySummary &a, const DiskDaySummary &b) { return a.date < b.date; });
    for (int i = 1; i < index.days.size(); ++i) {
        DiskDaySummary &day = index.days[i];
        day.growth = day.total - index.days.at(i - 1).total;
        day.spike = isSpikeGrowth(day.growth, index.days.at(i - 1).date, day.date, spikeThresholdBytes);
    }
    if (!index.days.isEmpty()) {
        index.first = index.days.first().date;
        index.last = index.days.last().date;
    }
    index.storage = storageBytes();
    index.budget = budgetBytes;
    if (!index.days.isEmpty())
        writeIndex(index);
    return index;
}

void DiskHistoryStore::updateIndexWith(const DiskDayRecord &record, DiskHistoryIndex *index)
{
    if (!index || !record.date.isValid())
        return;
    updateSummary(record, index);
    index->storage = storageBytes();
    index->budget = budgetBytes;
}

void DiskHistoryStore::updateSummary(const DiskDayRecord &record, DiskHistoryIndex *index)
{
    if (!index || !record.date.isValid())
        return;
    DiskDaySummary summary;
    summary.date = record.date;
    summary.file = QFileInfo(dayFilePath(record.date)).fileName();
    summary.capacity = record.capacity;
    summary.total = record.total;
    for (int i = index->days.size() - 1; i >= 0; --i) {
        if (index->days.at(i).date >= record.date)
            continue;
        DiskDayRecord previous;
        if (loadDay(index->days.at(i).date, &previous)) {
            summary.growth = record.total - previous.total;
            summary.spike =
                isSpikeGrowth(summary.growth, index->days.at(i).date, record.date, spikeThresholdBytes);
            if (!previous.topLevel.isEmpty())
                summary.top = topGrowthItems(previous, record, 3);
        }
        break;
    }
    bool replaced = false;
    for (DiskDaySummary &day : index->days) {
        if (day.date == record.date) {
            day = summary;
            replaced = true;
        }
    }
    if (!replaced)
        index->days.append(summary);
    std::stable_sort(index->days.begin(), index->days.end(),
                     [](const DiskDaySummary &a, const DiskDaySummary &b) { return a.date < b.date; });
    index->first = index->days.first().date;
    index->last = index->days.last().date;
}

QDate DiskHistoryStore::retentionAnchor(const DiskHistoryIndex &index) const
{
    // Days are counted back from today, but never from beyond the day after the newest record
    // before today: a clock that jumped ahead must not age the history it has not lived through.
    const QDate today = diskToday();
    for (int i = index.days.size() - 1; i >= 0; --i) {
        const QDate date = index.days.at(i).date;
        if (date.isValid() && date < today)
            return std::min(today, date.addDays(1));
    }
    return today;
}

void DiskHistoryStore::pruneExpired(int days)
{
    if (days <= 0)
        return;
    HistoryLock lock;
    if (!lock.isLocked())
        return;
    DiskHistoryIndex index = loadIndex();
    // Deletion goes by the files, whatever the index lists.
    for (const DayFile &file : listDayFiles(historyDir())) {
        bool known = false;
        for (const DiskDaySummary &day : std::as_const(index.days))
            known = known || day.date == file.date;
        if (!known) {
            DiskDaySummary summary;
            summary.date = file.date;
            summary.file = QFileInfo(file.path).fileName();
            index.days.append(summary);
        }
    }
    std::stable_sort(index.days.begin(), index.days.end(),
                     [](const DiskDaySummary &a, const DiskDaySummary &b) { return a.date < b.date; });
    if (pruneIndexed(days, &index))
        writeIndex(index);
}

bool DiskHistoryStore::pruneIndexed(int days, DiskHistoryIndex *index)
{
    if (days <= 0 || index->days.isEmpty())
        return false;
    const QDate today = diskToday();
    const QDate cutoff = retentionAnchor(*index).addDays(-days);
    // A record of the last week before today says the clock agrees with the history.
    bool clockAgrees = false;
    for (const DiskDaySummary &day : std::as_const(index->days))
        clockAgrees = clockAgrees || (day.date < today && day.date >= today.addDays(-kClockSlackDays));
    auto isStray = [&](int i) {
        const QDate date = index->days.at(i).date;
        if (!clockAgrees || date <= today.addDays(kClockSlackDays))
            return false;
        return i == 0 || index->days.at(i - 1).date < date.addDays(-kClockSlackDays);
    };
    const bool expired = index->days.first().date < cutoff;
    const bool stray = clockAgrees && index->days.last().date > today.addDays(kClockSlackDays);
    if (!expired && !stray)
        return false;

    const QString dir = historyDir();
    bool deleted = false;
    QList<DiskDaySummary> kept;
    for (int i = 0; i < index->days.size(); ++i) {
        const DiskDaySummary &day = index->days.at(i);
        if (day.date < cutoff || isStray(i)) {
            const QString path =
                dir + QLatin1Char('/') +
                (day.file.isEmpty() ? day.date.toString(Qt::ISODate) + QStringLiteral(".json") : day.file);
            const QFileInfo info(path);
            const qint64 size = info.isFile() ? info.size() : 0;
            // A stray day from the future is kept aside, never deleted.
            const bool gone = day.date < cutoff ? QFile::remove(path) : moveAside(path);
            if (!info.exists() || gone) {
                index->storage = std::max<qint64>(0, index->storage - size);
                deleted = true;
                continue;
            }
        }
        kept.append(day);
    }
    // Also the files of expired days under other names ("2026-01-05-old.json").
    if (expired) {
        for (const DayFile &file : listDayFiles(dir)) {
            if (file.date < cutoff) {
                const qint64 size = QFileInfo(file.path).size();
                if (QFile::remove(file.path)) {
                    index->storage = std::max<qint64>(0, index->storage - size);
                    deleted = true;
                }
            }
        }
    }
    if (!deleted)
        return false;
    if (!kept.isEmpty() && kept.first().date != index->days.first().date) {
        kept.first().growth = 0;
        kept.first().spike = false;
    }
    index->days = kept;
    index->first = kept.isEmpty() ? QDate() : kept.first().date;
    index->last = kept.isEmpty() ? QDate() : kept.last().date;
    return true;
}

QString DiskHistoryStore::aheadDir()
{
    return historyDir() + QStringLiteral("/ahead");
}

int DiskHistoryStore::setAsideFutureDays(const QDate &today)
{
    if (!today.isValid())
        return 0;
    const QList<DayFile> files = listDayFiles(historyDir());
    // With no record of the week before, the clock may be behind the history instead: then the
    // history is no future, and nothing moves.
    const bool clockAgrees = std::any_of(files.cbegin(), files.cend(), [&](const DayFile &f) {
        return f.date <= today && f.date >= today.addDays(-kClockSlackDays);
    });
    if (!clockAgrees ||
        std::none_of(files.cbegin(), files.cend(), [&](const DayFile &f) { return f.date > today; }))
        return 0;
    HistoryLock lock;
    if (!lock.isLocked())
        return 0;
    int moved = 0;
    for (const DayFile &file : listDayFiles(historyDir())) {
        if (file.date <= today || !moveAside(file.path))
            continue;
        ++moved;
        QMutexLocker cacheLock(&cacheMutex);
        if (cache.remove(file.date))
            cacheOrder.removeAll(file.date);
    }
    if (moved > 0)
        rebuildIndex();
    return moved;
}

bool DiskHistoryStore::setAsideFutureSamples(DiskDayRecord *record, const QDateTime &now)
{
    if (!record || !now.isValid())
        return true;
    const QDateTime limit = now.addSecs(3600);
    QList<DiskSample> ahead;
    for (qsizetype i = record->samples.size() - 1; i >= 0; --i) {
        if (record->samples.at(i).time.isValid() && record->samples.at(i).time > limit)
            ahead.prepend(record->samples.takeAt(i));
    }
    if (ahead.isEmpty())
        return true;
    const QString dir = aheadDir();
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/%1-samples.json").arg(record->date.toString(Qt::ISODate));
    DiskDayRecord kept;
    if (!readDayFile(path, &kept))
        kept = DiskDayRecord();
    kept.date = record->date;
    kept.samples += ahead;
    kept.total = kept.samples.constLast().total;
    return writeFileAtomic(path, dayRecordToBytes(boundedForStorage(kept)));
}

bool DiskHistoryStore::enforceBudget()
{
    HistoryLock lock;
    if (!lock.isLocked())
        return false;
    const QString dir = historyDir();
    bool rewritten = false;
    auto thin = [&](const DayFile &file, bool dropSamples, bool dropDrill) {
        DiskDayRecord record;
        if (!readDayFile(file.path, &record))
            return;
        const bool hasSamples = dropSamples && !record.samples.isEmpty();
        const bool hasDrill = dropDrill && !record.drillCache.isEmpty();
        if (!hasSamples && !hasDrill)
            return;
        if (dropSamples)
            record.samples.clear();
        if (dropDrill)
            record.drillCache.clear();
        if (writeJsonAtomic(file.path, QJsonDocument(dayRecordToJson(record)))) {
            rewritten = true;
            // The cache must not hand out what the file no longer holds.
            QMutexLocker lock(&cacheMutex);
            if (cache.remove(file.date))
                cacheOrder.removeAll(file.date);
        }
    };

    // Ages count from the same anchor as retention, so a clock ahead thins nothing early.
    const QDate today = retentionAnchor(loadIndex());
    [&] {
        if (storageBytes() <= budgetBytes)
            return;
        const QDate samplesCutoff = today.addDays(-samplesRetentionDays);
        for (const DayFile &file : listDayFiles(dir)) {
            if (file.date < samplesCutoff)
                thin(file, true, false);
        }
        if (storageBytes() <= budgetBytes)
            return;
        const QDate drillCutoff = today.addDays(-drillRetentionDays);
        for (const DayFile &file : listDayFiles(dir)) {
            if (file.date < drillCutoff)
                thin(file, false, true);
        }
        if (storageBytes() <= budgetBytes)
            return;
        QList<DayFile> files = listDayFiles(dir);
        std::stable_sort(files.begin(), files.end(),
                         [](const DayFile &a, const DayFile &b) { return a.date < b.date; });
        if (files.size() > drillRetentionDays) {
            const int n = std::min(int(files.size()) / 2, 30);
            for (int i = 0; i < n; ++i)
                thin(files.at(i), true, true);
        }
    }();
    if (rewritten)
        writeIndex(rebuildIndex());
    return rewritten;
}

bool DiskHistoryStore::removeRange(const QDate &from, const QDate &to)
{
    if (!from.isValid() || !to.isValid() || to < from)
        return false;
    HistoryLock lock;
    if (!lock.isLocked())
        return false;
    bool deleted = false;
    for (QDate d = from; d <= to; d = d.addDays(1)) {
        const QString path = dayFilePath(d);
        if (QFileInfo::exists(path) && QFile::remove(path))
            deleted = true;
    }
    if (!deleted)
        return false;
    {
        QMutexLocker lock(&cacheMutex);
        for (QDate d = from; d <= to; d = d.addDays(1)) {
            if (cache.remove(d))
                cacheOrder.removeAll(d);
        }
    }
    writeIndex(rebuildIndex());
    return true;
}

qint64 DiskHistoryStore::storageBytes() const
{
    qint64 bytes = 0;
    const QFileInfoList entries =
        QDir(historyDir()).entryInfoList({QStringLiteral("*.json")}, QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : entries)
        bytes += info.size();
    return bytes;
}

void DiskHistoryStore::addToCache(const DiskDayRecord &record)
{
    cacheStamped(record, stampOf(dayFilePath(record.date)));
}

void DiskHistoryStore::cacheStamped(const DiskDayRecord &record, const FileStamp &stamp)
{
    QMutexLocker lock(&cacheMutex);
    if (cache.contains(record.date))
        cacheOrder.removeAll(record.date);
    cache.insert(record.date, CachedDay{record, stamp});
    cacheOrder.append(record.date);
    while (!cacheOrder.isEmpty() && cacheOrder.size() > std::max(memoryCacheDays, 0))
        cache.remove(cacheOrder.takeFirst());
}

QList<DiskItem> DiskHistoryStore::topGrowthItems(const DiskDayRecord &previous, const DiskDayRecord &current,
                                                 int n)
{
    QHash<QString, qint64> before;
    for (const DiskItem &item : previous.topLevel)
        before.insert(item.path, item.size);
    QList<DiskItem> result;
    for (const DiskItem &item : current.topLevel) {
        const qint64 growth = item.size - before.value(item.path, 0);
        if (growth > 0)
            result.append({item.path, growth, item.isDir});
    }
    for (auto it = current.drillCache.cbegin(); it != current.drillCache.cend(); ++it)
        result.append(it.value());
    sortBySizeDescending(result);
    if (n < 0)
        n = 0;
    if (result.size() > n)
        result.resize(n);
    return result;
}

DiskRangeStats DiskHistoryStore::computeRangeStats(const QList<DiskDayRecord> &input)
{
    DiskRangeStats stats;
    if (input.isEmpty())
        return stats;
    const QList<DiskDayRecord> records = sortedByDate(input);
    const qsizetype m = records.size();
    stats.startTotal = records.first().total;
    stats.endTotal = records.last().total;
    stats.netGrowth = stats.endTotal - stats.startTotal;
    if (m >= 2) {
        stats.avgDailyGrowth = stats.netGrowth / qint64(m - 1);
        int runLength = 0;
        int bestLength = 0;
        QDate runStart;
        for (qsizetype k = 1; k < m; ++k) {
            const qint64 d = records.at(k).total - records.at(k - 1).total;
            if (d > stats.maxDailyGrowth) {
                stats.maxDailyGrowth = d;
                stats.maxGrowthDate = records.at(k).date;
            }
            if (d > 0) {
                if (runLength == 0)
                    runStart = records.at(k).date;
                ++runLength;
                if (runLength > bestLength) {
                    bestLength = runLength;
                    stats.longestStreakStart = runStart;
                }
            } else {
                runLength = 0;
            }
        }
        const DiskDayRecord &last = records.last();
        if (stats.avgDailyGrowth > 0 && last.capacity > last.total)
            stats.daysToFull = (last.capacity - last.total) / stats.avgDailyGrowth;
    }
    QMap<QString, qint64> first;
    for (const DiskItem &item : records.first().topLevel)
        first.insert(item.path, item.size);
    QMap<QString, qint64> lastMap;
    for (const DiskItem &item : records.last().topLevel)
        lastMap.insert(item.path, item.size);
    for (auto it = lastMap.cbegin(); it != lastMap.cend(); ++it) {
        const qint64 growth = it.value() - first.value(it.key(), 0);
        if (growth > 0)
            stats.topGrowth.append({it.key(), growth, true});
    }
    sortBySizeDescending(stats.topGrowth);
    if (stats.topGrowth.size() > 10)
        stats.topGrowth.resize(10);
    return stats;
}

QList<DiskSpikeInfo> DiskHistoryStore::detectSpikes(const QList<DiskDayRecord> &input, qint64 threshold)
{
    QList<DiskSpikeInfo> spikes;
    if (input.size() < 2)
        return spikes;
    const QList<DiskDayRecord> records = sortedByDate(input);
    for (qsizetype k = 1; k < records.size(); ++k) {
        const qint64 d = records.at(k).total - records.at(k - 1).total;
        if (d < threshold)
            continue;
        DiskSpikeInfo spike;
        spike.date = records.at(k).date;
        spike.growth = d;
        spike.causes = topGrowthItems(records.at(k - 1), records.at(k), 5);
        if (!spike.causes.isEmpty())
            spike.causeDir = spike.causes.first().path;
        spikes.append(spike);
    }
    return spikes;
}

} // namespace Tavrin
