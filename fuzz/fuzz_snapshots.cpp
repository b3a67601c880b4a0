// The control tool's snapshot list ("snapshot list -j").

#include "backend/backend_p.h"
#include "fuzzsupport.h"

#include <QJsonArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));
    const QList<Tavrin::SnapshotInfo> list = Tavrin::parseSnapshotList(text);

    // Every listed object becomes one entry, oldest first.
    const QJsonValue raw =
        Tavrin::parseJson(text).value(QLatin1String("data")).toObject().value(QLatin1String("snapshot_list"));
    qsizetype objects = 0;
    for (const QJsonValue &v : raw.toArray())
        objects += v.isObject() ? 1 : 0;
    FUZZ_CHECK(list.size() == objects);
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Tavrin::SnapshotInfo &s = list.at(i);
        FUZZ_CHECK(i == 0 || list.at(i - 1).time <= s.time);
        FUZZ_CHECK(s.isInitial == (s.name.contains(QLatin1String("First")) ||
                                   s.desc.contains(QLatin1String("System initialization"))));
        // What the page shows for every row must be computable.
        Q_UNUSED(Tavrin::formatTime(s.time));
    }
    return 0;
}
