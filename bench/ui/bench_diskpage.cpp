// Disk page benchmarks: a year requested on the page until the chart has painted it, against the
// bare one-thread parse of the same day files (the load itself parses on every core); one repaint
// of a 730-day chart; the longest stall of the GUI thread while a year loads, and while another
// writer (as the monitor does) rewrites today's file during the load until the page shows it.
// Run: build/bench/ui/bench_diskpage [rounds]
#include "disk/diskhistorystore.h"
#include "disk/jsonfileio.h"
#include "diskusagepage.h"
#include "ui/usagechart.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cstdio>
#include <ctime>

using namespace Tavrin;

namespace {

// A day as a monitor running all day leaves it: 40 top-level entries, five drilled directories,
// a sample every 15 minutes.
DiskDayRecord monitoredDay(const QDate &date, int n)
{
    DiskDayRecord day;
    day.date = date;
    day.total = (50LL << 30) + qint64(n) * (90LL << 20);
    day.capacity = 500LL << 30;
    for (int k = 0; k < 40; ++k)
        day.topLevel.append({QString("/dir%1").arg(k), (qint64(k) << 28) + n, true});
    for (int d = 0; d < 5; ++d) {
        QList<DiskItem> children;
        for (int k = 0; k < 40; ++k)
            children.append({QString("/dir%1/child-%2").arg(d).arg(k), qint64(k) << 20, k % 3 != 0});
        day.drillCache.insert(QString("/dir%1").arg(d), children);
    }
    for (int s = 0; s < 96; ++s) {
        DiskSample sample;
        sample.time = QDateTime(date, QTime(0, 0).addSecs(s * 900));
        sample.total = day.total + s;
        day.samples.append(sample);
    }
    return day;
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').mid(0, 3).join(' ') : QByteArray("?");
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
    qputenv("TAVRIN_CONFIG_QSETTINGS", "1");
    // Reduced motion, so "painted" means the whole year and not an animation's first frame.
    QDir().mkpath(home.path() + "/bin");
    QFile gsettings(home.path() + "/bin/gsettings");
    gsettings.open(QIODevice::WriteOnly);
    gsettings.write("#!/bin/sh\necho false\n");
    gsettings.close();
    gsettings.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("PATH", QFile::encodeName(home.path() + "/bin:") + qgetenv("PATH"));

    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 7;

    const QDate last = QDate::currentDate();
    const QDate from = last.addDays(-364);
    qint64 bytes = 0;
    for (int i = 0; i < 365; ++i) {
        const QJsonDocument doc(dayRecordToJson(monitoredDay(last.addDays(-i), 365 - i)));
        writeJsonAtomic(DiskHistoryStore::dayFilePath(last.addDays(-i)), doc);
        bytes += doc.toJson(QJsonDocument::Compact).size();
    }
    std::printf("day files: 365, average %.1f KB\n", bytes / 365.0 / 1000.0);
    const QString dir = DiskHistoryStore::historyDir();

    QList<double> parse;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        int n = 0;
        for (QDate d = from; d <= last; d = d.addDays(1)) {
            QFile f(dir + "/" + d.toString(Qt::ISODate) + ".json");
            DiskDayRecord record;
            if (f.open(QIODevice::ReadOnly) && dayRecordFromBytes(f.readAll(), &record))
                ++n;
        }
        parse << t.nsecsElapsed() / 1e6;
        if (n != 365)
            std::printf("bare parse read %d days\n", n);
    }

    QList<double> storeRange;
    for (int r = 0; r < rounds; ++r) {
        DiskHistoryStore store;
        QElapsedTimer t;
        t.start();
        store.loadRange(from, last);
        storeRange << t.nsecsElapsed() / 1e6;
    }

    // Two passes per round, each on a fresh page (its store's memory cache cold): one timed from
    // the request to the painted chart with the event loop sleeping between events, one with a
    // 1 ms heartbeat whose longest late arrival is the longest time the GUI thread was busy.
    // The monitor's part: today's file replaced atomically every 20 ms, each time with more used.
    std::atomic<bool> rewriting{false};
    std::atomic<qint64> written{0};
    auto rewriter = [&] {
        int k = 0;
        while (rewriting.load()) {
            DiskDayRecord day = monitoredDay(last, 365);
            day.total += qint64(++k) << 20;
            writeFileAtomic(DiskHistoryStore::dayFilePath(last), dayRecordToBytes(day));
            written.store(day.total);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    };
    auto loadYear = [&](bool heartbeat, double *stall, double *guiCpu, bool monitor = false) {
        DiskUsagePage page(nullptr);
        page.resize(1280, 900);
        page.show();
        // Timed from a settled page, as a person picks a range: its own first range (15 days),
        // probes and first paint done.
        QElapsedTimer settle;
        settle.start();
        while ((page.pendingRangeId() != 0 || page.taskCount() > 0) && settle.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        QElapsedTimer beat;
        double longest = 0;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            longest = std::max(longest, beat.nsecsElapsed() / 1e6 - 1.0);
            beat.restart();
        });
        const double cpu0 = threadCpuMs();
        QElapsedTimer t;
        t.start();
        if (heartbeat) {
            beat.start();
            timer.start();
        }
        std::thread writer;
        if (monitor) {
            rewriting.store(true);
            writer = std::thread(rewriter);
        }
        page.requestRange(from, last);
        while (page.pendingRangeId() != 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        page.chart()->repaint();
        const double ms = t.nsecsElapsed() / 1e6;
        if (monitor) {
            // Stop the writer mid-load's aftermath, then wait for the page to show its last write.
            QElapsedTimer more;
            more.start();
            while (more.elapsed() < 300)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            rewriting.store(false);
            writer.join();
            QElapsedTimer shown;
            shown.start();
            while ((page.chart()->records().isEmpty() || page.chart()->records().constLast().total != written.load()) &&
                   shown.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (page.chart()->records().constLast().total != written.load())
                std::printf("page did not show the last rewrite of today\n");
        }
        if (guiCpu)
            *guiCpu = threadCpuMs() - cpu0;
        timer.stop();
        if (stall)
            *stall = longest;
        if (page.chart()->records().size() != 365)
            std::printf("page loaded %d days\n", int(page.chart()->records().size()));
        while (page.taskCount() > 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return ms;
    };
    QList<double> toPainted;
    QList<double> guiCpus;
    QList<double> stalls;
    QList<double> monitorStalls;
    for (int r = 0; r < rounds; ++r) {
        double guiCpu = 0;
        toPainted << loadYear(false, nullptr, &guiCpu);
        guiCpus << guiCpu;
        double stall = 0;
        loadYear(true, &stall, nullptr);
        stalls << stall;
        loadYear(true, &stall, nullptr, true);
        monitorStalls << stall;
        // Today as the other passes found it.
        writeJsonAtomic(DiskHistoryStore::dayFilePath(last), QJsonDocument(dayRecordToJson(monitoredDay(last, 365))));
    }

    QList<DiskDayRecord> twoYears;
    for (int i = 729; i >= 0; --i) {
        DiskDayRecord r;
        r.date = last.addDays(-i);
        r.total = (50LL << 30) + qint64(730 - i) * (90LL << 20);
        twoYears << r;
    }
    TavrinUi::UsageChart chart;
    chart.resize(1600, 420);
    chart.setRecords(twoYears);
    chart.setSpikeDays({last.addDays(-30), last.addDays(-200), last.addDays(-500)});
    chart.setSelectedDate(last.addDays(-10));
    QImage canvas(chart.size(), QImage::Format_ARGB32_Premultiplied);
    QList<double> repaint;
    for (int r = 0; r < std::max(rounds, 15); ++r) {
        canvas.fill(Qt::transparent);
        QElapsedTimer t;
        t.start();
        chart.render(&canvas);
        repaint << t.nsecsElapsed() / 1e6;
    }

    const double p = median(parse);
    const double page = median(toPainted);
    std::printf("medians of %d rounds; %d cores; load average %s\n", rounds, QThread::idealThreadCount(),
                loadAverage().constData());
    std::printf("bare parse of 365 day files (one thread):   %.1f ms\n", p);
    std::printf("DiskHistoryStore::loadRange (all cores):    %.1f ms\n", median(storeRange));
    std::printf(
        "requestRange(365 days) to chart painted:    %.1f ms (%.2fx the bare parse, target <= 1.2x; the load on all cores)\n",
        page, p > 0 ? page / p : 0.0);
    std::printf("  of which GUI-thread CPU time:             %.1f ms\n", median(guiCpus));
    std::printf("longest GUI-thread stall while a year loads: %.1f ms, worst %.1f ms\n", median(stalls),
                *std::max_element(stalls.cbegin(), stalls.cend()));
    std::printf("longest GUI-thread stall, today rewritten every 20 ms during the load until shown: %.1f ms, "
                "worst %.1f ms (target < 50 ms)\n",
                median(monitorStalls), *std::max_element(monitorStalls.cbegin(), monitorStalls.cend()));
    std::printf("one repaint of a 730-day chart (1600x420):  %.2f ms\n", median(repaint));
    return 0;
}
