// The longest GUI-thread stall while the deployments page's "删除部署" dialog
// waits for its "可释放空间" figure, on a simulated system whose "ostree ls"
// is slowed by seconds (a cold cache over a big tree).
//
//   bench_deploydialog [--delay SECONDS] [--files N] [--runs R]
//
// A 5 ms heartbeat on the GUI thread converts an image large enough that Qt
// splits the conversion over the global thread pool, as painting a scaled
// icon or a screenshot does. Printed: per run, the longest gap between two
// heartbeats from the click on "删除部署" until the figure is shown, and the
// median over the runs, beside the same heartbeat with no dialog (the floor).

#include "backend/backend_p.h"
#include "deployspage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

QString dialogText(QWidget *dialog)
{
    QStringList texts;
    const auto labels = dialog->findChildren<QLabel *>();
    for (QLabel *l : labels)
        texts << l->text();
    return texts.join(QLatin1Char('\n'));
}

QDialog *openDialog()
{
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget *w : tops) {
        if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
            return d;
    }
    return nullptr;
}

// Heartbeat: the longest gap between ticks while `until` is false.
struct Heartbeat
{
    QImage image{1600, 1600, QImage::Format_ARGB32};
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;

    void tick()
    {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
        // Split over the global pool by Qt (one piece per 65536 pixels).
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

void clearListingCaches()
{
    QDir cache(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    for (const QString &name : cache.entryList({QStringLiteral("tree_*")}, QDir::Files))
        cache.remove(name);
    Tavrin::resetSizeCachesForTesting();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QString delay = QStringLiteral("3");
    QString files = QStringLiteral("200");
    int runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--delay"))
            delay = args[i + 1];
        else if (args[i] == QLatin1String("--files"))
            files = args[i + 1];
        else if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
    }

    QTemporaryDir home;
    QTemporaryDir root;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/.cache")).toLocal8Bit());
    QProcess make;
    make.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    make.start(QStringLiteral(TAVRIN_SOURCE_DIR "/sim/make-root.sh"),
               {root.path(), QStringLiteral("--files"), files, QStringLiteral("--snapshots"), QStringLiteral("3")});
    if (!make.waitForFinished(300000) || make.exitCode() != 0) {
        std::fprintf(stderr, "make-root.sh failed\n");
        return 1;
    }
    // Slowed here rather than by the simulated system's own knob, so the same
    // bench measures builds whose simulated system lacks it.
    const QString ostree = root.path() + QStringLiteral("/usr/bin/ostree");
    QFile::remove(ostree);
    QFile wrapper(ostree);
    if (!wrapper.open(QIODevice::WriteOnly))
        return 1;
    const QString listings = root.path() + QStringLiteral("/listings.log");
    wrapper.write("#!/bin/sh\necho \"$*\" >>" + listings.toLocal8Bit() + "\nsleep " + delay.toLatin1() +
                  "\nexec /usr/bin/ostree \"$@\"\n");
    wrapper.close();
    wrapper.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("TAVRIN_SYSROOT", root.path().toLocal8Bit());
    qputenv("TAVRIN_SIM_EUID", "1000");
    qputenv("PATH", QByteArray(TAVRIN_SOURCE_DIR "/sim/bin:") + qgetenv("PATH"));

    Heartbeat beat;
    beat.clock.start();
    QTimer heart;
    heart.setInterval(5);
    QObject::connect(&heart, &QTimer::timeout, [&beat] { beat.tick(); });

    // The floor: the same heartbeat for two seconds with nothing else to do.
    heart.start();
    beat.last = beat.clock.elapsed();
    beat.longest = 0;
    QElapsedTimer floorSpan;
    floorSpan.start();
    while (floorSpan.elapsed() < 2000)
        app.processEvents(QEventLoop::AllEvents, 50);
    const qint64 floor = beat.longest;

    QList<qint64> stalls;
    for (int run = 0; run < runs; ++run) {
        // A new page each time: a page keeps the figures it has computed.
        DeploysPage page(nullptr);
        page.resize(1000, 700);
        page.show();
        page.refresh();
        while (page.isBusy())
            app.processEvents(QEventLoop::AllEvents, 50);
        auto *table = page.findChild<QTableWidget *>();
        int row = -1;
        for (int r = 0; table && r < table->rowCount(); ++r) {
            if (table->item(r, 2) && table->item(r, 2)->text() == QStringLiteral("回滚备份"))
                row = r;
        }
        if (row < 0) {
            std::fprintf(stderr, "no rollback backup row\n");
            return 1;
        }
        clearListingCaches();
        QElapsedTimer shown;
        bool done = false;
        QString figure;
        // Runs inside the dialog's own event loop.
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            QDialog *d = openDialog();
            if (!d)
                return;
            const QString text = dialogText(d);
            if (text.contains(QStringLiteral("可释放空间: ")) && !text.contains(QStringLiteral("计算中"))) {
                done = true;
                figure = text.section(QStringLiteral("可释放空间: "), 1).section(QLatin1Char('\n'), 0, 0);
                for (QAbstractButton *b : d->findChildren<QAbstractButton *>()) {
                    if (b->text().remove(QLatin1Char('&')) == QStringLiteral("取消")) {
                        b->click();
                        break;
                    }
                }
            }
        });
        watch.start();
        auto *button = table->cellWidget(row, 5)->findChild<QAbstractButton *>();
        // From the click: opening the dialog paints, and that is where a busy
        // global pool stops the GUI thread first.
        shown.start();
        beat.last = beat.clock.elapsed();
        beat.longest = 0;
        button->click();
        watch.stop();
        while (page.isBusy())
            app.processEvents(QEventLoop::AllEvents, 50);
        stalls << beat.longest;
        QFile log(listings);
        const int listed = log.open(QIODevice::ReadOnly) ? int(log.readAll().count('\n')) : 0;
        log.remove();
        std::printf("run %d: longest GUI-thread stall %lld ms over %lld ms from the click to the figure (%s, %d "
                    "listings)\n",
                    run + 1, static_cast<long long>(beat.longest), static_cast<long long>(shown.elapsed()),
                    done ? qPrintable(figure) : "never shown", listed);
        std::fflush(stdout);
    }
    std::printf("%d processors, global pool of %d threads\n", QThread::idealThreadCount(),
                QThreadPool::globalInstance()->maxThreadCount());
    std::printf("ostree slowed by %s s: median longest stall %lld ms; floor (heartbeat alone) %lld ms\n",
                qPrintable(delay), static_cast<long long>(median(stalls)), static_cast<long long>(floor));
    return 0;
}
