#pragma once

// What the disk page derives from loaded day records: the analysis table's rows, the timeline
// series of a followed directory, the spike days, the summary card and the CSV export. Pure
// functions over records, so the page stays a thin view and the derivations are testable alone.

#include <QCoreApplication>
#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include "backend/backend.h"
#include "disk/diskrecords.h"
#include "ui/components.h"

namespace DiskPage {

enum ViewMode { Composition = 0, Growth = 1, Ranking = 2 };

struct AnalysisRow
{
    QString path;
    QString label;
    QString sizeText;
    double share = 0.0;
    bool shareValid = false;
    bool isDir = false;
    // A single explanatory line instead of an item.
    bool message = false;
};

struct AnalysisInput
{
    ViewMode mode = Composition;
    QList<Tavrin::DiskDayRecord> records;
    QDate focused;
    QString followed;
    // The current browse position: empty path means the system disk's top level.
    QString browsePath;
    QList<Tavrin::DiskItem> browseItems;
    bool scannerBusy = false;
};

QString viewHintFor(int mode);
QList<AnalysisRow> analysisRows(const AnalysisInput &input);
// "42.0%" or "—".
QString shareText(const AnalysisRow &row);

// Size of `dir` on the day: a top-level entry, else a drilled child of its parent.
bool directorySize(const Tavrin::DiskDayRecord &record, const QString &dir, qint64 *size);
// The records that know `dir`, with their used bytes replaced by its size.
QList<Tavrin::DiskDayRecord> directorySeries(const QList<Tavrin::DiskDayRecord> &records, const QString &dir);
QSet<QDate> spikeDays(const Tavrin::DiskHistoryIndex &index, const QList<Tavrin::DiskDayRecord> &records,
                      qint64 minAlertBytes);

struct Summary
{
    QString rangeLine;
    QString netValue;
    TavrinUi::Semantic netSemantic = TavrinUi::Muted;
    QString netCaption;
    QString avgValue;
    QString maxValue;
    TavrinUi::Semantic maxSemantic = TavrinUi::Muted;
    QString maxDate; // empty: hidden
    QString streak;
    QString forecastValue;
    QString forecastCaption;
    TavrinUi::Semantic forecast = TavrinUi::Muted;
};

// The range's figures from `records`; the forecast from `recent`, the days of the last 30 up to
// `today` (whatever range is shown).
Summary summarize(const QDate &from, const QDate &to, const QList<Tavrin::DiskDayRecord> &records,
                  const QList<Tavrin::DiskDayRecord> &recent, const QDate &today);
// The days of `records` within the 30 days up to `today`.
QList<Tavrin::DiskDayRecord> recentDays(const QList<Tavrin::DiskDayRecord> &records, const QDate &today);
inline constexpr int kForecastDays = 30;

// The loaded days as CSV (UTF-8, header row, RFC 4180 quoting).
QByteArray recordsCsv(const QList<Tavrin::DiskDayRecord> &records, const QSet<QDate> &spikes);

// The alert key of the banner and the dismissed list: "date|causeDir".
struct AlertEntry
{
    QString date;
    QString causeDir;
    // A spike's growth; a forecast's growth of `causeDir` over its window.
    qint64 growth = 0;
    // A forecast notice: the disk full in `daysLeft` days, on `fullDate`.
    bool forecast = false;
    qint64 daysLeft = -1;
    QString fullDate;
    // Spikes keep the key earlier versions stored in the UI state; a forecast's is apart from them.
    QString key() const
    {
        return forecast ? date + QStringLiteral("|forecast") : date + QLatin1Char('|') + causeDir;
    }
};
// The "spikes" array of "alert.json"; empty when missing or not JSON.
QList<AlertEntry> readAlerts(const QString &file);
// The forecast notices that went out, from the "notices" array of "forecast.json".
QList<AlertEntry> readForecastAlerts(const QString &file);
// Both in date order, a day's spikes before its forecast, each list's own order kept.
QList<AlertEntry> mergeAlerts(const QList<AlertEntry> &spikes, const QList<AlertEntry> &forecasts);
// "预计 N 天后写满（日期）", or "系统盘已满".
QString forecastAlertText(const AlertEntry &entry);

// The overview card's line for the monitor's last forecast ("current" of "forecast.json"):
// `current` empty when there is none yet, `error` set when the file could not be read.
struct ForecastLine
{
    QString text;
    TavrinUi::Semantic semantic = TavrinUi::Muted;
};
ForecastLine forecastLine(const QJsonObject &current, const QString &error, const QDate &today,
                          int limitDays);

// The upgrades and rollbacks the status list dates, per local day, oldest first: "升级到 V",
// "回滚到 V" (the booted system made after the rollback's safety backup), "待生效的 V" (staged,
// not booted yet). Deployments without a time are left out.
QMap<QDate, QStringList> deploymentEvents(const QList<Tavrin::DeployInfo> &deploys);

// The size text of the chart's tooltips: "512 B", "1.50 KB" … "TB".
QString chartSizeText(qint64 bytes);

class Text
{
    Q_DECLARE_TR_FUNCTIONS(DiskUsagePage)
};

} // namespace DiskPage
