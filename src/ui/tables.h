#pragma once

#include <QStringList>

class QTableWidget;
class QWidget;

namespace TavrinUi {

void setTableAccessibleName(QTableWidget *table, const QString &name);
// A read-only list of records in the program's look: whole rows selected, no grid, fixed row
// heights, texts elided at the end, and one Tab stop (arrows move between rows).
QTableWidget *makeRecordTable(const QStringList &headers, const QString &accessibleName, QWidget *parent);
void finalizeTableAccessible(QTableWidget *table);

} // namespace TavrinUi
