// Snapshot size computation on a simulated system: one deployment and several
// snapshots of about 20 000 files each, in a real OSTree repository.
//
//   bench_snapshotsizes [--files N] [--snapshots K] [--keep DIR]
//
// With --keep the simulated system stays in DIR and a later run measures it again.
//
// Prints the time of the bare "ostree ls -R -C" listings, of the first call
// (no caches), of a call within 59 s, and of a first call in a new process
// whose tree-listing cache files are warm.

#include "backend/backend_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>

namespace {

QTextStream out(stdout);

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

QByteArray content(int seed, int variant)
{
    QByteArray data = QByteArray::number(seed) + '-' + QByteArray::number(variant) + '\n';
    return data.repeated(1 + (seed * 37 % 200));
}

QStringList refCommits(const QString &repo)
{
    QStringList commits;
    for (const char *kind : {"deployment", "snapshot"}) {
        const QString dir = repo + QStringLiteral("/refs/heads/") + QLatin1String(kind);
        for (const QString &name : QDir(dir).entryList(QDir::Files, QDir::Name)) {
            QFile f(dir + QLatin1Char('/') + name);
            if (f.open(QIODevice::ReadOnly))
                commits << QString::fromLatin1(f.readAll().trimmed());
        }
    }
    commits.removeDuplicates();
    return commits;
}

bool buildSystem(const QString &root, int files, int snapshots)
{
    for (const char *d : {"usr/sbin", "ostree", "persistent/ostree/snapshot", "tree"})
        QDir().mkpath(root + QLatin1Char('/') + QLatin1String(d));
    const QString repo = root + QStringLiteral("/ostree/repo");
    if (!run(QStringLiteral("ostree"), {"init", "--repo=" + repo, "--mode=bare-user-only"}))
        return false;
    const QString tree = root + QStringLiteral("/tree");
    for (int i = 0; i < files; ++i) {
        const QString dir = tree + QStringLiteral("/usr/share/d%1").arg(i / 500);
        if (i % 500 == 0)
            QDir().mkpath(dir);
        if (!writeFile(dir + QStringLiteral("/f%1").arg(i), content(i, 0)))
            return false;
    }
    auto commit = [&](const QString &branch) {
        return run(QStringLiteral("ostree"),
                   {"--repo=" + repo, "commit", "--branch=" + branch, "--tree=dir=" + tree, "-s", branch});
    };
    if (!commit(QStringLiteral("deployment/0")))
        return false;

    QByteArray list = "{\"data\":{\"snapshot_list\":[";
    for (int s = 1; s <= snapshots; ++s) {
        // Each snapshot changes 1% of the files and adds a few of its own.
        for (int i = s; i < files; i += 100)
            writeFile(tree + QStringLiteral("/usr/share/d%1/f%2").arg(i / 500).arg(i), content(i, s));
        QDir().mkpath(tree + QStringLiteral("/opt/s%1").arg(s));
        for (int i = 0; i < 50; ++i)
            writeFile(tree + QStringLiteral("/opt/s%1/n%2").arg(s).arg(i), content(100000 * s + i, s));
        const QString id = QStringLiteral("snap%1").arg(s);
        if (!commit(QStringLiteral("snapshot/") + id))
            return false;
        // Back to the deployment's tree, so every snapshot has objects of its own.
        for (int i = s; i < files; i += 100)
            writeFile(tree + QStringLiteral("/usr/share/d%1/f%2").arg(i / 500).arg(i), content(i, 0));
        QDir(tree + QStringLiteral("/opt")).removeRecursively();
        const QString dir = root + QStringLiteral("/persistent/ostree/snapshot/") + id;
        QDir().mkpath(dir);
        writeFile(dir + QStringLiteral("/upper"), QByteArray(100000 * s, 'u'));
        list += (s > 1 ? "," : "") + QStringLiteral(R"({"id":"%1","name":"bench %2","desc":"","time":%3})")
                                         .arg(id)
                                         .arg(s)
                                         .arg(1700000000 + s)
                                         .toUtf8();
    }
    list += "]}}";

    // The control tool: answers the snapshot list and nothing else.
    const QString answer = root + QStringLiteral("/snapshot-list.json");
    writeFile(answer, list);
    const QString ctl = root + QStringLiteral("/usr/sbin/zarnex-immutable-ctl");
    writeFile(ctl, "#!/bin/sh\nexec cat '" + answer.toUtf8() + "'\n");
    QFile::setPermissions(ctl, QFile::permissions(ctl) | QFileDevice::ExeOwner);
    QDir().mkpath(root + QStringLiteral("/usr/bin"));
    return QFile::link(QStringLiteral("/usr/bin/ostree"), root + QStringLiteral("/usr/bin/ostree"));
}

double msSince(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();

    // Child mode: one first call in a fresh process with the cache files warm.
    if (args.value(1) == QLatin1String("--warm-call")) {
        QElapsedTimer t;
        t.start();
        const Tavrin::SnapshotSizeMap sizes = Tavrin::computeSnapshotSizes();
        out << QString::number(msSince(t), 'f', 1) << ' ' << sizes.size() << Qt::endl;
        return sizes.isEmpty() ? 1 : 0;
    }

    int files = 20000;
    int snapshots = 5;
    QString keep;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--files"))
            files = args.value(++i).toInt();
        else if (args[i] == QLatin1String("--snapshots"))
            snapshots = args.value(++i).toInt();
        else if (args[i] == QLatin1String("--keep"))
            keep = args.value(++i);
    }

    QTemporaryDir tmp;
    const QString root = keep.isEmpty() ? tmp.path() : keep;
    QDir().mkpath(root);
    qputenv("TAVRIN_SYSROOT", root.toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toLocal8Bit());

    // A kept root that is already built is measured again as it is.
    const bool built = !keep.isEmpty() && QFileInfo::exists(root + QStringLiteral("/snapshot-list.json"));
    QElapsedTimer build;
    build.start();
    if (!built && !buildSystem(root, files, snapshots))
        return 1;
    QDir(root + QStringLiteral("/cache")).removeRecursively();
    out << "system: " << files << " files per tree, " << snapshots << " snapshots, "
        << (built ? QStringLiteral("reused")
                  : QStringLiteral("built in %1 s").arg(msSince(build) / 1000, 0, 'f', 1))
        << Qt::endl;

    const QString repo = root + QStringLiteral("/ostree/repo");
    const QStringList commits = refCommits(repo);
    QElapsedTimer t;
    t.start();
    for (const QString &c : commits) {
        QByteArray listing;
        run(QStringLiteral("/usr/bin/ostree"), {"--repo=" + repo, "ls", "-R", "-C", c}, &listing);
    }
    const double bareSequential = msSince(t);
    t.restart();
    QList<QFuture<void>> parallel;
    for (const QString &c : commits)
        parallel << QtConcurrent::run([repo, c] {
            QByteArray listing;
            run(QStringLiteral("/usr/bin/ostree"), {"--repo=" + repo, "ls", "-R", "-C", c}, &listing);
        });
    for (QFuture<void> &f : parallel)
        f.waitForFinished();
    const double bareParallel = msSince(t);

    t.restart();
    const Tavrin::SnapshotSizeMap first = Tavrin::computeSnapshotSizes();
    const double firstCall = msSince(t);
    t.restart();
    const Tavrin::SnapshotSizeMap again = Tavrin::computeSnapshotSizes();
    const double within59 = msSince(t);

    QProcess child;
    child.start(app.applicationFilePath(), {QStringLiteral("--warm-call")});
    child.waitForFinished(-1);
    const QString warm = QString::fromUtf8(child.readAllStandardOutput()).section(QLatin1Char(' '), 0, 0);

    out << "bare ostree ls -R -C of " << commits.size()
        << " commits: " << QString::number(bareSequential, 'f', 1) << " ms one after another, "
        << QString::number(bareParallel, 'f', 1) << " ms in parallel" << Qt::endl;
    out << "computeSnapshotSizes first call (no caches):        " << QString::number(firstCall, 'f', 1)
        << " ms" << Qt::endl;
    out << "computeSnapshotSizes within 59 s (memory cache):    " << QString::number(within59 * 1000, 'f', 1)
        << " us" << Qt::endl;
    out << "computeSnapshotSizes new process, warm cache files: " << warm << " ms" << Qt::endl;
    for (auto it = first.constBegin(); it != first.constEnd(); ++it)
        out << "  " << it.key() << ": extra " << Tavrin::formatSize(it.value().first) << ", unique "
            << Tavrin::formatSize(it.value().second) << Qt::endl;
    return first == again && !first.isEmpty() ? 0 : 1;
}
