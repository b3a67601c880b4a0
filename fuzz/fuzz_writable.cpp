// The writable-layer tool's status answer ("status -j").

#include "backend/backend_p.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));
    const Tavrin::WritableStatus status = Tavrin::parseWritableStatus(text);
    // Switched on only by a real JSON true, never by "1", "yes" or a string.
    FUZZ_CHECK(status.enabled == (status.conf.value(QLatin1String("enable")).isBool() &&
                                  status.conf.value(QLatin1String("enable")).toBool()));
    FUZZ_CHECK(status.clearAfterReboot == (status.conf.value(QLatin1String("clearAfterReboot")).isBool() &&
                                           status.conf.value(QLatin1String("clearAfterReboot")).toBool()));
    // The immutability probe reads the same kind of answer.
    Q_UNUSED(Tavrin::isImmutableAnswer(text));
    return 0;
}
