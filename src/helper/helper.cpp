// tavrin-manager-helper: the program's one privileged step per user action.
//
// Started by absolute path through "sudo -n" or "pkexec", it reads one plan
// (see backend/privplan.h) on standard input, refuses it whole unless every
// step is on the fixed lists, writes every new file beside its target first,
// then carries the steps out in order. A step that fails undoes what the
// steps before it did, newest first, unless a step that cannot be undone (the
// rollback itself) has already succeeded; then the rest is reported as not
// done. It answers with one JSON report on standard output.
//
// It trusts nothing of its caller's environment: the system root is "/",
// unless the helper lies at the fixed path inside a simulated system root
// (marked as such), which it then serves, as the simulated tools do.

#include "backend/privplan.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Tavrin;

const QLatin1String kSelf("/usr/libexec/tavrin-manager/tavrin-manager-helper");
const QLatin1String kSimMarkers[] = {QLatin1String("/.zarnex-sim-root"),
                                     QLatin1String("/var/lib/zarnex-sim/marker")};
const QLatin1String kSimUsrReadOnly("/var/lib/zarnex-sim/usr-readonly");
const QLatin1String kTimer("tavrin-rollback-cleanup.timer");

QString root;
bool simulated = false;

QString sys(const QString &path)
{
    return root + path;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool findRoot(QString *why)
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (self.isEmpty()) {
        *why = QStringLiteral("cannot find its own executable");
        return false;
    }
    if (!self.endsWith(kSelf) || self == kSelf)
        return true;
    const QString prefix = self.chopped(kSelf.size());
    for (const QLatin1String &marker : kSimMarkers) {
        if (!QFileInfo::exists(prefix + marker)) {
            *why = QStringLiteral("%1 is not a simulated system root").arg(prefix);
            return false;
        }
    }
    root = prefix;
    simulated = true;
    return true;
}

// The simulated system mounts nothing: its read-only /usr is a marker.
bool readOnlyHere(const QString &path)
{
    return simulated && QFileInfo::exists(sys(kSimUsrReadOnly)) &&
           (path + QLatin1Char('/')).startsWith(sys(QStringLiteral("/usr/")));
}

struct Outcome
{
    QString status = QStringLiteral("not-run");
    int exitCode = -1;
    QString output;
    QString error;

    QJsonObject json() const
    {
        return QJsonObject{{"status", status}, {"exitCode", exitCode}, {"output", output}, {"error", error}};
    }
};

struct ToolRun
{
    bool ok = false;
    int exitCode = -1;
    QString output;
    QString error;
};

ToolRun runTool(const QString &tool, const QStringList &args, int timeoutMs)
{
    ToolRun run;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    const QString program = sys(Plan::toolPath(tool));
    p.start(program, args);
    if (!p.waitForStarted(5000)) {
        run.error = QStringLiteral("cannot start %1").arg(program);
        return run;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(3000);
        run.error = QStringLiteral("%1 timed out").arg(program);
        return run;
    }
    run.exitCode = p.exitCode();
    run.output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    const QString err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    run.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!run.ok)
        run.error = !err.isEmpty() ? err : !run.output.isEmpty() ? run.output : QStringLiteral("failed");
    return run;
}

QJsonArray jsonList(const QString &output, const char *key)
{
    return QJsonDocument::fromJson(output.toUtf8())
        .object()
        .value(QLatin1String("data"))
        .toObject()
        .value(QLatin1String(key))
        .toArray();
}

QStringList snapshotIdsNamed(const QString &name)
{
    QStringList ids;
    const ToolRun list = runTool(QStringLiteral("ctl"), {"snapshot", "list", "-j"}, 60000);
    for (const QJsonValue &v : jsonList(list.output, "snapshot_list")) {
        if (v.toObject().value(QLatin1String("name")).toString() == name)
            ids << v.toObject().value(QLatin1String("id")).toString();
    }
    return ids;
}

// The commit of the deployment staged for the next boot, with its index.
QString stagedDeployment(int *index = nullptr)
{
    const ToolRun status = runTool(QStringLiteral("ctl"), {"admin", "status", "-j"}, 60000);
    for (const QJsonValue &v : jsonList(status.output, "deploy_list")) {
        const QJsonObject d = v.toObject();
        if (d.value(QLatin1String("Hidden")).toBool() && !d.value(QLatin1String("IsBooted")).toBool()) {
            if (index)
                *index = d.value(QLatin1String("Index")).toInt(-1);
            return d.value(QLatin1String("CommitIDIdx")).toString();
        }
    }
    return QString();
}

// A new file in `dir` with a name nobody else can have chosen.
QString uniqueName(const QString &dir, const QString &base, const char *tag, int *fd)
{
    QByteArray name = QFile::encodeName(dir + QStringLiteral("/.") + base + QLatin1Char('.') +
                                        QLatin1String(tag) + QStringLiteral("-XXXXXX"));
    *fd = ::mkstemp(name.data());
    return *fd < 0 ? QString() : QFile::decodeName(name);
}

struct Applied
{
    enum Kind { Wrote, Removed, MadeDir, Ran } kind;
    QString target;
    QString backup;
    QJsonObject step;
    QString createdSnapshot;
};

class Executor
{
public:
    QList<Applied> applied;
    QStringList stagedFiles;
    QString lastSnapshotCreated;
    QJsonObject values;

    bool ensureDirectory(const QString &systemDir, QString *error)
    {
        const QString dir = sys(systemDir);
        if (QFileInfo(dir).isDir())
            return true;
        if (!Plan::creatableDirectories().contains(systemDir) || readOnlyHere(dir)) {
            *error = QStringLiteral("cannot create %1: %2")
                         .arg(systemDir, readOnlyHere(dir) ? errnoText(EROFS) : errnoText(ENOENT));
            return false;
        }
        if (::mkdir(QFile::encodeName(dir).constData(), 0755) != 0) {
            *error = QStringLiteral("cannot create %1: %2").arg(systemDir, errnoText(errno));
            return false;
        }
        applied.append(Applied{Applied::MadeDir, dir, QString(), {}, {}});
        return true;
    }

    // The new content beside the target, complete and synced, owner and mode set.
    QString stage(const QString &systemTarget, const QByteArray &content, QString *error)
    {
        const Plan::Target *t = Plan::findTarget(systemTarget);
        const QFileInfo info(systemTarget);
        if (!ensureDirectory(info.path(), error))
            return QString();
        const QString dir = sys(info.path());
        // No symbolic link on the way: the target is the file it names.
        if (QFileInfo(dir).canonicalFilePath() != dir) {
            *error = QStringLiteral("%1 is not a plain directory").arg(info.path());
            return QString();
        }
        if (readOnlyHere(dir)) {
            *error = QStringLiteral("cannot write %1: %2").arg(systemTarget, errnoText(EROFS));
            return QString();
        }
        int fd = -1;
        const QString staged = uniqueName(dir, info.fileName(), "tavrin-new", &fd);
        if (staged.isEmpty()) {
            *error = QStringLiteral("cannot write %1: %2").arg(systemTarget, errnoText(errno));
            return QString();
        }
        stagedFiles << staged;
        bool ok = ::fchmod(fd, mode_t(t->mode)) == 0;
        // Only a real root can give files to root; the simulated system runs as anyone.
        if (ok && ::fchown(fd, 0, 0) != 0 && !(simulated && errno == EPERM))
            ok = false;
        qsizetype done = 0;
        while (ok && done < content.size()) {
            const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
            if (n <= 0) {
                ok = false;
                break;
            }
            done += n;
        }
        ok = ok && ::fsync(fd) == 0;
        const int saved = errno;
        ::close(fd);
        if (!ok) {
            *error = QStringLiteral("cannot write %1: %2").arg(systemTarget, errnoText(saved));
            return QString();
        }
        return staged;
    }

    bool putInPlace(const QString &systemTarget, const QString &staged, QString *error)
    {
        const QString target = sys(systemTarget);
        const QFileInfo info(target);
        QString backup;
        struct stat st{};
        if (::lstat(QFile::encodeName(target).constData(), &st) == 0) {
            int fd = -1;
            backup = uniqueName(info.path(), info.fileName(), "tavrin-old", &fd);
            if (backup.isEmpty()) {
                *error = QStringLiteral("cannot keep %1: %2").arg(systemTarget, errnoText(errno));
                return false;
            }
            ::close(fd);
            // The old file also under the backup name (the same inode, the
            // target never missing): undo is one rename back.
            ::unlink(QFile::encodeName(backup).constData());
            if (::link(QFile::encodeName(target).constData(), QFile::encodeName(backup).constData()) != 0) {
                *error = QStringLiteral("cannot keep %1: %2").arg(systemTarget, errnoText(errno));
                return false;
            }
        }
        if (::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) != 0) {
            *error = QStringLiteral("cannot replace %1: %2").arg(systemTarget, errnoText(errno));
            if (!backup.isEmpty())
                ::rename(QFile::encodeName(backup).constData(), QFile::encodeName(target).constData());
            return false;
        }
        stagedFiles.removeAll(staged);
        applied.append(Applied{Applied::Wrote, target, backup, {}, {}});
        return true;
    }

    bool removeTarget(const QString &systemTarget, QString *error)
    {
        const QString target = sys(systemTarget);
        struct stat st{};
        if (::lstat(QFile::encodeName(target).constData(), &st) != 0)
            return true;
        if (readOnlyHere(target)) {
            *error = QStringLiteral("cannot remove %1: %2").arg(systemTarget, errnoText(EROFS));
            return false;
        }
        const QFileInfo info(target);
        int fd = -1;
        const QString backup = uniqueName(info.path(), info.fileName(), "tavrin-old", &fd);
        if (backup.isEmpty()) {
            *error = QStringLiteral("cannot remove %1: %2").arg(systemTarget, errnoText(errno));
            return false;
        }
        ::close(fd);
        if (::rename(QFile::encodeName(target).constData(), QFile::encodeName(backup).constData()) != 0) {
            *error = QStringLiteral("cannot remove %1: %2").arg(systemTarget, errnoText(errno));
            ::unlink(QFile::encodeName(backup).constData());
            return false;
        }
        applied.append(Applied{Applied::Removed, target, backup, {}, {}});
        return true;
    }

    ToolRun run(const QJsonObject &step)
    {
        const QString tool = step.value(QLatin1String("tool")).toString();
        QStringList args;
        for (const QJsonValue &v : step.value(QLatin1String("args")).toArray())
            args << v.toString();
        const int timeout = step.value(QLatin1String("timeout")).toInt();
        const bool creates = tool == QLatin1String("ctl") && args.value(1) == QLatin1String("create");
        // A snapshot is named by its creator: the new one is the id that was not there.
        const QString name = args.size() == 4 ? args.at(2) : QString();
        const QStringList before = creates && !name.isEmpty() ? snapshotIdsNamed(name) : QStringList();
        // An index names another deployment once the list has changed: the
        // staged one must still be the commit the plan was made for.
        if (step.contains(QLatin1String("staged"))) {
            int index = -1;
            const QString staged = stagedDeployment(&index);
            if (staged != step.value(QLatin1String("staged")).toString() ||
                QString::number(index) != args.value(2)) {
                ToolRun refused;
                refused.error = QStringLiteral("the deployment staged for the next boot is no longer %1")
                                    .arg(step.value(QLatin1String("staged")).toString().left(12));
                return refused;
            }
        }
        ToolRun r = runTool(tool, args, timeout);
        if (!r.ok)
            return r;
        Applied a{Applied::Ran, QString(), QString(), step, {}};
        if (creates && !name.isEmpty()) {
            for (const QString &id : snapshotIdsNamed(name)) {
                if (!before.contains(id))
                    a.createdSnapshot = id;
            }
            lastSnapshotCreated = a.createdSnapshot;
        }
        applied.append(a);
        return r;
    }

    bool fill(QJsonObject *json, const QJsonObject &fill, QString *error)
    {
        for (auto it = fill.begin(); it != fill.end(); ++it) {
            QString value;
            if (it.key() == QLatin1String("backup_snapshot_id")) {
                const QString name = it.value().toObject().value(QLatin1String("snapshot_named")).toString();
                value = lastSnapshotCreated;
                if (value.isEmpty())
                    value = snapshotIdsNamed(name).value(0);
            } else {
                value = stagedDeployment();
            }
            // Without the backup's id the state would name nothing to clean up;
            // an unknown staged commit only keeps the clean-up waiting.
            if (value.isEmpty() && it.key() == QLatin1String("backup_snapshot_id")) {
                *error = QStringLiteral("cannot find the snapshot %1")
                             .arg(it.value().toObject().value(QLatin1String("snapshot_named")).toString());
                return false;
            }
            json->insert(it.key(), value);
            values.insert(it.key(), value);
        }
        return true;
    }

    void undo()
    {
        bool reload = false;
        for (qsizetype i = applied.size() - 1; i >= 0; --i) {
            const Applied &a = applied.at(i);
            const QByteArray target = QFile::encodeName(a.target);
            switch (a.kind) {
            case Applied::Wrote:
                if (a.backup.isEmpty())
                    ::unlink(target.constData());
                else
                    ::rename(QFile::encodeName(a.backup).constData(), target.constData());
                break;
            case Applied::Removed:
                ::rename(QFile::encodeName(a.backup).constData(), target.constData());
                break;
            case Applied::MadeDir:
                ::rmdir(target.constData());
                break;
            case Applied::Ran: {
                const QJsonArray args = a.step.value(QLatin1String("args")).toArray();
                const QString verb = args.at(0).toString();
                if (a.step.value(QLatin1String("tool")).toString() == QLatin1String("systemctl")) {
                    if (verb == QLatin1String("daemon-reload"))
                        reload = true;
                    else
                        runTool(QStringLiteral("systemctl"),
                                {verb == QLatin1String("enable") ? "disable" : "enable", "--now", kTimer}, 60000);
                } else if (!a.createdSnapshot.isEmpty()) {
                    runTool(QStringLiteral("ctl"), {"snapshot", "delete", a.createdSnapshot}, 900000);
                }
                break;
            }
            }
        }
        if (reload)
            runTool(QStringLiteral("systemctl"), {"daemon-reload"}, 30000);
        applied.clear();
    }

    void finish()
    {
        for (const Applied &a : std::as_const(applied)) {
            if (!a.backup.isEmpty())
                ::unlink(QFile::encodeName(a.backup).constData());
        }
        for (const QString &s : std::as_const(stagedFiles))
            ::unlink(QFile::encodeName(s).constData());
    }
};

int answer(const QJsonObject &report, int code)
{
    const QByteArray out = QJsonDocument(report).toJson(QJsonDocument::Compact);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return code;
}

int refuse(const QString &why)
{
    return answer(QJsonObject{{"ok", false}, {"refused", true}, {"error", why}}, 2);
}

} // namespace

int main()
{
    QString why;
    if (!findRoot(&why))
        return refuse(why);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return refuse(QStringLiteral("cannot read the plan"));
    const QByteArray data = in.read(Plan::kMaxPlanBytes + 1);
    if (data.size() > Plan::kMaxPlanBytes)
        return refuse(QStringLiteral("the plan is too large"));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return refuse(QStringLiteral("the plan is not a JSON object"));
    if (!Plan::validate(doc.object(), &why))
        return refuse(why);

    const QJsonArray steps = doc.object().value(QLatin1String("steps")).toArray();
    QList<Outcome> outcomes(steps.size());
    Executor ex;
    QString failure;
    qsizetype failedAt = -1;

    // Everything that can be written now is written before anything changes.
    QHash<qsizetype, QString> staged;
    for (qsizetype i = 0; i < steps.size() && failedAt < 0; ++i) {
        const QJsonObject step = steps.at(i).toObject();
        if (step.value(QLatin1String("op")).toString() != QLatin1String("write") ||
            !step.value(QLatin1String("content")).isString())
            continue;
        const QString path =
            ex.stage(step.value(QLatin1String("target")).toString(),
                     step.value(QLatin1String("content")).toString().toUtf8(), &failure);
        if (path.isEmpty())
            failedAt = i;
        else
            staged.insert(i, path);
    }

    bool committed = false;
    for (qsizetype i = 0; i < steps.size() && failedAt < 0; ++i) {
        const QJsonObject step = steps.at(i).toObject();
        const QString op = step.value(QLatin1String("op")).toString();
        const QString target = step.value(QLatin1String("target")).toString();
        Outcome &o = outcomes[i];
        bool ok = true;
        QString error;
        if (op == QLatin1String("write")) {
            QString path = staged.value(i);
            if (path.isEmpty()) {
                QJsonObject json = step.value(QLatin1String("json")).toObject();
                ok = ex.fill(&json, step.value(QLatin1String("fill")).toObject(), &error);
                if (ok)
                    path = ex.stage(target, QJsonDocument(json).toJson(QJsonDocument::Indented), &error);
                ok = ok && !path.isEmpty();
            }
            ok = ok && ex.putInPlace(target, path, &error);
        } else if (op == QLatin1String("remove")) {
            ok = ex.removeTarget(target, &error);
        } else {
            const ToolRun r = ex.run(step);
            o.exitCode = r.exitCode;
            o.output = r.output;
            ok = r.ok;
            error = r.error;
        }
        o.error = error;
        if (ok) {
            o.status = QStringLiteral("done");
            if (Plan::isCommitPoint(step))
                committed = true;
        } else if (step.value(QLatin1String("tolerate")).toBool()) {
            o.status = QStringLiteral("tolerated");
        } else {
            o.status = QStringLiteral("failed");
            failure = error;
            failedAt = i;
        }
    }
    if (failedAt >= 0 && outcomes.at(failedAt).status == QLatin1String("not-run")) {
        outcomes[failedAt].status = QStringLiteral("failed");
        outcomes[failedAt].error = failure;
    }

    if (failedAt >= 0 && !committed) {
        ex.undo();
        for (qsizetype i = 0; i < failedAt; ++i) {
            if (outcomes.at(i).status == QLatin1String("done"))
                outcomes[i].status = QStringLiteral("undone");
        }
    }
    ex.finish();

    QJsonArray reported;
    for (const Outcome &o : std::as_const(outcomes))
        reported.append(o.json());
    return answer(QJsonObject{{"ok", failedAt < 0},
                              {"committed", committed},
                              {"failedStep", int(failedAt)},
                              {"error", failure},
                              {"values", ex.values},
                              {"steps", reported}},
                  failedAt < 0 ? 0 : 1);
}
