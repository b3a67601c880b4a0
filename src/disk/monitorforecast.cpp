#include "disk/diskmonitor.h"
#include "disk/forecastnotice.h"
#include "disk/historylock.h"
#include "disk/jsonfileio.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

namespace Tavrin {

namespace {
constexpr int kForecastWindowDays = 14;
constexpr int kMaxStoredForecasts = 100;
} // namespace

// The forecast of this cycle, kept in "forecast.json" beside the spikes' file; returns the notice
// to send now (empty when none). Deferred in quiet hours; a notice held back whose forecast no
// longer holds is dropped.
QJsonObject DiskMonitor::updateForecast(bool daySaved)
{
    const int limit = config.forecastDays();
    if (limit <= 0 || !today.date.isValid())
        return {};
    // No read of the history of its own: the baseline's read of the index with today's line from
    // this cycle, or else the index's newest days as today's save left them.
    QList<DiskDaySummary> days = daySaved ? store->savedRecent() : QList<DiskDaySummary>();
    if (days.isEmpty() && !recentDays.isEmpty()) {
        days = recentDays;
        if (!today.topLevel.isEmpty() && !previous.topLevel.isEmpty()) {
            DiskDayRecord current = today;
            current.drillCache.clear();
            DiskDaySummary line;
            line.date = today.date;
            line.top = DiskHistoryStore::topGrowthItems(previous, current, 3);
            days.removeIf([&](const DiskDaySummary &d) { return d.date == today.date; });
            days.append(line);
        }
    }
    // Nothing this cycle read says what the history holds: the last forecast stays as it was.
    if (days.isEmpty())
        return {};
    const ForecastCause forecast =
        forecastWithCause(days, {today.date, today.total, today.capacity}, config.excludes(),
                          QDir::homePath(), kForecastWindowDays);
    HistoryLock lock;
    if (!lock.isLocked()) {
        forecastError = lock.isBusy() ? tr("历史目录正被另一个进程占用")
                                      : tr("无法在 %1 中加锁").arg(DiskHistoryStore::historyDir());
        return {};
    }
    QJsonObject root = readJson(forecastPath).object();
    root.insert(QStringLiteral("current"), forecastStateJson(forecast, today.date));
    const bool quiet = isQuietHours(now.isValid() ? now : diskNow());
    const bool pending = root.value(QLatin1String("pending")).isObject();
    const bool due =
        forecastDue(forecast, today.date, limit, root.value(QLatin1String("lastSent")).toObject());
    QJsonObject notice;
    if (quiet) {
        if (due) {
            QJsonObject held = forecastNoticeJson(forecast, today.date);
            held.insert(QStringLiteral("deferred"), true);
            root.insert(QStringLiteral("pending"), held);
        }
    } else if (due || (pending && forecastWithin(forecast, limit))) {
        // What goes out is today's figure, not the one of the quiet hours.
        notice = forecastNoticeJson(forecast, today.date);
        notice.insert(QStringLiteral("alerted"), true);
        root.remove(QStringLiteral("pending"));
        root.insert(QStringLiteral("lastSent"),
                    QJsonObject{{QStringLiteral("date"), notice.value(QLatin1String("date"))},
                                {QStringLiteral("daysLeft"), notice.value(QLatin1String("daysLeft"))}});
        QJsonArray sent = root.value(QLatin1String("notices")).toArray();
        sent.append(notice);
        while (sent.size() > kMaxStoredForecasts)
            sent.removeFirst();
        root.insert(QStringLiteral("notices"), sent);
    } else if (pending) {
        root.remove(QStringLiteral("pending"));
    }
    // Not recorded, so not sent: the next cycle decides again.
    QString error;
    if (!writeFileAtomic(forecastPath, QJsonDocument(root).toJson(QJsonDocument::Compact), &error)) {
        forecastError = QStringLiteral("%1：%2").arg(forecastPath, error);
        return {};
    }
    return notice;
}

} // namespace Tavrin
