#include "ui/tables.h"

#include <QHeaderView>
#include <QTableWidget>

namespace TavrinUi {

void setTableAccessibleName(QTableWidget *table, const QString &name)
{
    if (!table)
        return;
    table->setAccessibleName(name);
    // The header is a control of its own for assistive tools.
    table->horizontalHeader()->setAccessibleName(name);
}

QTableWidget *makeRecordTable(const QStringList &headers, const QString &accessibleName, QWidget *parent)
{
    auto *table = new QTableWidget(0, int(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    setTableAccessibleName(table, accessibleName);
    table->verticalHeader()->setVisible(false);
    table->setAlternatingRowColors(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setShowGrid(false);
    table->setTextElideMode(Qt::ElideRight);
    table->setTabKeyNavigation(false);
    QHeaderView *header = table->horizontalHeader();
    header->setFixedHeight(42);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setMinimumSectionSize(72);
    header->setStretchLastSection(false);
    table->verticalHeader()->setDefaultSectionSize(48);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    return table;
}

void finalizeTableAccessible(QTableWidget *table)
{
    if (!table)
        return;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            QTableWidgetItem *item = table->item(row, column);
            if (!item)
                continue;
            const QTableWidgetItem *headerItem = table->horizontalHeaderItem(column);
            const QString header = headerItem ? headerItem->text() : QString();
            const QString text = item->text();
            item->setData(Qt::AccessibleTextRole, text.isEmpty()
                                                      ? QStringLiteral("%1: -").arg(header)
                                                      : QStringLiteral("%1: %2").arg(header, text));
        }
    }
}

} // namespace TavrinUi
