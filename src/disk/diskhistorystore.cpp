#include "disk/diskhistorystore.h"

#include "disk/jsonfileio.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

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

QList<DiskDayRecord> sortedByDate(QList<DiskDayRecord> records)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const DiskDayRecord &a, const DiskDayRecord &b) { return a.date < b.date; });
    return records;
}

} // namespace

DiskHistoryStore::DiskHistoryStore(QObject *parent) : QObject(parent)
{
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
    if (!record.date.isValid())
        return false;
    if (!writeJsonAtomic(dayFilePath(record.date), QJsonDocument(dayRecordToJson(record))))
        return false;
    addToCache(record);
    DiskHistoryIndex index = loadIndex();
    updateIndexWith(record, &index);
    writeIndex(index);
    pruneExpired(retentionDays);
    enforceBudget();
    return true;
}

bool DiskHistoryStore::loadDay(const QDate &date, DiskDayRecord *out) const
{
    return loadDayFrom(historyDir(), date, out);
}

bool DiskHistoryStore::loadDayFrom(const QString &dir, const QDate &date, DiskDayRecord *out) const
{
    if (!date.isValid() || !out)
        return false;
    {
        QMutexLocker lock(&cacheMutex);
        const auto it = cache.constFind(date);
        if (it != cache.cend()) {
            *out = it.value();
            return true;
        }
    }
    DiskDayRecord record;
    if (!readDayFile(dir + QStringLiteral("/%1.json").arg(date.toString(Qt::ISODate)), &record))
        return false;
    // The file's name, not its content, says which day it is.
    record.date = date;
    *out = std::move(record);
    return true;
}

QList<DiskDayRecord> DiskHistoryStore::loadRange(const QDate &from, const QDate &to)
{
    QList<DiskDayRecord> records;
    if (!from.isValid() || !to.isValid() || to < from)
        return records;
    const QString dir = historyDir();
    for (QDate d = from; d <= to; d = d.addDays(1)) {
        DiskDayRecord record;
        if (loadDayFrom(dir, d, &record)) {
            records.append(record);
            addToCache(record);
        }
    }
    return records;
}

quint64 DiskHistoryStore::requestRange(const QDate &from, const QDate &to)
{
    if (!from.isValid() || !to.isValid() || to < from)
        return 0;
    const quint64 id = nextRequestId++;
    auto *watcher = new QFutureWatcher<QList<DiskDayRecord>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, id] {
        const QList<DiskDayRecord> records = watcher->future().result();
        running.remove(id);
        watcher->deleteLater();
        emit rangeLoaded(id, records);
    });
    const QFuture<QList<DiskDayRecord>> future = QtConcurrent::run(
        QThreadPool::globalInstance(), [this, id, from, to] { return runRange(id, from, to); });
    running.insert(id, future);
    watcher->setFuture(future);
    return id;
}

QList<DiskDayRecord> DiskHistoryStore::runRange(quint64 id, const QDate &from, const QDate &to)
{
    QList<DiskDayRecord> records;
    const int total = int(from.daysTo(to) + 1);
    int done = 0;
    const QString dir = historyDir();
    for (QDate d = from; d <= to; d = d.addDays(1)) {
        if (isCancelled(id))
            break;
        DiskDayRecord record;
        if (loadDayFrom(dir, d, &record)) {
            records.append(record);
            addToCache(record);
        }
        ++done;
        emit rangeProgress(id, done, total);
    }
    {
        QMutexLocker lock(&cancelMutex);
        cancelled.remove(id);
    }
    return records;
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

DiskHistoryIndex DiskHistoryStore::loadIndex()
{
    const QJsonDocument doc = readJson(historyDir() + QStringLiteral("/index.json"));
    if (!doc.isObject())
        return rebuildIndex();
    DiskHistoryIndex index = historyIndexFromJson(doc.object());
    if (index.days.isEmpty())
        return rebuildIndex();
    index.budget = budgetBytes;
    return index;
}

void DiskHistoryStore::writeIndex(const DiskHistoryIndex &index)
{
    writeJsonAtomic(historyDir() + QStringLiteral("/index.json"), QJsonDocument(historyIndexToJson(index)));
}

DiskHistoryIndex DiskHistoryStore::rebuildIndex()
{
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
        index.days.append(summary);
    }
    std::stable_sort(index.days.begin(), index.days.end(),
                     [](const DiskDaySummary &a, const DiskDaySummary &b) { return a.date < b.date; });
    for (int i = 1; i < index.days.size(); ++i) {
        DiskDaySummary &day = index.days[i];
        day.growth = day.total - index.days.at(i - 1).total;
        day.spike = day.growth >= spikeThresholdBytes;
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
            summary.spike = summary.growth >= spikeThresholdBytes;
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
    index->storage = storageBytes();
    index->budget = budgetBytes;
}

void DiskHistoryStore::pruneExpired(int days)
{
    if (days <= 0)
        return;
    const QDate cutoff = QDate::currentDate().addDays(-days);
    bool deleted = false;
    for (const DayFile &file : listDayFiles(historyDir())) {
        if (file.date < cutoff && QFile::remove(file.path))
            deleted = true;
    }
    if (deleted)
        writeIndex(rebuildIndex());
}

bool DiskHistoryStore::enforceBudget()
{
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
            if (cache.contains(file.date))
                cache[file.date] = record;
        }
    };

    const QDate today = QDate::currentDate();
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
    QMutexLocker lock(&cacheMutex);
    if (cache.contains(record.date))
        cacheOrder.removeAll(record.date);
    cache.insert(record.date, record);
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
