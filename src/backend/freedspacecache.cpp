#include "backend/freedspacecache.h"

#include "backend/pools.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace Tavrin {

FreedSpaceCache::FreedSpaceCache(QObject *parent)
    : FreedSpaceCache(&measureDeployFreed, &repoRefsSignature, parent)
{
}

FreedSpaceCache::FreedSpaceCache(Compute compute, ReadRefs readRefs, QObject *parent)
    : QObject(parent), compute(std::move(compute)), readRefs(std::move(readRefs))
{
}

std::optional<MeasuredSize> FreedSpaceCache::figure(const QString &commit) const
{
    const auto it = entries.constFind(commit);
    if (it == entries.constEnd() || it->running)
        return std::nullopt;
    return it->size;
}

void FreedSpaceCache::request(const QString &commit)
{
    Entry &entry = entries[commit];
    if (entry.running)
        return;
    // Until the check is back, the old figure may belong to refs that are gone.
    const bool wasShown = entry.size.has_value();
    entry.running = true;
    const std::optional<FreedFigure> known =
        entry.size ? std::optional<FreedFigure>(FreedFigure{*entry.size, entry.refs}) : std::nullopt;
    const quint64 started = generation;
    auto *watcher = new QFutureWatcher<FreedFigure>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, commit, started] {
        const FreedFigure result = watcher->future().resultCount() > 0 ? watcher->result() : FreedFigure();
        watcher->deleteLater();
        // Dropped meanwhile: whoever still wants it asks again.
        if (started != generation)
            return;
        Entry &e = entries[commit];
        e.running = false;
        e.size = result.size;
        e.refs = result.refs;
        emit figureChanged(commit);
    });
    watcher->setFuture(QtConcurrent::run(&taskPool(), [compute = compute, readRefs = readRefs, commit, known] {
        if (known && readRefs() == known->refs)
            return *known;
        return compute(commit);
    }));
    if (wasShown)
        emit figureChanged(commit);
}

void FreedSpaceCache::setDeployments(const QStringList &commits)
{
    if (commits == deployments)
        return;
    deployments = commits;
    invalidate();
}

void FreedSpaceCache::invalidate()
{
    ++generation;
    const QStringList dropped = entries.keys();
    entries.clear();
    for (const QString &commit : dropped)
        emit figureChanged(commit);
}

} // namespace Tavrin
