#include "disk/diskrecords.h"

#include <QJsonArray>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace Tavrin {

namespace {

QJsonValue bytesValue(qint64 bytes)
{
    // Written as a double on purpose: the files hold plain JSON numbers, exact up to 2^53.
    return QJsonValue(double(bytes));
}

QString dayText(const QDate &date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

QJsonArray itemsToJson(const QList<DiskItem> &items)
{
    QJsonArray array;
    for (const DiskItem &item : items)
        array.append(itemToJson(item));
    return array;
}

QList<DiskItem> itemsFromJson(const QJsonValue &value)
{
    QList<DiskItem> items;
    const QJsonArray array = value.toArray();
    items.reserve(array.size());
    for (const QJsonValue &element : array)
        items.append(itemFromJson(element.toObject()));
    return items;
}

int digits(const QChar *p, int n, bool *ok)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < u'0' || c > u'9') {
            *ok = false;
            return 0;
        }
        v = v * 10 + (c - u'0');
    }
    return v;
}

// "yyyy-MM-ddTHH:mm:ss.zzz" followed by "Z" or "+hh:mm"/"-hh:mm", as this program writes it.
// Parsed by hand: a day file holds about a hundred samples, and building local date-times
// through the time-zone database made loading a year several times slower than parsing it.
QDateTime parseSampleTimeText(const QString &text)
{
    const int n = int(text.size());
    if (n == 24 || n == 29) {
        const QChar *p = text.constData();
        bool ok =
            p[4] == u'-' && p[7] == u'-' && p[10] == u'T' && p[13] == u':' && p[16] == u':' && p[19] == u'.';
        const int year = digits(p, 4, &ok), month = digits(p + 5, 2, &ok), day = digits(p + 8, 2, &ok);
        const int hour = digits(p + 11, 2, &ok), minute = digits(p + 14, 2, &ok),
                  second = digits(p + 17, 2, &ok);
        const int msec = digits(p + 20, 3, &ok);
        int offset = 0;
        if (n == 24) {
            ok = ok && p[23] == u'Z';
        } else {
            ok = ok && (p[23] == u'+' || p[23] == u'-') && p[26] == u':';
            offset = (digits(p + 24, 2, &ok) * 60 + digits(p + 27, 2, &ok)) * 60;
            if (p[23] == u'-')
                offset = -offset;
        }
        const QDate date(year, month, day);
        const QTime time(hour, minute, second, msec);
        if (ok && date.isValid() && time.isValid())
            return n == 24 ? QDateTime(date, time, Qt::UTC)
                           : QDateTime(date, time, Qt::OffsetFromUTC, offset);
    }
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

QString sampleTimeText(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    // Written with its offset, so the reader need not consult the time-zone database.
    const QDateTime fixed = time.timeSpec() == Qt::LocalTime || time.timeSpec() == Qt::TimeZone
                                ? time.toOffsetFromUtc(time.offsetFromUtc())
                                : time;
    const QDate date = fixed.date();
    const int offset = fixed.offsetFromUtc();
    // Qt's formatter costs more than the rest of a day file's encoding; it stays for the rare
    // years and offsets this one does not write the same way.
    if (date.year() < 1 || date.year() > 9999 || offset % 60 != 0)
        return fixed.toString(Qt::ISODateWithMs);
    const QTime t = fixed.time();
    char text[30];
    char *out = text;
    const auto put = [&out](int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10)
            out[i] = char('0' + value % 10);
        out += width;
    };
    const auto sep = [&out](char c) { *out++ = c; };
    put(date.year(), 4), sep('-'), put(date.month(), 2), sep('-'), put(date.day(), 2), sep('T');
    put(t.hour(), 2), sep(':'), put(t.minute(), 2), sep(':'), put(t.second(), 2), sep('.'), put(t.msec(), 3);
    if (fixed.timeSpec() == Qt::UTC) {
        sep('Z');
    } else {
        const int minutes = std::abs(offset) / 60;
        sep(offset < 0 ? '-' : '+'), put(minutes / 60, 2), sep(':'), put(minutes % 60, 2);
    }
    const int n = int(out - text);
    return QString::fromLatin1(text, n);
}

// A day file's text as QJsonDocument writes it (compact, keys sorted), without building the tree:
// the tree and its writer cost more than the rest of a monitor cycle.
class DayWriter
{
public:
    QByteArray out;

    void literal(const char *text) { out.append(text); }
    void key(const char *name)
    {
        out.append('"');
        out.append(name);
        out.append("\":");
    }
    // The tree holds a double, kept as an integer while that adds no precision (|v| <= 2^53).
    void number(qint64 bytes)
    {
        constexpr qint64 exact = qint64(1) << 53;
        if (bytes >= -exact && bytes <= exact)
            out.append(QByteArray::number(bytes));
        else
            out.append(QByteArray::number(double(bytes), 'g', QLocale::FloatingPointShortest));
    }
    void boolean(bool value) { out.append(value ? "true" : "false"); }
    void string(const QString &text);
    void items(const QList<DiskItem> &items);
    void sample(const DiskSample &sample);
};

void DayWriter::string(const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *const end = p + text.size();
    while (p != end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            if (u >= 0x20 && u != u'"' && u != u'\\') {
                out.append(char(u));
                continue;
            }
            out.append('\\');
            switch (u) {
            case u'"':
                out.append('"');
                break;
            case u'\\':
                out.append('\\');
                break;
            case u'\b':
                out.append('b');
                break;
            case u'\f':
                out.append('f');
                break;
            case u'\n':
                out.append('n');
                break;
            case u'\r':
                out.append('r');
                break;
            case u'\t':
                out.append('t');
                break;
            default:
                out.append("u00");
                out.append(hex[u >> 4]);
                out.append(hex[u & 0xf]);
            }
        } else if (u < 0x800) {
            out.append(char(0xc0 | (u >> 6)));
            out.append(char(0x80 | (u & 0x3f)));
        } else if (!QChar::isSurrogate(u)) {
            out.append(char(0xe0 | (u >> 12)));
            out.append(char(0x80 | ((u >> 6) & 0x3f)));
            out.append(char(0x80 | (u & 0x3f)));
        } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
            const char32_t c = QChar::surrogateToUcs4(u, *p++);
            out.append(char(0xf0 | (c >> 18)));
            out.append(char(0x80 | ((c >> 12) & 0x3f)));
            out.append(char(0x80 | ((c >> 6) & 0x3f)));
            out.append(char(0x80 | (c & 0x3f)));
        } else {
            // A lone surrogate has no UTF-8 form: escaped, as Qt's writer does.
            out.append("\\u");
            for (int shift = 12; shift >= 0; shift -= 4)
                out.append(hex[(u >> shift) & 0xf]);
        }
    }
    out.append('"');
}

void DayWriter::items(const QList<DiskItem> &items)
{
    out.append('[');
    for (qsizetype i = 0; i < items.size(); ++i) {
        const DiskItem &item = items.at(i);
        out.append(i > 0 ? ",{" : "{");
        key("d"), boolean(item.isDir), out.append(','), key("p"), string(item.path);
        out.append(','), key("s"), number(item.size), out.append('}');
    }
    out.append(']');
}

void DayWriter::sample(const DiskSample &sample)
{
    out.append('{');
    key("h");
    out.append('{');
    for (auto it = sample.breakdown.cbegin(); it != sample.breakdown.cend(); ++it) {
        if (it != sample.breakdown.cbegin())
            out.append(',');
        string(it.key());
        out.append(':');
        number(it.value());
    }
    out.append("},");
    key("t"), string(sampleTimeText(sample.time)), out.append(',');
    key("total"), number(sample.total), out.append('}');
}

} // namespace

QDateTime parseSampleTime(const QString &text)
{
    return parseSampleTimeText(text);
}

qint64 jsonBytes(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double d = std::trunc(value.toDouble());
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (d <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(d);
}

QDate parseIsoDay(const QString &text)
{
    if (text.size() != 10)
        return {};
    for (int i = 0; i < 10; ++i) {
        const QChar c = text.at(i);
        const bool dash = (i == 4 || i == 7);
        if (dash ? c != QLatin1Char('-') : (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return {};
    }
    return QDate::fromString(text, Qt::ISODate);
}

QDate dayFileDate(const QString &fileName)
{
    if (!fileName.endsWith(QLatin1String(".json")) || fileName == QLatin1String("index.json"))
        return {};
    return parseIsoDay(fileName.left(10));
}

QJsonObject itemToJson(const DiskItem &item)
{
    return QJsonObject{{QStringLiteral("p"), item.path},
                       {QStringLiteral("s"), bytesValue(item.size)},
                       {QStringLiteral("d"), item.isDir}};
}

DiskItem itemFromJson(const QJsonObject &obj)
{
    DiskItem item;
    item.path = obj.value(QLatin1String("p")).toString();
    item.size = jsonBytes(obj.value(QLatin1String("s")));
    item.isDir = obj.value(QLatin1String("d")).toBool(true);
    return item;
}

QJsonObject sampleToJson(const DiskSample &sample)
{
    QJsonObject breakdown;
    for (auto it = sample.breakdown.cbegin(); it != sample.breakdown.cend(); ++it)
        breakdown.insert(it.key(), bytesValue(it.value()));
    return QJsonObject{{QStringLiteral("t"), sampleTimeText(sample.time)},
                       {QStringLiteral("total"), bytesValue(sample.total)},
                       {QStringLiteral("h"), breakdown}};
}

DiskSample sampleFromJson(const QJsonObject &obj)
{
    DiskSample sample;
    sample.time = parseSampleTimeText(obj.value(QLatin1String("t")).toString());
    sample.total = jsonBytes(obj.value(QLatin1String("total")));
    const QJsonObject breakdown = obj.value(QLatin1String("h")).toObject();
    for (auto it = breakdown.constBegin(); it != breakdown.constEnd(); ++it)
        sample.breakdown.insert(it.key(), jsonBytes(it.value()));
    return sample;
}

QJsonObject daySummaryToJson(const DiskDaySummary &summary)
{
    return QJsonObject{
        {QStringLiteral("date"), dayText(summary.date)},     {QStringLiteral("f"), summary.file},
        {QStringLiteral("c"), bytesValue(summary.capacity)}, {QStringLiteral("t"), bytesValue(summary.total)},
        {QStringLiteral("g"), bytesValue(summary.growth)},   {QStringLiteral("spike"), summary.spike},
        {QStringLiteral("top"), itemsToJson(summary.top)}};
}

DiskDaySummary daySummaryFromJson(const QJsonObject &obj)
{
    DiskDaySummary summary;
    summary.date = parseIsoDay(obj.value(QLatin1String("date")).toString());
    summary.file = obj.value(QLatin1String("f")).toString();
    summary.capacity = jsonBytes(obj.value(QLatin1String("c")));
    summary.total = jsonBytes(obj.value(QLatin1String("t")));
    summary.growth = jsonBytes(obj.value(QLatin1String("g")));
    summary.spike = obj.value(QLatin1String("spike")).toBool(false);
    summary.top = itemsFromJson(obj.value(QLatin1String("top")));
    return summary;
}

QJsonObject dayRecordToJson(const DiskDayRecord &record)
{
    QJsonObject drill;
    for (auto it = record.drillCache.cbegin(); it != record.drillCache.cend(); ++it)
        drill.insert(it.key(), itemsToJson(it.value()));
    QJsonArray samples;
    for (const DiskSample &sample : record.samples)
        samples.append(sampleToJson(sample));
    QJsonObject day{{QStringLiteral("date"), dayText(record.date)},
                    {QStringLiteral("capacity"), bytesValue(record.capacity)},
                    {QStringLiteral("total"), bytesValue(record.total)},
                    {QStringLiteral("complete"), record.complete},
                    {QStringLiteral("topLevel"), itemsToJson(record.topLevel)},
                    {QStringLiteral("drillCache"), drill},
                    {QStringLiteral("samples"), samples}};
    if (record.scanExcludedKnown)
        day.insert(QStringLiteral("excluded"), QJsonArray::fromStringList(record.scanExcluded));
    return day;
}

QByteArray dayRecordToBytes(const DiskDayRecord &record)
{
    DayWriter w;
    w.out.reserve(96 + 64 * (record.topLevel.size() + record.samples.size()));
    w.out.append('{');
    w.key("capacity"), w.number(record.capacity), w.out.append(',');
    w.key("complete"), w.boolean(record.complete), w.out.append(',');
    w.key("date"), w.string(dayText(record.date)), w.out.append(',');
    w.key("drillCache"), w.out.append('{');
    for (auto it = record.drillCache.cbegin(); it != record.drillCache.cend(); ++it) {
        if (it != record.drillCache.cbegin())
            w.out.append(',');
        w.string(it.key());
        w.out.append(':');
        w.items(it.value());
    }
    w.out.append("},");
    if (record.scanExcludedKnown) {
        w.key("excluded"), w.out.append('[');
        for (qsizetype i = 0; i < record.scanExcluded.size(); ++i) {
            if (i > 0)
                w.out.append(',');
            w.string(record.scanExcluded.at(i));
        }
        w.out.append("],");
    }
    w.key("samples"), w.out.append('[');
    for (qsizetype i = 0; i < record.samples.size(); ++i) {
        if (i > 0)
            w.out.append(',');
        w.sample(record.samples.at(i));
    }
    w.out.append("],");
    w.key("topLevel"), w.items(record.topLevel), w.out.append(',');
    w.key("total"), w.number(record.total), w.out.append('}');
    return w.out;
}

DiskDayRecord dayRecordFromJson(const QJsonObject &obj)
{
    DiskDayRecord record;
    record.date = parseIsoDay(obj.value(QLatin1String("date")).toString());
    record.capacity = jsonBytes(obj.value(QLatin1String("capacity")));
    record.total = jsonBytes(obj.value(QLatin1String("total")));
    record.complete = obj.value(QLatin1String("complete")).toBool(true);
    record.topLevel = itemsFromJson(obj.value(QLatin1String("topLevel")));
    const QJsonObject drill = obj.value(QLatin1String("drillCache")).toObject();
    for (auto it = drill.constBegin(); it != drill.constEnd(); ++it)
        record.drillCache.insert(it.key(), itemsFromJson(it.value()));
    const QJsonValue excluded = obj.value(QLatin1String("excluded"));
    if (excluded.isArray()) {
        record.scanExcludedKnown = true;
        for (const QJsonValue &path : excluded.toArray())
            record.scanExcluded.append(path.toString());
    }
    const QJsonArray samples = obj.value(QLatin1String("samples")).toArray();
    record.samples.reserve(samples.size());
    for (const QJsonValue &sample : samples)
        record.samples.append(sampleFromJson(sample.toObject()));
    return record;
}

QJsonObject historyIndexToJson(const DiskHistoryIndex &index)
{
    QJsonArray days;
    for (const DiskDaySummary &summary : index.days)
        days.append(daySummaryToJson(summary));
    return QJsonObject{{QStringLiteral("version"), 1},
                       {QStringLiteral("first"), dayText(index.first)},
                       {QStringLiteral("last"), dayText(index.last)},
                       {QStringLiteral("storage"), bytesValue(index.storage)},
                       {QStringLiteral("budget"), bytesValue(index.budget)},
                       {QStringLiteral("days"), days}};
}

DiskHistoryIndex historyIndexFromJson(const QJsonObject &obj)
{
    DiskHistoryIndex index;
    const QJsonArray days = obj.value(QLatin1String("days")).toArray();
    for (const QJsonValue &day : days) {
        // A summary without a valid date cannot be placed in the history.
        const DiskDaySummary summary = daySummaryFromJson(day.toObject());
        if (summary.date.isValid())
            index.days.append(summary);
    }
    index.first = parseIsoDay(obj.value(QLatin1String("first")).toString());
    index.last = parseIsoDay(obj.value(QLatin1String("last")).toString());
    index.storage = jsonBytes(obj.value(QLatin1String("storage")));
    return index;
}

} // namespace Tavrin
