#pragma once

#include "planner/freespace.h"

#include <QDialog>

class FreeSpaceModel;
class QLabel;
class QPushButton;
class QTreeView;

// "释放空间": what each snapshot, old deployment and the upgrade cache would
// free, a running total of the checked rows, and their removal with one
// authorization. The data and the work live in FreeSpaceModel.
class FreeSpaceDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FreeSpaceDialog(QWidget *parent = nullptr);

    FreeSpaceModel *model() const { return m_model; }
    QTreeView *view() const { return m_view; }
    QString reportText() const;

signals:
    // Something was removed: disk figures shown elsewhere are out of date.
    void spaceFreed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void askRelease();
    void onReleased(const QList<Tavrin::FreeSpace::Candidate> &items,
                    const Tavrin::FreeSpace::Outcome &outcome);
    void updateState();

    FreeSpaceModel *m_model = nullptr;
    QTreeView *m_view = nullptr;
    QLabel *m_free = nullptr;
    QLabel *m_totals = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_report = nullptr;
    QPushButton *m_refresh = nullptr;
    QPushButton *m_release = nullptr;
    QPushButton *m_close = nullptr;
};

// Opens the planner as a window of its own (deleted when closed).
FreeSpaceDialog *openFreeSpacePlanner(QWidget *parent);
