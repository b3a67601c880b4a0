#include "backend/backend_p.h"
#include "backend/syspaths.h"

#include <QFile>
#include <QJsonArray>

#include <cerrno>
#include <cstring>
#include <iterator>

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
    // "Key = value" lines. A key counts only as a whole word at the start of a
    // line ("MajorVersion=25" is not the version), and the first line that
    // gives a key a value wins. The version is its first word. Read by hand:
    // this runs at every start, where a regular expression engine costs more
    // than the few lines it reads.
    enum class Value { Line, FirstWord };
    const struct
    {
        QLatin1String name;
        QLatin1String suffix; // an optional part of the name
        Value value;
        QLatin1String key;
    } rules[] = {{QLatin1String("SystemName"), QLatin1String(), Value::Line, QLatin1String("system")},
                 {QLatin1String("Version"), QLatin1String(), Value::FirstWord, QLatin1String("version")},
                 {QLatin1String("EditionName"), QLatin1String("[zh_CN]"), Value::Line, QLatin1String("edition")}};
    bool found[std::size(rules)] = {};
    const auto skipBlanks = [](QStringView s) {
        while (!s.isEmpty() && (s.front() == QLatin1Char(' ') || s.front() == QLatin1Char('\t')))
            s = s.mid(1);
        return s;
    };
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView start = skipBlanks(line);
        for (std::size_t r = 0; r < std::size(rules); ++r) {
            const auto &rule = rules[r];
            if (found[r] || !start.startsWith(rule.name))
                continue;
            QStringView rest = start.mid(rule.name.size());
            if (!rule.suffix.isEmpty() && rest.startsWith(rule.suffix))
                rest = rest.mid(rule.suffix.size());
            rest = skipBlanks(rest);
            if (!rest.startsWith(QLatin1Char('=')))
                continue;
            rest = rest.mid(1);
            QStringView value;
            if (rule.value == Value::Line) {
                value = rest.trimmed();
            } else {
                rest = skipBlanks(rest);
                qsizetype end = 0;
                while (end < rest.size() && !rest.at(end).isSpace())
                    ++end;
                value = rest.first(end);
            }
            // "SystemName=" with nothing after it names nothing: a later line may.
            if (value.isEmpty())
                continue;
            into.insert(rule.key, value.toString());
            found[r] = true;
        }
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
        applyOsVersionText(QString::fromUtf8(readAtMost(file, 1 << 20)), result);
    }
    return result;
}

RepoSizes getRepoSizes()
{
    RepoSizes sizes;
    sizes.systemRepo = measureDir(sysRepoPath());
    sizes.persistentRepo = measureDir(persistRepoPath());
    sizes.snapshotDir = measureDir(snapshotDirPath());
    struct statvfs fs
    {
    };
    const QByteArray root = systemPath(QStringLiteral("/")).toLocal8Bit();
    if (::statvfs(root.constData(), &fs) == 0)
        sizes.rootAvailable =
            MeasuredSize::exact(static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize));
    else
        sizes.rootAvailable = MeasuredSize::unknown(QString::fromLocal8Bit(std::strerror(errno)));
    return sizes;
}

} // namespace Tavrin
