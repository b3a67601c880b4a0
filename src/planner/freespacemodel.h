#pragma once

#include "planner/freespace.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QSet>

/// The free-space planner's data: the candidates grouped (snapshots,
/// deployments, the upgrade cache), what each frees, which are checked, the
/// running total and the removal. Reads and removals run on the program's
/// task pool; the list is shown first and the sizes arrive after it.
class FreeSpaceModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, TimeColumn, SizeColumn, ColumnCount };
    enum Role { KeyRole = Qt::UserRole + 1, IsGroupRole };

    struct Totals
    {
        int count = 0;
        /// Sum of the checked rows that could be measured.
        qint64 bytes = 0;
        /// A checked row is a lower bound or unknown: the sum is too.
        bool atLeast = false;
        int unknown = 0;
    };

    explicit FreeSpaceModel(QObject *parent = nullptr);

    /// Reads the candidates again (the checks of rows still present are kept).
    void reload();
    /// Removes the checked rows under one authorization; `released` follows.
    bool release();

    bool isLoading() const { return loading; }
    bool isMeasuring() const { return measuring; }
    bool isReleasing() const { return releasing; }

    /// Direct feeds of what the background work reads (also for tests).
    void setInventory(const Tavrin::FreeSpace::Inventory &inventory);
    void setSizes(const QHash<QString, Tavrin::FreeSpace::Size> &sizes);

    const Tavrin::FreeSpace::Inventory &inventory() const { return inv; }
    Tavrin::FreeSpace::Size sizeOf(const Tavrin::FreeSpace::Candidate &c) const;
    QList<Tavrin::FreeSpace::Candidate> checkedItems() const;
    Totals totals() const;
    /// Free space after the checked rows are removed: -1 when the free space is unknown.
    qint64 freeAfter() const;
    /// "已选 2 项，可释放 至少 3.00 MB，释放后可用 …".
    QString totalsText() const;
    QString freeText() const;
    static QString groupTitle(Tavrin::FreeSpace::Kind kind);

    void setChecked(const QString &key, bool checked);
    QModelIndex indexOfKey(const QString &key, int column = NameColumn) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void loaded();
    void sizesArrived();
    void totalsChanged();
    void busyChanged();
    void released(const QList<Tavrin::FreeSpace::Candidate> &items,
                  const Tavrin::FreeSpace::Outcome &outcome);

private:
    const Tavrin::FreeSpace::Candidate *itemAt(const QModelIndex &index) const;
    void measure();

    Tavrin::FreeSpace::Inventory inv;
    QHash<QString, Tavrin::FreeSpace::Size> sizes;
    QSet<QString> checked;
    quint64 generation = 0;
    bool loading = false;
    bool measuring = false;
    bool releasing = false;
};
