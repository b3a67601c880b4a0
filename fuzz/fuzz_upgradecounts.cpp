// The counts of the upgrade check, in the tool's text and JSON forms.

#include "fuzzsupport.h"
#include "updatepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));
    const QPair<int, int> counts = UpdatePage::parseCheckCounts(text);
    // Either both counts were read or neither: never a negative count shown as a number.
    const bool none = counts.first == -1 && counts.second == -1;
    FUZZ_CHECK(none || (counts.first >= 0 && counts.second >= 0));
    if (none)
        return 0;
    // The counts read are the counts the tool meant: both of its forms of them read back the same.
    const QString plain =
        QStringLiteral("Total count: %1, Need download count: %2").arg(counts.first).arg(counts.second);
    FUZZ_CHECK(UpdatePage::parseCheckCounts(plain) == counts);
    const QString json =
        QStringLiteral("{\"data\":{\"total\":%1,\"need_download\":%2}}").arg(counts.first).arg(counts.second);
    FUZZ_CHECK(UpdatePage::parseCheckCounts(json) == counts);
    return 0;
}
