#include "backend/reclaim.h"

#include "backend/backend_p.h"
#include "backend/pools.h"
#include "backend/syspaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/statvfs.h>

namespace Tavrin {

namespace {

constexpr int kStatusTimeoutMs = 60000;

// Commit of every ref file directly in `dir` (dot files and empty refs skipped).
QStringList refCommits(const QString &dir)
{
    QStringList commits;
    const QDir refs(dir);
    const QStringList names = refs.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        QFile file(refs.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString commit = QString::fromUtf8(file.read(4096)).trimmed();
        if (!commit.isEmpty())
            commits.append(commit);
    }
    return commits;
}

} // namespace

DeployListRead readDeployList()
{
    DeployListRead read;
    const CommandResult r =
        runProcess(ctlPath(), {QStringLiteral("admin"), QStringLiteral("status"), QStringLiteral("-j")},
                   kStatusTimeoutMs, false);
    read.rawOutput = QStringList{r.output, r.errorOutput}.join(QLatin1Char('\n')).trimmed();
    if (!r.ok) {
        read.error = r.error;
        return read;
    }
    const QJsonValue list =
        parseJson(r.output).value(QLatin1String("data")).toObject().value(QLatin1String("deploy_list"));
    if (!list.isArray()) {
        read.error = Backend::tr("部署状态无法解析");
        return read;
    }
    read.ok = true;
    read.deploys = parseDeployList(r.output);
    return read;
}

QString repoRefsSignature()
{
    const QString heads = sysRepoPath() + QStringLiteral("/refs/heads/");
    QStringList parts;
    for (const char *dir : {"deployment", "snapshot"}) {
        const QDir refs(heads + QLatin1String(dir));
        const QStringList names = refs.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &name : names) {
            QFile file(refs.filePath(name));
            const QString commit =
                file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(4096)).trimmed() : QString();
            parts.append(QLatin1String(dir) + QLatin1Char('/') + name + QLatin1Char('=') + commit);
        }
    }
    return parts.join(QLatin1Char('\n'));
}

FreedFigure measureDeployFreed(const QString &commit)
{
    FreedFigure figure;
    figure.refs = repoRefsSignature();
    if (commit.isEmpty()) {
        figure.size = MeasuredSize::unknown(Backend::tr("部署缺少提交ID"));
        return figure;
    }
    const QString heads = sysRepoPath() + QStringLiteral("/refs/heads/");
    const QStringList refs =
        refCommits(heads + QStringLiteral("deployment")) + refCommits(heads + QStringLiteral("snapshot"));
    if (!refs.contains(commit)) {
        figure.size = MeasuredSize::unknown(Backend::tr("系统仓库中没有此部署: %1").arg(commit.left(12)));
        return figure;
    }

    QHash<QString, int> refsPerCommit;
    for (const QString &c : refs)
        ++refsPerCommit[c];
    // The same cache keys as the snapshot sizes, so both share the listings.
    const QStringList commits = refsPerCommit.keys();
    QList<QFuture<QHash<QString, qint64>>> tasks;
    for (const QString &c : commits) {
        const QString key = QStringLiteral("share_") + c.left(8);
        tasks.append(QtConcurrent::run(&listingPool(), [key, c] { return ostreeLsTreeCached(key, c); }));
    }
    QHash<QString, int> holders;
    QHash<QString, qint64> own;
    QStringList unlisted;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        const QHash<QString, qint64> listing = tasks[i].result();
        // A tree that could not be listed would make objects look unshared.
        if (listing.isEmpty())
            unlisted.append(commits.at(i).left(8));
        const int count = refsPerCommit.value(commits.at(i));
        for (auto it = listing.constBegin(); it != listing.constEnd(); ++it)
            holders[it.key()] += count;
        if (commits.at(i) == commit)
            own = listing;
    }
    if (!unlisted.isEmpty()) {
        figure.size = MeasuredSize::unknown(Backend::tr("无法读取系统树: %1").arg(unlisted.join(QLatin1String(", "))));
        return figure;
    }

    // Removing the deployment drops one ref to its commit.
    qint64 freed = 0;
    for (auto it = own.constBegin(); it != own.constEnd(); ++it) {
        if (holders.value(it.key()) <= 1)
            freed += it.value();
    }
    figure.size = MeasuredSize::exact(freed);
    return figure;
}

qint64 deployFreedBytes(const QString &commit)
{
    const MeasuredSize size = measureDeployFreed(commit).size;
    return size.complete() ? size.bytes : -1;
}

qint64 systemDiskFreeBytes()
{
    struct statvfs fs
    {
    };
    const QByteArray root = systemPath(QStringLiteral("/")).toLocal8Bit();
    if (::statvfs(root.constData(), &fs) != 0)
        return -1;
    return static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize);
}

} // namespace Tavrin
