#include "backend/packagechanges.h"
#include "backend/treediff.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Tavrin;

namespace {

const QByteArray kSumA(64, 'a');
const QByteArray kSumB(64, 'b');
const QByteArray kMeta(64, 'c');

// The sizes of a change as text: "old/new", "?" for unknown, "-" for a missing side.
QString sides(const FileChange &c)
{
    const auto side = [&](const std::optional<TreeEntry> &e) {
        if (!c.entriesKnown)
            return QStringLiteral("?");
        return e ? QString::number(e->size) : QStringLiteral("-");
    };
    return side(c.oldEntry) + QLatin1Char('/') + side(c.newEntry);
}

QString kindMark(ChangeKind kind)
{
    return kind == ChangeKind::Added ? QStringLiteral("A") : (kind == ChangeKind::Removed ? QStringLiteral("D") : QStringLiteral("M"));
}

FileChange change(const QString &path, ChangeKind kind, std::optional<qint64> oldSize, std::optional<qint64> newSize,
                  bool known = true)
{
    FileChange c{path, kind, std::nullopt, std::nullopt, known};
    if (oldSize)
        c.oldEntry = TreeEntry{'-', 0644, *oldSize, QString(), QString()};
    if (newSize)
        c.newEntry = TreeEntry{'-', 0644, *newSize, QString(), QString()};
    return c;
}

} // namespace

class TestTreeDiff : public QObject
{
    Q_OBJECT

private slots:
    void diffLines_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("unreadable");
        QTest::newRow("captured") << QByteArray("M    /usr/bin/a\nD    /gone\nA    /added\nA    /added/z\n")
                                  << QStringList{"M /usr/bin/a", "D /gone", "A /added", "A /added/z"} << 0;
        QTest::newRow("spaces and quotes") << QByteArray("M    /sp ace\nM    /q\"uo'te\n")
                                           << QStringList{"M /sp ace", "M /q\"uo'te"} << 0;
        QTest::newRow("line feed in a name") << QByteArray("M    /new\nline\nM    /perm\n")
                                             << QStringList{"M /new\nline", "M /perm"} << 0;
        QTest::newRow("no trailing line feed") << QByteArray("A    /x") << QStringList{"A /x"} << 0;
        QTest::newRow("not UTF-8 drops the entry it would continue")
            << QByteArray("M    /ok\nM    /a\n\xff\xfe\nD    /b\n") << QStringList{"M /ok", "D /b"} << 2;
        QTest::newRow("noise before any change") << QByteArray("warning: something\nA    /x\n")
                                                 << QStringList{"A /x"} << 1;
        QTest::newRow("a mark without the path is no change") << QByteArray("A /x\nM\n") << QStringList{} << 2;
        QTest::newRow("empty") << QByteArray() << QStringList{} << 0;
    }
    void diffLines()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, expected);
        QFETCH(int, unreadable);
        const DiffLines lines = parseOstreeDiff(output);
        QStringList got;
        for (const auto &[kind, path] : lines.changes)
            got << kindMark(kind) + QLatin1Char(' ') + path;
        QCOMPARE(got, expected);
        QCOMPARE(lines.unreadable, unreadable);
    }

    void lsEntries_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("expected");
        const QByteArray file = "-00644 0 0     14 " + kSumA + " /usr/a\n";
        const QByteArray dir = "d00755 0 0      0 " + kSumA + " " + kMeta + " /usr\n";
        QTest::newRow("file and directory") << file + dir << QStringList{"/usr/a", "/usr"}
                                            << QStringList{"- 644 14", "d 755 0"};
        QTest::newRow("symbolic link") << QByteArray("l00777 0 0      0 " + kSumB + " /l -> a b -> c\n")
                                       << QStringList{"/l"} << QStringList{"l 777 0 a b -> c"};
        QTest::newRow("a link whose name holds an arrow")
            << QByteArray("l00777 0 0      0 " + kSumB + " /x -> y -> z\n") << QStringList{"/x -> y"}
            << QStringList{"l 777 0 z"};
        QTest::newRow("line feed in a name")
            << QByteArray("-00600 0 0      2 " + kSumB + " /new\nline\n" + file) << QStringList{"/new\nline", "/usr/a"}
            << QStringList{"- 600 2", "- 644 14"};
        QTest::newRow("answer for another path") << file << QStringList{"/usr/b"} << QStringList{"none"};
        QTest::newRow("fewer answers than paths: nothing trusted")
            << file << QStringList{"/usr/a", "/usr/b"} << QStringList{"none", "none"};
        QTest::newRow("short checksum") << QByteArray("-00644 0 0 14 abc /usr/a\n") << QStringList{"/usr/a"}
                                        << QStringList{"none"};
        QTest::newRow("size not a number") << QByteArray("-00644 0 0 1x " + kSumA + " /usr/a\n")
                                           << QStringList{"/usr/a"} << QStringList{"none"};
        QTest::newRow("directory without its metadata checksum")
            << QByteArray("d00755 0 0 0 " + kSumA + " /usr\n") << QStringList{"/usr"} << QStringList{"none"};
    }
    void lsEntries()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, paths);
        QFETCH(QStringList, expected);
        const QList<std::optional<TreeEntry>> entries = parseOstreeLsEntries(output, paths);
        QStringList got;
        for (const auto &e : entries) {
            if (!e) {
                got << QStringLiteral("none");
                continue;
            }
            QString text = QStringLiteral("%1 %2 %3").arg(QChar::fromLatin1(e->type)).arg(e->mode, 0, 8).arg(e->size);
            if (!e->linkTarget.isEmpty())
                text += QLatin1Char(' ') + e->linkTarget;
            got << text;
        }
        QCOMPARE(got, expected);
    }

    void grouping()
    {
        const QList<FileChange> changes{
            change("/usr/lib/big", ChangeKind::Added, std::nullopt, 5000),
            change("/usr/lib/x", ChangeKind::Modified, 100, 40),
            change("/usr/share/doc/a", ChangeKind::Removed, 700, std::nullopt),
            change("/usr/share/doc/b", ChangeKind::Modified, std::nullopt, std::nullopt, false),
            change("/etc/conf", ChangeKind::Modified, 10, 10),
        };
        const auto root = groupChanges(changes);
        QCOMPARE(root->added, 1);
        QCOMPARE(root->removed, 1);
        QCOMPARE(root->modified, 3);
        QCOMPARE(root->sizeDelta, 5000 - 60 - 700);
        QCOMPARE(root->unknownSizes, 1);
        // Largest change first, at every level.
        QCOMPARE(root->dirs.size(), size_t(2));
        const DiffDir *usr = root->dirs.at(0).get();
        QCOMPARE(usr->path, QStringLiteral("/usr"));
        QCOMPARE(usr->dirs.at(0)->path, QStringLiteral("/usr/lib"));
        QCOMPARE(usr->dirs.at(0)->sizeDelta, 4940);
        QCOMPARE(usr->dirs.at(0)->files, (std::vector<int>{0, 1}));
        QCOMPARE(usr->dirs.at(1)->dirs.at(0)->unknownSizes, 1);
        const DiffSummary s = summarize(changes);
        QCOMPARE(s.sizeDelta, root->sizeDelta);
        QCOMPARE(s.unknownSizes, 1);

        const auto filtered = groupChanges(changes, QStringLiteral("DOC"));
        QCOMPARE(filtered->removed + filtered->added + filtered->modified, 2);
        QCOMPARE(filtered->dirs.size(), size_t(1));
        QCOMPARE(groupChanges(changes, QStringLiteral("nothing-like-it"))->dirs.size(), size_t(0));
    }

    void csv()
    {
        const QList<FileChange> changes{
            change("/a,b \"c\"", ChangeKind::Modified, 1, 3),
            change("/=cmd", ChangeKind::Added, std::nullopt, 2),
            change("/u", ChangeKind::Modified, std::nullopt, std::nullopt, false),
            change("/l\nf", ChangeKind::Removed, 4, std::nullopt),
        };
        const QList<QByteArray> lines = changesToCsv(changes).split('\n');
        QCOMPARE(lines.at(0), QByteArray("path,change,old_size,new_size,size_difference,old_mode,new_mode,old_type,new_type\r"));
        QCOMPARE(lines.at(1), QByteArray("\"/a,b \"\"c\"\"\",modified,1,3,2,0644,0644,file,file\r"));
        QCOMPARE(lines.at(2), QByteArray("/=cmd,added,,2,2,,0644,,file\r"));
        QCOMPARE(lines.at(3), QByteArray("/u,modified,unknown,unknown,unknown,,,,\r"));
        QCOMPARE(lines.at(4), QByteArray("\"/l"));
        QCOMPARE(lines.at(5), QByteArray("f\",removed,4,,-4,0644,,file,\r"));
    }

    void realTrees()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString r = root.path();
        QVERIFY(QDir().mkpath(r + "/usr/bin"));
        QVERIFY(QFile::link("/usr/bin/ostree", r + "/usr/bin/ostree"));
        const QString repo = r + "/ostree/repo";
        QVERIFY(QDir().mkpath(repo));
        QVERIFY(run({"--repo=" + repo, "init", "--mode=archive"}));
        const QString a = r + "/a", b = r + "/b";
        // Before: sizes in bytes; each name is odd in its own way.
        write(a + "/sp ace", "1");
        write(a + "/new\nline", "12");
        write(a + "/q\"uo'te", "123");
        write(a + "/perm", "x");
        write(a + "/dirfile/in1", "1234");
        write(a + "/dirfile/in2", "12");
        write(a + "/gone/sub/g", "12345");
        write(a + "/same", "same");
        write(a + "/filedir", "123");
        QVERIFY(QFile::link("tgt", a + "/link"));
        write(b + "/sp ace", "1234");
        write(b + "/new\nline", "123");
        write(b + "/q\"uo'te", "1");
        write(b + "/perm", "x");
        QVERIFY(QFile::setPermissions(b + "/perm", QFile::ReadOwner));
        write(b + "/dirfile", "123456");
        write(b + "/added/sub/z", "1234567");
        write(b + "/same", "same");
        write(b + "/filedir/f", "12");
        QVERIFY(QFile::link("tgt2", b + "/link"));
        const QString before = commit(repo, a), after = commit(repo, b);
        QVERIFY(!before.isEmpty() && !after.isEmpty());
        qputenv("TAVRIN_SYSROOT", r.toLocal8Bit());

        int calls = 0;
        TreeDiffResult last;
        const TreeDiffResult result = compareCommits(
            before, after, [&](const TreeDiffResult &p) { ++calls, last = p; }, nullptr);
        QCOMPARE(result.outcome, DiffOutcome::Done);
        QVERIFY(calls >= 2); // the change list first, then with the sizes
        QCOMPARE(last.outcome, DiffOutcome::Done);
        QMap<QString, QString> got;
        for (const FileChange &c : result.changes)
            got.insert(c.path, kindMark(c.kind) + QLatin1Char(' ') + sides(c));
        const QMap<QString, QString> expected{
            {"/sp ace", "M 1/4"},
            {"/new\nline", "M 2/3"},
            {"/q\"uo'te", "M 3/1"},
            {"/perm", "M 1/1"},
            {"/link", "M 0/0"}, // ostree gives a link no size
            {"/dirfile", "M 0/6"},
            {"/dirfile/in1", "D 4/-"},
            {"/dirfile/in2", "D 2/-"},
            {"/gone", "D 0/-"},
            {"/gone/sub", "D 0/-"},
            {"/gone/sub/g", "D 5/-"},
            {"/added", "A -/0"},
            {"/added/sub", "A -/0"},
            {"/added/sub/z", "A -/7"},
            {"/filedir", "M 3/0"},
            {"/filedir/f", "A -/2"},
        };
        QCOMPARE(got, expected);
        for (const FileChange &c : result.changes) {
            if (c.path == "/perm") {
                QCOMPARE(c.oldEntry->mode, 0644);
                QCOMPARE(c.newEntry->mode, 0400);
            } else if (c.path == "/link") {
                QCOMPARE(c.oldEntry->linkTarget, QStringLiteral("tgt"));
                QCOMPARE(c.newEntry->linkTarget, QStringLiteral("tgt2"));
            }
        }
        const DiffSummary s = summarize(result.changes);
        QCOMPARE(s.added, 2);   // z and filedir/f; directories are not files
        QCOMPARE(s.removed, 3); // in1, in2, g
        QCOMPARE(s.modified, 7);
        QCOMPARE(s.sizeDelta, qint64(3 + 1 - 2 + 6 - 6 - 5 + 7 - 3 + 2));

        QCOMPARE(compareCommits(before, before, {}, nullptr).outcome, DiffOutcome::Identical);

        const QString vanished(64, 'e');
        const TreeDiffResult missing = compareCommits(before, vanished, {}, nullptr);
        QCOMPARE(missing.outcome, DiffOutcome::MissingCommit);
        QCOMPARE(missing.missingCommit, vanished);
        QVERIFY2(missing.error.contains("No such metadata object"), qPrintable(missing.error));

        // The commit is removed while its sizes are read: said as such, not shown as sizes unknown.
        QVERIFY(QFile::remove(r + "/usr/bin/ostree"));
        write(r + "/usr/bin/ostree", "#!/bin/sh\n[ \"$2\" = diff ] && exec /usr/bin/ostree \"$@\"\n"
                                     "echo \"error: No such metadata object $5.commit\" >&2\nexit 1\n");
        QVERIFY(QFile::setPermissions(r + "/usr/bin/ostree", QFile::ReadOwner | QFile::ExeOwner));
        const TreeDiffResult vanishing = compareCommits(before, after, {}, nullptr);
        QCOMPARE(vanishing.outcome, DiffOutcome::MissingCommit);
        QCOMPARE(vanishing.missingCommit, before);
        QVERIFY(vanishing.error.contains("No such metadata object"));
        QVERIFY(vanishing.changes.isEmpty());

        // The content of a removed directory cannot be listed: its row says
        // unknown instead of counting nothing.
        QVERIFY(QFile::remove(r + "/usr/bin/ostree"));
        write(r + "/usr/bin/ostree", "#!/bin/sh\n[ \"$3\" = -R ] && { echo 'error: read failed' >&2; exit 1; }\n"
                                     "exec /usr/bin/ostree \"$@\"\n");
        QVERIFY(QFile::setPermissions(r + "/usr/bin/ostree", QFile::ReadOwner | QFile::ExeOwner));
        const TreeDiffResult unlisted = compareCommits(before, after, {}, nullptr);
        QCOMPARE(unlisted.outcome, DiffOutcome::Done);
        QStringList unknown;
        for (const FileChange &c : unlisted.changes)
            if (!c.entriesKnown)
                unknown << c.path;
        unknown.sort();
        QCOMPARE(unknown, QStringList({"/dirfile", "/filedir", "/gone"}));
        QCOMPARE(summarize(unlisted.changes).unknownSizes, 3);

        // A tool that never answers is stopped at the time-out, and says so.
        QVERIFY(QFile::remove(r + "/usr/bin/ostree"));
        write(r + "/usr/bin/ostree", "#!/bin/sh\nexec sleep 60\n");
        QVERIFY(QFile::setPermissions(r + "/usr/bin/ostree", QFile::ReadOwner | QFile::ExeOwner));
        const TreeDiffResult hung = compareCommits(before, after, {}, nullptr, 300);
        QCOMPARE(hung.outcome, DiffOutcome::TimedOut);
        QVERIFY(!hung.error.isEmpty());
        QVERIFY(hung.changes.isEmpty());
        qunsetenv("TAVRIN_SYSROOT");
    }

    void debianVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("numeric") << "1.10" << "1.9" << 1;
        QTest::newRow("tilde before release") << "1.0~rc1" << "1.0" << -1;
        QTest::newRow("tilde before tilde-less suffix") << "1.0~~" << "1.0~" << -1;
        QTest::newRow("epoch wins") << "1:0.1" << "9.9" << 1;
        QTest::newRow("revision") << "2.3-1" << "2.3-10" << -1;
        QTest::newRow("letters before signs") << "1.0a" << "1.0+" << -1;
        QTest::newRow("leading zeros") << "1.002" << "1.2" << 0;
        QTest::newRow("no epoch is epoch 0") << "0:1.0-1" << "1.0-1" << 0;
        QTest::newRow("plus deb suffix") << "2.36.1-8+deb12u1" << "2.36.1-8" << 1;
        QTest::newRow("hyphen in upstream") << "1.0-2-3" << "1.0-2-1" << 1;
    }
    void debianVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(compareDebianVersions(a, b), order);
        QCOMPARE(compareDebianVersions(b, a), -order);
    }

    void packageLists()
    {
        const QByteArray before = "Package: libc6\nStatus: install ok installed\nVersion: 2.36-9\n"
                                  "Description: GNU C\n long text: with a colon\n\n"
                                  "Package: old-tool\nStatus: install ok installed\nVersion: 1.0\n\n"
                                  "Package: gone-config\nStatus: deinstall ok config-files\nVersion: 3\n\n"
                                  "Package: kernel\nStatus: install ok installed\nVersion: 6.1.0-10\n\n"
                                  "Package: same\nStatus: install ok installed\nVersion: 1.02\n";
        const QByteArray after = "Package: libc6\r\nStatus: install ok installed\r\nVersion: 2.36-9+deb12u1\r\n\r\n"
                                 "Package: kernel\nStatus: install ok installed\nVersion: 6.1.0-9\n\n"
                                 "Package: new-tool\nStatus: install ok installed\nVersion: 0.5\n\n"
                                 "Package: no-version\nStatus: install ok installed\n\n"
                                 "Package: same\nStatus: install ok installed\nVersion: 1.2\n";
        const PackageVersions b = parseDebianStatus(before), a = parseDebianStatus(after);
        QCOMPARE(b.keys(), (QStringList{"kernel", "libc6", "old-tool", "same"}));
        QCOMPARE(a.value("libc6"), QStringLiteral("2.36-9+deb12u1"));
        QStringList got;
        for (const PackageChange &c : diffPackages(b, a))
            got << QStringLiteral("%1 %2 %3 %4").arg(c.kind).arg(c.name, c.oldVersion, c.newVersion);
        QCOMPARE(got, (QStringList{"3 kernel 6.1.0-10 6.1.0-9", "2 libc6 2.36-9 2.36-9+deb12u1",
                                   "0 new-tool  0.5", "1 old-tool 1.0 "}));
        QCOMPARE(parsePackageListPath(R"({"data":{"package_list":"/usr/share/x/status"}})"),
                 QStringLiteral("/usr/share/x/status"));
        QCOMPARE(parsePackageListPath(R"({"data":{"package_list":"/usr/../etc/shadow"}})"), QString());
        QCOMPARE(parsePackageListPath(R"({"data":{"deploy_list":[]}})"), QString());
    }

private:
    static bool run(const QStringList &args, QByteArray *out = nullptr)
    {
        QProcess p;
        p.start("/usr/bin/ostree", args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return false;
        if (out)
            *out = p.readAllStandardOutput().trimmed();
        return true;
    }
    static void write(const QString &path, const QByteArray &data)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    static QString commit(const QString &repo, const QString &dir)
    {
        QByteArray out;
        if (!run({"--repo=" + repo, "commit", "--orphan", "--no-bindings", "--tree=dir=" + dir}, &out))
            return QString();
        return QString::fromLatin1(out);
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestTreeDiff)
#include "tst_treediff.moc"
