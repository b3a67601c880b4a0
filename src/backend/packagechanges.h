#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QString>

/// Package changes between two trees that carry a package list in Debian's
/// status format.
namespace Tavrin {

/// Installed packages of a status file: "name" (with ":arch" for a foreign
/// architecture) to version.
using PackageVersions = QMap<QString, QString>;

/// Reads the paragraphs of a Debian status file; only packages whose
/// "Status" ends in "installed" count. A paragraph without name or version
/// is skipped.
PackageVersions parseDebianStatus(const QByteArray &text);

/// Debian's version order (epoch, upstream version, revision; "~" before
/// anything, letters before other characters): negative, 0 or positive.
int compareDebianVersions(const QString &a, const QString &b);

struct PackageChange
{
    enum Kind { Added, Removed, Upgraded, Downgraded };
    Kind kind = Added;
    QString name;
    QString oldVersion;
    QString newVersion;
};

/// Changes from `before` to `after`, by name; a version that differs only in
/// spelling (equal in Debian's order) is no change.
QList<PackageChange> diffPackages(const PackageVersions &before, const PackageVersions &after);

/// Path of the package list inside a tree as the control tool's status answer
/// gives it ("package_list" of "data"); "" when the answer has none.
QString parsePackageListPath(const QString &statusJson);

/// The package lists of two commits; `available` is false when the tool gives
/// no path or either tree lacks the file (then there is nothing to show).
struct PackageDiffResult
{
    bool available = false;
    QList<PackageChange> changes;
    /// Why the lists could not be read, with the tool's text ("" when simply absent).
    QString error;
};
PackageDiffResult comparePackages(const QString &oldCommit, const QString &newCommit, int timeoutMs = 120000);

class PackageChanges
{
    Q_DECLARE_TR_FUNCTIONS(PackageChanges)
};

} // namespace Tavrin
