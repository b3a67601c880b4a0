#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class QTableWidget;
class ZPushButton;

namespace TavrinUi {
class TavrinBadge;
}

// Paints the snapshot table's name cells (bold name, badges) and action cells
// (restore, edit and delete buttons) without a widget per cell: rows appear in one
// fill and one paint. The buttons are drawn from hidden template widgets, so
// they look and follow the theme exactly like the toolkit's buttons.
class SnapshotRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    enum Action { NoAction = -1, Restore = 0, Delete = 1, Edit = 2 };
    // Item roles the page fills in; the snapshot id sits in Qt::UserRole of the name cell.
    enum Role { InitialRole = Qt::UserRole + 1, BackupRole };

    SnapshotRowDelegate(QTableWidget *table, int nameColumn, int actionColumn);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // The button of the action cell in `row`, in viewport coordinates.
    QRect actionRect(int row, Action action) const;
    // The action under a viewport position, with its row.
    Action actionAt(const QPoint &pos, int *row) const;
    bool actionEnabled(int row, Action action) const;
    QString actionToolTip(int row, Action action) const;
    // What the action column needs: the buttons and their margins.
    int actionsWidth() const;
    int buttonHeight() const;

    void setHover(int row, Action action);
    void setPressed(int row, Action action);

private:
    QStyleOptionViewItem drawBackground(QPainter *painter, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const;
    QRect buttonRect(const QRect &cell, Action action) const;
    QList<std::pair<TavrinUi::TavrinBadge *, QRect>> badgeRects(const QRect &cell,
                                                                const QModelIndex &index) const;
    void paintName(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void paintActions(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void updateRow(int row) const;
    ZPushButton *templateFor(Action action) const;
    void moveMark(int &markRow, Action &markAction, int row, Action action);

    QTableWidget *table;
    int nameColumn;
    int actionColumn;
    ZPushButton *restoreTemplate = nullptr;
    ZPushButton *editTemplate = nullptr;
    ZPushButton *deleteTemplate = nullptr;
    TavrinUi::TavrinBadge *initialBadge = nullptr;
    TavrinUi::TavrinBadge *backupBadge = nullptr;
    int hoverRow = -1;
    Action hoverAction = NoAction;
    int pressedRow = -1;
    Action pressedAction = NoAction;
};
