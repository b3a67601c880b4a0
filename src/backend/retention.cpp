#include "backend/retention.h"

#include "backend/backend_p.h"
#include "backend/privplan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <limits>

namespace Tavrin {

namespace {

constexpr qint64 kMaxPreferencesBytes = 1024 * 1024;
constexpr int kCreateTimeoutMs = 900000;
constexpr int kDeleteTimeoutMs = 900000;

} // namespace

QString appPreferencesPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) +
           QStringLiteral("/tavrin-manager/config.json");
}

RetentionPrefs retentionPrefsFromJson(const QByteArray &bytes)
{
    RetentionPrefs prefs;
    const QJsonObject o = QJsonDocument::fromJson(bytes).object();
    const QJsonValue limit = o.value(QLatin1String("max_snapshots"));
    if (limit.isDouble()) {
        // Written by hand it may be anything: a fraction counts down, a huge
        // value is as good as none.
        const double v = limit.toDouble();
        prefs.limit = v >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                      : v > 0                                      ? int(v)
                                                                   : 0;
    }
    const QJsonValue prune = o.value(QLatin1String("auto_prune"));
    if (prune.isBool())
        prefs.autoPrune = prune.toBool();
    if (o.value(QLatin1String("rb_auto_clean")).toString() == QLatin1String("reboot3"))
        prefs.rollbackClean = QStringLiteral("reboot3");
    return prefs;
}

RetentionPrefs readRetentionPrefs()
{
    // Anything but a small regular file (a FIFO would block the read) is not ours.
    const QString path = appPreferencesPath();
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || info.size() > kMaxPreferencesBytes || !file.open(QIODevice::ReadOnly))
        return RetentionPrefs();
    return retentionPrefsFromJson(file.read(kMaxPreferencesBytes));
}

int maxPrunedPerCreate()
{
    return int(Plan::kMaxSteps) - 1;
}

PrunePlan planPruning(const QList<SnapshotInfo> &snapshots, int limit, int adding, const QStringList &keep,
                      int maxRemovals)
{
    PrunePlan plan;
    if (limit <= 0)
        return plan;
    const qint64 total = qint64(snapshots.size()) + qMax(0, adding);
    const qint64 excess = total - limit;
    if (excess <= 0)
        return plan;
    const QSet<QString> kept(keep.cbegin(), keep.cend());
    QList<SnapshotInfo> candidates;
    for (const SnapshotInfo &s : snapshots) {
        // An id the tool would read as an option is never passed to it.
        if (s.isInitial || s.id.isEmpty() || s.id.startsWith(QLatin1Char('-')) || kept.contains(s.id))
            continue;
        candidates.append(s);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const SnapshotInfo &a, const SnapshotInfo &b) { return a.time < b.time; });
    const qint64 count = std::min({excess, qint64(candidates.size()), qint64(qMax(0, maxRemovals))});
    plan.remove = candidates.mid(0, count);
    plan.stillOver = int(excess - count);
    return plan;
}

PruningCreateOutcome createSnapshotPruning(const QString &name, const QString &desc,
                                           const QStringList &removeIds)
{
    PruningCreateOutcome outcome;
    const QString problem = snapshotTextProblem(name, desc);
    if (!problem.isEmpty() || name.isEmpty()) {
        outcome.error = problem.isEmpty() ? Backend::tr("备份名称不能为空。") : problem;
        return outcome;
    }
    if (removeIds.size() > maxPrunedPerCreate()) {
        outcome.error = Backend::tr("一次最多清理 %1 个备份。").arg(maxPrunedPerCreate());
        return outcome;
    }
    QJsonArray steps{Plan::runStep(QStringLiteral("ctl"),
                                   {QStringLiteral("snapshot"), QStringLiteral("create"), name, desc},
                                   kCreateTimeoutMs)};
    // Tolerated: a snapshot that cannot go keeps the new one and the others' removal.
    for (const QString &id : removeIds)
        steps.append(Plan::runStep(QStringLiteral("ctl"),
                                   {QStringLiteral("snapshot"), QStringLiteral("delete"), id},
                                   kDeleteTimeoutMs, true));
    const PlanReport report = runPlan(steps, 0);
    outcome.authorized = report.answered;
    outcome.runningChild = report.command.runningChild;
    outcome.created = report.answered && report.statuses.value(0) == QLatin1String("done");
    for (qsizetype i = 0; i < removeIds.size(); ++i) {
        if (outcome.created && report.statuses.value(i + 1) == QLatin1String("done"))
            outcome.removed << removeIds.at(i);
        else if (outcome.created)
            outcome.notRemoved << removeIds.at(i);
    }
    if (!outcome.created)
        outcome.error = planResult(report).error;
    else if (!outcome.notRemoved.isEmpty())
        outcome.error = report.command.errorOutput.isEmpty()
                            ? Backend::tr("%1 个超限备份未能删除。").arg(outcome.notRemoved.size())
                            : report.command.errorOutput;
    return outcome;
}

} // namespace Tavrin
