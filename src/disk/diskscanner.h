#pragma once

#include "disk/diskrecords.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>

namespace Tavrin {

/// One parsed du line: size in bytes and the path as printed.
struct DuLine
{
    qint64 size = 0;
    QString path;
};

/// Parses "<KiB>\t<path>" (one trailing CR and surrounding blanks removed). False for empty lines,
/// lines without a tab or with the tab first, and sizes that are not decimal integers.
bool parseDuLine(const QByteArray &line, DuLine *out);
/// Parses one NUL-terminated record of "du --null" output, "<KiB>\t<path>", exactly: the path is
/// everything after the first tab, blanks, tabs and line feeds included, decoded as a file name.
bool parseDuRecord(const QByteArray &record, DuLine *out);
/// Total and used bytes from the first data line of "df -B1" output (columns may be aligned).
bool parseDfRootOutput(const QByteArray &output, qint64 *total, qint64 *used);
/// Candidate partitions from a mount table: real devices under /dev/, not the root device,
/// not pseudo or read-only types, each device once (first mount point wins). Octal escapes of the
/// mount table ("\040" for a blank) are decoded in the mount point.
QList<DiskMountInfo> parseMountTable(const QByteArray &mounts);
/// Fills total/used of `candidates` from "df -B1 <mount points>" output; only measured partitions
/// are returned, largest `used` first.
QList<DiskMountInfo> applyDfPartitions(const QList<DiskMountInfo> &candidates, const QByteArray &output);

/// Measures the system disk: asynchronous du scans (top level of "/" or one directory) at the
/// lowest priorities, with privilege fallbacks, and synchronous df queries.
class DiskScanner : public QObject
{
    Q_OBJECT
public:
    explicit DiskScanner(QObject *parent = nullptr);
    /// Kills a running du without emitting anything.
    ~DiskScanner() override;

    /// Run du with root rights (through "sudo -n", then "pkexec" when interactive) when not root.
    bool useElevation = false;
    /// 1 when a user started the scan and may be asked for a password once.
    int interactive = 0;
    /// Absolute paths du leaves out of both scans, so their sizes count in no directory above them.
    QStringList excludedPaths;

    /// A du run (or the report of its failure to start) is pending.
    bool isBusy() const;
    /// Sizes of the first-level directories of "/"; false while busy.
    bool startTopLevelScan();
    /// Sizes of the direct children of `path`; false while busy.
    bool drillInto(const QString &path);
    /// Entries parsed so far in the current (or last) run, in du's order.
    QList<DiskItem> partialItems() const { return items; }
    /// Stops the run; it then ends with exactly one `scanFinished(false, "扫描已取消")`.
    void cancel();

    /// "df -B1 /": total and used bytes of the root file system. Any pointer may be null.
    static bool dfRoot(qint64 *total, qint64 *used, QString *error);
    /// Other mounted partitions with their sizes, largest used first.
    static QList<DiskMountInfo> listOtherPartitions();

    /// du arguments of the two scans (after the program name), leaving out `excluded` paths.
    static QStringList topLevelArguments(const QStringList &excluded = {});
    static QStringList drillArguments(const QString &path, const QStringList &excluded = {});
    /// `path` as a du "--exclude" pattern matching only itself: wildcard characters escaped.
    static QString excludePattern(const QString &path);

signals:
    void progress(int itemCount, const QString &lastPath);
    void topLevelFinished(const QList<Tavrin::DiskItem> &items, bool complete);
    void drillFinished(const QString &path, const QList<Tavrin::DiskItem> &items);
    void scanFinished(bool ok, const QString &message);

private:
    enum class Runner { Sudo, Pkexec, Plain };

    void startDu(const QStringList &duArgs, bool drill, const QString &target);
    void launch(Runner runner);
    void resetResults();
    void parseLine(const QByteArray &line);
    void onReadyRead();
    void parseBufferRemainder();
    void onFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onStartFailed(QProcess *failed);
    void emitProgress();

    QProcess *process = nullptr;
    Runner runner = Runner::Plain;
    QStringList args;
    bool drillMode = false;
    QString drillTarget;
    QList<DiskItem> items;
    QByteArray lineBuffer;
    int lineCount = 0;
    bool cancelled = false;
    // Set when du printed something that is not its output; the run is stopped.
    bool garbled = false;
    bool fellBack = false;
    bool authTried = false;
    // Listed names that do not survive decoding (not valid in the file-system encoding) by their
    // decoded form, so they can still be drilled into: du then reads the name from its input.
    QHash<QString, QByteArray> rawNames;
    QByteArray inputName;
};

} // namespace Tavrin
