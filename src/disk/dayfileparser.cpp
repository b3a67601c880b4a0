#include "disk/diskrecords.h"

#include <QJsonDocument>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Tavrin {

namespace {

// A strict reader for the day files this program writes, straight into the record without the
// generic JSON tree (which costs more than the parse itself when a year is loaded). It accepts
// only plain JSON of the expected shape; anything else (escapes, wrong types, odd numbers) makes
// it give up, and the caller falls back to the generic parser, which has the final word.
class DayReader
{
public:
    explicit DayReader(const QByteArray &data) : p(data.constData()), end(data.constData() + data.size()) {}

    bool read(DiskDayRecord *out)
    {
        DiskDayRecord r;
        ws();
        if (!object([&](const char *key, int len) { return dayField(key, len, &r); }))
            return false;
        ws();
        if (p != end)
            return false;
        *out = std::move(r);
        return true;
    }

private:
    static bool is(const char *key, int len, const char *name)
    {
        return int(std::strlen(name)) == len && std::memcmp(key, name, len) == 0;
    }

    void ws()
    {
        while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
            ++p;
    }

    bool take(char c)
    {
        ws();
        if (p < end && *p == c) {
            ++p;
            return true;
        }
        return false;
    }

    // A string without escapes; its raw bytes.
    bool rawString(const char **s, int *len)
    {
        ws();
        if (p >= end || *p != '"')
            return false;
        const char *start = ++p;
        while (p < end && *p != '"') {
            const unsigned char c = static_cast<unsigned char>(*p);
            if (c == '\\' || c < 0x20)
                return false;
            ++p;
        }
        if (p >= end)
            return false;
        *s = start;
        *len = int(p - start);
        ++p;
        return true;
    }

    bool string(QString *out)
    {
        const char *s = nullptr;
        int len = 0;
        if (!rawString(&s, &len))
            return false;
        bool ascii = true;
        for (int i = 0; i < len && ascii; ++i)
            ascii = static_cast<unsigned char>(s[i]) < 0x80;
        if (ascii) {
            *out = QString::fromLatin1(s, len);
            return true;
        }
        // Invalid UTF-8 is for the generic parser to judge.
        *out = QString::fromUtf8(s, len);
        return !out->contains(QChar::ReplacementCharacter);
    }

    bool number(double *out)
    {
        ws();
        const char *start = p;
        if (p < end && *p == '-')
            ++p;
        if (p >= end)
            return false;
        if (*p == '0') {
            ++p;
        } else if (*p >= '1' && *p <= '9') {
            while (p < end && *p >= '0' && *p <= '9')
                ++p;
        } else {
            return false;
        }
        if (p < end && *p == '.') {
            ++p;
            const char *digits = p;
            while (p < end && *p >= '0' && *p <= '9')
                ++p;
            if (p == digits)
                return false;
        }
        if (p < end && (*p == 'e' || *p == 'E')) {
            ++p;
            if (p < end && (*p == '+' || *p == '-'))
                ++p;
            const char *digits = p;
            while (p < end && *p >= '0' && *p <= '9')
                ++p;
            if (p == digits)
                return false;
        }
        const int len = int(p - start);
        char buffer[64];
        if (len >= int(sizeof buffer))
            return false;
        std::memcpy(buffer, start, len);
        buffer[len] = '\0';
        *out = std::strtod(buffer, nullptr);
        // Out-of-range numbers are for the generic parser to judge.
        return std::isfinite(*out);
    }

    bool bytes(qint64 *out)
    {
        double d = 0;
        if (!number(&d))
            return false;
        *out = jsonBytes(QJsonValue(d));
        return true;
    }

    bool boolean(bool *out)
    {
        ws();
        if (end - p >= 4 && std::memcmp(p, "true", 4) == 0) {
            p += 4;
            *out = true;
            return true;
        }
        if (end - p >= 5 && std::memcmp(p, "false", 5) == 0) {
            p += 5;
            *out = false;
            return true;
        }
        return false;
    }

    template <typename Field> bool object(Field field)
    {
        if (!take('{'))
            return false;
        if (take('}'))
            return true;
        do {
            const char *key = nullptr;
            int len = 0;
            if (!rawString(&key, &len) || !take(':') || !field(key, len))
                return false;
        } while (take(','));
        return take('}');
    }

    template <typename Element> bool array(Element element)
    {
        if (!take('['))
            return false;
        if (take(']'))
            return true;
        do {
            if (!element())
                return false;
        } while (take(','));
        return take(']');
    }

    bool date(QDate *out)
    {
        QString text;
        if (!string(&text))
            return false;
        *out = parseIsoDay(text);
        return true;
    }

    bool item(DiskItem *out)
    {
        return object([&](const char *key, int len) {
            if (is(key, len, "p"))
                return string(&out->path);
            if (is(key, len, "s"))
                return bytes(&out->size);
            if (is(key, len, "d"))
                return boolean(&out->isDir);
            return false;
        });
    }

    bool items(QList<DiskItem> *out)
    {
        out->clear();
        return array([&] {
            DiskItem i;
            if (!item(&i))
                return false;
            out->append(std::move(i));
            return true;
        });
    }

    bool sample(DiskSample *out)
    {
        return object([&](const char *key, int len) {
            if (is(key, len, "t")) {
                QString text;
                if (!string(&text))
                    return false;
                out->time = parseSampleTime(text);
                return true;
            }
            if (is(key, len, "total"))
                return bytes(&out->total);
            if (is(key, len, "h")) {
                out->breakdown.clear();
                return object([&](const char *k, int l) {
                    qint64 v = 0;
                    if (!bytes(&v))
                        return false;
                    QString path;
                    const QByteArray quoted = '"' + QByteArray(k, l) + '"';
                    DayReader keyReader(quoted);
                    if (!keyReader.string(&path))
                        return false;
                    out->breakdown.insert(path, v);
                    return true;
                });
            }
            return false;
        });
    }

    bool dayField(const char *key, int len, DiskDayRecord *r)
    {
        if (is(key, len, "date"))
            return date(&r->date);
        if (is(key, len, "capacity"))
            return bytes(&r->capacity);
        if (is(key, len, "total"))
            return bytes(&r->total);
        if (is(key, len, "complete"))
            return boolean(&r->complete);
        if (is(key, len, "topLevel"))
            return items(&r->topLevel);
        if (is(key, len, "drillCache")) {
            r->drillCache.clear();
            return object([&](const char *k, int l) {
                QString path;
                const QByteArray quoted = '"' + QByteArray(k, l) + '"';
                DayReader keyReader(quoted);
                if (!keyReader.string(&path))
                    return false;
                QList<DiskItem> children;
                if (!items(&children))
                    return false;
                r->drillCache.insert(path, children);
                return true;
            });
        }
        if (is(key, len, "excluded")) {
            r->scanExcluded.clear();
            r->scanExcludedKnown = true;
            return array([&] {
                QString path;
                if (!string(&path))
                    return false;
                r->scanExcluded.append(path);
                return true;
            });
        }
        if (is(key, len, "samples")) {
            r->samples.clear();
            return array([&] {
                DiskSample s;
                if (!sample(&s))
                    return false;
                r->samples.append(std::move(s));
                return true;
            });
        }
        return false;
    }

    const char *p;
    const char *end;
};

} // namespace

bool dayRecordFromBytes(const QByteArray &json, DiskDayRecord *out)
{
    if (DayReader(json).read(out))
        return true;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    *out = dayRecordFromJson(doc.object());
    return true;
}

} // namespace Tavrin
