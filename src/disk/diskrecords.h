#pragma once

#include <QDate>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>

namespace Tavrin {

/// One directory or file and its size in bytes (in growth lists: bytes of growth).
struct DiskItem
{
    QString path;
    qint64 size = 0;
    bool isDir = true;
};

/// One measurement of the system disk taken by a monitor cycle.
struct DiskSample
{
    QDateTime time;
    qint64 total = 0;
    /// Bytes per path; carried through files, never filled by this program.
    QMap<QString, qint64> breakdown;
};

/// Everything known about one day; stored as one day file.
struct DiskDayRecord
{
    QDate date;
    qint64 capacity = 0;
    qint64 total = 0;
    QList<DiskItem> topLevel;
    /// Drilled directory path → its direct children.
    QMap<QString, QList<DiskItem>> drillCache;
    QList<DiskSample> samples;
    /// False when the top-level scan behind `topLevel` ended incomplete.
    bool complete = true;
    /// The paths the monitor's top-level scan left out ("excluded"), absolute and sorted. Unknown
    /// (`scanExcludedKnown` false, no key in the file) for files of older versions and for
    /// top-level lists written by others.
    QStringList scanExcluded;
    bool scanExcludedKnown = false;
};

/// One day's line in the history index.
struct DiskDaySummary
{
    QDate date;
    QString file;
    qint64 capacity = 0;
    qint64 total = 0;
    qint64 growth = 0;
    bool spike = false;
    QList<DiskItem> top;
};

/// The history index ("index.json") in memory.
struct DiskHistoryIndex
{
    QList<DiskDaySummary> days;
    QDate first;
    QDate last;
    qint64 storage = 0;
    qint64 budget = 0;
};

/// One growth alert: a day whose growth reached the threshold.
struct DiskSpikeInfo
{
    QDate date;
    qint64 growth = 0;
    QString causeDir;
    QList<DiskItem> causes;
    bool alerted = false;
};

/// Statistics over a range of day records; computed, never stored.
struct DiskRangeStats
{
    qint64 startTotal = 0;
    qint64 endTotal = 0;
    qint64 netGrowth = 0;
    qint64 avgDailyGrowth = 0;
    qint64 maxDailyGrowth = 0;
    QDate maxGrowthDate;
    QDate longestStreakStart;
    qint64 daysToFull = -1;
    QList<DiskItem> topGrowth;
};

/// One mounted partition other than the system disk.
struct DiskMountInfo
{
    QString device;
    QString mountPoint;
    QString fsType;
    qint64 total = 0;
    qint64 used = 0;
};

/// Item object: {"p": path, "s": size, "d": isDir}.
QJsonObject itemToJson(const DiskItem &item);
DiskItem itemFromJson(const QJsonObject &obj);
/// Sample object: {"t": ISO time with milliseconds, "total": bytes, "h": {path: bytes}}.
QJsonObject sampleToJson(const DiskSample &sample);
DiskSample sampleFromJson(const QJsonObject &obj);
/// Summary object of the index: {"date", "f", "c", "t", "g", "spike", "top"}.
QJsonObject daySummaryToJson(const DiskDaySummary &summary);
DiskDaySummary daySummaryFromJson(const QJsonObject &obj);
/// Day object (the content of one day file).
QJsonObject dayRecordToJson(const DiskDayRecord &record);
DiskDayRecord dayRecordFromJson(const QJsonObject &obj);
/// The text of a day file: the bytes QJsonDocument writes for dayRecordToJson() in compact form,
/// encoded directly.
QByteArray dayRecordToBytes(const DiskDayRecord &record);
/// A day record from the bytes of a day file; false when they are not a JSON object. Day files as
/// this program writes them are read without building a JSON tree.
bool dayRecordFromBytes(const QByteArray &json, DiskDayRecord *out);
/// Index object ("index.json"); `budget` of the result is left 0 for the caller to fill.
QJsonObject historyIndexToJson(const DiskHistoryIndex &index);
DiskHistoryIndex historyIndexFromJson(const QJsonObject &obj);

/// Byte count from a JSON value: numbers truncated toward zero, 0 for anything else.
qint64 jsonBytes(const QJsonValue &value);
/// "yyyy-MM-dd" of a day file name ("2026-12-07.json", "2026-12-07-old.json"); invalid when the
/// name is not a day file ("index.json", "alert.json", names not starting with a date).
QDate dayFileDate(const QString &fileName);
/// A sample time as day files hold it (ISO 8601 with milliseconds, with or without an offset).
QDateTime parseSampleTime(const QString &text);
/// Strict "yyyy-MM-dd" parse: exactly ten characters forming a valid date, else invalid.
QDate parseIsoDay(const QString &text);

} // namespace Tavrin

Q_DECLARE_METATYPE(Tavrin::DiskItem)
Q_DECLARE_METATYPE(Tavrin::DiskDayRecord)
Q_DECLARE_METATYPE(Tavrin::DiskDaySummary)
Q_DECLARE_METATYPE(Tavrin::DiskHistoryIndex)
Q_DECLARE_METATYPE(Tavrin::DiskSpikeInfo)
Q_DECLARE_METATYPE(Tavrin::DiskRangeStats)
Q_DECLARE_METATYPE(Tavrin::DiskMountInfo)
