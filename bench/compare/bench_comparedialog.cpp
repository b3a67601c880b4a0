// The longest GUI-thread stall while the comparison window fills, on the two
// trees `bench_treediff --synthetic --keep DIR` leaves in DIR (an upgrade of a
// few thousand changes in trees of 100 000 files).
//
//   bench_comparedialog DIR [--runs R] [--expand-all]
//
// With --expand-all every directory is opened as soon as the first rows
// show, as a person looking through all of them would, and stays open.
//
// A 5 ms heartbeat on the GUI thread converts an image large enough that Qt
// splits the conversion over the global thread pool, so work parked on that
// pool shows as a stall too. Printed: per run, the longest gap between two
// heartbeats from opening the window until its last result is shown, with
// the time that took, then the medians beside the heartbeat alone (the floor).

#include "compare/comparedialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>

namespace {

struct Heartbeat
{
    QImage image{1600, 1600, QImage::Format_ARGB32};
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;

    void reset()
    {
        last = clock.elapsed();
        longest = 0;
    }
    void tick()
    {
        longest = std::max(longest, clock.elapsed() - last);
        const QImage converted = image.convertToFormat(QImage::Format_RGB888);
        Q_UNUSED(converted);
        last = clock.elapsed();
    }
};

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

QString ref(const QString &root, const QString &name)
{
    QFile f(root + QStringLiteral("/ostree/repo/refs/heads/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().trimmed()) : QString();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_comparedialog DIR [--runs R]\n");
        return 2;
    }
    const QString root = args.at(1);
    int runs = 5;
    const bool expandAll = args.contains(QStringLiteral("--expand-all"));
    for (int i = 2; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--runs"))
            runs = args.at(i + 1).toInt();
    }
    Tavrin::CompareState before, after;
    before.kind = after.kind = Tavrin::CompareState::Deployment;
    before.commit = before.id = ref(root, QStringLiteral("deployment/0"));
    after.commit = after.id = ref(root, QStringLiteral("deployment/1"));
    before.label = QStringLiteral("0");
    after.label = QStringLiteral("1");
    if (before.commit.isEmpty() || after.commit.isEmpty()) {
        std::fprintf(stderr, "no deployment/0 and deployment/1 in %s: make them with bench_treediff --synthetic --keep\n",
                     qPrintable(root));
        return 1;
    }
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("TAVRIN_SYSROOT", root.toLocal8Bit());

    Heartbeat beat;
    beat.clock.start();
    QTimer heart;
    heart.setInterval(5);
    QObject::connect(&heart, &QTimer::timeout, [&beat] { beat.tick(); });
    heart.start();

    beat.reset();
    QElapsedTimer floorSpan;
    floorSpan.start();
    while (floorSpan.elapsed() < 2000)
        app.processEvents(QEventLoop::AllEvents, 50);
    const qint64 floor = beat.longest;

    QList<qint64> stalls, spans;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer span;
        span.start();
        beat.reset();
        auto *dialog = openCompare(nullptr, before, after);
        dialog->resize(920, 620);
        auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("tavrinCompareTree"));
        // A person reading along: the view scrolls while the rows come in.
        QTimer reader;
        reader.setInterval(40);
        bool opened = false;
        QObject::connect(&reader, &QTimer::timeout, [tree, expandAll, &opened] {
            if (expandAll && !opened && tree->model()->rowCount() > 0) {
                tree->expandAll();
                opened = true;
            }
            tree->verticalScrollBar()->setValue(tree->verticalScrollBar()->value() + 3);
        });
        reader.start();
        while (!dialog->isFinished() && span.elapsed() < 600000)
            app.processEvents(QEventLoop::AllEvents, 50);
        reader.stop();
        const qint64 took = span.elapsed();
        stalls << beat.longest;
        spans << took;
        std::printf("run %d: longest GUI-thread stall %lld ms over %lld ms to the last result (%s)\n", run + 1,
                    static_cast<long long>(beat.longest), static_cast<long long>(took),
                    qPrintable(dialog->summaryText()));
        std::fflush(stdout);
        delete dialog;
    }
    std::printf("median longest stall %lld ms over a median %lld ms; floor (heartbeat alone) %lld ms\n",
                static_cast<long long>(median(stalls)), static_cast<long long>(median(spans)),
                static_cast<long long>(floor));
    return 0;
}
