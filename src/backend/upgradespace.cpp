#include "backend/upgradespace.h"

#include "backend/backend_p.h"
#include "backend/syspaths.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace Tavrin {

namespace {

qint64 unitFactor(const QString &unit)
{
    const QString u = unit.trimmed().toLower();
    if (u.isEmpty() || u == QLatin1String("b") || u == QLatin1String("bytes") || u == QLatin1String("byte"))
        return 1;
    if (u.startsWith(QLatin1Char('k')))
        return qint64(1024);
    if (u.startsWith(QLatin1Char('m')))
        return qint64(1024) * 1024;
    if (u.startsWith(QLatin1Char('g')))
        return qint64(1024) * 1024 * 1024;
    if (u.startsWith(QLatin1Char('t')))
        return qint64(1024) * 1024 * 1024 * 1024;
    return 0;
}

// "1.5 GiB", "300MB", "123456": bytes, or -1.
qint64 sizeFromText(const QString &number, const QString &unit)
{
    bool ok = false;
    const double value = number.toDouble(&ok);
    const qint64 factor = unitFactor(unit);
    if (!ok || factor == 0 || value < 0 || value * double(factor) > 9.0e18)
        return -1;
    return qint64(value * double(factor));
}

qint64 sizeFromJson(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        return d >= 0 && d < 9.0e18 ? qint64(d) : -1;
    }
    if (!value.isString())
        return -1;
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*([A-Za-z]*)\\s*$"));
    const QRegularExpressionMatch m = re.match(value.toString());
    return m.hasMatch() ? sizeFromText(m.captured(1), m.captured(2)) : -1;
}

// The place itself, or its nearest parent that exists: the tool creates the
// cache directory when it first downloads.
QString existingPlace(const QString &path)
{
    QString p = path;
    while (!QFileInfo::exists(p)) {
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            break;
        p = parent;
    }
    return p;
}

} // namespace

qint64 parseUpgradeSize(const QString &checkOutput)
{
    const QJsonObject data = parseJson(checkOutput).value(QLatin1String("data")).toObject();
    for (const char *key : {"need_download_size", "download_size", "total_size", "size"}) {
        const qint64 bytes = sizeFromJson(data.value(QLatin1String(key)));
        if (bytes >= 0)
            return bytes;
    }
    static const QRegularExpression line(
        QStringLiteral("\\bsize\\s*:\\s*(\\d+(?:\\.\\d+)?)\\s*([KMGT]i?B|[KMGT]|B|bytes?)?\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = line.match(checkOutput);
    return m.hasMatch() ? sizeFromText(m.captured(1), m.captured(2)) : -1;
}

QList<UpgradeSpace> planUpgradeSpace(const QList<SpaceProbe> &probes, qint64 upgradeBytes)
{
    const qint64 upgrade = upgradeBytes >= 0 ? upgradeBytes : kUpgradeFallbackBytes;
    QList<UpgradeSpace> spaces;
    // The device of each entry of `spaces`; none for one whose probe failed,
    // which shares nothing.
    QList<std::optional<quint64>> devices;
    for (const SpaceProbe &probe : probes) {
        const qint64 need = probe.isBoot ? kBootMinimumBytes : upgrade;
        const qsizetype at = probe.freeBytes >= 0 ? devices.indexOf(probe.device) : -1;
        if (at >= 0) {
            UpgradeSpace &space = spaces[at];
            space.paths.append(probe.path);
            space.requiredBytes = qMax(space.requiredBytes, need);
            continue;
        }
        UpgradeSpace space;
        space.paths = {probe.path};
        space.freeBytes = probe.freeBytes;
        space.error = probe.error;
        space.requiredBytes = need;
        spaces.append(space);
        devices.append(probe.freeBytes >= 0 ? std::optional<quint64>(probe.device) : std::nullopt);
    }
    return spaces;
}

QList<UpgradeSpace> upgradeSpace(qint64 upgradeBytes)
{
    struct Place
    {
        QString path;
        bool isBoot;
    };
    const Place places[] = {{QStringLiteral("/ostree/repo"), false},
                            {QStringLiteral("/var/cache/zarnex-immutable-ctl"), false},
                            {QStringLiteral("/boot"), true}};
    QList<SpaceProbe> probes;
    for (const Place &place : places) {
        SpaceProbe probe;
        probe.path = place.path;
        probe.isBoot = place.isBoot;
        const QByteArray local = existingPlace(systemPath(place.path)).toLocal8Bit();
        struct stat st
        {
        };
        struct statvfs fs
        {
        };
        if (::stat(local.constData(), &st) != 0 || ::statvfs(local.constData(), &fs) != 0) {
            probe.error = QString::fromLocal8Bit(std::strerror(errno));
        } else {
            probe.device = quint64(st.st_dev);
            probe.freeBytes = qint64(fs.f_bavail) * qint64(fs.f_frsize);
        }
        probes.append(probe);
    }
    return planUpgradeSpace(probes, upgradeBytes);
}

} // namespace Tavrin
