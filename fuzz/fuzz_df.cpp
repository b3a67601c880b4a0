// df output: the root line ("df -B1 /") and the partition lines ("df -B1 <mount points>").

#include "disk/diskscanner.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    qint64 total = -1;
    qint64 used = -1;
    if (Tavrin::parseDfRootOutput(input, &total, &used)) {
        FUZZ_CHECK(total >= 0);
        FUZZ_CHECK(used >= 0);
    } else {
        FUZZ_CHECK(total == -1 && used == -1);
    }

    // Candidates named by the input itself, so the device match is reached.
    QList<Tavrin::DiskMountInfo> candidates;
    for (const QByteArray &line : input.split('\n')) {
        const QByteArray device = line.trimmed().split(' ').value(0);
        if (!device.isEmpty())
            candidates.append(
                {QString::fromUtf8(device), QStringLiteral("/mnt"), QStringLiteral("ext4"), 0, 0});
    }
    const QList<Tavrin::DiskMountInfo> measured = Tavrin::applyDfPartitions(candidates, input);
    FUZZ_CHECK(measured.size() <= candidates.size());
    QSet<QString> devices;
    for (qsizetype i = 0; i < measured.size(); ++i) {
        const Tavrin::DiskMountInfo &m = measured.at(i);
        FUZZ_CHECK(m.total >= 0 && m.used >= 0);
        FUZZ_CHECK(i == 0 || measured.at(i - 1).used >= m.used);
        FUZZ_CHECK(!devices.contains(m.device));
        devices.insert(m.device);
    }
    return 0;
}
