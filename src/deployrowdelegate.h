#pragma once

#include <QStyledItemDelegate>

class QTableWidget;
class ZPushButton;

namespace TavrinUi {
class TavrinBadge;
}

// Paints the deployment table's version cells (bold for the booted system, a
// badge for what a staged one brings) and its action cells without a widget
// per cell. Each row has one button: "删除部署", or for the deployment staged
// for the next boot "放弃部署". The buttons are drawn from hidden template
// widgets, so they follow the theme like the toolkit's own.
class DeployRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    enum Action { NoAction = -1, Delete = 0, Discard = 1 };
    // What a staged deployment brings, as far as the system tells.
    enum Staged { NotStaged = 0, StagedRollback, StagedUpgrade, StagedOther };
    // Roles of the version cell; the commit sits in Qt::UserRole.
    enum Role { BootedRole = Qt::UserRole + 1, StagedRole, DeletableRole, ActionTipRole };

    DeployRowDelegate(QTableWidget *table, int versionColumn, int actionColumn);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // The row's one action.
    Action actionOf(int row) const;
    bool actionEnabled(int row) const;
    // The button of the row, in viewport coordinates.
    QRect actionRect(int row) const;
    // The action under a viewport position, with its row.
    Action actionAt(const QPoint &pos, int *row) const;
    // What the action column needs: the wider button and its margins.
    int actionsWidth() const;
    int buttonHeight() const;
    // The widest badge a version cell can carry.
    int badgeWidth() const;

    void setHover(int row);
    void setPressed(int row);

private:
    QStyleOptionViewItem drawBackground(QPainter *painter, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const;
    ZPushButton *buttonFor(Action action) const;
    QRect buttonRect(const QRect &cell, Action action) const;
    TavrinUi::TavrinBadge *badgeOf(const QModelIndex &index) const;
    QRect badgeRect(const QRect &cell, const TavrinUi::TavrinBadge *badge) const;
    void paintVersion(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void paintAction(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void updateRow(int row) const;

    QTableWidget *table;
    int versionColumn;
    int actionColumn;
    ZPushButton *deleteTemplate = nullptr;
    ZPushButton *discardTemplate = nullptr;
    TavrinUi::TavrinBadge *rollbackBadge = nullptr;
    TavrinUi::TavrinBadge *upgradeBadge = nullptr;
    int hoverRow = -1;
    int pressedRow = -1;
};
