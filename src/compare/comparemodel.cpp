#include "compare/comparemodel.h"

#include "backend/backend.h"

using Tavrin::ChangeKind;
using Tavrin::DiffDir;
using Tavrin::FileChange;
using Tavrin::TreeEntry;

QString formatSignedSize(qint64 bytes)
{
    if (bytes > 0)
        return QLatin1Char('+') + Tavrin::formatSize(bytes);
    if (bytes < 0)
        return QLatin1Char('-') + Tavrin::formatSize(-bytes);
    return Tavrin::formatSize(0);
}

CompareTreeModel::CompareTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

void CompareTreeModel::setTree(std::shared_ptr<const QList<FileChange>> list, std::shared_ptr<DiffDir> tree)
{
    beginResetModel();
    changes = std::move(list);
    root = std::move(tree);
    endResetModel();
}

// Every index points at the directory that holds its row: rows below the
// subdirectories of that directory are its files.
const DiffDir *CompareTreeModel::container(const QModelIndex &index) const
{
    return static_cast<const DiffDir *>(index.internalPointer());
}

QModelIndex CompareTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!root || row < 0 || column < 0 || column >= ColumnCount)
        return {};
    const DiffDir *holder = root.get();
    if (parent.isValid()) {
        const DiffDir *pc = container(parent);
        if (parent.row() >= int(pc->dirs.size()))
            return {};
        holder = pc->dirs.at(parent.row()).get();
    }
    if (row >= int(holder->dirs.size() + holder->files.size()))
        return {};
    return createIndex(row, column, const_cast<DiffDir *>(holder));
}

QModelIndex CompareTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    const DiffDir *holder = container(child);
    if (holder == root.get() || !holder->parent)
        return {};
    return createIndex(holder->row, 0, const_cast<DiffDir *>(holder->parent));
}

int CompareTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!root)
        return 0;
    if (!parent.isValid())
        return int(root->dirs.size() + root->files.size());
    if (parent.column() != 0)
        return 0;
    const DiffDir *pc = container(parent);
    if (parent.row() >= int(pc->dirs.size()))
        return 0;
    const DiffDir *d = pc->dirs.at(parent.row()).get();
    return int(d->dirs.size() + d->files.size());
}

int CompareTreeModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QString CompareTreeModel::changeText(const FileChange &c)
{
    QString text = c.kind == ChangeKind::Added ? tr("新增") : (c.kind == ChangeKind::Removed ? tr("删除") : tr("修改"));
    if (c.kind != ChangeKind::Modified || !c.oldEntry || !c.newEntry)
        return c.entriesKnown || c.kind != ChangeKind::Modified ? text : tr("%1（详情未知）").arg(text);
    const TreeEntry &o = *c.oldEntry, &n = *c.newEntry;
    const auto typeName = [](char t) {
        return t == 'd' ? tr("目录") : (t == 'l' ? tr("符号链接") : tr("文件"));
    };
    QStringList details;
    if (o.type != n.type)
        details << tr("%1变为%2").arg(typeName(o.type), typeName(n.type));
    if (o.mode != n.mode)
        details << tr("权限 %1 → %2").arg(QString::number(o.mode, 8), QString::number(n.mode, 8));
    if (o.type == 'l' && n.type == 'l' && o.linkTarget != n.linkTarget)
        details << tr("链接 %1 → %2").arg(o.linkTarget, n.linkTarget);
    if (o.type == n.type && o.type == '-' && o.checksum != n.checksum && o.size == n.size)
        details << tr("内容");
    return details.isEmpty() ? text : text + QStringLiteral("（") + details.join(QStringLiteral("，")) + QStringLiteral("）");
}

QString CompareTreeModel::dirChangeText(const DiffDir &d)
{
    QStringList parts;
    if (d.added)
        parts << tr("新增 %1").arg(d.added);
    if (d.removed)
        parts << tr("删除 %1").arg(d.removed);
    if (d.modified)
        parts << tr("修改 %1").arg(d.modified);
    return parts.isEmpty() ? tr("目录属性变化") : parts.join(QStringLiteral("，"));
}

QVariant CompareTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !root)
        return {};
    const DiffDir *holder = container(index);
    const int row = index.row();
    const bool isDir = row < int(holder->dirs.size());
    const DiffDir *dir = isDir ? holder->dirs.at(row).get() : nullptr;
    const FileChange *file = isDir ? nullptr : &changes->at(holder->files.at(row - int(holder->dirs.size())));
    const auto sizeText = [&](const std::optional<TreeEntry> &e) -> QString {
        if (!file->entriesKnown)
            return tr("未知");
        if (!e)
            return QStringLiteral("—");
        return e->type == 'd' ? tr("目录") : Tavrin::formatSize(e->size);
    };
    const auto deltaText = [&]() -> QString {
        if (dir) {
            const QString text = formatSignedSize(dir->sizeDelta);
            return dir->unknownSizes ? tr("%1（%2 个未知）").arg(text).arg(dir->unknownSizes) : text;
        }
        const auto delta = Tavrin::sizeDelta(*file);
        return delta ? formatSignedSize(*delta) : tr("未知");
    };
    const auto nameText = [&] {
        if (dir)
            return dir->name;
        QString name = file->path.mid(file->path.lastIndexOf(QLatin1Char('/')) + 1);
        // A line feed in a name would break the row; show it as the escape it is.
        name.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        return name;
    };
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn: return nameText();
        case ChangeColumn: return dir ? dirChangeText(*dir) : changeText(*file);
        case OldSizeColumn: return dir ? QString() : sizeText(file->oldEntry);
        case NewSizeColumn: return dir ? QString() : sizeText(file->newEntry);
        case DeltaColumn: return deltaText();
        }
        break;
    case Qt::ToolTipRole:
    case PathRole:
        return dir ? dir->path : file->path;
    case Qt::AccessibleTextRole:
        if (index.column() == NameColumn) {
            if (dir)
                return tr("目录 %1：%2，大小变化 %3").arg(dir->path, dirChangeText(*dir), deltaText());
            return tr("%1：%2，旧大小 %3，新大小 %4，大小变化 %5")
                .arg(file->path, changeText(*file), sizeText(file->oldEntry), sizeText(file->newEntry), deltaText());
        }
        return data(index, Qt::DisplayRole);
    case Qt::TextAlignmentRole:
        if (index.column() >= OldSizeColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    return {};
}

QVariant CompareTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn: return tr("路径");
    case ChangeColumn: return tr("变化");
    case OldSizeColumn: return tr("旧大小");
    case NewSizeColumn: return tr("新大小");
    case DeltaColumn: return tr("大小差异");
    }
    return {};
}
