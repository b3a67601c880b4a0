// The history index ("index.json"): the generic reader, and the store's reader of the newest days,
// which decodes only the end of the file when it is in the form this program writes.

#include "disk/diskhistorystore.h"
#include "disk/diskrecords.h"
#include "fuzzsupport.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::ensureApp();
    FuzzSupport::privateDir();
    const QByteArray input = FuzzSupport::bytes(data, size);

    const QJsonDocument doc = QJsonDocument::fromJson(input);
    const Tavrin::DiskHistoryIndex index = Tavrin::historyIndexFromJson(doc.object());
    for (const Tavrin::DiskDaySummary &day : index.days)
        FUZZ_CHECK(day.date.isValid());

    // Through the store, with the input as the only file of an otherwise empty history.
    const QString dir = Tavrin::DiskHistoryStore::historyDir();
    const QString path = dir + QStringLiteral("/index.json");
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(input) == input.size());
    }
    Tavrin::DiskHistoryStore store;
    // A file that is not JSON may still give its newest days to the end-of-file reader; one that
    // is must give the same days either way.
    for (int n : {1, 2, 11}) {
        const QList<Tavrin::DiskDaySummary> recent = store.loadRecentSummaries(n);
        FUZZ_CHECK(recent.size() <= n);
        if (!doc.isObject())
            continue;
        // The newest n days of the whole index, whichever way they were read.
        const QList<Tavrin::DiskDaySummary> expected =
            index.days.mid(std::max<qsizetype>(0, index.days.size() - n));
        FUZZ_CHECK(recent.size() == expected.size());
        for (qsizetype i = 0; i < recent.size(); ++i) {
            const Tavrin::DiskDaySummary &a = recent.at(i);
            const Tavrin::DiskDaySummary &b = expected.at(i);
            FUZZ_CHECK(a.date == b.date && a.file == b.file && a.capacity == b.capacity &&
                       a.total == b.total && a.growth == b.growth && a.spike == b.spike &&
                       a.top.size() == b.top.size());
        }
    }
    QFile::remove(path);
    return 0;
}
