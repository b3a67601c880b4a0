#pragma once

#include <QDateTime>
#include <QString>

namespace Tavrin {

/// The monitor's and the store's idea of "now": the local time, or the date-time in the
/// environment variable "TAVRIN_DISK_NOW" (ISO 8601) when it holds one, so tests can run cycles on
/// any day and hour.
QDateTime diskNow();
/// The date part of diskNow().
QDate diskToday();

/// An advisory lock in the history directory, shared by every process that writes there (the
/// window and the timer's monitor). Locks of the same name nest within a process: an inner lock
/// only counts, so the store's operations can call one another while they hold it.
class HistoryLock
{
public:
    /// "history.lock" serialises the read-modify-write of day files, the index and the alerts
    /// file; "monitor.lock" marks a running monitor cycle.
    enum class Kind { History, Monitor };

    /// Waits up to `timeoutMs` for the lock (0: try once; negative: defaultTimeoutMs()).
    explicit HistoryLock(Kind kind = Kind::History, int timeoutMs = -1);
    ~HistoryLock();
    HistoryLock(const HistoryLock &) = delete;
    HistoryLock &operator=(const HistoryLock &) = delete;

    bool isLocked() const { return locked; }
    /// Not locked because another holder has it (rather than because the lock file cannot be opened).
    bool isBusy() const { return busy; }

    static constexpr int kDefaultTimeoutMs = 15000;
    /// kDefaultTimeoutMs, or "TAVRIN_HISTORY_LOCK_TIMEOUT_MS" when set, so tests need not wait 15 s.
    static int defaultTimeoutMs();

private:
    Kind kind;
    bool locked = false;
    bool busy = false;
};

} // namespace Tavrin
