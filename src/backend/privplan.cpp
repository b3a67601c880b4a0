#include "backend/privplan.h"

#include <QJsonValue>

namespace Tavrin::Plan {

namespace {

const QLatin1String kTimer("tavrin-rollback-cleanup.timer");
const QLatin1String kCleanupName("tavrin-rollback-cleanup");

bool isFreeWord(const QJsonValue &v)
{
    // Names, descriptions and ids: never an option for the tool.
    return v.isString() && !v.toString().startsWith(QLatin1Char('-')) && !v.toString().contains(QChar(0));
}

bool ctlArgsAllowed(const QJsonArray &a)
{
    if (a.size() < 3)
        return false;
    // What the free-space planner removes: one deployment, the whole upgrade cache.
    if (a.at(0).toString() == QLatin1String("admin"))
        return a.size() == 3 && a.at(1).toString() == QLatin1String("undeploy") && isFreeWord(a.at(2)) &&
               !a.at(2).toString().isEmpty();
    if (a.at(0).toString() == QLatin1String("upgrade"))
        return a.size() == 3 && a.at(1).toString() == QLatin1String("clean") && a.at(2).toString() == QLatin1String("-a");
    if (a.at(0).toString() != QLatin1String("snapshot"))
        return false;
    const QString verb = a.at(1).toString();
    if (verb == QLatin1String("create"))
        return (a.size() == 3 || a.size() == 4) && isFreeWord(a.at(2)) && (a.size() == 3 || isFreeWord(a.at(3)));
    if (verb == QLatin1String("delete"))
        return a.size() == 3 && isFreeWord(a.at(2)) && !a.at(2).toString().isEmpty();
    if (verb == QLatin1String("rollback"))
        return (a.size() == 3 || (a.size() == 4 && a.at(3).toString() == QLatin1String("--delete-others"))) &&
               isFreeWord(a.at(2)) && !a.at(2).toString().isEmpty();
    return false;
}

// Only the discard of the deployment staged for the next boot, by its index,
// and only with the commit the index must still hold.
bool ostreeStepAllowed(const QJsonObject &step)
{
    const QJsonArray a = step.value(QLatin1String("args")).toArray();
    if (a.size() != 3 || a.at(0).toString() != QLatin1String("admin") ||
        a.at(1).toString() != QLatin1String("undeploy"))
        return false;
    const QString index = a.at(2).toString();
    if (index.isEmpty() || index.size() > 6)
        return false;
    for (const QChar c : index) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const QJsonValue staged = step.value(QLatin1String("staged"));
    return isFreeWord(staged) && !staged.toString().isEmpty();
}

bool systemctlArgsAllowed(const QJsonArray &a)
{
    if (a.size() == 1)
        return a.at(0).toString() == QLatin1String("daemon-reload");
    return a.size() == 3 &&
           (a.at(0).toString() == QLatin1String("enable") || a.at(0).toString() == QLatin1String("disable")) &&
           a.at(1).toString() == QLatin1String("--now") && a.at(2).toString() == kTimer;
}

bool fillAllowed(const QJsonObject &fill)
{
    for (auto it = fill.begin(); it != fill.end(); ++it) {
        if (it.key() == QLatin1String("backup_snapshot_id")) {
            const QJsonValue named = it.value().toObject().value(QLatin1String("snapshot_named"));
            if (!named.isString() || named.toString().isEmpty())
                return false;
        } else if (it.key() == QLatin1String("rollback_commit")) {
            if (it.value().toString() != QLatin1String("staged_deployment"))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

QList<Target> targets()
{
    const QString unit = kCleanupName;
    return {
        {QStringLiteral("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf"), 0644},
        {QStringLiteral("/var/lib/tavrin-manager/rollback-state.json"), 0644},
        // The clean-up where /usr is writable ...
        {QStringLiteral("/usr/libexec/tavrin-manager/reboot-counter.sh"), 0755},
        {QStringLiteral("/usr/lib/systemd/system/") + unit + QStringLiteral(".service"), 0644},
        {QStringLiteral("/usr/lib/systemd/system/") + unit + QStringLiteral(".timer"), 0644},
        // ... and where it is not: the administrator's units and a state directory.
        {QStringLiteral("/var/lib/tavrin-manager/reboot-counter.sh"), 0755},
        {QStringLiteral("/etc/systemd/system/") + unit + QStringLiteral(".service"), 0644},
        {QStringLiteral("/etc/systemd/system/") + unit + QStringLiteral(".timer"), 0644},
    };
}

const Target *findTarget(const QString &path)
{
    static const QList<Target> all = targets();
    for (const Target &t : all) {
        if (t.path == path)
            return &t;
    }
    return nullptr;
}

QStringList creatableDirectories()
{
    return {QStringLiteral("/var/lib/tavrin-manager"), QStringLiteral("/usr/libexec/tavrin-manager")};
}

QString toolPath(const QString &tool)
{
    if (tool == QLatin1String("ctl"))
        return QStringLiteral("/usr/sbin/zarnex-immutable-ctl");
    if (tool == QLatin1String("systemctl"))
        return QStringLiteral("/usr/bin/systemctl");
    if (tool == QLatin1String("ostree"))
        return QStringLiteral("/usr/bin/ostree");
    return QString();
}

bool validate(const QJsonObject &plan, QString *error)
{
    const auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QJsonValue stepsValue = plan.value(QLatin1String("steps"));
    if (!stepsValue.isArray() || stepsValue.toArray().isEmpty())
        return refuse(QStringLiteral("the plan has no steps"));
    const QJsonArray steps = stepsValue.toArray();
    if (steps.size() > kMaxSteps)
        return refuse(QStringLiteral("the plan has too many steps"));
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString where = QStringLiteral("step %1: ").arg(i + 1);
        if (!steps.at(i).isObject())
            return refuse(where + QStringLiteral("not an object"));
        const QJsonObject step = steps.at(i).toObject();
        const QString op = step.value(QLatin1String("op")).toString();
        const QJsonValue tolerate = step.value(QLatin1String("tolerate"));
        if (!tolerate.isUndefined() && !tolerate.isBool())
            return refuse(where + QStringLiteral("\"tolerate\" is not a boolean"));
        if (op == QLatin1String("write") || op == QLatin1String("remove")) {
            const QString target = step.value(QLatin1String("target")).toString();
            if (!findTarget(target))
                return refuse(where + QStringLiteral("not an allowed target: %1").arg(target));
            if (op == QLatin1String("remove"))
                continue;
            const QJsonValue content = step.value(QLatin1String("content"));
            const QJsonValue json = step.value(QLatin1String("json"));
            if (content.isString() == json.isObject())
                return refuse(where + QStringLiteral("a write needs either \"content\" or \"json\""));
            if (content.isString() && content.toString().toUtf8().size() > kMaxContentBytes)
                return refuse(where + QStringLiteral("content too large"));
            const QJsonValue fill = step.value(QLatin1String("fill"));
            if (!fill.isUndefined() && (!json.isObject() || !fill.isObject() || !fillAllowed(fill.toObject())))
                return refuse(where + QStringLiteral("not an allowed \"fill\""));
        } else if (op == QLatin1String("run")) {
            const QString tool = step.value(QLatin1String("tool")).toString();
            const QJsonValue args = step.value(QLatin1String("args"));
            if (!args.isArray())
                return refuse(where + QStringLiteral("\"args\" is not a list"));
            const bool allowed = (tool == QLatin1String("ctl") && ctlArgsAllowed(args.toArray())) ||
                                 (tool == QLatin1String("systemctl") && systemctlArgsAllowed(args.toArray())) ||
                                 (tool == QLatin1String("ostree") && ostreeStepAllowed(step));
            if (!allowed)
                return refuse(where + QStringLiteral("not an allowed command"));
            const QJsonValue timeout = step.value(QLatin1String("timeout"));
            if (!timeout.isDouble() || timeout.toDouble() < 1 || timeout.toDouble() > kMaxStepTimeoutMs)
                return refuse(where + QStringLiteral("no valid \"timeout\""));
        } else {
            return refuse(where + QStringLiteral("unknown operation \"%1\"").arg(op));
        }
    }
    return true;
}

bool isCommitPoint(const QJsonObject &step)
{
    if (step.value(QLatin1String("op")).toString() != QLatin1String("run"))
        return false;
    if (step.value(QLatin1String("tool")).toString() == QLatin1String("ostree"))
        return true;
    if (step.value(QLatin1String("tool")).toString() != QLatin1String("ctl"))
        return false;
    const QString verb = step.value(QLatin1String("args")).toArray().at(1).toString();
    return verb == QLatin1String("rollback") || verb == QLatin1String("delete") ||
           verb == QLatin1String("undeploy") || verb == QLatin1String("clean");
}

QJsonObject writeStep(const QString &target, const QString &content)
{
    return QJsonObject{{"op", "write"}, {"target", target}, {"content", content}};
}

QJsonObject removeStep(const QString &target)
{
    return QJsonObject{{"op", "remove"}, {"target", target}};
}

QJsonObject runStep(const QString &tool, const QStringList &args, int timeoutMs, bool tolerate)
{
    QJsonObject step{{"op", "run"}, {"tool", tool}, {"args", QJsonArray::fromStringList(args)}, {"timeout", timeoutMs}};
    if (tolerate)
        step.insert(QStringLiteral("tolerate"), true);
    return step;
}

} // namespace Tavrin::Plan
