#pragma once

// The disk page's data, apart from its views: the one history store the page reads and writes
// through, the range shown, the loaded days, the focused day and every save the page makes. The
// monitor is another process writing the same files: the model notices their changes and loads
// what changed again, so the views never show what a file no longer holds.

#include <QDate>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <QVariant>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>

#include "disk/diskhistorystore.h"
#include "disk/diskrecords.h"

namespace Tavrin {
class MonitorConfig;
}

namespace DiskPage {

class HistoryModel : public QObject
{
    Q_OBJECT

public:
    explicit HistoryModel(QObject *parent = nullptr);
    ~HistoryModel() override;

    Tavrin::DiskHistoryStore *store() const { return m_store; }
    // Retention, budget and cache size from the configuration; held back while a save runs.
    void applyConfig(const Tavrin::MonitorConfig &config);

    // Loads the range (the pending load, if any, is superseded).
    void requestRange(const QDate &from, const QDate &to);
    // The current range again, as it is on disk now.
    void reload();
    void cancel();
    QDate from() const { return m_from; }
    QDate to() const { return m_to; }
    quint64 pendingId() const { return m_pendingId; }
    // True while the pending load is one the model started on its own after a change on disk.
    bool isSilentLoad() const { return m_pendingId != 0 && m_silent; }
    QList<Tavrin::DiskDayRecord> records() const { return m_records; }
    // The days of the last 30 up to today, for the forecast, whatever range is shown.
    QList<Tavrin::DiskDayRecord> recent() const { return m_recent; }
    QDate focusDate() const { return m_focus; }
    void setFocusDate(const QDate &date) { m_focus = date; }
    bool isSaving() const { return m_saves > 0; }
    void forget();

    // What "立即扫描" measured, saved into today's file under the history lock as the monitor does
    // (its exclusions recorded with the sizes they shaped); with df's figures when `dfOk`.
    struct ScanResult
    {
        QList<Tavrin::DiskItem> items;
        bool complete = true;
        QStringList excluded;
        bool dfOk = false;
        qint64 capacity = 0;
        qint64 used = 0;
    };
    void saveScan(const ScanResult &scan);
    // Deletes every day, "alert.json" and "alert-ui-state.json" in one locked step.
    void clearHistory();

    // Runs `work` on the model's own threads (never Qt's global pool) and hands its result to
    // `done` on this thread, unless `receiver` is gone by then.
    template <typename Work>
    void run(QObject *receiver, Work work, std::function<void(const QVariant &)> done)
    {
        auto *watcher = new QFutureWatcher<QVariant>(receiver);
        connect(watcher, &QFutureWatcherBase::finished, receiver, [watcher, done = std::move(done)] {
            const QVariant result = watcher->future().resultCount() > 0 ? watcher->result() : QVariant();
            watcher->deleteLater();
            if (done)
                done(result);
        });
        watcher->setFuture(
            QtConcurrent::run(&m_readPool, [work = std::move(work)]() mutable { return QVariant(work()); }));
    }

    static QString alertFile();
    static QString forecastFile();
    static QString alertUiStateFile();

signals:
    void loadStarted(const QDate &from, const QDate &to, bool silent);
    void loadProgress(int done, int total);
    void loaded(const QList<Tavrin::DiskDayRecord> &records, bool silent);
    void scanSaved(bool ok, const QString &error);
    // `untouched`: nothing was deleted (the history was locked by another process).
    void cleared(bool untouched, const QString &error);
    // Something in the history directory changed: alerts, the index, days outside the range.
    void filesChanged();
    // recent() was read anew apart from the range (a range that does not reach today).
    void recentChanged();

private:
    void onRangeProgress(quint64 id, int done, int total);
    void onRangeLoaded(quint64 id, const QList<Tavrin::DiskDayRecord> &records);
    void start(const QDate &from, const QDate &to, bool silent);
    void watchDirectory();
    void checkFiles();
    QHash<QDate, Tavrin::DiskHistoryStore::FileStamp> stampRange() const;
    void updateRecent();
    void saveStarted();
    void saveEnded();

    Tavrin::DiskHistoryStore *m_store = nullptr;
    QDate m_from;
    QDate m_to;
    quint64 m_pendingId = 0;
    bool m_silent = false;
    bool m_changedDuringLoad = false;
    QList<Tavrin::DiskDayRecord> m_records;
    QList<Tavrin::DiskDayRecord> m_recent;
    quint64 m_recentGeneration = 0;
    QDate m_focus;
    QHash<QDate, Tavrin::DiskHistoryStore::FileStamp> m_stamps;

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QThreadPool m_readPool;
    QThreadPool m_savePool;
    int m_saves = 0;
    bool m_configPending = false;
    qint64 m_budget = 0;
    int m_retention = 0;
    int m_samplesRetention = 0;
    int m_cacheDays = 0;
};

} // namespace DiskPage

Q_DECLARE_METATYPE(DiskPage::HistoryModel::ScanResult)
