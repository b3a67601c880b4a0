// History store and du parser benchmarks.
// Run: build/bench/disk/bench_diskengine
#include "disk/diskhistorystore.h"
#include "disk/diskscanner.h"
#include "disk/jsonfileio.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace Tavrin;

namespace {

DiskDayRecord sizedDay(const QDate &date)
{
    DiskDayRecord day;
    day.date = date;
    day.total = 50LL << 30;
    day.capacity = 500LL << 30;
    for (int k = 0; k < 40; ++k)
        day.topLevel.append({QString("/dir%1").arg(k), qint64(k) << 30, true});
    for (int d = 0; d < 5; ++d) {
        QList<DiskItem> children;
        for (int k = 0; k < 40; ++k)
            children.append({QString("/dir%1/child-%2").arg(d).arg(k), qint64(k) << 20, k % 3 != 0});
        day.drillCache.insert(QString("/dir%1").arg(d), children);
    }
    for (int s = 0; s < 96; ++s) {
        DiskSample sample;
        sample.time = QDateTime(date, QTime(0, 0).addSecs(s * 900));
        sample.total = (50LL << 30) + s;
        day.samples.append(sample);
    }
    return day;
}

double bestOf(int rounds, const std::function<void()> &work)
{
    double best = 1e18;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    const QString dir = DiskHistoryStore::historyDir();
    const QDate last = QDate::currentDate();
    qint64 bytes = 0;
    for (int i = 0; i < 400; ++i) {
        const QJsonDocument doc(dayRecordToJson(sizedDay(last.addDays(-i))));
        writeJsonAtomic(DiskHistoryStore::dayFilePath(last.addDays(-i)), doc);
        bytes += doc.toJson(QJsonDocument::Compact).size();
    }
    std::printf("day files: 400, average %.1f KB\n", bytes / 400.0 / 1000.0);

    const QDate from = last.addDays(-364);
    int loaded = 0;
    const double rangeMs = bestOf(9, [&] {
        DiskHistoryStore store; // cold memory cache
        loaded = int(store.loadRange(from, last).size());
    });
    const double parseMs = bestOf(9, [&] {
        int n = 0;
        for (QDate d = from; d <= last; d = d.addDays(1)) {
            QFile f(dir + "/" + d.toString(Qt::ISODate) + ".json");
            if (f.open(QIODevice::ReadOnly) && QJsonDocument::fromJson(f.readAll()).isObject())
                ++n;
        }
        loaded = std::max(loaded, n);
    });
    std::printf("loadRange 365 days: %.1f ms; QJsonDocument alone: %.1f ms; ratio %.2fx (target <= 1.3)\n",
                rangeMs, parseMs, rangeMs / parseMs);

    const double readMs = bestOf(9, [&] {
        for (QDate d = from; d <= last; d = d.addDays(1))
            readJson(DiskHistoryStore::dayFilePath(d));
    });
    const double decodeMs = bestOf(9, [&] {
        for (QDate d = from; d <= last; d = d.addDays(1))
            dayRecordFromJson(readJson(DiskHistoryStore::dayFilePath(d)).object());
    });
    std::printf("  of which readJson: %.1f ms, readJson + decode: %.1f ms\n", readMs, decodeMs);

    const double rebuildMs = bestOf(9, [&] {
        DiskHistoryStore store;
        store.rebuildIndex();
    });
    std::printf("rebuildIndex over 400 day files: %.1f ms\n", rebuildMs);

    QByteArray output;
    const int lines = 2000000;
    output.reserve(lines * 40);
    for (int i = 0; i < lines; ++i)
        output += QByteArray::number(i * 13) + "\t/usr/share/some/dir/name-" + QByteArray::number(i) + "\r\n";
    qint64 total = 0;
    const double duMs = bestOf(3, [&] {
        int start = 0;
        DuLine parsed;
        for (;;) {
            const int nl = output.indexOf('\n', start);
            if (nl < 0)
                break;
            if (parseDuLine(output.mid(start, nl - start), &parsed))
                total += parsed.size;
            start = nl + 1;
        }
    });
    std::printf("du parsing: %d lines in %.1f ms = %.2f million lines/s (target >= 1) [%lld]\n", lines, duMs,
                lines / duMs / 1000.0, static_cast<long long>(total % 7));
    return 0;
}
