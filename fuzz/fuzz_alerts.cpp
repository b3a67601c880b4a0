// The alerts file ("alert.json"): the page's reader, and the monitor's merge of new spikes into the
// "spikes" array it finds there.

#include "disk/diskmonitor.h"
#include "fuzzsupport.h"
#include "ui/diskanalysis.h"

#include <QFile>
#include <QJsonArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const QString path = FuzzSupport::privateDir() + QStringLiteral("/alert.json");
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(input) == input.size());
    }
    const QList<DiskPage::AlertEntry> alerts = DiskPage::readAlerts(path);
    const QJsonArray spikes =
        QJsonDocument::fromJson(input).object().value(QLatin1String("spikes")).toArray();
    FUZZ_CHECK(alerts.size() <= spikes.size());
    for (const DiskPage::AlertEntry &alert : alerts) {
        FUZZ_CHECK(!alert.date.isEmpty());
        FUZZ_CHECK(alert.key().startsWith(alert.date + QLatin1Char('|')));
        Q_UNUSED(DiskPage::chartSizeText(alert.growth));
    }

    // A new spike is appended once, whatever the file held; the array stays bounded.
    Tavrin::DiskSpikeInfo spike;
    spike.date = QDate(2026, 12, 7);
    spike.growth = 3LL << 30;
    spike.causeDir = QStringLiteral("/var/cache");
    const QJsonArray merged = Tavrin::mergeSpikes(spikes, {spike});
    const QJsonArray again = Tavrin::mergeSpikes(merged, {spike});
    FUZZ_CHECK(merged == again);
    FUZZ_CHECK(merged.size() <= 200);
    qsizetype copies = 0;
    for (const QJsonValue &v : merged) {
        const QJsonObject o = v.toObject();
        copies += o.value(QLatin1String("date")).toString() == QLatin1String("2026-12-07") &&
                  o.value(QLatin1String("causeDir")).toString() == spike.causeDir;
    }
    FUZZ_CHECK(copies >= 1);
    return 0;
}
