#include "backend/backend_p.h"
#include "backend/syspaths.h"

#include <QFile>
#include <QFileInfo>
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

CommandResult elevated(const QString &program, const QList<QString> &args, int timeoutMs)
{
    return runProcess(program, args, timeoutMs, true);
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
        .arg(stateFile, rebootCounterScriptPath());
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

CommandResult saveRollbackState(const QJsonObject &state)
{
    return installPrivateCopy(QJsonDocument(state).toJson(QJsonDocument::Indented), QStringLiteral("0644"),
                              stateFilePath(), 30000, Backend::tr("无法写入临时状态文件"));
}

void clearRollbackState()
{
    elevated(rmToolPath(), {QStringLiteral("-f"), stateFilePath()}, 20000);
}

CommandResult installRollbackCleanup()
{
    const QString state = stateFilePath();
    const struct
    {
        QString text;
        QString mode;
        QString destination;
    } files[] = {
        {rebootCounterScript(state, ctlPath(), rebootCounterRunMarkerPath(),
                             systemPath(QStringLiteral("/usr/bin/python3"))),
         QStringLiteral("0755"), rebootCounterScriptPath()},
        {rollbackCleanupServiceUnit(state), QStringLiteral("0644"), cleanupServicePath()},
        {rollbackCleanupTimerUnit(), QStringLiteral("0644"), cleanupTimerPath()},
    };
    int installed = 0;
    for (const auto &file : files) {
        if (installPrivateCopy(file.text.toUtf8(), file.mode, file.destination, 30000, QString()).ok)
            ++installed;
    }

    CommandResult result;
    if (installed != 3) {
        result.error = Backend::tr("安装 systemd 服务失败");
        return result;
    }
    elevated(systemctlToolPath(), {QStringLiteral("daemon-reload")}, 30000);
    elevated(systemctlToolPath(), {QStringLiteral("enable"), QStringLiteral("--now"), kTimerName}, 60000);
    result.ok = true;
    return result;
}

CommandResult uninstallRollbackCleanup()
{
    elevated(systemctlToolPath(), {QStringLiteral("disable"), QStringLiteral("--now"), kTimerName}, 60000);
    const CommandResult removed = elevated(
        rmToolPath(),
        {QStringLiteral("-f"), cleanupServicePath(), cleanupTimerPath(), rebootCounterScriptPath()}, 20000);
    elevated(systemctlToolPath(), {QStringLiteral("daemon-reload")}, 30000);
    return removed;
}

bool rollbackCleanupInstalled()
{
    // Unit files and their enablement are readable by everyone: no password for a look.
    for (const QString &path : {rebootCounterScriptPath(), cleanupServicePath(), cleanupTimerPath()}) {
        if (!QFileInfo::exists(path))
            return false;
    }
    return runProcess(systemctlToolPath(), {QStringLiteral("is-enabled"), kTimerName}, 20000, false).ok;
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
