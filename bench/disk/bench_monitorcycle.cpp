// Wall time and peak memory of one "tavrin-manager --monitor" cycle on a day that already has
// its top-level scan (real df, no du), side by side with the floor program, with 10 and with 730
// days of realistic history (96 samples and 15 top-level items a day). Two floors: one linked to
// Core, Gui, Widgets and DBus (the reference the target is stated against), one to Core and DBus
// only. Every timed cycle must end "ok", or the figures mean nothing.
// Run: build/bench/disk/bench_monitorcycle [runs]
//      build/bench/disk/bench_monitorcycle --seed DAYS  (only fills the history of $XDG_DATA_HOME)
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
    double cpuMs = 0; // user + system, children included: steadier than wall time on a busy machine
    long maxRssKb = 0;
};

Sample runOnce(const QByteArray &program, const QList<QByteArray> &args,
               const QByteArray &errPath = "/dev/null")
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.constData()));
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
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
    s.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    posix_spawn_file_actions_destroy(&actions);
    return s;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

void seedHistory(int days)
{
    QDir(Tavrin::DiskHistoryStore::historyDir()).removeRecursively();
    Tavrin::DiskHistoryStore store;
    store.retentionDays = 0;
    const QDate today = QDate::currentDate();
    for (int i = days - 1; i >= 0; --i) {
        Tavrin::DiskDayRecord day;
        day.date = today.addDays(-i);
        day.total = (50LL << 30) + i;
        day.capacity = 500LL << 30;
        for (int k = 0; k < 15; ++k)
            day.topLevel.append({QString("/dir%1").arg(k), qint64(k) << 30, true});
        for (int k = 0; k < 96; ++k)
            day.samples.append({QDateTime(day.date, QTime(0, 0).addSecs(k * 900)), day.total, {}});
        store.saveDayRecord(day);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--seed") == 0) {
        seedHistory(atoi(argv[2]));
        return 0;
    }
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 20;
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/data"));
    qputenv("TAVRIN_CONFIG_QSETTINGS", "1");
    QDir().mkpath(home.path() + "/config/zarnex");
    Tavrin::writeFileAtomic(home.path() + "/config/zarnex/tavrin-manager.conf",
                            "[monitor]\nenabled=true\nretentionDays=1000\nstorageBudgetMB=4096\n");
    const QByteArray errPath = QFile::encodeName(home.path() + "/monitor.err");

    int failures = 0;
    for (const int days : {10, 730}) {
        seedHistory(days);
        QList<double> monitorMs, floorMs, coreFloorMs, monitorCpu, floorCpu, coreFloorCpu;
        long monitorRss = 0, floorRss = 0, coreFloorRss = 0;
        for (int i = 0; i < runs; ++i) {
            const Sample m = runOnce(TAVRIN_EXE, {"--monitor"}, errPath);
            QFile err(QFile::decodeName(errPath));
            const QByteArray line = err.open(QIODevice::ReadOnly) ? err.readAll().trimmed() : QByteArray();
            if (line != "[tavrin-monitor] ok: 监控完成") {
                std::printf("cycle %d with %d days did not end ok: %s\n", i, days, line.constData());
                ++failures;
            }
            const Sample f = runOnce(FLOOR_EXE, {});
            const Sample c = runOnce(CORE_FLOOR_EXE, {});
            monitorMs << m.ms;
            floorMs << f.ms;
            coreFloorMs << c.ms;
            monitorCpu << m.cpuMs;
            floorCpu << f.cpuMs;
            coreFloorCpu << c.cpuMs;
            monitorRss = std::max(monitorRss, m.maxRssKb);
            floorRss = std::max(floorRss, f.maxRssKb);
            coreFloorRss = std::max(coreFloorRss, c.maxRssKb);
        }
        const double mm = median(monitorMs), fm = median(floorMs), cm = median(coreFloorMs);
        std::printf("%d days, %d runs\n", days, runs);
        std::printf("  monitor cycle: median %.1f ms (CPU %.1f ms), peak RSS %ld KiB\n", mm,
                    median(monitorCpu), monitorRss);
        std::printf("  floor (Core+Gui+Widgets+DBus): median %.1f ms (CPU %.1f ms), peak RSS %ld KiB\n", fm,
                    median(floorCpu), floorRss);
        std::printf("  floor (Core+DBus): median %.1f ms (CPU %.1f ms), peak RSS %ld KiB\n", cm,
                    median(coreFloorCpu), coreFloorRss);
        std::printf("  ratio to the first floor: time %.2fx (target <= 1.3), memory %.2fx (target <= 1.25)\n",
                    mm / fm, double(monitorRss) / double(floorRss));
        std::printf("  ratio to the Core+DBus floor: time %.2fx, memory %.2fx\n", mm / cm,
                    double(monitorRss) / double(coreFloorRss));
    }
    return failures == 0 ? 0 : 1;
}
