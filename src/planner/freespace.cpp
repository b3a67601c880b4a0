#include "planner/freespace.h"

#include "backend/backend_p.h"
#include "backend/privplan.h"
#include "backend/reclaim.h"
#include "backend/syspaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace Tavrin::FreeSpace {

namespace {

constexpr int kDeleteTimeoutMs = 900000;
constexpr int kUndeployTimeoutMs = 600000;
constexpr int kCleanTimeoutMs = 300000;

QString cacheDir()
{
    return systemPath(QStringLiteral("/var/cache/zarnex-immutable-ctl"));
}

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

// The backup stays until its rollback has been settled.
bool isHeldBackup(const SnapshotInfo &s, const RollbackState &state)
{
    if (!state.valid || state.backupSnapshotId.isEmpty() || s.id != state.backupSnapshotId)
        return false;
    return state.status != QLatin1String("done") && state.status != QLatin1String("failed") &&
           state.status != QLatin1String("cancelled");
}

} // namespace

QList<Candidate> snapshotCandidates(const QList<SnapshotInfo> &snapshots, const RollbackState &state)
{
    QList<Candidate> out;
    for (const SnapshotInfo &s : snapshots) {
        if (s.isInitial || s.id.isEmpty() || s.id.startsWith(QLatin1Char('-')) || isHeldBackup(s, state))
            continue;
        Candidate c;
        c.kind = Kind::Snapshot;
        c.id = s.id;
        c.title = s.name.isEmpty() ? s.id.left(12) : oneLine(s.name);
        c.time = s.time;
        out.append(c);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Candidate &a, const Candidate &b) { return a.time < b.time; });
    return out;
}

QList<Candidate> deploymentCandidates(const QList<DeployInfo> &deploys)
{
    QList<Candidate> out;
    for (const DeployInfo &d : deploys) {
        // Hidden and not booted: the deployment staged for the next boot.
        if (!isDeployDeletable(d) || d.commit.startsWith(QLatin1Char('-')))
            continue;
        Candidate c;
        c.kind = Kind::Deployment;
        c.id = d.commit;
        const QString version = d.version.isEmpty() ? Texts::tr("未知版本") : d.version;
        c.title = Texts::tr("%1（%2）").arg(version, d.commit.left(12));
        c.time = d.time;
        out.append(c);
    }
    return out;
}

bool upgradeCacheHasFiles()
{
    QDirIterator it(cacheDir(), QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    return it.hasNext();
}

Size upgradeCacheSize()
{
    Size size;
    const QFileInfo top(cacheDir());
    if (!top.isDir() || !top.isReadable())
        return size;
    size.bytes = 0;
    QDirIterator it(cacheDir(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        if (info.isSymLink())
            continue;
        if (info.isDir()) {
            // A directory only root may read hides what it holds.
            if (!info.isReadable() || !info.isExecutable())
                size.atLeast = true;
            continue;
        }
        size.bytes += info.size();
    }
    return size;
}

Inventory readInventory()
{
    Inventory inv;
    Group snaps;
    snaps.kind = Kind::Snapshot;
    const SnapshotListResult list = readSnapshots();
    snaps.ok = list.ok;
    snaps.error = list.error;
    if (list.ok) {
        snaps.items = snapshotCandidates(list.snapshots, getRollbackState());
        inv.snapshots = list.snapshots;
    }

    Group deploys;
    deploys.kind = Kind::Deployment;
    const DeployListRead read = readDeployList();
    deploys.ok = read.ok;
    deploys.error = read.error;
    if (read.ok)
        deploys.items = deploymentCandidates(read.deploys);

    Group cache;
    cache.kind = Kind::UpgradeCache;
    cache.ok = true;
    if (upgradeCacheHasFiles()) {
        Candidate c;
        c.kind = Kind::UpgradeCache;
        c.title = Texts::tr("升级下载缓存");
        cache.items.append(c);
    }

    inv.groups = {snaps, deploys, cache};
    inv.freeBytes = systemDiskFreeBytes();
    return inv;
}

QString keyOf(const Candidate &c)
{
    switch (c.kind) {
    case Kind::Snapshot:
        return QStringLiteral("snapshot:") + c.id;
    case Kind::Deployment:
        return QStringLiteral("deployment:") + c.id;
    case Kind::UpgradeCache:
        break;
    }
    return QStringLiteral("cache:");
}

namespace {

Size sizeOf(const MeasuredSize &measured)
{
    Size s;
    if (measured.known()) {
        s.bytes = measured.bytes;
        s.atLeast = !measured.complete();
    }
    return s;
}

} // namespace

QHash<QString, Size> measure(const Inventory &inventory)
{
    QHash<QString, Size> sizes;
    for (const Group &g : inventory.groups) {
        if (g.items.isEmpty())
            continue;
        if (g.kind == Kind::Snapshot) {
            const SnapshotSizes map = measureSnapshotSizes(inventory.snapshots);
            for (const Candidate &c : g.items) {
                const auto it = map.constFind(c.id);
                sizes.insert(keyOf(c), it == map.constEnd() ? Size() : sizeOf(it->total()));
            }
        } else if (g.kind == Kind::Deployment) {
            for (const Candidate &c : g.items)
                sizes.insert(keyOf(c), sizeOf(measureDeployFreed(c.id).size));
        } else {
            for (const Candidate &c : g.items)
                sizes.insert(keyOf(c), upgradeCacheSize());
        }
    }
    return sizes;
}

QJsonArray removalSteps(const QList<Candidate> &items)
{
    QJsonArray steps;
    for (const Candidate &c : items) {
        switch (c.kind) {
        case Kind::Snapshot:
            steps.append(Plan::runStep(QStringLiteral("ctl"),
                                       {QStringLiteral("snapshot"), QStringLiteral("delete"), c.id},
                                       kDeleteTimeoutMs));
            break;
        case Kind::Deployment:
            steps.append(Plan::runStep(QStringLiteral("ctl"), undeployArgs(c.id), kUndeployTimeoutMs));
            break;
        case Kind::UpgradeCache:
            steps.append(Plan::runStep(
                QStringLiteral("ctl"),
                {QStringLiteral("upgrade"), QStringLiteral("clean"), QStringLiteral("-a")}, kCleanTimeoutMs));
            break;
        }
    }
    return steps;
}

Outcome remove(const QList<Candidate> &items)
{
    Outcome out;
    out.statuses = QList<ItemStatus>(items.size(), ItemStatus::NotRun);
    if (items.isEmpty()) {
        out.error = Texts::tr("没有选择要释放的项目");
        return out;
    }
    if (items.size() > Plan::kMaxSteps) {
        out.error = Texts::tr("一次最多释放 %1 项，请减少选择").arg(Plan::kMaxSteps);
        return out;
    }
    for (const Candidate &c : items) {
        if (c.kind != Kind::UpgradeCache && (c.id.isEmpty() || c.id.startsWith(QLatin1Char('-')))) {
            out.error = Texts::tr("无效的标识: %1").arg(c.id);
            return out;
        }
    }
    const PlanReport report = runPlan(removalSteps(items), 0);
    if (!report.answered) {
        out.error = friendlyExecError(report.command.error.isEmpty() ? report.command.errorOutput
                                                                     : report.command.error);
        if (out.error.isEmpty())
            out.error = Texts::tr("没有获得管理员授权");
        return out;
    }
    out.authorized = true;
    out.ok = report.ok;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString status = report.statuses.value(i);
        out.statuses[i] = status == QLatin1String("done")     ? ItemStatus::Done
                          : status == QLatin1String("failed") ? ItemStatus::Failed
                                                              : ItemStatus::NotRun;
    }
    if (!out.ok) {
        out.failure = report.command.error;
        out.error = friendlyExecError(report.command.error);
    }
    return out;
}

QString sizeText(const Size &size)
{
    if (size.bytes < 0)
        return Texts::tr("未知");
    return size.atLeast ? Texts::tr("至少 %1").arg(formatSize(size.bytes)) : formatSize(size.bytes);
}

} // namespace Tavrin::FreeSpace
