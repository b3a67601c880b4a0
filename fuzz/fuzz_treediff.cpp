// The answers of "ostree diff" and "ostree ls -C", and the grouping and CSV built on them.

#include "backend/treediff.h"
#include "fuzzsupport.h"

#include <functional>

using namespace Tavrin;

namespace {

QByteArray mark(ChangeKind kind)
{
    return kind == ChangeKind::Added ? "A" : (kind == ChangeKind::Removed ? "D" : "M");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const DiffLines lines = parseOstreeDiff(input);
    // Every change names an absolute path, and printing the changes as ostree does reads back the same.
    QByteArray printed;
    QStringList paths;
    for (const auto &[kind, path] : lines.changes) {
        FUZZ_CHECK(path.startsWith(QLatin1Char('/')));
        printed += mark(kind) + "    " + path.toUtf8() + '\n';
        paths << path;
    }
    const DiffLines again = parseOstreeDiff(printed);
    FUZZ_CHECK(again.unreadable == 0);
    FUZZ_CHECK(again.changes == lines.changes);

    // One answer per asked path, whatever the listing holds; an entry found is well formed.
    const QList<std::optional<TreeEntry>> entries = parseOstreeLsEntries(input, paths);
    FUZZ_CHECK(entries.size() == paths.size());
    QList<FileChange> changes;
    for (int i = 0; i < entries.size(); ++i) {
        const std::optional<TreeEntry> &e = entries.at(i);
        if (e) {
            FUZZ_CHECK(e->size >= 0 && e->checksum.size() == 64);
            FUZZ_CHECK(e->type == '-' || e->type == 'd' || e->type == 'l');
        }
        FileChange c{paths.at(i), lines.changes.at(i).first, std::nullopt, std::nullopt, e.has_value()};
        if (c.kind != ChangeKind::Added)
            c.oldEntry = e;
        if (c.kind != ChangeKind::Removed)
            c.newEntry = e;
        changes.append(c);
    }
    for (const auto &[path, entry] : parseOstreeLsRecursive(input, QStringLiteral("/usr"))) {
        FUZZ_CHECK(path.startsWith(QStringLiteral("/usr/")));
        changes.append(FileChange{path, ChangeKind::Removed, entry, std::nullopt, true});
    }

    // The grouped tree adds up to the summary, at every level.
    const DiffSummary summary = summarize(changes);
    const std::unique_ptr<DiffDir> root = groupChanges(changes);
    FUZZ_CHECK(root->added == summary.added && root->removed == summary.removed && root->modified == summary.modified);
    FUZZ_CHECK(root->sizeDelta == summary.sizeDelta && root->unknownSizes == summary.unknownSizes);
    std::function<int(const DiffDir &)> count = [&](const DiffDir &d) {
        int n = int(d.files.size());
        for (const auto &child : d.dirs) {
            FUZZ_CHECK(child->parent == &d && d.dirs.at(child->row).get() == child.get());
            n += count(*child);
        }
        FUZZ_CHECK(n == d.added + d.removed + d.modified);
        return n;
    };
    count(*root);
    FUZZ_CHECK(changesToCsv(changes).startsWith("path,change,"));
    return 0;
}
