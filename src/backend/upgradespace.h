#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/// Whether the file systems an upgrade writes to can take it: the system
/// repository, the download cache and /boot, each file system checked once.
namespace Tavrin {

/// What the upgrade is assumed to need when the check named no size.
inline constexpr qint64 kUpgradeFallbackBytes = qint64(2) * 1024 * 1024 * 1024;
/// A kernel and its initramfs on a separate /boot.
inline constexpr qint64 kBootMinimumBytes = qint64(128) * 1024 * 1024;

/// Bytes the upgrade needs by the check's answer (a "size" member of its JSON
/// "data", or a "… size: N [unit]" line); -1 when the answer names no size.
qint64 parseUpgradeSize(const QString &checkOutput);

/// One place the upgrade writes to, as it was probed.
struct SpaceProbe
{
    /// The system path ("/ostree/repo", "/boot", …).
    QString path;
    bool isBoot = false;
    /// The file system it lies on; only compared with the others.
    quint64 device = 0;
    /// Space available to unprivileged users; -1 when it could not be read.
    qint64 freeBytes = -1;
    QString error;
};

/// One file system and what the upgrade needs there.
struct UpgradeSpace
{
    QStringList paths;
    qint64 freeBytes = -1;
    /// Why the free space is unknown ("" when it was read).
    QString error;
    qint64 requiredBytes = 0;

    bool known() const { return freeBytes >= 0; }
    bool enough() const { return known() && freeBytes >= requiredBytes; }
};

/// Groups the probes by file system, in probe order: each needs `upgradeBytes`
/// (kUpgradeFallbackBytes when -1) where the tree or the download lands, the /boot minimum where only
/// /boot lies. A file system whose space could not be read stays unknown.
QList<UpgradeSpace> planUpgradeSpace(const QList<SpaceProbe> &probes, qint64 upgradeBytes);

/// Probes the places on this system (a place not created yet counts with its
/// nearest existing parent) and plans them.
QList<UpgradeSpace> upgradeSpace(qint64 upgradeBytes);

} // namespace Tavrin
