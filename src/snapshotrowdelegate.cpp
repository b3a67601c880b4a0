#include "snapshotrowdelegate.h"

#include "ui/components.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QTableWidget>
#include <QTextDocument>
#include <QToolTip>

#include "zpushbutton.h"
#include "zwarningbutton.h"

namespace {

constexpr int kButtonSpacing = 6;
constexpr int kBadgeSpacing = 8;
// The buttons from left to right.
constexpr SnapshotRowDelegate::Action kDrawn[] = {SnapshotRowDelegate::Restore, SnapshotRowDelegate::Edit,
                                                  SnapshotRowDelegate::Delete};

// Quiet until pointed at or pressed: a column of red buttons would make
// deleting look like the page's main business.
class RowDeleteButton : public ZWarningButton
{
public:
    using ZWarningButton::ZWarningButton;

protected:
    Colors colors() const override
    {
        if (isEnabled() && (underMouse() || isDown()))
            return ZWarningButton::colors();
        Colors quiet = ZPushButton::colors();
        if (isEnabled())
            quiet.text = TavrinUi::semanticColor(TavrinUi::Warning);
        return quiet;
    }
};

QString plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// Templates are never shown: they lend their painting to every row.
template <typename T> T *hiddenTemplate(T *widget, const QString &objectName)
{
    widget->setObjectName(objectName);
    widget->setFocusPolicy(Qt::NoFocus);
    widget->setAttribute(Qt::WA_DontShowOnScreen);
    widget->hide();
    return widget;
}

void renderAt(QWidget *widget, QPainter *painter, const QRect &rect)
{
    if (widget->size() != rect.size())
        widget->resize(rect.size());
    painter->save();
    painter->translate(rect.topLeft());
    widget->render(painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter->restore();
}

} // namespace

// The texts are the page's and keep its place in the translation catalogue.
SnapshotRowDelegate::SnapshotRowDelegate(QTableWidget *table, int nameColumn, int actionColumn)
    : QStyledItemDelegate(table), table(table), nameColumn(nameColumn), actionColumn(actionColumn)
{
    restoreTemplate =
        hiddenTemplate(new ZPushButton(QCoreApplication::translate("SnapshotsPage", "还原"), table),
                       QStringLiteral("tavrinRestoreButton"));
    restoreTemplate->setToolTip(
        QCoreApplication::translate("SnapshotsPage", "将系统还原到此备份的状态（重启后生效）"));
    editTemplate =
        hiddenTemplate(new ZPushButton(QCoreApplication::translate("SnapshotsPage", "编辑"), table),
                       QStringLiteral("tavrinEditButton"));
    deleteTemplate =
        hiddenTemplate(new RowDeleteButton(QCoreApplication::translate("SnapshotsPage", "删除"), table),
                       QStringLiteral("tavrinDeleteButton"));
    initialBadge =
        hiddenTemplate(new TavrinUi::TavrinBadge(QCoreApplication::translate("SnapshotsPage", "初始"),
                                                 TavrinUi::Accent, table),
                       QStringLiteral("tavrinInitialBadge"));
    initialBadge->setToolTip(
        QCoreApplication::translate("SnapshotsPage", "系统初始备份, 受Tavrin保护, 不可删除"));
    backupBadge =
        hiddenTemplate(new TavrinUi::TavrinBadge(QCoreApplication::translate("SnapshotsPage", "回滚前"),
                                                 TavrinUi::Warning, table),
                       QStringLiteral("tavrinBackupBadge"));
    backupBadge->setToolTip(
        QCoreApplication::translate("SnapshotsPage", "还原前自动创建的安全备份, 回滚成功后可在本页手动删除"));
}

void SnapshotRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    if (index.column() == nameColumn)
        paintName(painter, option, index);
    else if (index.column() == actionColumn)
        paintActions(painter, option, index);
    else
        QStyledItemDelegate::paint(painter, option, index);
}

// The cell's background, selection and focus as the style draws them, without its text.
QStyleOptionViewItem SnapshotRowDelegate::drawBackground(QPainter *painter,
                                                         const QStyleOptionViewItem &option,
                                                         const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QStyleOptionViewItem full = opt;
    opt.text.clear();
    opt.features &= ~QStyleOptionViewItem::HasDisplay;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    return full;
}

QList<std::pair<TavrinUi::TavrinBadge *, QRect>>
SnapshotRowDelegate::badgeRects(const QRect &cell, const QModelIndex &index) const
{
    QList<std::pair<TavrinUi::TavrinBadge *, QRect>> out;
    QList<TavrinUi::TavrinBadge *> shown;
    const QModelIndex name = index.siblingAtColumn(nameColumn);
    if (name.data(InitialRole).toBool())
        shown << initialBadge;
    if (name.data(BackupRole).toBool())
        shown << backupBadge;
    const QRect area = cell.adjusted(6, 2, -6, -2);
    int right = area.right() + 1;
    for (auto it = shown.crbegin(); it != shown.crend(); ++it) {
        const QSize size = (*it)->sizeHint().boundedTo(area.size());
        right -= size.width();
        out.prepend({*it, QRect(QPoint(right, area.top() + (area.height() - size.height()) / 2), size)});
        right -= kBadgeSpacing;
    }
    return out;
}

void SnapshotRowDelegate::paintName(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    const QStyleOptionViewItem opt = drawBackground(painter, option, index);
    const QString name = opt.text;
    const QList<std::pair<TavrinUi::TavrinBadge *, QRect>> badges = badgeRects(option.rect, index);
    QRect textRect = option.rect.adjusted(6, 2, -6, -2);
    if (!badges.isEmpty())
        textRect.setRight(badges.first().second.left() - kBadgeSpacing - 1);
    QFont bold = opt.font;
    bold.setWeight(QFont::Bold);
    const QFontMetrics fm(bold);
    const QPalette::ColorGroup group =
        opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setFont(bold);
    painter->setPen(opt.palette.color(group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                : QPalette::Text));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                      fm.elidedText(name, Qt::ElideRight, qMax(0, textRect.width())));
    painter->restore();
    for (const auto &[badge, rect] : badges)
        renderAt(badge, painter, rect);
}

QRect SnapshotRowDelegate::buttonRect(const QRect &cell, Action action) const
{
    const QRect area = cell.adjusted(4, 2, -4, -2);
    const int height = qMin(area.height(), buttonHeight());
    const int top = area.top() + (area.height() - height) / 2;
    int left = area.left();
    for (Action drawn : kDrawn) {
        const int width = templateFor(drawn)->sizeHint().width();
        if (drawn == action)
            return QRect(left, top, width, height);
        left += width + kButtonSpacing;
    }
    return QRect();
}

ZPushButton *SnapshotRowDelegate::templateFor(Action action) const
{
    return action == Restore ? restoreTemplate : action == Edit ? editTemplate : deleteTemplate;
}

void SnapshotRowDelegate::paintActions(QPainter *painter, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    drawBackground(painter, option, index);
    const int row = index.row();
    for (Action action : kDrawn) {
        ZPushButton *button = templateFor(action);
        const bool enabled = actionEnabled(row, action);
        const bool hovered = enabled && hoverRow == row && hoverAction == action;
        if (button->isEnabled() != enabled)
            button->setEnabled(enabled);
        button->setAttribute(Qt::WA_UnderMouse, hovered);
        button->setDown(hovered && pressedRow == row && pressedAction == action);
        renderAt(button, painter, buttonRect(option.rect, action));
    }
    for (Action action : kDrawn) {
        templateFor(action)->setAttribute(Qt::WA_UnderMouse, false);
        templateFor(action)->setDown(false);
    }
}

bool SnapshotRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid()) {
        QString tip;
        QRect area;
        if (index.column() == actionColumn) {
            for (Action action : kDrawn) {
                const QRect rect = buttonRect(option.rect, action);
                if (rect.contains(event->pos())) {
                    tip = actionToolTip(index.row(), action);
                    area = rect;
                }
            }
        } else if (index.column() == nameColumn) {
            for (const auto &[badge, rect] : badgeRects(option.rect, index)) {
                if (rect.contains(event->pos())) {
                    tip = badge->toolTip();
                    area = rect;
                }
            }
        }
        if (!tip.isEmpty()) {
            QToolTip::showText(event->globalPos(), plainToolTip(tip), view->viewport(), area);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

QRect SnapshotRowDelegate::actionRect(int row, Action action) const
{
    if (row < 0 || row >= table->rowCount() || action == NoAction)
        return QRect();
    return buttonRect(table->visualRect(table->model()->index(row, actionColumn)), action);
}

SnapshotRowDelegate::Action SnapshotRowDelegate::actionAt(const QPoint &pos, int *row) const
{
    const QModelIndex index = table->indexAt(pos);
    if (row)
        *row = index.row();
    if (!index.isValid() || index.column() != actionColumn)
        return NoAction;
    const QRect cell = table->visualRect(index);
    for (Action action : kDrawn) {
        if (buttonRect(cell, action).contains(pos))
            return action;
    }
    return NoAction;
}

bool SnapshotRowDelegate::actionEnabled(int row, Action action) const
{
    if (action == Restore)
        return true;
    // The initial snapshot is the system's: neither renamed nor deleted.
    const QTableWidgetItem *name = table->item(row, nameColumn);
    return name && !name->data(InitialRole).toBool();
}

QString SnapshotRowDelegate::actionToolTip(int row, Action action) const
{
    if (action == Restore)
        return restoreTemplate->toolTip();
    if (action == Edit)
        return actionEnabled(row, Edit)
                   ? QCoreApplication::translate("SnapshotsPage", "修改此备份的名称与描述")
                   : QCoreApplication::translate("SnapshotsPage", "系统初始备份受保护, 不可修改");
    return actionEnabled(row, Delete)
               ? QCoreApplication::translate("SnapshotsPage", "删除此备份")
               : QCoreApplication::translate("SnapshotsPage", "系统初始备份受保护, 不可删除");
}

int SnapshotRowDelegate::actionsWidth() const
{
    int width = 4 + 4 - kButtonSpacing;
    for (Action action : kDrawn)
        width += templateFor(action)->sizeHint().width() + kButtonSpacing;
    return width;
}

int SnapshotRowDelegate::buttonHeight() const
{
    int height = 0;
    for (Action action : kDrawn)
        height = qMax(height, templateFor(action)->sizeHint().height());
    return height;
}

void SnapshotRowDelegate::updateRow(int row) const
{
    if (row >= 0 && row < table->rowCount())
        table->viewport()->update(table->visualRect(table->model()->index(row, actionColumn)));
}

// Moves a mark (hover or press) to a button and repaints the rows it left and reached.
void SnapshotRowDelegate::moveMark(int &markRow, Action &markAction, int row, Action action)
{
    if (action == NoAction)
        row = -1;
    if (row == markRow && action == markAction)
        return;
    updateRow(markRow);
    markRow = row;
    markAction = action;
    updateRow(markRow);
}

void SnapshotRowDelegate::setHover(int row, Action action)
{
    moveMark(hoverRow, hoverAction, row, action);
}

void SnapshotRowDelegate::setPressed(int row, Action action)
{
    moveMark(pressedRow, pressedAction, row, action);
}
