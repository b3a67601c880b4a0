// Comparison of two commits of N files each (default 100 000) in a real OSTree
// repository: the time to the first grouped result and to the result with every
// size, against a bare "ostree diff" of the same pair, run in turn (bare, ours,
// bare, ours, ...) so the ratio is taken pair by pair.
//
//   bench_treediff [--files N] [--runs R] [--keep DIR]
//       a simulated system (sim/make-root.sh --files N): the initial snapshot
//       and a later one, each against the booted deployment
//   bench_treediff --synthetic [--files N] [--runs R] [--keep DIR]
//       two trees where the second changes 2% of the files, adds 500, removes
//       500 and changes the mode of 100: an upgrade of a few hundred packages
//   bench_treediff --first DIR OLD NEW
//       one comparison up to its first grouped result, then exit (for timing
//       the whole process beside the bare tool)

#include "backend/backend_p.h"
#include "backend/comparestates.h"
#include "backend/treediff.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace {

bool run(const QString &program, const QStringList &args, QByteArray *output = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput().trimmed();
    return true;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QString filePath(const QString &tree, int i)
{
    return tree + QStringLiteral("/usr/share/d%1/s%2/f%3").arg(i % 300).arg(i % 7).arg(i);
}

bool buildSystem(const QString &root, int files)
{
    const QString repo = root + QStringLiteral("/ostree/repo");
    const QString tree = root + QStringLiteral("/tree");
    QDir().mkpath(root + QStringLiteral("/usr/bin"));
    QFile::link(QStringLiteral("/usr/bin/ostree"), root + QStringLiteral("/usr/bin/ostree"));
    QDir().mkpath(repo);
    if (!run(QStringLiteral("/usr/bin/ostree"), {"init", "--repo=" + repo, "--mode=bare-user-only"}))
        return false;
    for (int i = 0; i < files; ++i) {
        const QString path = filePath(tree, i);
        QDir().mkpath(QFileInfo(path).path());
        if (!writeFile(path, QByteArray::number(i).repeated(1 + i % 300)))
            return false;
    }
    QByteArray before, after;
    if (!run(QStringLiteral("/usr/bin/ostree"),
             {"--repo=" + repo, "commit", "--branch=deployment/0", "--no-bindings", "--tree=dir=" + tree}, &before))
        return false;
    for (int i = 0; i < files; i += 50)
        writeFile(filePath(tree, i), QByteArray("changed ").repeated(1 + i % 97));
    for (int i = 1; i < files && i < 500 * 97; i += 97)
        QFile::remove(filePath(tree, i));
    for (int i = 0; i < 500; ++i) {
        const QString path = tree + QStringLiteral("/usr/lib/new/n%1/g%2").arg(i % 20).arg(i);
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, QByteArray("new").repeated(1 + i));
    }
    for (int i = 3; i < files && i < 100 * 89; i += 89)
        ::chmod(QFile::encodeName(filePath(tree, i)).constData(), 0600);
    if (!run(QStringLiteral("/usr/bin/ostree"),
             {"--repo=" + repo, "commit", "--branch=deployment/1", "--no-bindings", "--tree=dir=" + tree}, &after))
        return false;
    QDir(tree).removeRecursively();
    return true;
}

QString ref(const QString &root, const QString &name)
{
    QFile f(root + QStringLiteral("/ostree/repo/refs/heads/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().trimmed()) : QString();
}

struct Timing
{
    double first = 0;
    double full = 0;
    int changes = 0;
    bool ok = false;
};

Timing compareOnce(const QString &a, const QString &b, bool stopAtFirst)
{
    Timing t;
    QElapsedTimer clock;
    clock.start();
    auto cancel = std::make_shared<std::atomic_bool>(false);
    const Tavrin::TreeDiffResult result = Tavrin::compareCommits(
        a, b,
        [&](const Tavrin::TreeDiffResult &r) {
            // What the view does with each progress: group it.
            const auto root = Tavrin::groupChanges(r.changes);
            if (t.first == 0 && root->added + root->removed + root->modified > 0) {
                t.first = clock.nsecsElapsed() / 1e6;
                if (stopAtFirst)
                    cancel->store(true);
            }
        },
        cancel);
    t.full = clock.nsecsElapsed() / 1e6;
    t.changes = result.changes.size();
    t.ok = result.outcome == Tavrin::DiffOutcome::Done || (stopAtFirst && result.outcome == Tavrin::DiffOutcome::Cancelled);
    return t;
}

double bareDiff(const QString &root, const QString &a, const QString &b)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray out;
    run(QStringLiteral("/usr/bin/ostree"), {"--repo=" + root + "/ostree/repo", "diff", a, b}, &out);
    return clock.nsecsElapsed() / 1e6;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int files = 100000, runs = 5;
    QString keep, first;
    const bool synthetic = args.contains(QStringLiteral("--synthetic"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--files"))
            files = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--runs"))
            runs = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--keep"))
            keep = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--first"))
            first = args.at(i + 1);
    }
    if (!first.isEmpty()) {
        const int at = int(args.indexOf(QStringLiteral("--first")));
        if (at + 3 >= args.size())
            return 2;
        qputenv("TAVRIN_SYSROOT", first.toLocal8Bit());
        return compareOnce(args.at(at + 2), args.at(at + 3), true).ok ? 0 : 1;
    }
    QTemporaryDir temp;
    const QString root = keep.isEmpty() ? temp.path() : keep;
    QList<QPair<QString, QString>> pairs;
    QStringList names;
    if (synthetic) {
        if (!QFile::exists(root + QStringLiteral("/ostree/repo/refs/heads/deployment/1"))) {
            std::printf("building two trees of %d files in %s ...\n", files, qPrintable(root));
            std::fflush(stdout);
            if (!buildSystem(root, files))
                return 1;
        }
        pairs << qMakePair(ref(root, "deployment/0"), ref(root, "deployment/1"));
        names << QStringLiteral("2% of the files changed");
    } else {
        if (!QFile::exists(root + QStringLiteral("/var/lib/zarnex-sim/state.json"))) {
            std::printf("building a simulated system of %d files in %s ...\n", files, qPrintable(root));
            std::fflush(stdout);
            if (!run(QStringLiteral(TAVRIN_SOURCE_DIR "/sim/make-root.sh"),
                     {root, QStringLiteral("--files"), QString::number(files)}))
                return 1;
        }
        qputenv("TAVRIN_SYSROOT", root.toLocal8Bit());
        const Tavrin::CompareStateList states = Tavrin::listCompareStates();
        const Tavrin::CompareState *booted = Tavrin::bootedState(states);
        if (!booted || states.states.size() < 2)
            return 1;
        pairs << qMakePair(states.states.at(0).commit, booted->commit)
              << qMakePair(states.states.at(1).commit, booted->commit);
        names << QStringLiteral("initial snapshot vs booted") << QStringLiteral("second snapshot vs booted");
    }
    qputenv("TAVRIN_SYSROOT", root.toLocal8Bit());
    for (int p = 0; p < pairs.size(); ++p) {
        const QString a = pairs.at(p).first, b = pairs.at(p).second;
        bareDiff(root, a, b); // warm the page cache for both
        compareOnce(a, b, false);
        QList<double> bare, firstMs, fullMs, ratio;
        int changes = 0;
        for (int i = 0; i < runs; ++i) {
            const double d = bareDiff(root, a, b);
            const Timing t = compareOnce(a, b, false);
            if (!t.ok)
                return 1;
            bare << d;
            firstMs << t.first;
            fullMs << t.full;
            ratio << t.first / d;
            changes = t.changes;
        }
        std::printf("%s: %d changes, trees of %d files, %d paired runs (medians)\n", qPrintable(names.at(p)),
                    changes, files, runs);
        std::printf("  bare ostree diff          %8.1f ms\n", median(bare));
        std::printf("  first grouped result      %8.1f ms   %.2fx the bare diff (pairwise median)\n",
                    median(firstMs), median(ratio));
        std::printf("  every size read, grouped  %8.1f ms\n", median(fullMs));
        std::fflush(stdout);
    }
    return 0;
}
