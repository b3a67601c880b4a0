#pragma once

#include "backend/treediff.h"

#include <QAbstractItemModel>

#include <memory>

// The grouped changes as a tree: directories (summed counts and size
// difference), then their files with old and new size. The tree itself is
// built on the worker side; this only presents it.
class CompareTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, ChangeColumn, OldSizeColumn, NewSizeColumn, DeltaColumn, ColumnCount };
    static constexpr int PathRole = Qt::UserRole + 1;

    explicit CompareTreeModel(QObject *parent = nullptr);

    void setTree(std::shared_ptr<const QList<Tavrin::FileChange>> changes, std::shared_ptr<Tavrin::DiffDir> root);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Row texts, also what a screen reader reads for the row.
    static QString changeText(const Tavrin::FileChange &change);
    static QString dirChangeText(const Tavrin::DiffDir &dir);

private:
    const Tavrin::DiffDir *container(const QModelIndex &index) const;

    std::shared_ptr<const QList<Tavrin::FileChange>> changes;
    std::shared_ptr<Tavrin::DiffDir> root;
};

// "+1.50 KB", "-512 B", "0 B".
QString formatSignedSize(qint64 bytes);
