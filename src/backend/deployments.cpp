#include "backend/backend_p.h"
#include "backend/syspaths.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>

#include <sys/statvfs.h>

namespace Tavrin {

namespace {

constexpr int kStatusTimeoutMs = 60000;
constexpr int kUndeployTimeoutMs = 600000;
constexpr int kUpgradeCheckTimeoutMs = 300000;
constexpr int kUpgradeRunTimeoutMs = 7200000;

QList<DeployInfo> readDeployStatus()
{
    const CommandResult r =
        runProcess(ctlPath(), {QStringLiteral("admin"), QStringLiteral("status"), QStringLiteral("-j")},
                   kStatusTimeoutMs, false);
    if (!r.ok)
        return {};
    return parseDeployList(r.output);
}

} // namespace

QList<DeployInfo> parseDeployList(const QString &json)
{
    QList<DeployInfo> list;
    const QJsonArray array =
        parseJson(json).value(QLatin1String("data")).toObject().value(QLatin1String("deploy_list")).toArray();
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            continue;
        const QJsonObject o = value.toObject();
        DeployInfo d;
        d.version = o.value(QLatin1String("SystemVersion")).toString();
        d.commit = o.value(QLatin1String("CommitIDIdx")).toString();
        d.time = o.value(QLatin1String("Time")).toVariant().toLongLong();
        d.isBooted = o.value(QLatin1String("IsBooted")).toBool(false);
        d.isRollbackBackup = o.value(QLatin1String("IsRollbackBackup")).toBool(false);
        d.index = o.value(QLatin1String("Index")).toInt(0);
        d.hidden = o.value(QLatin1String("Hidden")).toBool(false);
        list.append(d);
    }
    return list;
}

QString bootedDeployFromList(const QList<DeployInfo> &deploys)
{
    for (const DeployInfo &d : deploys) {
        if (d.isBooted)
            return d.commit;
    }
    return QString();
}

QString deployVersionFromList(const QList<DeployInfo> &deploys)
{
    QString first;
    QString booted;
    for (const DeployInfo &d : deploys) {
        if (d.version.isEmpty())
            continue;
        if (first.isEmpty())
            first = d.version;
        if (d.isBooted)
            booted = d.version;
    }
    return !booted.isEmpty() ? booted : first;
}

QList<DeployInfo> getDeploys()
{
    return readDeployStatus();
}

QString getBootedDeployId()
{
    return bootedDeployFromList(readDeployStatus());
}

QString getDeployVersion()
{
    return deployVersionFromList(readDeployStatus());
}

QStringList undeployArgs(const QString &id)
{
    return {QStringLiteral("admin"), QStringLiteral("undeploy"), id};
}

CommandResult undeploy(const QString &id)
{
    return runProcess(ctlPath(), undeployArgs(id), kUndeployTimeoutMs, true);
}

bool isDeployDeletable(const DeployInfo &d)
{
    if (d.isBooted || d.hidden)
        return false;
    return !d.commit.isEmpty();
}

CommandResult checkUpgrade()
{
    return runProcess(ctlPath(), {QStringLiteral("upgrade"), QStringLiteral("check"), QStringLiteral("-j")},
                      kUpgradeCheckTimeoutMs, true);
}

CommandResult runUpgrade()
{
    return runProcess(ctlPath(), {QStringLiteral("upgrade")}, kUpgradeRunTimeoutMs, true);
}

CommandResult cleanUpgradeCache(bool all)
{
    QList<QString> args{QStringLiteral("upgrade"), QStringLiteral("clean")};
    if (all)
        args << QStringLiteral("-a");
    return runProcess(ctlPath(), args, kUpgradeCheckTimeoutMs, true);
}

void applyOsVersionText(const QString &text, QJsonObject &into)
{
    // A key counts only as a whole word at the start of a line: "MajorVersion=25"
    // is not the version.
    static const QRegularExpression systemRe(QStringLiteral("^[ \\t]*SystemName[ \\t]*=[ \\t]*(.+)"),
                                             QRegularExpression::MultilineOption);
    static const QRegularExpression versionRe(QStringLiteral("^[ \\t]*Version[ \\t]*=[ \\t]*(\\S+)"),
                                              QRegularExpression::MultilineOption);
    static const QRegularExpression editionRe(
        QStringLiteral("^[ \\t]*EditionName(?:\\[zh_CN\\])?[ \\t]*=[ \\t]*(.+)"),
        QRegularExpression::MultilineOption);
    const struct
    {
        const QRegularExpression &re;
        QLatin1String key;
    } rules[] = {{systemRe, QLatin1String("system")},
                 {versionRe, QLatin1String("version")},
                 {editionRe, QLatin1String("edition")}};
    for (const auto &rule : rules) {
        const QRegularExpressionMatch m = rule.re.match(text);
        if (m.hasMatch())
            into.insert(rule.key, m.captured(1).trimmed());
    }
}

QJsonObject getOsVersion()
{
    QJsonObject result{{QStringLiteral("system"), QStringLiteral("Zarnex")}};
    for (const QString &path : {osVersionPath(), zarnexVersionPath()}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // Version files are a few lines; a huge or endless file is cut short.
        applyOsVersionText(QString::fromUtf8(file.read(1 << 20)), result);
    }
    return result;
}

RepoSizes getRepoSizes()
{
    RepoSizes sizes;
    sizes.systemRepo = duPath(sysRepoPath());
    sizes.persistentRepo = duPath(persistRepoPath());
    sizes.snapshotDir = duPath(snapshotDirPath());
    struct statvfs fs
    {
    };
    const QByteArray root = systemPath(QStringLiteral("/")).toLocal8Bit();
    if (::statvfs(root.constData(), &fs) == 0)
        sizes.rootAvailable = static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize);
    return sizes;
}

} // namespace Tavrin
