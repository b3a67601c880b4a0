// The mount table ("/proc/self/mounts").

#include "disk/diskscanner.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const QList<Tavrin::DiskMountInfo> mounts = Tavrin::parseMountTable(input);

    // Devices mounted on "/" wherever the line stands in the table.
    QSet<QString> rootDevices;
    for (const QByteArray &line : input.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() >= 3 && f.at(1) == "/")
            rootDevices.insert(QString::fromUtf8(f.at(0)));
    }
    QSet<QString> devices;
    for (const Tavrin::DiskMountInfo &m : mounts) {
        FUZZ_CHECK(m.device.startsWith(QLatin1String("/dev/")));
        FUZZ_CHECK(!devices.contains(m.device));
        devices.insert(m.device);
        FUZZ_CHECK(m.mountPoint != QLatin1String("/"));
        FUZZ_CHECK(!rootDevices.contains(m.device));
        FUZZ_CHECK(m.fsType != QLatin1String("tmpfs") && m.fsType != QLatin1String("proc") &&
                   m.fsType != QLatin1String("overlay") && m.fsType != QLatin1String("squashfs"));
        FUZZ_CHECK(m.total == 0 && m.used == 0);
    }
    return 0;
}
