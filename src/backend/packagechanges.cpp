#include "backend/packagechanges.h"

#include "backend/backend_p.h"

#include <QJsonArray>

namespace Tavrin {

namespace {

int order(QChar c)
{
    if (c.isDigit())
        return 0;
    if (c.isLetter() && c.unicode() < 128)
        return c.unicode();
    if (c == QLatin1Char('~'))
        return -1;
    if (c.isNull())
        return 0;
    return c.unicode() + 256;
}

// dpkg's verrevcmp: alternating runs of non-digits (by the order above) and digits (by value).
int compareFragment(const QString &a, const QString &b)
{
    int i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        int firstDiff = 0;
        while ((i < a.size() && !a.at(i).isDigit()) || (j < b.size() && !b.at(j).isDigit())) {
            const int ac = i < a.size() ? order(a.at(i)) : 0;
            const int bc = j < b.size() ? order(b.at(j)) : 0;
            if (ac != bc)
                return ac - bc;
            ++i;
            ++j;
        }
        while (i < a.size() && a.at(i) == QLatin1Char('0'))
            ++i;
        while (j < b.size() && b.at(j) == QLatin1Char('0'))
            ++j;
        while (i < a.size() && a.at(i).isDigit() && j < b.size() && b.at(j).isDigit()) {
            if (!firstDiff)
                firstDiff = a.at(i).unicode() - b.at(j).unicode();
            ++i;
            ++j;
        }
        if (i < a.size() && a.at(i).isDigit())
            return 1;
        if (j < b.size() && b.at(j).isDigit())
            return -1;
        if (firstDiff)
            return firstDiff;
    }
    return 0;
}

struct Version
{
    qint64 epoch = 0;
    QString upstream;
    QString revision;
};

Version splitVersion(const QString &text)
{
    Version v;
    QString rest = text.trimmed();
    const int colon = rest.indexOf(QLatin1Char(':'));
    if (colon > 0) {
        bool ok = false;
        const qint64 epoch = rest.left(colon).toLongLong(&ok);
        if (ok && epoch >= 0) {
            v.epoch = epoch;
            rest = rest.mid(colon + 1);
        }
    }
    const int dash = rest.lastIndexOf(QLatin1Char('-'));
    if (dash >= 0) {
        v.upstream = rest.left(dash);
        v.revision = rest.mid(dash + 1);
    } else {
        v.upstream = rest;
    }
    return v;
}

} // namespace

int compareDebianVersions(const QString &a, const QString &b)
{
    const Version x = splitVersion(a), y = splitVersion(b);
    if (x.epoch != y.epoch)
        return x.epoch < y.epoch ? -1 : 1;
    if (const int c = compareFragment(x.upstream, y.upstream))
        return c < 0 ? -1 : 1;
    const int c = compareFragment(x.revision, y.revision);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

PackageVersions parseDebianStatus(const QByteArray &text)
{
    PackageVersions packages;
    QString name, version, arch, status;
    const auto flush = [&] {
        if (!name.isEmpty() && !version.isEmpty() && status.endsWith(QLatin1String(" installed"))) {
            QString key = name;
            // Only a foreign architecture needs telling apart.
            if (!arch.isEmpty() && arch != QLatin1String("all") && packages.contains(name))
                key += QLatin1Char(':') + arch;
            packages.insert(key, version);
        }
        name.clear();
        version.clear();
        arch.clear();
        status.clear();
    };
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (line.trimmed().isEmpty()) {
            flush();
            continue;
        }
        if (line.startsWith(' ') || line.startsWith('\t'))
            continue; // continuation of a long field
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray field = line.left(colon).toLower();
        const QString value = QString::fromUtf8(line.mid(colon + 1)).trimmed();
        if (field == "package")
            name = value;
        else if (field == "version")
            version = value;
        else if (field == "architecture")
            arch = value;
        else if (field == "status")
            status = value;
    }
    flush();
    return packages;
}

QList<PackageChange> diffPackages(const PackageVersions &before, const PackageVersions &after)
{
    QList<PackageChange> changes;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const auto other = after.constFind(it.key());
        if (other == after.cend()) {
            changes.append({PackageChange::Removed, it.key(), it.value(), QString()});
            continue;
        }
        const int c = compareDebianVersions(it.value(), other.value());
        if (c != 0)
            changes.append({c < 0 ? PackageChange::Upgraded : PackageChange::Downgraded, it.key(), it.value(),
                            other.value()});
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()))
            changes.append({PackageChange::Added, it.key(), QString(), it.value()});
    std::stable_sort(changes.begin(), changes.end(),
                     [](const PackageChange &a, const PackageChange &b) { return a.name < b.name; });
    return changes;
}

QString parsePackageListPath(const QString &statusJson)
{
    const QString path = parseJson(statusJson).value(QStringLiteral("data")).toObject()
                             .value(QStringLiteral("package_list")).toString();
    // A path inside the tree; anything else (relative, with "..") is not ours to read.
    if (!path.startsWith(QLatin1Char('/')) || path.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return QString();
    return path;
}

PackageDiffResult comparePackages(const QString &oldCommit, const QString &newCommit, int timeoutMs)
{
    PackageDiffResult result;
    const CommandResult status =
        runProcess(ctlPath(), {QStringLiteral("admin"), QStringLiteral("status"), QStringLiteral("-j")}, 60000, false);
    if (!status.ok) {
        // Unknown is not "no package list": the tab's absence is explained.
        result.error = friendlyExecError(status.error.isEmpty() ? status.errorOutput : status.error);
        return result;
    }
    const QString path = parsePackageListPath(status.output);
    if (path.isEmpty())
        return result;
    PackageVersions lists[2];
    const QString commits[2] = {oldCommit, newCommit};
    for (int i = 0; i < 2; ++i) {
        const CommandResult cat = runProcess(
            ostreePath(), {QStringLiteral("--repo=") + sysRepoPath(), QStringLiteral("cat"), commits[i], path},
            timeoutMs, false);
        if (!cat.ok) {
            // A tree without the list is no failure: there is just nothing to compare.
            if (!cat.errorOutput.contains(QLatin1String("No such file")))
                result.error = cat.error.isEmpty() ? cat.errorOutput : cat.error;
            return result;
        }
        lists[i] = parseDebianStatus(cat.output.toUtf8());
    }
    result.available = true;
    result.changes = diffPackages(lists[0], lists[1]);
    return result;
}

} // namespace Tavrin
