// The control tool's configuration file and the rewriter that saves the policy into it.
// Input: the file, optionally followed by a NUL and "key=value" lines of values to store.

#include "backend/backend_p.h"
#include "fuzzsupport.h"

namespace {

const QLatin1String kGlobal("[global]");

// Entry lines per key: inside a "[global]" section with their values, and outside it as whole lines.
struct Census
{
    QMultiMap<QString, QString> global;
    QStringList outside;
};

Census census(const QString &text, const QMap<QString, QString> &values)
{
    Census c;
    const QMap<QString, Tavrin::CtlConfigEntry> none;
    bool inGlobal = false;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            inGlobal = trimmed == kGlobal;
            continue;
        }
        // One line through the file parser: its key and value as the tool would read them.
        const QMap<QString, QString> entry = Tavrin::parseCtlConfig(trimmed);
        if (entry.size() != 1 || !values.contains(entry.firstKey()))
            continue;
        if (inGlobal)
            c.global.insert(entry.firstKey(), entry.first());
        else
            c.outside.append(line);
    }
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const qsizetype split = input.indexOf('\0');
    const QString original = QString::fromUtf8(split < 0 ? input : input.left(split));
    QMap<QString, QString> values;
    if (split >= 0) {
        for (const QByteArray &line : input.mid(split + 1).split('\n')) {
            const qsizetype eq = line.indexOf('=');
            const QString key = QString::fromUtf8(line.left(eq)).trimmed();
            // What the policy page may store: plain keys, one-line values.
            if (eq < 1 || key.isEmpty() || key.contains(QLatin1Char('=')) ||
                key.startsWith(QLatin1Char('#')) || key.startsWith(QLatin1Char('[')) ||
                key.startsWith(QLatin1Char(';')) || line.contains('\r') || line.contains('\0'))
                continue;
            values.insert(key, QString::fromUtf8(line.mid(eq + 1)).trimmed());
        }
    }

    const QString once = Tavrin::rewriteCtlConfig(original, values);
    const QString twice = Tavrin::rewriteCtlConfig(once, values);
    FUZZ_CHECK(once == twice);
    // Nothing to store changes nothing.
    if (values.isEmpty())
        FUZZ_CHECK(once == original);

    // Every value is read back from "[global]"; no entry of those keys appears elsewhere that was
    // not there before, and entries elsewhere are left as they were.
    const Census before = census(original, values);
    const Census after = census(once, values);
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const QList<QString> stored = after.global.values(it.key());
        FUZZ_CHECK(!stored.isEmpty());
        for (const QString &value : stored)
            FUZZ_CHECK(value == it.value());
    }
    FUZZ_CHECK(after.outside == before.outside);
    // Lines that hold none of the keys (comments, other sections, other entries) survive in order.
    const auto kept = [&values](const QString &text) {
        QStringList lines;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            const QString trimmed = line.trimmed();
            const QMap<QString, QString> entry = Tavrin::parseCtlConfig(trimmed);
            if (!trimmed.isEmpty() && trimmed != kGlobal &&
                (entry.isEmpty() || !values.contains(entry.firstKey())))
                lines.append(trimmed);
        }
        return lines;
    };
    const QStringList keptBefore = kept(original);
    const QStringList keptAfter = kept(once);
    FUZZ_CHECK(keptBefore == keptAfter);
    return 0;
}
