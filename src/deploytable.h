#pragma once

#include "backend/backend.h"

#include <QObject>
#include <QPoint>

#include <functional>

class DeployRowDelegate;
class QTableWidget;
class QWidget;

// The deployments table: rows filled in place (an assistive tool may still
// hold the cells of the last fill), the version and the row's action drawn by
// a delegate, the actions reached by mouse, by Enter, Space or the menu key,
// and by Delete; column widths follow the font.
class DeployTable : public QObject
{
    Q_OBJECT

public:
    enum Column { IndexColumn = 0, VersionColumn, StatusColumn, TimeColumn, CommitColumn, ActionColumn,
                  ColumnCount };

    explicit DeployTable(QWidget *parent);

    QTableWidget *widget() const { return table; }
    DeployRowDelegate *rows() const { return delegate; }

    // `staged`: what the staged deployment brings (a DeployRowDelegate::Staged value).
    void setRows(const QList<Tavrin::DeployInfo> &list, int staged);
    void clear();
    // While an operation runs the row menu offers nothing.
    void setBusyCheck(std::function<bool()> check) { busy = std::move(check); }

    QString commitAt(int row) const;
    QString selectedCommit() const;

signals:
    void deleteRequested(const QString &commit);
    void discardRequested(const QString &commit);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillRow(int row, const Tavrin::DeployInfo &d, int staged);
    void setCell(int row, int column, const QString &text, Qt::Alignment align, const QString &tip);
    void applyColumnWidths();
    void fitVersionColumn();
    int versionMinWidth() const;
    bool handleMouse(QEvent *event);
    void showRowMenu(int row, QPoint globalPos);
    void trigger(int row);

    QTableWidget *table = nullptr;
    DeployRowDelegate *delegate = nullptr;
    std::function<bool()> busy;
    int actionWidth = 0;
    // The row button under a press not yet released.
    QString pressedCommit;
};
