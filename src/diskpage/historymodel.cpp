#include "diskpage/historymodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "disk/historylock.h"
#include "disk/monitorconfig.h"
#include "ui/diskanalysis.h"

using Tavrin::DiskDayRecord;
using Tavrin::DiskHistoryStore;

namespace DiskPage {

namespace {

// Writers replace a file by renaming a temporary one over it: several events per save, and the
// monitor writes the day, the index and the alerts in a row. One look after they settle.
constexpr int kSettleMs = 250;

} // namespace

HistoryModel::HistoryModel(QObject *parent) : QObject(parent)
{
    m_store = new DiskHistoryStore(this);
    connect(m_store, &DiskHistoryStore::rangeProgress, this, &HistoryModel::onRangeProgress);
    connect(m_store, &DiskHistoryStore::rangeLoaded, this, &HistoryModel::onRangeLoaded);
    m_readPool.setMaxThreadCount(2);
    m_readPool.setExpiryTimeout(-1);
    m_savePool.setMaxThreadCount(1);
    m_savePool.setExpiryTimeout(-1);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &HistoryModel::checkFiles);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (m_pendingId)
            m_changedDuringLoad = true;
        m_settle.start();
    });
    watchDirectory();
}

HistoryModel::~HistoryModel()
{
    cancel();
    // Saves and reads hold the store: they end before it goes.
    m_savePool.waitForDone();
    m_readPool.waitForDone();
}

QString HistoryModel::alertFile()
{
    return DiskHistoryStore::historyDir() + QStringLiteral("/alert.json");
}

QString HistoryModel::forecastFile()
{
    return DiskHistoryStore::historyDir() + QStringLiteral("/forecast.json");
}

QString HistoryModel::alertUiStateFile()
{
    return DiskHistoryStore::historyDir() + QStringLiteral("/alert-ui-state.json");
}

void HistoryModel::watchDirectory()
{
    const QString dir = DiskHistoryStore::historyDir();
    if (!m_watcher.directories().contains(dir))
        m_watcher.addPath(dir);
}

void HistoryModel::applyConfig(const Tavrin::MonitorConfig &config)
{
    m_retention = config.retentionDays();
    m_budget = qint64(config.storageBudgetMB()) * 1048576;
    m_samplesRetention = config.samplesRetentionDays();
    m_cacheDays = config.memoryCacheDays();
    // A save on the model's thread reads these: changed between saves only.
    if (m_saves > 0) {
        m_configPending = true;
        return;
    }
    m_store->retentionDays = m_retention;
    m_store->budgetBytes = m_budget;
    m_store->samplesRetentionDays = m_samplesRetention;
    m_store->memoryCacheDays = m_cacheDays;
    m_configPending = false;
}

void HistoryModel::requestRange(const QDate &from, const QDate &to)
{
    if (!from.isValid() || !to.isValid() || to < from)
        return;
    start(from, to, false);
}

void HistoryModel::reload()
{
    if (m_from.isValid() && m_to.isValid())
        start(m_from, m_to, false);
}

void HistoryModel::start(const QDate &from, const QDate &to, bool silent)
{
    m_from = from;
    m_to = to;
    if (m_pendingId)
        m_store->cancelRange(m_pendingId);
    m_silent = silent;
    m_changedDuringLoad = false;
    // The directory may have been removed and made again (a cleared history).
    watchDirectory();
    emit loadStarted(from, to, silent);
    m_pendingId = m_store->requestRange(from, to);
}

void HistoryModel::cancel()
{
    if (m_pendingId)
        m_store->cancelRange(m_pendingId);
    m_pendingId = 0;
}

void HistoryModel::forget()
{
    cancel();
    m_records.clear();
    m_recent.clear();
    ++m_recentGeneration;
    m_focus = QDate();
    m_stamps.clear();
}

void HistoryModel::onRangeProgress(quint64 id, int done, int total)
{
    if (id == 0 || id != m_pendingId)
        return;
    emit loadProgress(done, total);
}

void HistoryModel::onRangeLoaded(quint64 id, const QList<DiskDayRecord> &records)
{
    if (id == 0 || id != m_pendingId)
        return;
    m_pendingId = 0;
    m_records = records;
    m_stamps = stampRange();
    updateRecent();
    const bool silent = m_silent;
    m_silent = false;
    emit loaded(records, silent);
    // A change that arrived while the days were read may not be in what was read.
    if (m_changedDuringLoad) {
        m_changedDuringLoad = false;
        m_settle.start();
    }
}

void HistoryModel::updateRecent()
{
    const QDate today = Tavrin::diskToday();
    const quint64 generation = ++m_recentGeneration;
    if (m_from <= today.addDays(-kForecastDays + 1) && m_to >= today) {
        m_recent = recentDays(m_records, today);
        return;
    }
    DiskHistoryStore *store = m_store;
    run(
        this,
        [store, today] {
            return QVariant::fromValue(store->loadRange(today.addDays(-kForecastDays + 1), today));
        },
        [this, generation](const QVariant &v) {
            if (generation != m_recentGeneration)
                return;
            m_recent = v.value<QList<DiskDayRecord>>();
            emit recentChanged();
        });
}

QHash<QDate, DiskHistoryStore::FileStamp> HistoryModel::stampRange() const
{
    QHash<QDate, DiskHistoryStore::FileStamp> stamps;
    if (!m_from.isValid() || !m_to.isValid())
        return stamps;
    const QString dir = DiskHistoryStore::historyDir();
    for (QDate d = m_from; d <= m_to; d = d.addDays(1))
        stamps.insert(
            d, DiskHistoryStore::stampOf(dir + QStringLiteral("/%1.json").arg(d.toString(Qt::ISODate))));
    return stamps;
}

void HistoryModel::checkFiles()
{
    watchDirectory();
    emit filesChanged();
    if (m_pendingId || !m_from.isValid())
        return;
    // A stat per day of the range: cheap next to reading what did not change.
    if (stampRange() != m_stamps)
        start(m_from, m_to, true);
}

void HistoryModel::saveStarted()
{
    ++m_saves;
}

void HistoryModel::saveEnded()
{
    if (--m_saves == 0 && m_configPending) {
        m_store->retentionDays = m_retention;
        m_store->budgetBytes = m_budget;
        m_store->samplesRetentionDays = m_samplesRetention;
        m_store->memoryCacheDays = m_cacheDays;
        m_configPending = false;
    }
}

void HistoryModel::saveScan(const ScanResult &scan)
{
    saveStarted();
    DiskHistoryStore *store = m_store;
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const QString error = watcher->future().resultCount() > 0 ? watcher->result() : QString();
        watcher->deleteLater();
        saveEnded();
        emit scanSaved(error.isEmpty(), error);
        // What was saved is shown at once, not after the directory's events settle.
        if (!m_pendingId && m_from.isValid())
            start(m_from, std::max(m_to, Tavrin::diskToday()), false);
    });
    watcher->setFuture(QtConcurrent::run(&m_savePool, [store, scan] {
        const QDateTime now = Tavrin::diskNow();
        // Read afresh and saved under the history lock: a monitor sample taken meanwhile stays.
        const bool saved = store->updateDayRecord(now.date(), [&](DiskDayRecord &record) {
            // A list cut short by errors never replaces a complete one.
            if (scan.complete || record.topLevel.isEmpty() || !record.complete) {
                record.topLevel = scan.items;
                record.complete = scan.complete;
                record.scanExcluded = scan.excluded;
                record.scanExcludedKnown = true;
            }
            if (scan.dfOk) {
                record.samples.append(Tavrin::DiskSample{now, scan.used, {}});
                std::stable_sort(
                    record.samples.begin(), record.samples.end(),
                    [](const Tavrin::DiskSample &a, const Tavrin::DiskSample &b) { return a.time < b.time; });
                record.capacity = scan.capacity;
            }
            DiskHistoryStore::setAsideFutureSamples(&record, now);
            if (!record.samples.isEmpty())
                record.total = record.samples.constLast().total;
        });
        return saved ? QString() : (store->lastError().isEmpty() ? tr("保存失败") : store->lastError());
    }));
}

void HistoryModel::clearHistory()
{
    cancel();
    saveStarted();
    DiskHistoryStore *store = m_store;
    auto *watcher = new QFutureWatcher<QVariant>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const QVariantMap outcome =
            watcher->future().resultCount() > 0 ? watcher->result().toMap() : QVariantMap();
        watcher->deleteLater();
        saveEnded();
        const bool untouched = outcome.value(QStringLiteral("untouched")).toBool();
        if (!untouched)
            forget();
        emit cleared(untouched, outcome.value(QStringLiteral("error")).toString());
    });
    watcher->setFuture(QtConcurrent::run(&m_savePool, [store] {
        // One step under the history lock: a monitor cycle writes all of its day and alerts before
        // the clear or after it, never halfway (which would bring deleted alerts back).
        Tavrin::HistoryLock lock;
        if (!lock.isLocked())
            return QVariant(QVariantMap{
                {QStringLiteral("untouched"), true},
                {QStringLiteral("error"), lock.isBusy() ? tr("历史目录正被另一个进程占用，未清除任何数据")
                                                        : tr("无法锁定历史目录，未清除任何数据")}});
        const QDate from(2000, 1, 1);
        const QDate to = Tavrin::diskToday().addDays(1);
        store->removeRange(from, to);
        QStringList failed;
        const QDir dir(DiskHistoryStore::historyDir());
        for (const QString &name : dir.entryList({QStringLiteral("20*.json")}, QDir::Files)) {
            const QDate date = Tavrin::dayFileDate(name);
            if (date >= from && date <= to && name == date.toString(Qt::ISODate) + QLatin1String(".json"))
                failed << name;
        }
        for (const QString &path : {alertFile(), alertUiStateFile()}) {
            if (QFileInfo::exists(path) && !QFile::remove(path))
                failed << QFileInfo(path).fileName();
        }
        return QVariant(QVariantMap{
            {QStringLiteral("error"),
             failed.isEmpty() ? QString()
                              : tr("部分监控数据未能删除：%1").arg(failed.join(QStringLiteral("、")))}});
    }));
}

} // namespace DiskPage
