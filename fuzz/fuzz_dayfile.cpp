// A day file of the disk history. The fast reader must agree with the generic JSON reader on
// every input: equal records, or both reject.

#include "disk/diskrecords.h"
#include "fuzzsupport.h"

namespace {

bool sameItems(const QList<Tavrin::DiskItem> &a, const QList<Tavrin::DiskItem> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).path != b.at(i).path || a.at(i).size != b.at(i).size || a.at(i).isDir != b.at(i).isDir)
            return false;
    }
    return true;
}

bool sameTime(const QDateTime &a, const QDateTime &b)
{
    if (a.isValid() != b.isValid())
        return false;
    return !a.isValid() || (a == b && a.offsetFromUtc() == b.offsetFromUtc());
}

bool sameRecord(const Tavrin::DiskDayRecord &a, const Tavrin::DiskDayRecord &b)
{
    if (a.date != b.date || a.capacity != b.capacity || a.total != b.total || a.complete != b.complete ||
        !sameItems(a.topLevel, b.topLevel) || a.drillCache.keys() != b.drillCache.keys() ||
        a.samples.size() != b.samples.size())
        return false;
    for (auto it = a.drillCache.constBegin(); it != a.drillCache.constEnd(); ++it) {
        if (!sameItems(it.value(), b.drillCache.value(it.key())))
            return false;
    }
    for (qsizetype i = 0; i < a.samples.size(); ++i) {
        const Tavrin::DiskSample &x = a.samples.at(i);
        const Tavrin::DiskSample &y = b.samples.at(i);
        if (!sameTime(x.time, y.time) || x.total != y.total || x.breakdown != y.breakdown)
            return false;
    }
    return true;
}

// Sizes the files hold exactly: JSON numbers are doubles.
bool exact(qint64 bytes)
{
    return bytes >= -(qint64(1) << 53) && bytes <= (qint64(1) << 53);
}

bool exactRecord(const Tavrin::DiskDayRecord &r)
{
    bool ok = exact(r.capacity) && exact(r.total);
    for (const Tavrin::DiskItem &item : r.topLevel)
        ok = ok && exact(item.size);
    for (const QList<Tavrin::DiskItem> &items : r.drillCache) {
        for (const Tavrin::DiskItem &item : items)
            ok = ok && exact(item.size);
    }
    for (const Tavrin::DiskSample &sample : r.samples) {
        ok = ok && exact(sample.total);
        for (qint64 bytes : sample.breakdown)
            ok = ok && exact(bytes);
    }
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    Tavrin::DiskDayRecord fast;
    const bool fastOk = Tavrin::dayRecordFromBytes(input, &fast);

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(input, &error);
    const bool genericOk = error.error == QJsonParseError::NoError && doc.isObject();
    FUZZ_CHECK(fastOk == genericOk);
    if (!genericOk)
        return 0;
    const Tavrin::DiskDayRecord generic = Tavrin::dayRecordFromJson(doc.object());
    FUZZ_CHECK(sameRecord(fast, generic));

    // What is read is written back and read again unchanged.
    if (!exactRecord(fast))
        return 0;
    const QByteArray written = QJsonDocument(Tavrin::dayRecordToJson(fast)).toJson(QJsonDocument::Compact);
    Tavrin::DiskDayRecord again;
    FUZZ_CHECK(Tavrin::dayRecordFromBytes(written, &again));
    FUZZ_CHECK(sameRecord(fast, again));
    return 0;
}
