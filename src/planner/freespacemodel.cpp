#include "planner/freespacemodel.h"

#include "backend/pools.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

using namespace Tavrin::FreeSpace;

namespace {

// Internal ids: 0 for a group row, group + 1 for the rows inside it.
constexpr quintptr kGroupRow = 0;

template <typename Result, typename Work, typename Done>
void runOnTaskPool(QObject *owner, Work work, Done done)
{
    // Parented to the model: a destroyed model never gets the result.
    auto *watcher = new QFutureWatcher<Result>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, owner, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        if (watcher->future().resultCount() > 0)
            done(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(&Tavrin::taskPool(), std::move(work)));
}

} // namespace

FreeSpaceModel::FreeSpaceModel(QObject *parent) : QAbstractItemModel(parent)
{
    qRegisterMetaType<QList<Candidate>>();
    for (Kind kind : {Kind::Snapshot, Kind::Deployment, Kind::UpgradeCache}) {
        Group g;
        g.kind = kind;
        inv.groups.append(g);
    }
}

void FreeSpaceModel::reload()
{
    const quint64 request = ++generation;
    loading = true;
    emit busyChanged();
    runOnTaskPool<Inventory>(
        this, [] { return readInventory(); },
        [this, request](const Inventory &read) {
            if (request != generation)
                return;
            loading = false;
            // The rows say their sizes are coming from the first time they are shown.
            measuring = true;
            setInventory(read);
            emit busyChanged();
            emit loaded();
            measure();
        });
}

void FreeSpaceModel::measure()
{
    const quint64 request = generation;
    measuring = true;
    emit busyChanged();
    const Inventory snapshot = inv;
    runOnTaskPool<QHash<QString, Size>>(
        this, [snapshot] { return Tavrin::FreeSpace::measure(snapshot); },
        [this, request](const QHash<QString, Size> &measured) {
            if (request != generation)
                return;
            measuring = false;
            setSizes(measured);
            emit busyChanged();
            emit sizesArrived();
        });
}

bool FreeSpaceModel::release()
{
    const QList<Candidate> items = checkedItems();
    if (items.isEmpty() || releasing || loading)
        return false;
    releasing = true;
    emit busyChanged();
    runOnTaskPool<Outcome>(
        this, [items] { return remove(items); },
        [this, items](const Outcome &outcome) {
            releasing = false;
            emit busyChanged();
            emit released(items, outcome);
            // Whatever happened, the list shows what the system holds now.
            reload();
        });
    return true;
}

void FreeSpaceModel::setInventory(const Inventory &inventory)
{
    beginResetModel();
    inv = inventory;
    sizes.clear();
    QSet<QString> present;
    for (const Group &g : std::as_const(inv.groups)) {
        for (const Candidate &c : g.items)
            present.insert(keyOf(c));
    }
    checked.intersect(present);
    endResetModel();
    emit totalsChanged();
}

void FreeSpaceModel::setSizes(const QHash<QString, Size> &measured)
{
    sizes = measured;
    for (int g = 0; g < inv.groups.size(); ++g) {
        const QModelIndex group = index(g, 0);
        const int rows = rowCount(group);
        if (rows > 0)
            emit dataChanged(index(0, 0, group), index(rows - 1, ColumnCount - 1, group));
    }
    emit totalsChanged();
}

Size FreeSpaceModel::sizeOf(const Candidate &c) const
{
    return sizes.value(keyOf(c));
}

QList<Candidate> FreeSpaceModel::checkedItems() const
{
    QList<Candidate> out;
    for (const Group &g : inv.groups) {
        for (const Candidate &c : g.items) {
            if (checked.contains(keyOf(c)))
                out.append(c);
        }
    }
    return out;
}

FreeSpaceModel::Totals FreeSpaceModel::totals() const
{
    Totals t;
    for (const Candidate &c : checkedItems()) {
        ++t.count;
        const auto it = sizes.constFind(keyOf(c));
        if (it == sizes.constEnd() || it->bytes < 0) {
            ++t.unknown;
            t.atLeast = true;
            continue;
        }
        t.bytes += it->bytes;
        t.atLeast = t.atLeast || it->atLeast;
    }
    return t;
}

qint64 FreeSpaceModel::freeAfter() const
{
    return inv.freeBytes < 0 ? -1 : inv.freeBytes + totals().bytes;
}

QString FreeSpaceModel::freeText() const
{
    return inv.freeBytes < 0 ? Texts::tr("当前可用空间：未知")
                             : Texts::tr("当前可用空间：%1").arg(Tavrin::formatSize(inv.freeBytes));
}

QString FreeSpaceModel::totalsText() const
{
    const Totals t = totals();
    if (t.count == 0)
        return Texts::tr("未选择任何项目");
    QString freed;
    if (t.unknown == t.count)
        freed = Texts::tr("未知");
    else
        freed = sizeText({t.bytes, t.atLeast});
    if (measuring && t.unknown > 0)
        freed = Texts::tr("%1（正在计算…）").arg(freed);
    else if (t.unknown > 0)
        freed = Texts::tr("%1（%n 项大小未知）", nullptr, t.unknown).arg(freed);
    const qint64 after = freeAfter();
    QString afterText;
    if (after < 0)
        afterText = Texts::tr("未知");
    else
        afterText = sizeText({after, t.atLeast});
    return Texts::tr("已选 %n 项，可释放 %1，释放后可用 %2", nullptr, t.count).arg(freed, afterText);
}

QString FreeSpaceModel::groupTitle(Kind kind)
{
    switch (kind) {
    case Kind::Snapshot:
        return Texts::tr("快照（从旧到新）");
    case Kind::Deployment:
        return Texts::tr("未启动、未暂存的部署");
    case Kind::UpgradeCache:
        break;
    }
    return Texts::tr("升级缓存");
}

void FreeSpaceModel::setChecked(const QString &key, bool on)
{
    const QModelIndex at = indexOfKey(key);
    if (at.isValid())
        setData(at, on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

QModelIndex FreeSpaceModel::indexOfKey(const QString &key, int column) const
{
    for (int g = 0; g < inv.groups.size(); ++g) {
        const QList<Candidate> &items = inv.groups.at(g).items;
        for (int r = 0; r < items.size(); ++r) {
            if (keyOf(items.at(r)) == key)
                return createIndex(r, column, quintptr(g + 1));
        }
    }
    return {};
}

const Candidate *FreeSpaceModel::itemAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == kGroupRow)
        return nullptr;
    const int g = int(index.internalId()) - 1;
    if (g < 0 || g >= inv.groups.size() || index.row() >= inv.groups.at(g).items.size())
        return nullptr;
    return &inv.groups.at(g).items.at(index.row());
}

QModelIndex FreeSpaceModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid())
        return row < inv.groups.size() ? createIndex(row, column, kGroupRow) : QModelIndex();
    if (parent.internalId() != kGroupRow || parent.row() >= inv.groups.size() ||
        row >= inv.groups.at(parent.row()).items.size())
        return {};
    return createIndex(row, column, quintptr(parent.row() + 1));
}

QModelIndex FreeSpaceModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == kGroupRow)
        return {};
    return createIndex(int(child.internalId()) - 1, 0, kGroupRow);
}

int FreeSpaceModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(inv.groups.size());
    if (parent.column() != 0 || parent.internalId() != kGroupRow || parent.row() >= inv.groups.size())
        return 0;
    return int(inv.groups.at(parent.row()).items.size());
}

int FreeSpaceModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant FreeSpaceModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == kGroupRow) {
        if (index.row() >= inv.groups.size())
            return {};
        const Group &g = inv.groups.at(index.row());
        if (role == IsGroupRole)
            return true;
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
            return {};
        const QString title = groupTitle(g.kind);
        if (index.column() == NameColumn) {
            if (loading && g.items.isEmpty() && !g.ok)
                return Texts::tr("%1：正在读取…").arg(title);
            if (!g.ok)
                return Texts::tr("%1：读取失败：%2").arg(title, g.error);
            if (g.items.isEmpty())
                return Texts::tr("%1：没有可释放的项目").arg(title);
            return Texts::tr("%1（%2）").arg(title).arg(g.items.size());
        }
        return {};
    }
    const Candidate *c = itemAt(index);
    if (!c)
        return {};
    const QString key = keyOf(*c);
    const bool on = checked.contains(key);
    const auto size = sizes.constFind(key);
    const QString sizeLabel = size != sizes.constEnd() ? sizeText(*size)
                              : measuring              ? Texts::tr("计算中…")
                                                       : Texts::tr("未知");
    const QString timeLabel = c->time > 0 ? Tavrin::formatTime(c->time) : QStringLiteral("-");
    switch (role) {
    case KeyRole:
        return key;
    case IsGroupRole:
        return false;
    case Qt::CheckStateRole:
        return index.column() == NameColumn ? QVariant(on ? Qt::Checked : Qt::Unchecked) : QVariant();
    case Qt::DisplayRole:
        if (index.column() == NameColumn)
            return c->title;
        if (index.column() == TimeColumn)
            return timeLabel;
        return sizeLabel;
    case Qt::TextAlignmentRole:
        return index.column() == SizeColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return Texts::tr("%1，%2，可释放 %3，%4（空格键切换）")
            .arg(c->title, timeLabel, sizeLabel, on ? Texts::tr("已选中") : Texts::tr("未选中"));
    default:
        return {};
    }
}

bool FreeSpaceModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const Candidate *c = itemAt(index);
    if (!c || role != Qt::CheckStateRole || releasing)
        return false;
    const QString key = keyOf(*c);
    const bool on = value.toInt() == Qt::Checked;
    if (on == checked.contains(key))
        return true;
    if (on)
        checked.insert(key);
    else
        checked.remove(key);
    const QModelIndex first = this->index(index.row(), 0, index.parent());
    emit dataChanged(first, this->index(index.row(), ColumnCount - 1, index.parent()));
    emit totalsChanged();
    return true;
}

Qt::ItemFlags FreeSpaceModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.internalId() == kGroupRow)
        return Qt::ItemIsEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == NameColumn && !releasing)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant FreeSpaceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return Texts::tr("项目");
    case TimeColumn:
        return Texts::tr("时间");
    case SizeColumn:
        return Texts::tr("可释放");
    default:
        return {};
    }
}
