#include "deploytable.h"

#include "deployrowdelegate.h"
#include "ui/appearance.h"
#include "ui/components.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTableWidget>
#include <QTextDocument>

#include <algorithm>
#include <utility>

namespace {

constexpr int kCommitChars = 16;

QString pageTr(const char *text)
{
    return QCoreApplication::translate("DeploysPage", text);
}

struct Status
{
    QString text;
    TavrinUi::Semantic semantic;
    QString tip;
    QString actionTip;
};

Status statusOf(const Tavrin::DeployInfo &d, int staged)
{
    const QString deletableTip =
        d.commit.isEmpty() ? pageTr("该部署缺少标识信息，无法删除，请刷新列表后重试。")
                           : pageTr("删除该部署实例以释放磁盘空间，删除后该系统将无法再启动。");
    if (d.isBooted)
        return {pageTr("当前启动"), TavrinUi::Accent, pageTr("此刻正在运行的系统，受系统保护，不能删除。"),
                pageTr("这是当前正在运行的系统，不能删除。")};
    if (d.hidden) {
        const QString discardTip = pageTr("放弃这个待生效的部署：重启后仍启动当前系统。");
        if (staged == DeployRowDelegate::StagedRollback)
            return {pageTr("待生效"), TavrinUi::Warning,
                    pageTr("还原到快照后待生效的系统，重启电脑后才会启用，届时它会变成「当前启动」。"
                           "可以放弃它，系统将继续启动当前版本。"),
                    discardTip};
        if (staged == DeployRowDelegate::StagedUpgrade)
            return {pageTr("待生效"), TavrinUi::Warning,
                    pageTr("系统升级后待生效的新版本，重启电脑后才会启用，届时它会变成「当前启动」。"
                           "可以放弃它，系统将继续启动当前版本。"),
                    discardTip};
        if (staged == DeployRowDelegate::StagedOther)
            return {pageTr("待生效"), TavrinUi::Warning,
                    pageTr("系统更新或还原后待生效的系统，重启电脑后才会启用，届时它会变成「当前启动」。"
                           "可以放弃它，系统将继续启动当前版本。"),
                    discardTip};
        return {pageTr("待生效"), TavrinUi::Warning,
                pageTr("系统更新后待生效的新系统，重启电脑后才会启用，届时它会变成「当前启动」。"
                       "受系统保护，不能删除。"),
                pageTr("这是系统更新后待生效的新系统，重启电脑后才会启用，目前受系统保护，不能删除。")};
    }
    if (d.isRollbackBackup)
        return {pageTr("回滚备份"), TavrinUi::Warning,
                pageTr("还原系统时自动创建的安全部署，确认系统正常后可以删除。"), deletableTip};
    return {pageTr("历史"), TavrinUi::Muted, pageTr("已不再使用的旧系统，可删除以释放磁盘空间。"), deletableTip};
}

QString versionText(const Tavrin::DeployInfo &d)
{
    return d.version.isEmpty() ? QStringLiteral("-") : d.version;
}

QString plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

DeployTable::DeployTable(QWidget *parent) : QObject(parent)
{
    table = TavrinUi::makeRecordTable({pageTr("索引"), pageTr("版本号"), pageTr("状态"), pageTr("部署时间"),
                                       pageTr("提交ID"), pageTr("操作")},
                                      pageTr("系统部署列表"), parent);
    Q_ASSERT(table->columnCount() == ColumnCount);
    table->setObjectName(QStringLiteral("tavrinDeployTable"));
    TavrinUi::applySnapshotTableLook(table);
    table->setMinimumWidth(320);
    delegate = new DeployRowDelegate(table, VersionColumn, ActionColumn);
    table->setItemDelegateForColumn(VersionColumn, delegate);
    table->setItemDelegateForColumn(ActionColumn, delegate);
    table->viewport()->setMouseTracking(true);
    table->setContextMenuPolicy(Qt::DefaultContextMenu);
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (column == ActionColumn && size < actionWidth)
            table->setColumnWidth(ActionColumn, actionWidth);
        else if (column == VersionColumn && size < versionMinWidth())
            table->setColumnWidth(VersionColumn, versionMinWidth());
    });
    table->viewport()->installEventFilter(this);
    table->installEventFilter(this);
    applyColumnWidths();
}

void DeployTable::clear()
{
    table->setRowCount(0);
}

void DeployTable::setRows(const QList<Tavrin::DeployInfo> &list, int staged)
{
    // In place: the row count changes only by what the list gained or lost.
    table->setUpdatesEnabled(false);
    table->setRowCount(int(list.size()));
    for (int row = 0; row < list.size(); ++row)
        fillRow(row, list.at(row), list.at(row).hidden && !list.at(row).isBooted ? staged : 0);
    table->setUpdatesEnabled(true);
}

void DeployTable::setCell(int row, int column, const QString &text, Qt::Alignment align, const QString &tip)
{
    QTableWidgetItem *item = table->item(row, column);
    const bool fresh = !item;
    if (fresh)
        item = new QTableWidgetItem;
    item->setText(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
    item->setToolTip(plainToolTip(tip));
    const QString header = table->horizontalHeaderItem(column)->text();
    item->setData(Qt::AccessibleTextRole,
                  QStringLiteral("%1: %2").arg(header, text.isEmpty() ? QStringLiteral("-") : text));
    if (fresh)
        table->setItem(row, column, item);
}

void DeployTable::fillRow(int row, const Tavrin::DeployInfo &d, int staged)
{
    const Status status = statusOf(d, staged);
    setCell(row, IndexColumn, QString::number(row), Qt::AlignHCenter, QString());
    const QString version = versionText(d);
    setCell(row, VersionColumn, version, Qt::AlignLeft, version);
    QTableWidgetItem *versionItem = table->item(row, VersionColumn);
    versionItem->setData(Qt::UserRole, d.commit);
    versionItem->setData(DeployRowDelegate::BootedRole, d.isBooted);
    versionItem->setData(DeployRowDelegate::StagedRole, staged);
    versionItem->setData(DeployRowDelegate::DeletableRole, Tavrin::isDeployDeletable(d));
    versionItem->setData(DeployRowDelegate::ActionTipRole, status.actionTip);
    // The bold face and the badge are drawn: the name says what they show.
    QString described = version;
    if (d.isBooted)
        described = pageTr("%1，当前启动").arg(version);
    else if (staged == DeployRowDelegate::StagedRollback)
        described = pageTr("%1，待生效的还原").arg(version);
    else if (staged == DeployRowDelegate::StagedUpgrade)
        described = pageTr("%1，待生效的升级").arg(version);
    versionItem->setData(Qt::AccessibleTextRole,
                         QStringLiteral("%1: %2").arg(table->horizontalHeaderItem(VersionColumn)->text(), described));

    setCell(row, StatusColumn, status.text, Qt::AlignHCenter, status.tip);
    table->item(row, StatusColumn)->setForeground(TavrinUi::semanticColor(status.semantic));
    const QString time = Tavrin::formatTime(d.time);
    setCell(row, TimeColumn, time, Qt::AlignHCenter, time);
    setCell(row, CommitColumn, d.commit.left(kCommitChars) + QStringLiteral("..."), Qt::AlignHCenter, d.commit);

    setCell(row, ActionColumn, QString(), Qt::AlignLeft, QString());
    QString action;
    if (delegate->actionOf(row) == DeployRowDelegate::Discard)
        action = pageTr("放弃部署（Enter 或菜单键）");
    else if (delegate->actionEnabled(row))
        action = pageTr("删除部署（Enter 或菜单键）");
    else
        action = pageTr("不能删除：%1").arg(status.actionTip);
    table->item(row, ActionColumn)
        ->setData(Qt::AccessibleTextRole,
                  QStringLiteral("%1: %2").arg(table->horizontalHeaderItem(ActionColumn)->text(), action));
}

QString DeployTable::commitAt(int row) const
{
    const QTableWidgetItem *item = row >= 0 ? table->item(row, VersionColumn) : nullptr;
    return item ? item->data(Qt::UserRole).toString() : QString();
}

QString DeployTable::selectedCommit() const
{
    const int row = table->currentRow();
    return row >= 0 && table->selectionModel()->isRowSelected(row) ? commitAt(row) : QString();
}

// Widths follow the font and what the columns hold (a row number, the status
// texts, a time, the commit's head), so large fonts cut none of them; the
// action stays in view and the version gives way first, then the commit,
// whose full text is also in its tooltip.
void DeployTable::applyColumnWidths()
{
    const QFontMetrics fm(table->font());
    const int padding = fm.averageCharWidth() * 3;
    auto widest = [&fm](const QStringList &texts) {
        int width = 0;
        for (const QString &text : texts)
            width = qMax(width, fm.horizontalAdvance(text));
        return width;
    };
    int hexWidth = 0;
    for (const QChar c : QStringLiteral("0123456789abcdef"))
        hexWidth = qMax(hexWidth, fm.horizontalAdvance(c));
    const int contents[] = {
        widest({QStringLiteral("999")}),
        0,
        widest({pageTr("当前启动"), pageTr("待生效"), pageTr("回滚备份"), pageTr("历史")}),
        widest({Tavrin::formatTime(QDateTime(QDate(2000, 12, 28), QTime(20, 58, 58)).toSecsSinceEpoch())}),
        kCommitChars * hexWidth + fm.horizontalAdvance(QStringLiteral("...")),
    };
    QHeaderView *header = table->horizontalHeader();
    for (int column : {IndexColumn, StatusColumn, TimeColumn, CommitColumn})
        table->setColumnWidth(column, qMax(header->sectionSizeHint(column), contents[column] + padding));
    actionWidth = qMax(header->sectionSizeHint(ActionColumn), delegate->actionsWidth());
    table->setColumnWidth(ActionColumn, actionWidth);
    const int rowHeight = std::max({48, fm.height() + 24, delegate->buttonHeight() + 8});
    table->verticalHeader()->setDefaultSectionSize(rowHeight);
    header->setFixedHeight(qMax(42, header->sizeHint().height() + 8));
    table->setMinimumHeight(header->height() + 3 * rowHeight + 2 * table->frameWidth());
    fitVersionColumn();
}

int DeployTable::versionMinWidth() const
{
    return QFontMetrics(table->font()).averageCharWidth() * 10 + delegate->badgeWidth() + 20;
}

void DeployTable::fitVersionColumn()
{
    const int room = table->viewport()->width();
    auto othersWidth = [this] {
        int others = 0;
        for (int column = 0; column < ColumnCount; ++column) {
            if (column != VersionColumn && !table->isColumnHidden(column))
                others += table->columnWidth(column);
        }
        return others;
    };
    table->setColumnHidden(CommitColumn, false);
    if (room - othersWidth() < versionMinWidth())
        table->setColumnHidden(CommitColumn, true);
    table->setColumnWidth(VersionColumn, qMax(versionMinWidth(), room - othersWidth()));
}

bool DeployTable::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == table->viewport() && event->type() == QEvent::Resize)
        fitVersionColumn();
    if (watched == table && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        applyColumnWidths();
    if (watched == table->viewport() && handleMouse(event))
        return true;
    if ((watched == table || watched == table->viewport()) && event->type() == QEvent::ContextMenu) {
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        if (menuEvent->reason() == QContextMenuEvent::Mouse && watched == table->viewport()) {
            const int row = table->rowAt(menuEvent->pos().y());
            if (row >= 0) {
                table->selectRow(row);
                showRowMenu(row, menuEvent->globalPos());
            }
        } else {
            showRowMenu(table->currentRow(), QPoint());
        }
        return true;
    }
    if (watched == table && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return QObject::eventFilter(watched, event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
        case Qt::Key_Menu:
            showRowMenu(table->currentRow(), QPoint());
            return true;
        case Qt::Key_Delete:
            if (delegate->actionEnabled(table->currentRow()))
                trigger(table->currentRow());
            return true;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

// The drawn button acts like a real one: lit under the pointer, pressed and
// released on the same deployment to act.
bool DeployTable::handleMouse(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        break;
    case QEvent::Leave:
        delegate->setHover(-1);
        table->viewport()->unsetCursor();
        return false;
    default:
        return false;
    }
    const auto *mouse = static_cast<QMouseEvent *>(event);
    int row = -1;
    const DeployRowDelegate::Action action = delegate->actionAt(mouse->position().toPoint(), &row);
    const bool enabled = action != DeployRowDelegate::NoAction && delegate->actionEnabled(row);
    if (event->type() == QEvent::MouseMove) {
        delegate->setHover(enabled ? row : -1);
        if (enabled)
            table->viewport()->setCursor(Qt::PointingHandCursor);
        else
            table->viewport()->unsetCursor();
        return !pressedCommit.isEmpty();
    }
    if (mouse->button() != Qt::LeftButton)
        return action != DeployRowDelegate::NoAction;
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        if (action == DeployRowDelegate::NoAction)
            return false;
        if (enabled) {
            pressedCommit = commitAt(row);
            delegate->setPressed(row);
        }
        return true;
    }
    if (pressedCommit.isEmpty())
        return action != DeployRowDelegate::NoAction;
    const QString commit = std::exchange(pressedCommit, QString());
    delegate->setPressed(-1);
    // The rows may have been refilled since the press: only the same deployment counts.
    if (action != DeployRowDelegate::NoAction && commitAt(row) == commit)
        trigger(row);
    return true;
}

void DeployTable::trigger(int row)
{
    const QString commit = commitAt(row);
    if (commit.isEmpty() || !delegate->actionEnabled(row))
        return;
    if (delegate->actionOf(row) == DeployRowDelegate::Discard)
        emit discardRequested(commit);
    else
        emit deleteRequested(commit);
}

// The keyboard's and the context menu's way to the row's button.
void DeployTable::showRowMenu(int row, QPoint globalPos)
{
    const QString commit = commitAt(row);
    if (commit.isEmpty())
        return;
    const bool discard = delegate->actionOf(row) == DeployRowDelegate::Discard;
    QMenu menu(table);
    menu.setObjectName(QStringLiteral("tavrinDeployMenu"));
    menu.setAccessibleName(pageTr("部署操作：%1").arg(table->item(row, VersionColumn)->text()));
    QAction *act = menu.addAction(discard ? pageTr("放弃待生效部署…") : pageTr("删除部署…"));
    if (!discard)
        act->setShortcut(QKeySequence::Delete);
    act->setEnabled(delegate->actionEnabled(row) && !(busy && busy()));
    if (!act->isEnabled())
        act->setToolTip(table->item(row, VersionColumn)->data(DeployRowDelegate::ActionTipRole).toString());
    menu.setToolTipsVisible(true);
    if (globalPos.isNull()) {
        const QRect cell = table->visualRect(table->model()->index(row, ActionColumn));
        globalPos = table->viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : QPoint());
    }
    QPointer<DeployTable> self(this);
    QAction *chosen = menu.exec(globalPos);
    if (self && chosen == act && commitAt(row) == commit)
        trigger(row);
}
