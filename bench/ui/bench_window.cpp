// Window start-up and idle, side by side with a floor, on a simulated system (sim/make-root.sh),
// median of interleaved runs:
//   exec -> first full paint: the executable against bench_windowfloor (a bare widget window of the
//     same size with a few labels); wall time to the "first-paint" line and the CPU time it reports;
//   peak memory (VmHWM) of the open window two seconds after its first paint;
//   both also against "bench_windowfloor --type-scale", the texts of the window's first frame in the
//     sizes and weights the window draws them in, which tells the cost of those texts from the rest;
//   click on "备份与版本" -> snapshot rows painted, with the tree cache warm and cold, against one bare
//     "snapshot list -j" of the simulated control tool; also the time until the page is idle
//     (sizes known);
//   the idle window on the overview for N seconds: CPU seconds and wake-ups per second (voluntary and
//     involuntary context switches of all its threads).
// Every child gets a private home, a private session bus and, with --platform xvfb, its own Xvfb.
// Run: build/bench/ui/bench_window [--runs N] [--idle-seconds S] [--platform offscreen|xvfb]
//                                  [--files N] [--snapshots K]
#include "basepage.h"
#include "mainwindow.h"
#include "pageid.h"
#include "ui/appearance.h"
#include "ui/components.h"
#include "ui/sidebar.h"
#include "zapplication.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Options
{
    int runs = 7;
    int idleSeconds = 60;
    bool xvfb = false;
    int files = 300;
    int snapshots = 4;
};

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.isEmpty())
        return 0;
    const int n = int(v.size());
    return n % 2 ? v.at(n / 2) : (v.at(n / 2 - 1) + v.at(n / 2)) / 2;
}

struct Child
{
    pid_t pid = -1;
    int out = -1; // read end of its standard output
};

Child spawn(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
    QList<QByteArray> store{QFile::encodeName(program)};
    for (const QString &a : args)
        store << a.toLocal8Bit();
    QList<QByteArray> envStore;
    for (const QString &e : env.toStringList())
        envStore << e.toLocal8Bit();
    std::vector<char *> argv, envp;
    for (QByteArray &a : store)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (QByteArray &e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    child.out = fds[0];
    return child;
}

// One line of the child's output, or "" when none came within the time-out.
QByteArray readLine(const Child &child, int timeoutMs)
{
    QByteArray line;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        pollfd p{child.out, POLLIN, 0};
        if (poll(&p, 1, int(qMax<qint64>(1, timeoutMs - timer.elapsed()))) <= 0)
            continue;
        char c = 0;
        const ssize_t n = read(child.out, &c, 1);
        if (n <= 0)
            break;
        if (c == '\n')
            return line;
        line += c;
    }
    return QByteArray();
}

void finish(Child &child, bool kill)
{
    if (child.pid <= 0)
        return;
    if (kill)
        ::kill(child.pid, SIGTERM);
    // Bounded: a child that ignores the request is killed outright.
    for (int i = 0; i < 2000; ++i) {
        if (waitpid(child.pid, nullptr, WNOHANG) == child.pid) {
            child.pid = -1;
            break;
        }
        QThread::msleep(5);
    }
    if (child.pid > 0) {
        ::kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
    }
    close(child.out);
    child = Child();
}

qint64 field(const QByteArray &line, const QByteArray &key)
{
    const int at = line.indexOf(key + '=');
    return at < 0 ? -1 : line.mid(at + key.size() + 1).split(' ').value(0).toLongLong();
}

struct StartFigures
{
    double wallMs = 0;
    double cpuMs = 0;
};

StartFigures timeStart(const QString &program, const QStringList &args, QProcessEnvironment env)
{
    env.insert(QStringLiteral("TAVRIN_FIRST_PAINT_PROBE"), QStringLiteral("exit"));
    QElapsedTimer timer;
    timer.start();
    Child child = spawn(program, args, env);
    const QByteArray line = readLine(child, 60000);
    StartFigures f;
    f.wallMs = timer.nsecsElapsed() / 1e6;
    f.cpuMs = field(line, "cpu-us") / 1000.0;
    finish(child, false);
    if (line.isEmpty())
        std::fprintf(stderr, "no first paint from %s\n", qPrintable(program));
    return f;
}

long statusKb(pid_t pid, const char *key)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Context switches per thread: a thread that ends during the window takes its count along.
QHash<QString, qint64> switchesByThread(pid_t pid)
{
    QHash<QString, qint64> result;
    const QString base = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &tid : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(base + QLatin1Char('/') + tid + QStringLiteral("/status"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        qint64 sum = 0;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                sum += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        result.insert(tid, sum);
    }
    return result;
}

double cpuSeconds(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // Fields after the command name, which may hold blanks: utime and stime are 14 and 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

struct OpenFigures
{
    double hwmMiB = 0;
    double idleCpuS = 0;
    double wakeupsPerS = 0;
};

OpenFigures timeOpen(const QString &program, const QStringList &args, QProcessEnvironment env,
                     int idleSeconds)
{
    env.insert(QStringLiteral("TAVRIN_FIRST_PAINT_PROBE"), QStringLiteral("1"));
    Child child = spawn(program, args, env);
    OpenFigures f;
    if (readLine(child, 60000).isEmpty()) {
        std::fprintf(stderr, "no first paint from %s\n", qPrintable(program));
        finish(child, true);
        return f;
    }
    QThread::msleep(2000);
    f.hwmMiB = statusKb(child.pid, "VmHWM:") / 1024.0;
    if (idleSeconds > 0) {
        const QHash<QString, qint64> before = switchesByThread(child.pid);
        const double cpuBefore = cpuSeconds(child.pid);
        QThread::sleep(idleSeconds);
        const QHash<QString, qint64> after = switchesByThread(child.pid);
        f.idleCpuS = cpuSeconds(child.pid) - cpuBefore;
        qint64 wakeups = 0;
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            wakeups += it.value() - before.value(it.key(), 0);
        f.wakeupsPerS = wakeups / double(idleSeconds);
    }
    finish(child, true);
    return f;
}

double timeProcess(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
    QElapsedTimer timer;
    timer.start();
    Child child = spawn(program, args, env);
    // Drain the output as the tool writes it; the end of it is the tool's end.
    char buffer[4096];
    while (true) {
        pollfd p{child.out, POLLIN, 0};
        if (poll(&p, 1, 30000) <= 0 || read(child.out, buffer, sizeof buffer) <= 0)
            break;
    }
    if (child.pid > 0 && waitpid(child.pid, nullptr, 0) == child.pid)
        child.pid = -1;
    const double ms = timer.nsecsElapsed() / 1e6;
    finish(child, true);
    return ms;
}

struct ClickFigures
{
    double rowsMs = 0;
    double idleMs = 0;
};

ClickFigures timeClick(const QString &self, const QProcessEnvironment &env)
{
    Child child = spawn(self, {QStringLiteral("--click-child")}, env);
    const QByteArray line = readLine(child, 120000);
    finish(child, false);
    if (line.isEmpty())
        std::fprintf(stderr, "the click run reported nothing\n");
    return {field(line, "rows-us") / 1000.0, field(line, "idle-us") / 1000.0};
}

// Waits for `done` by blocking on the event loop. QTest::qWaitFor sleeps 10 ms between its rounds,
// which would add up to that much to every step of a timed span; the floor pays no such sleep.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    // Wakes the loop now and then, so the time-out holds when nothing else happens.
    QTimer watchdog;
    watchdog.start(100);
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// In the child: the window as the program builds it, idle on the overview; then a click on the
// sidebar entry, timed until the snapshot table has painted rows and until the page is idle.
int clickChild(int argc, char **argv)
{
    ZApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("zarnex"));
    app.setApplicationName(QStringLiteral("tavrin-manager"));
    TavrinUi::applyAppearance();
    MainWindow window(nullptr);
    bool painted = false;
    QObject::connect(&window, &MainWindow::firstPainted, &window, [&painted] { painted = true; });
    window.show();
    if (!QTest::qWaitFor([&] { return painted && !window.page(Overview)->isBusy(); }, 60000)) {
        std::fprintf(stderr, "the overview did not settle\n");
        return 1;
    }

    QListView *list = window.navigation()->listView();
    QModelIndex entry;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        const QVariant id = index.data(TavrinUi::TavrinSidebar::PageIdRole);
        if (id.isValid() && id.toInt() == VersionManagement)
            entry = index;
    }
    if (!entry.isValid()) {
        std::fprintf(stderr, "no sidebar entry\n");
        return 1;
    }

    QElapsedTimer timer;
    qint64 rowsAt = -1;
    struct RowsPainted : QObject
    {
        std::function<void()> onPaint;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && onPaint)
                onPaint();
            return false;
        }
    } probe;
    timer.start();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(entry).center());
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tavrinSnapshotTable"));
    if (!table) {
        std::fprintf(stderr, "no snapshot table\n");
        return 1;
    }
    probe.onPaint = [&] {
        if (rowsAt < 0 && table->rowCount() > 0)
            rowsAt = timer.nsecsElapsed();
    };
    table->viewport()->installEventFilter(&probe);
    BasePage *page = window.page(VersionManagement);
    if (!waitUntil([&] { return rowsAt >= 0; }, 60000)) {
        std::fprintf(stderr, "no rows painted\n");
        return 1;
    }
    const bool idle = waitUntil([&] { return !page->isBusy(); }, 60000);
    const qint64 idleAt = idle ? timer.nsecsElapsed() : -1000;
    std::printf("rows-us=%lld idle-us=%lld\n", rowsAt / 1000, idleAt / 1000);
    std::fflush(stdout);
    return 0;
}

// A private session bus for the children; its pid is returned for the end.
pid_t startBus(QProcessEnvironment &env)
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--fork"), QStringLiteral("--print-address=1"),
                  QStringLiteral("--print-pid=1")});
    if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0)
        return -1;
    const QList<QByteArray> lines = daemon.readAllStandardOutput().trimmed().split('\n');
    if (lines.size() < 2)
        return -1;
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLocal8Bit(lines.at(0).trimmed()));
    return pid_t(lines.at(1).trimmed().toLongLong());
}

pid_t startXvfb(QProcessEnvironment &env)
{
    for (int display = 90 + int(getpid() % 50); display < 200; ++display) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) ||
            QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
            continue;
        QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
        Child x = spawn(QStringLiteral("/usr/bin/Xvfb"),
                        {QStringLiteral(":%1").arg(display), QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")},
                        plain);
        close(x.out);
        for (int i = 0; i < 100 && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)); ++i)
            QThread::msleep(50);
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) {
            ::kill(x.pid, SIGTERM);
            waitpid(x.pid, nullptr, 0);
            return -1;
        }
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return x.pid;
    }
    return -1;
}

void row(const char *measure, double program, double floor, const char *unit, const char *target)
{
    std::printf("%-36s %10.1f %10.1f %s   %5.2fx   %s\n", measure, program, floor, unit,
                floor > 0 ? program / floor : 0.0, target);
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--click-child") == 0)
            return clickChild(argc, argv);
    }

    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray key = argv[i];
        const QByteArray value = argv[i + 1];
        if (key == "--runs")
            o.runs = qMax(1, value.toInt());
        else if (key == "--idle-seconds")
            o.idleSeconds = qMax(0, value.toInt());
        else if (key == "--platform")
            o.xvfb = value == "xvfb";
        else if (key == "--files")
            o.files = qMax(1, value.toInt());
        else if (key == "--snapshots")
            o.snapshots = qMax(1, value.toInt());
        else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }

    QTemporaryDir tmp;
    const QString root = tmp.filePath(QStringLiteral("root"));
    QDir().mkpath(root);
    QProcess make;
    make.start(QStringLiteral(TAVRIN_SOURCE_DIR "/sim/make-root.sh"),
               {root, QStringLiteral("--files"), QString::number(o.files), QStringLiteral("--snapshots"),
                QString::number(o.snapshots)});
    if (!make.waitForFinished(600000) || make.exitCode() != 0) {
        std::fprintf(stderr, "sim/make-root.sh failed: %s\n", make.readAllStandardError().constData());
        return 1;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *dir : {"home", "config", "cache", "data", "runtime"})
        QDir().mkpath(tmp.filePath(QLatin1String(dir)));
    QFile::setPermissions(tmp.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("HOME"), tmp.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), tmp.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), tmp.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("TAVRIN_SYSROOT"), root);
    env.insert(QStringLiteral("TAVRIN_SIM_EUID"), QStringLiteral("1000"));
    env.insert(QStringLiteral("PATH"),
               QStringLiteral(TAVRIN_SOURCE_DIR "/sim/bin:") + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("TAVRIN_FIRST_PAINT_PROBE"));

    const pid_t bus = startBus(env);
    const pid_t xvfb = o.xvfb ? startXvfb(env) : -1;
    if (o.xvfb && xvfb < 0) {
        std::fprintf(stderr, "Xvfb did not start\n");
        if (bus > 0)
            ::kill(bus, SIGTERM);
        return 1;
    }

    const QString program = QStringLiteral(TAVRIN_EXE);
    const QString floor = QStringLiteral(FLOOR_EXE);
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString ctl = root + QStringLiteral("/usr/sbin/zarnex-immutable-ctl");
    const QStringList list{QStringLiteral("snapshot"), QStringLiteral("list"), QStringLiteral("-j")};

    // The window, the floor, and the floor that draws the window's first texts in its type scale.
    const QString programs[3] = {program, floor, floor};
    const QStringList args[3] = {{}, {}, {QStringLiteral("--type-scale")}};

    // One unmeasured start of each warms the page cache.
    for (int which = 0; which < 3; ++which)
        timeStart(programs[which], args[which], env);

    QList<double> wall[3], cpu[3], hwm[3], rows[2], rowsCold, idleWarm, idleCold, listMs;
    for (int i = 0; i < o.runs; ++i) {
        for (int which = 0; which < 3; ++which) {
            const StartFigures f = timeStart(programs[which], args[which], env);
            wall[which] << f.wallMs;
            cpu[which] << f.cpuMs;
        }
    }
    for (int i = 0; i < qMin(o.runs, 3); ++i) {
        for (int which = 0; which < 3; ++which)
            hwm[which] << timeOpen(programs[which], args[which], env, 0).hwmMiB;
    }
    const QString cache = tmp.filePath(QStringLiteral("cache"));
    for (int i = 0; i < o.runs; ++i) {
        listMs << timeProcess(ctl, list, env);
        QDir(cache).removeRecursively();
        QDir().mkpath(cache);
        const ClickFigures cold = timeClick(self, env);
        rowsCold << cold.rowsMs;
        idleCold << cold.idleMs;
        listMs << timeProcess(ctl, list, env);
        const ClickFigures warm = timeClick(self, env); // the cold run left the cache behind
        rows[0] << warm.rowsMs;
        idleWarm << warm.idleMs;
    }
    OpenFigures idle[2];
    if (o.idleSeconds > 0) {
        idle[0] = timeOpen(program, {}, env, o.idleSeconds);
        idle[1] = timeOpen(floor, {}, env, o.idleSeconds);
    }

    if (xvfb > 0) {
        ::kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    if (bus > 0)
        ::kill(bus, SIGTERM);

    std::printf("platform %s, %d runs, simulated system of %d files and %d snapshots\n",
                o.xvfb ? "Xvfb" : "offscreen", o.runs, o.files, o.snapshots);
    std::printf("%-36s %10s %10s      %6s   %s\n", "measure (median)", "window", "floor", "ratio", "target");
    row("exec -> painted, wall", median(wall[0]), median(wall[1]), "ms ", "<= 1.25x");
    row("exec -> painted, CPU", median(cpu[0]), median(cpu[1]), "ms ", "<= 1.25x");
    row("peak memory of the open window", median(hwm[0]), median(hwm[1]), "MiB", "<= 1.2x");
    row("  type-scale floor: wall", median(wall[0]), median(wall[2]), "ms ", "-");
    row("  type-scale floor: CPU", median(cpu[0]), median(cpu[2]), "ms ", "-");
    row("  type-scale floor: memory", median(hwm[0]), median(hwm[2]), "MiB", "-");
    row("click -> snapshot rows, cache warm", median(rows[0]), median(listMs), "ms ", "<= 1.2x");
    row("click -> snapshot rows, cache cold", median(rowsCold), median(listMs), "ms ", "<= 1.2x");
    row("click -> page idle (sizes), warm", median(idleWarm), median(listMs), "ms ", "-");
    row("click -> page idle (sizes), cold", median(idleCold), median(listMs), "ms ", "-");
    if (o.idleSeconds > 0) {
        std::printf("%-36s %10.2f %10.2f s\n",
                    qPrintable(QStringLiteral("idle %1 s on the overview, CPU").arg(o.idleSeconds)),
                    idle[0].idleCpuS, idle[1].idleCpuS);
        std::printf("%-36s %10.2f %10.2f /s   target 0\n", "idle wake-ups", idle[0].wakeupsPerS,
                    idle[1].wakeupsPerS);
    }
    return 0;
}
