// Wall time and peak memory of one "tavrin-manager --monitor" cycle on a day that already has
// its top-level scan (real df, no du), side by side with the floor program.
// Run: build/bench/disk/bench_monitorcycle [runs]
#include "disk/diskhistorystore.h"
#include "disk/jsonfileio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

struct Sample
{
    double ms = 0;
    long maxRssKb = 0;
};

Sample runOnce(const QByteArray &program, const QList<QByteArray> &args)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.constData()));
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    Sample s;
    if (posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ) != 0)
        return s;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    s.ms = timer.nsecsElapsed() / 1e6;
    s.maxRssKb = usage.ru_maxrss;
    posix_spawn_file_actions_destroy(&actions);
    return s;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 20;
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
    qputenv("TAVRIN_CONFIG_QSETTINGS", "1");
    QDir().mkpath(home.path() + "/config/zarnex");
    Tavrin::writeFileAtomic(home.path() + "/config/zarnex/tavrin-manager.conf", "[monitor]\nenabled=true\n");

    // Today already scanned; with a 90-day history behind it.
    Tavrin::DiskHistoryStore store;
    for (int i = 90; i >= 0; --i) {
        Tavrin::DiskDayRecord day;
        day.date = QDate::currentDate().addDays(-i);
        day.total = 50LL << 30;
        day.capacity = 500LL << 30;
        for (int k = 0; k < 20; ++k)
            day.topLevel.append({QString("/dir%1").arg(k), qint64(k) << 30, true});
        store.saveDayRecord(day);
    }

    QList<double> monitorMs, floorMs;
    long monitorRss = 0, floorRss = 0;
    for (int i = 0; i < runs; ++i) {
        const Sample m = runOnce(TAVRIN_EXE, {"--monitor"});
        const Sample f = runOnce(FLOOR_EXE, {});
        monitorMs << m.ms;
        floorMs << f.ms;
        monitorRss = std::max(monitorRss, m.maxRssKb);
        floorRss = std::max(floorRss, f.maxRssKb);
    }
    const double mm = median(monitorMs), fm = median(floorMs);
    std::printf("runs: %d\n", runs);
    std::printf("monitor cycle: median %.1f ms, peak RSS %ld KiB\n", mm, monitorRss);
    std::printf("floor program: median %.1f ms, peak RSS %ld KiB\n", fm, floorRss);
    std::printf("ratio: time %.2fx (target <= 2), memory %.2fx (target <= 1.3)\n", mm / fm,
                double(monitorRss) / double(floorRss));
    return 0;
}
