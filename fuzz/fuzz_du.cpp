// du output: the disk scanner's line form ("<KiB>\t<path>\n"), its NUL-separated form
// ("--null"), and the backend's "du -sb" answer.

#include "backend/backend_p.h"
#include "disk/diskscanner.h"
#include "fuzzsupport.h"

#include <limits>

namespace {

void checkLine(const QByteArray &line, bool record)
{
    Tavrin::DuLine parsed;
    parsed.size = -7;
    const bool ok = record ? Tavrin::parseDuRecord(line, &parsed) : Tavrin::parseDuLine(line, &parsed);
    if (!ok)
        return;
    FUZZ_CHECK(parsed.size >= 0);
    FUZZ_CHECK(parsed.size % 1024 == 0);
    FUZZ_CHECK(!parsed.path.isEmpty() || !record);
    // The size is the decimal number before the first tab, in KiB.
    const QByteArray head = line.trimmed().left(qMax<qsizetype>(0, line.trimmed().indexOf('\t')));
    if (record)
        FUZZ_CHECK(line.left(line.indexOf('\t')).toLongLong() * 1024 == parsed.size);
    else
        FUZZ_CHECK(head.toLongLong() * 1024 == parsed.size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    for (const QByteArray &line : input.split('\n'))
        checkLine(line, false);
    for (const QByteArray &record : input.split('\0'))
        checkLine(record, true);
    FUZZ_CHECK(Tavrin::parseDuOutput(QString::fromUtf8(input)) >= 0);
    return 0;
}
