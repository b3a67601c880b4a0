#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

/// The plan the privileged helper carries out: the one step that needs root
/// for a user action, so that the action asks for authorization once. Shared
/// by the program, which writes plans, and the helper, which accepts nothing
/// outside the fixed lists below.
///
/// A plan is a JSON object {"steps": [...]}; each step is one of
///   {"op": "write", "target": PATH, "content": TEXT}
///   {"op": "write", "target": PATH, "json": OBJECT, "fill": {KEY: WHAT}}
///   {"op": "remove", "target": PATH}
///   {"op": "run", "tool": "ctl" | "systemctl", "args": [...], "timeout": MS}
///   {"op": "run", "tool": "ostree", "args": ["admin", "undeploy", INDEX], "staged": COMMIT, "timeout": MS}
///     (run only while the deployment staged for the next boot is COMMIT at INDEX)
/// and any step may carry "tolerate": true (its failure does not stop the plan).
/// "fill" sets keys of OBJECT when the step is reached: {"snapshot_named": NAME}
/// is the id of the snapshot with that name, "staged_deployment" the commit of
/// the deployment staged for the next boot.
namespace Tavrin::Plan {

/// A file the helper may replace or remove, always owned by root.
struct Target
{
    QString path;
    int mode = 0644;
};

/// The files a plan may name, as absolute system paths.
QList<Target> targets();
/// The allow-listed target for `path`, or nullptr.
const Target *findTarget(const QString &path);
/// Directories the helper may create (mode 0755) when a target needs them.
QStringList creatableDirectories();

/// The fixed system path of a tool a plan may run ("" for an unknown tool).
QString toolPath(const QString &tool);

inline constexpr int kMaxStepTimeoutMs = 2 * 60 * 60 * 1000;
inline constexpr qsizetype kMaxContentBytes = 1024 * 1024;
inline constexpr qsizetype kMaxPlanBytes = 8 * 1024 * 1024;
inline constexpr qsizetype kMaxSteps = 32;

/// Whether every step of `plan` is allowed; on refusal `error` says why.
bool validate(const QJsonObject &plan, QString *error);

/// A run step that cannot be undone (the rollback itself, a deletion, an
/// undeploy, a cache clean, a discarded staged deployment): once it
/// has succeeded, the helper no longer undoes the steps before it.
bool isCommitPoint(const QJsonObject &step);

/// Program-side builders of steps.
QJsonObject writeStep(const QString &target, const QString &content);
QJsonObject removeStep(const QString &target);
QJsonObject runStep(const QString &tool, const QStringList &args, int timeoutMs, bool tolerate = false);

} // namespace Tavrin::Plan
