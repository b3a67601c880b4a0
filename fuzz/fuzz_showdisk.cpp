// The day handed over to the window ("--show-disk <day>" and the D-Bus "ShowDisk" call, which
// both read it with QDate's ISO parser and ignore invalid dates).

#include "fuzzsupport.h"
#include "startup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const char *argv[] = {"tavrin-manager", "--show-disk", input.constData(), nullptr};
    const TavrinStartup::LaunchRequest request = TavrinStartup::scanArguments(3, argv);
    // "--show-disk --monitor" still means the monitor; nothing else does.
    FUZZ_CHECK(request.monitor == (qstrcmp(input.constData(), "--monitor") == 0));
    FUZZ_CHECK(!request.monitor || !request.showDiskDate.isValid());
    const QDate day = request.showDiskDate;
    const QDate viaBus = QDate::fromString(QString::fromUtf8(input), Qt::ISODate);
    for (const QDate &d : {day, viaBus}) {
        if (!d.isValid())
            continue;
        // A day the page can focus: the week around it exists, and its text names it again.
        FUZZ_CHECK(d.addDays(-3).isValid() && d.addDays(3).isValid());
        FUZZ_CHECK(QDate::fromString(d.toString(Qt::ISODate), Qt::ISODate) == d);
    }
    return 0;
}
