#include "backend/backend_p.h"
#include "backend/privplan.h"
#include "backend/syspaths.h"

#include <QFile>
#include <QFileInfo>
#include <QDateTime>
#include <QJsonDocument>
#include <QRegularExpression>

namespace Tavrin {

namespace {

constexpr qint64 kMaxStateFileBytes = 4 * 1024 * 1024;
const QLatin1String kTimerName("tavrin-rollback-cleanup.timer");

bool isPlainShellWord(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_./+-]+$"));
    return re.match(text).hasMatch();
}

// A path as one word of a shell command line.
QString shellWord(const QString &text)
{
    if (isPlainShellWord(text))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// A path as a Python string literal inside the script's double-quoted "-c" program.
QString pythonLiteralInDoubleQuotes(const QString &text)
{
    QString python;
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\\') || ch == QLatin1Char('\''))
            python += QLatin1Char('\\') + QString(ch);
        else if (ch == QLatin1Char('\n'))
            python += QLatin1String("\\n");
        else if (ch == QLatin1Char('\r'))
            python += QLatin1String("\\r");
        else
            python += ch;
    }
    QString shell;
    for (const QChar ch : std::as_const(python)) {
        if (ch == QLatin1Char('\\') || ch == QLatin1Char('"') || ch == QLatin1Char('$') ||
            ch == QLatin1Char('`'))
            shell += QLatin1Char('\\');
        shell += ch;
    }
    return QLatin1Char('\'') + shell + QLatin1Char('\'');
}

// Where the clean-up lives: below /usr with the system's own units where /usr
// can be written, else with the administrator's units in /etc/systemd/system
// and the script in the program's state directory (system paths, unmapped).
struct CleanupLayout
{
    QString script;
    QString service;
    QString timer;
};

CleanupLayout cleanupLayout(bool readOnlyUsr)
{
    if (readOnlyUsr)
        return {QStringLiteral("/var/lib/tavrin-manager/reboot-counter.sh"),
                QStringLiteral("/etc/systemd/system/tavrin-rollback-cleanup.service"),
                QStringLiteral("/etc/systemd/system/tavrin-rollback-cleanup.timer")};
    return {QStringLiteral("/usr/libexec/tavrin-manager/reboot-counter.sh"),
            QStringLiteral("/usr/lib/systemd/system/tavrin-rollback-cleanup.service"),
            QStringLiteral("/usr/lib/systemd/system/tavrin-rollback-cleanup.timer")};
}

const QString kStateFile = QStringLiteral("/var/lib/tavrin-manager/rollback-state.json");

// Writing the three files, reloading systemd and enabling the timer.
QJsonArray cleanupInstallSteps()
{
    const CleanupLayout layout = cleanupLayout(usrReadOnly());
    const QString state = stateFilePath();
    return {Plan::writeStep(layout.script, rebootCounterScript(state, ctlPath(), rebootCounterRunMarkerPath(),
                                                               systemPath(QStringLiteral("/usr/bin/python3")))),
            Plan::writeStep(layout.service, rollbackCleanupServiceUnit(state, systemPath(layout.script))),
            Plan::writeStep(layout.timer, rollbackCleanupTimerUnit()),
            Plan::runStep(QStringLiteral("systemctl"), {QStringLiteral("daemon-reload")}, 30000),
            Plan::runStep(QStringLiteral("systemctl"), {QStringLiteral("enable"), QStringLiteral("--now"), kTimerName},
                          60000)};
}

} // namespace

QString rebootCounterScript(const QString &stateFile, const QString &ctlPath, const QString &runMarker,
                            const QString &python)
{
    // The counter moves a "reboot3" state from "pending" to "active" at the first
    // boot of the deployment the rollback staged, and counts that boot. Any other
    // booted deployment (an upgrade staged after the rollback, the old one) leaves
    // the state pending: only the rolled-back system may drop the backup. The
    // state is replaced through a file beside it, so a cut during the write
    // keeps the old one, and that file never stays behind.
    const QString marker = shellWord(runMarker);
    QString script;
    script += QLatin1String("#!/bin/sh\n");
    script += QLatin1String("# tavrin rollback cleanup boot counter\n");
    script += QStringLiteral("if [ -e %1 ]; then exit 0; fi\n").arg(marker);
    script += QStringLiteral("touch %1 || exit 0\n").arg(marker);
    script += QStringLiteral("test -f %1 || exit 0\n").arg(shellWord(stateFile));
    script += QStringLiteral("PY=%1\n").arg(shellWord(python));
    script +=
        QStringLiteral("if [ -x $PY ]; then $PY -c \"import json,os,sys;f=%1;c=%2;d=json.load(open(f));"
                       "l=d.get('reboot_limit',3);b=d.get('backup_snapshot_id','');st=d.get('status','');"
                       "r=d.get('rollback_commit','')\n")
            .arg(pythonLiteralInDoubleQuotes(stateFile), pythonLiteralInDoubleQuotes(ctlPath));
    script += QLatin1String("import subprocess\n");
    script +=
        QLatin1String("if st=='pending' and isinstance(r,str) and r and d.get('strategy')=='reboot3':\n");
    script += QLatin1String(" try:\n");
    script += QLatin1String(
        "  q=subprocess.run([c,'admin','status','-j'],capture_output=True,text=True,timeout=300);"
        "n=[x.get('CommitIDIdx') for x in json.loads(q.stdout)['data']['deploy_list'] "
        "if x.get('IsBooted') is True] if q.returncode==0 else []\n");
    script += QLatin1String(" except Exception:\n");
    script += QLatin1String("  n=[]\n");
    script += QLatin1String(" if n==[r]:\n");
    script += QLatin1String("  st='active';d['status']=st\n");
    script += QLatin1String("if st!='active':\n");
    script += QLatin1String(" sys.exit(0)\n");
    script += QLatin1String("d['reboot_count']=d.get('reboot_count',0)+1\n");
    script += QLatin1String("if d['reboot_count']>=l and b:\n");
    script += QLatin1String(" p=subprocess.run([c,'snapshot','delete',b],capture_output=True,text=True)\n");
    script += QLatin1String(" d['status']='done' if p.returncode==0 else 'failed'\n");
    script += QLatin1String("t=f+'.tmp'\n");
    script += QLatin1String("try:\n");
    script += QLatin1String(" with open(t,'w') as h:\n");
    script += QLatin1String("  json.dump(d,h,ensure_ascii=False,indent=2);h.flush();os.fsync(h.fileno())\n");
    script += QLatin1String(" os.replace(t,f)\n");
    script += QLatin1String("finally:\n");
    script += QLatin1String(" os.path.lexists(t) and os.unlink(t)\n");
    script += QLatin1String("\" ; fi\n");
    return script;
}

QString rollbackCleanupServiceUnit(const QString &stateFile)
{
    return rollbackCleanupServiceUnit(stateFile, rebootCounterScriptPath());
}

QString rollbackCleanupServiceUnit(const QString &stateFile, const QString &scriptPath)
{
    return QStringLiteral("[Unit]\n"
                          "Description=Clean up rollback backup snapshot after N successful reboots\n"
                          "ConditionPathExists=%1\n"
                          "\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "ExecStart=%2\n"
                          "Nice=19\n"
                          "IOSchedulingClass=idle\n"
                          "Restart=no\n")
        .arg(stateFile, scriptPath);
}

QString rollbackCleanupTimerUnit()
{
    return QStringLiteral("[Unit]\n"
                          "Description=Clean up rollback backup snapshot after N successful reboots\n"
                          "\n"
                          "[Timer]\n"
                          "OnBootSec=3min\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n");
}

RollbackState parseRollbackState(const QByteArray &data)
{
    RollbackState state;
    const QJsonObject o = parseJson(QString::fromUtf8(data));
    if (o.isEmpty())
        return state;
    state.rollbackTarget = o.value(QLatin1String("rollback_target")).toString();
    state.rollbackTargetName = o.value(QLatin1String("rollback_target_name")).toString();
    state.backupSnapshotId = o.value(QLatin1String("backup_snapshot_id")).toString();
    state.backupSnapshotName = o.value(QLatin1String("backup_snapshot_name")).toString();
    state.originalBooted = o.value(QLatin1String("original_booted")).toString();
    state.rollbackCommit = o.value(QLatin1String("rollback_commit")).toString();
    state.strategy = o.value(QLatin1String("strategy")).toString();
    state.status = o.value(QLatin1String("status")).toString();
    state.rebootCount = o.value(QLatin1String("reboot_count")).toInt();
    state.rebootLimit = o.value(QLatin1String("reboot_limit")).toInt(3);
    state.createdAt = o.value(QLatin1String("created_at")).toVariant().toLongLong();
    state.valid = true;
    return state;
}

RollbackState getRollbackState()
{
    QFile file(stateFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return RollbackState();
    const QByteArray data = readAtMost(file, kMaxStateFileBytes + 1);
    if (data.size() > kMaxStateFileBytes)
        return RollbackState();
    return parseRollbackState(data);
}

QString rebootCounterScriptPath()
{
    return systemPath(cleanupLayout(usrReadOnly()).script);
}
QString cleanupServicePath()
{
    return systemPath(cleanupLayout(usrReadOnly()).service);
}
QString cleanupTimerPath()
{
    return systemPath(cleanupLayout(usrReadOnly()).timer);
}

CommandResult saveRollbackState(const QJsonObject &state)
{
    const QJsonArray steps{
        Plan::writeStep(kStateFile, QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Indented)))};
    return planResult(runPlan(steps, 30000));
}

void clearRollbackState()
{
    runPlan({Plan::removeStep(kStateFile)}, 20000);
}

CommandResult installRollbackCleanup()
{
    CommandResult result = planResult(runPlan(cleanupInstallSteps(), 0));
    if (!result.ok)
        result.error = Backend::tr("安装 systemd 服务失败: %1").arg(result.error);
    return result;
}

CommandResult uninstallRollbackCleanup()
{
    // Both places: a clean-up installed before /usr became read-only, or after.
    QJsonArray steps{Plan::runStep(QStringLiteral("systemctl"),
                                   {QStringLiteral("disable"), QStringLiteral("--now"), kTimerName}, 60000, true)};
    for (const bool readOnly : {false, true}) {
        const CleanupLayout layout = cleanupLayout(readOnly);
        for (const QString &path : {layout.service, layout.timer, layout.script})
            steps.append(Plan::removeStep(path));
    }
    steps.append(Plan::runStep(QStringLiteral("systemctl"), {QStringLiteral("daemon-reload")}, 30000, true));
    return planResult(runPlan(steps, 0));
}

bool rollbackCleanupInstalled()
{
    // Unit files and their enablement are readable by everyone: no password for a look.
    bool present = false;
    for (const bool readOnly : {false, true}) {
        const CleanupLayout layout = cleanupLayout(readOnly);
        bool all = true;
        for (const QString &path : {layout.script, layout.service, layout.timer})
            all = all && QFileInfo::exists(systemPath(path));
        present = present || all;
    }
    return present &&
           runProcess(systemctlToolPath(), {QStringLiteral("is-enabled"), kTimerName}, 20000, false).ok;
}

RollbackOutcome rollBackToSnapshot(const RollbackRequest &request)
{
    RollbackOutcome outcome;
    const bool backup = request.strategy != QLatin1String("none");
    QJsonArray steps;
    if (backup) {
        const QString problem = snapshotTextProblem(request.backupName, request.backupDesc);
        if (!problem.isEmpty()) {
            outcome.error = problem;
            return outcome;
        }
        steps.append(Plan::runStep(QStringLiteral("ctl"),
                                   {QStringLiteral("snapshot"), QStringLiteral("create"), request.backupName,
                                    request.backupDesc},
                                   900000));
        outcome.steps << RollbackOutcome::Backup;
    }
    if (request.strategy == QLatin1String("reboot3")) {
        for (const QJsonValue &step : cleanupInstallSteps()) {
            steps.append(step);
            outcome.steps << RollbackOutcome::Cleanup;
        }
    }
    steps.append(Plan::runStep(QStringLiteral("ctl"),
                               {QStringLiteral("snapshot"), QStringLiteral("rollback"), request.targetId},
                               1800000));
    outcome.steps << RollbackOutcome::Rollback;
    if (backup) {
        const QJsonObject state{{"rollback_target", request.targetId},
                                {"rollback_target_name", request.targetName},
                                {"backup_snapshot_name", request.backupName},
                                {"original_booted", request.bootedId},
                                {"created_at", QDateTime::currentSecsSinceEpoch()},
                                {"reboot_count", 0},
                                {"reboot_limit", 3},
                                {"strategy", request.strategy},
                                {"status", "pending"}};
        steps.append(QJsonObject{{"op", "write"},
                                 {"target", kStateFile},
                                 {"json", state},
                                 {"fill", QJsonObject{{"backup_snapshot_id",
                                                       QJsonObject{{"snapshot_named", request.backupName}}},
                                                      {"rollback_commit", "staged_deployment"}}}});
        outcome.steps << RollbackOutcome::State;
    }

    const PlanReport report = runPlan(steps, 0);
    outcome.authorized = report.answered;
    outcome.ok = report.answered && report.ok;
    outcome.rolledBack = report.committed;
    outcome.statuses = report.statuses;
    outcome.failedStep = report.failedStep;
    outcome.backupId = report.values.value(QLatin1String("backup_snapshot_id")).toString();
    outcome.error = planResult(report).error;
    outcome.runningChild = report.command.runningChild;
    return outcome;
}

QString stagedDeployFromList(const QList<DeployInfo> &deploys)
{
    for (const DeployInfo &d : deploys) {
        if (d.hidden && !d.isBooted && !d.commit.isEmpty())
            return d.commit;
    }
    return QString();
}

QString getStagedDeployId()
{
    return stagedDeployFromList(getDeploys());
}

QString rollbackStateNote(const RollbackState &state)
{
    if (!state.valid || state.strategy != QLatin1String("reboot3") ||
        state.status != QLatin1String("pending"))
        return QString();
    if (state.rollbackCommit.isEmpty())
        return Backend::tr("无法确认还原后启动的系统，备份不会自动删除，请手动清理");
    return Backend::tr("等待还原后的系统启动，之后开始计数");
}

} // namespace Tavrin
