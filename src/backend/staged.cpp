#include "backend/staged.h"

#include "backend/backend_p.h"
#include "backend/privplan.h"

#include <QFile>
#include <QJsonDocument>
#include <QVersionNumber>

namespace Tavrin {

namespace {

constexpr int kUndeployTimeoutMs = 600000;
constexpr qint64 kMaxStateFileBytes = 4 * 1024 * 1024;
const QLatin1String kStateFile("/var/lib/tavrin-manager/rollback-state.json");

QJsonObject readStateFile()
{
    QFile file(stateFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = readAtMost(file, kMaxStateFileBytes + 1);
    return data.size() > kMaxStateFileBytes ? QJsonObject() : parseJson(QString::fromUtf8(data));
}

// Only a rollback still waiting for its first boot is cancelled with its deployment.
bool namesPendingRollback(const QJsonObject &state, const QString &commit)
{
    return !commit.isEmpty() && state.value(QLatin1String("rollback_commit")).toString() == commit &&
           state.value(QLatin1String("status")).toString() == QLatin1String("pending");
}

} // namespace

const DeployInfo *stagedDeploy(const QList<DeployInfo> &deploys)
{
    for (const DeployInfo &d : deploys) {
        if (d.hidden && !d.isBooted && !d.commit.isEmpty())
            return &d;
    }
    return nullptr;
}

StagedKind stagedKind(const QList<DeployInfo> &deploys, const RollbackState &state)
{
    const DeployInfo *staged = stagedDeploy(deploys);
    if (!staged)
        return StagedKind::None;
    if (state.valid && state.rollbackCommit == staged->commit && state.status == QLatin1String("pending"))
        return StagedKind::Rollback;
    QVersionNumber booted;
    for (const DeployInfo &d : deploys) {
        if (d.isBooted)
            booted = QVersionNumber::fromString(d.version);
    }
    const QVersionNumber next = QVersionNumber::fromString(staged->version);
    if (!booted.isNull() && !next.isNull() && next > booted)
        return StagedKind::Upgrade;
    return StagedKind::Unknown;
}

QJsonArray discardStagedSteps(const DeployInfo &staged, const QJsonObject &stateFile)
{
    QJsonArray steps;
    if (namesPendingRollback(stateFile, staged.commit)) {
        QJsonObject cancelled = stateFile;
        cancelled.insert(QStringLiteral("status"), QStringLiteral("cancelled"));
        steps.append(Plan::writeStep(kStateFile,
                                     QString::fromUtf8(QJsonDocument(cancelled).toJson(QJsonDocument::Indented))));
    }
    QJsonObject undeploy = Plan::runStep(
        QStringLiteral("ostree"), {QStringLiteral("admin"), QStringLiteral("undeploy"), QString::number(staged.index)},
        kUndeployTimeoutMs);
    undeploy.insert(QStringLiteral("staged"), staged.commit);
    steps.append(undeploy);
    return steps;
}

DiscardOutcome discardStaged(const DeployInfo &staged)
{
    DiscardOutcome outcome;
    const QJsonObject state = readStateFile();
    const QJsonArray steps = discardStagedSteps(staged, state);
    const PlanReport report = runPlan(steps, 0);
    outcome.authorized = report.answered;
    outcome.ok = report.answered && report.ok;
    outcome.rollbackCancelled = outcome.ok && steps.size() > 1;
    outcome.error = planResult(report).error;
    outcome.runningChild = report.command.runningChild;
    return outcome;
}

} // namespace Tavrin
