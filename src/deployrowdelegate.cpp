#include "deployrowdelegate.h"

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

constexpr int kBadgeSpacing = 8;

// Quiet until pointed at or pressed, as in the snapshot table.
class QuietWarningButton : public ZWarningButton
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

QString pageTr(const char *text)
{
    return QCoreApplication::translate("DeploysPage", text);
}

} // namespace

DeployRowDelegate::DeployRowDelegate(QTableWidget *table, int versionColumn, int actionColumn)
    : QStyledItemDelegate(table), table(table), versionColumn(versionColumn), actionColumn(actionColumn)
{
    deleteTemplate = hiddenTemplate(new QuietWarningButton(pageTr("删除部署"), table),
                                    QStringLiteral("tavrinDeployDeleteButton"));
    discardTemplate = hiddenTemplate(new ZPushButton(pageTr("放弃部署"), table),
                                     QStringLiteral("tavrinDeployDiscardButton"));
    rollbackBadge = hiddenTemplate(new TavrinUi::TavrinBadge(pageTr("还原"), TavrinUi::Warning, table),
                                   QStringLiteral("tavrinStagedRollbackBadge"));
    rollbackBadge->setToolTip(pageTr("还原到快照后待生效的系统"));
    upgradeBadge = hiddenTemplate(new TavrinUi::TavrinBadge(pageTr("升级"), TavrinUi::Accent, table),
                                  QStringLiteral("tavrinStagedUpgradeBadge"));
    upgradeBadge->setToolTip(pageTr("系统升级后待生效的新版本"));
}

void DeployRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    if (index.column() == versionColumn)
        paintVersion(painter, option, index);
    else if (index.column() == actionColumn)
        paintAction(painter, option, index);
    else
        QStyledItemDelegate::paint(painter, option, index);
}

QStyleOptionViewItem DeployRowDelegate::drawBackground(QPainter *painter, const QStyleOptionViewItem &option,
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

TavrinUi::TavrinBadge *DeployRowDelegate::badgeOf(const QModelIndex &index) const
{
    switch (index.siblingAtColumn(versionColumn).data(StagedRole).toInt()) {
    case StagedRollback:
        return rollbackBadge;
    case StagedUpgrade:
        return upgradeBadge;
    default:
        return nullptr;
    }
}

QRect DeployRowDelegate::badgeRect(const QRect &cell, const TavrinUi::TavrinBadge *badge) const
{
    const QRect area = cell.adjusted(6, 2, -6, -2);
    const QSize size = badge->sizeHint().boundedTo(area.size());
    return QRect(QPoint(area.right() + 1 - size.width(), area.top() + (area.height() - size.height()) / 2),
                 size);
}

void DeployRowDelegate::paintVersion(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    const QStyleOptionViewItem opt = drawBackground(painter, option, index);
    TavrinUi::TavrinBadge *badge = badgeOf(index);
    QRect textRect = option.rect.adjusted(6, 2, -6, -2);
    QRect badgeArea;
    if (badge) {
        badgeArea = badgeRect(option.rect, badge);
        textRect.setRight(badgeArea.left() - kBadgeSpacing - 1);
    }
    QFont font = opt.font;
    if (index.data(BootedRole).toBool())
        font.setWeight(QFont::Bold);
    const QFontMetrics fm(font);
    const QPalette::ColorGroup group =
        opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setFont(font);
    painter->setPen(opt.palette.color(group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                : QPalette::Text));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                      fm.elidedText(opt.text, Qt::ElideRight, qMax(0, textRect.width())));
    painter->restore();
    if (badge)
        renderAt(badge, painter, badgeArea);
}

ZPushButton *DeployRowDelegate::buttonFor(Action action) const
{
    return action == Discard ? discardTemplate : deleteTemplate;
}

QRect DeployRowDelegate::buttonRect(const QRect &cell, Action action) const
{
    const QRect area = cell.adjusted(4, 2, -4, -2);
    const int height = qMin(area.height(), buttonHeight());
    return QRect(area.left(), area.top() + (area.height() - height) / 2, buttonFor(action)->sizeHint().width(),
                 height);
}

void DeployRowDelegate::paintAction(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    drawBackground(painter, option, index);
    const int row = index.row();
    const Action action = actionOf(row);
    ZPushButton *button = buttonFor(action);
    const bool enabled = actionEnabled(row);
    const bool hovered = enabled && hoverRow == row;
    if (button->isEnabled() != enabled)
        button->setEnabled(enabled);
    button->setAttribute(Qt::WA_UnderMouse, hovered);
    button->setDown(hovered && pressedRow == row);
    renderAt(button, painter, buttonRect(option.rect, action));
    button->setAttribute(Qt::WA_UnderMouse, false);
    button->setDown(false);
}

bool DeployRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                  const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid()) {
        QString tip;
        QRect area;
        if (index.column() == actionColumn) {
            const QRect rect = buttonRect(option.rect, actionOf(index.row()));
            if (rect.contains(event->pos())) {
                tip = index.siblingAtColumn(versionColumn).data(ActionTipRole).toString();
                area = rect;
            }
        } else if (index.column() == versionColumn) {
            if (TavrinUi::TavrinBadge *badge = badgeOf(index)) {
                const QRect rect = badgeRect(option.rect, badge);
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

DeployRowDelegate::Action DeployRowDelegate::actionOf(int row) const
{
    const QTableWidgetItem *version = row >= 0 ? table->item(row, versionColumn) : nullptr;
    if (!version)
        return NoAction;
    return version->data(StagedRole).toInt() != NotStaged ? Discard : Delete;
}

bool DeployRowDelegate::actionEnabled(int row) const
{
    const QTableWidgetItem *version = row >= 0 ? table->item(row, versionColumn) : nullptr;
    if (!version || version->data(Qt::UserRole).toString().isEmpty())
        return false;
    return actionOf(row) == Discard || version->data(DeletableRole).toBool();
}

QRect DeployRowDelegate::actionRect(int row) const
{
    if (row < 0 || row >= table->rowCount())
        return QRect();
    return buttonRect(table->visualRect(table->model()->index(row, actionColumn)), actionOf(row));
}

DeployRowDelegate::Action DeployRowDelegate::actionAt(const QPoint &pos, int *row) const
{
    const QModelIndex index = table->indexAt(pos);
    if (row)
        *row = index.row();
    if (!index.isValid() || index.column() != actionColumn)
        return NoAction;
    const Action action = actionOf(index.row());
    return buttonRect(table->visualRect(index), action).contains(pos) ? action : NoAction;
}

int DeployRowDelegate::actionsWidth() const
{
    return 4 + qMax(deleteTemplate->sizeHint().width(), discardTemplate->sizeHint().width()) + 4;
}

int DeployRowDelegate::buttonHeight() const
{
    return qMax(deleteTemplate->sizeHint().height(), discardTemplate->sizeHint().height());
}

int DeployRowDelegate::badgeWidth() const
{
    return qMax(rollbackBadge->sizeHint().width(), upgradeBadge->sizeHint().width());
}

void DeployRowDelegate::updateRow(int row) const
{
    if (row >= 0 && row < table->rowCount())
        table->viewport()->update(table->visualRect(table->model()->index(row, actionColumn)));
}

void DeployRowDelegate::setHover(int row)
{
    if (row == hoverRow)
        return;
    updateRow(hoverRow);
    hoverRow = row;
    updateRow(hoverRow);
}

void DeployRowDelegate::setPressed(int row)
{
    if (row == pressedRow)
        return;
    updateRow(pressedRow);
    pressedRow = row;
    updateRow(pressedRow);
}
