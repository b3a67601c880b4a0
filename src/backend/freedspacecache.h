#pragma once

#include "backend/reclaim.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

namespace Tavrin {

/// What removing each deployment frees, by commit, computed in the background
/// and kept while the refs it was computed under stand. A figure is checked
/// against the refs whenever it is asked for again, and all are dropped when
/// the deployment list changes, so no figure outlives the state it belongs to.
class FreedSpaceCache : public QObject
{
    Q_OBJECT

public:
    using Compute = std::function<FreedFigure(const QString &commit)>;
    using ReadRefs = std::function<QString()>;

    explicit FreedSpaceCache(QObject *parent = nullptr);
    /// With other ways to compute a figure and read the refs (run on the task pool).
    FreedSpaceCache(Compute compute, ReadRefs readRefs, QObject *parent = nullptr);

    /// The figure of `commit` when it is known and checked; nothing while it is
    /// computed or checked.
    std::optional<MeasuredSize> figure(const QString &commit) const;

    /// Brings the figure of `commit` up to date: a known one is checked
    /// against the refs (and computed again when they changed), an unknown one
    /// computed. Nothing new starts while one is under way for `commit`.
    void request(const QString &commit);

    /// The deployment list as last read: another set of commits drops every figure.
    void setDeployments(const QStringList &commits);

    /// Drops every figure; each one known or under way is announced.
    void invalidate();

signals:
    /// The figure of `commit` arrived, or was dropped (figure() is then empty).
    void figureChanged(const QString &commit);

private:
    struct Entry
    {
        std::optional<MeasuredSize> size;
        QString refs;
        bool running = false;
    };

    Compute compute;
    ReadRefs readRefs;
    QHash<QString, Entry> entries;
    QStringList deployments;
    quint64 generation = 0;
};

} // namespace Tavrin
