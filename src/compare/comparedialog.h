#pragma once

#include "backend/comparestates.h"
#include "backend/packagechanges.h"
#include "backend/treediff.h"

#include <QDialog>
#include <QSet>

#include <atomic>
#include <memory>

class CompareTreeModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;
class QTreeView;

struct CompareSnapshot;
struct CompareFilterState;

// What changed from one state to another: a summary line, the changes grouped
// by directory, a filter, "复制路径", CSV export, and the package changes when
// both trees carry a package list. The work runs on the comparison's own pool
// and fills the view as it goes.
class CompareDialog : public QDialog
{
    Q_OBJECT

public:
    CompareDialog(const Tavrin::CompareState &before, const Tavrin::CompareState &after, QWidget *parent = nullptr);
    ~CompareDialog() override;

    // Writes the CSV of every change to `path` atomically; false with `error` set on failure.
    bool exportCsv(const QString &path, QString *error);
    bool isFinished() const { return finished; }
    QString summaryText() const;

    static QString stateLabel(const Tavrin::CompareState &state);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void start();
    void onProgress(const std::shared_ptr<const CompareSnapshot> &snapshot);
    void onPackages(const Tavrin::PackageDiffResult &packages);
    void regroup();
    void copyPath();
    void chooseExport();
    void updateSummary(const CompareSnapshot &snapshot);
    void showTree(const std::shared_ptr<const QList<Tavrin::FileChange>> &list, std::shared_ptr<Tavrin::DiffDir> root);
    QModelIndex findPath(const QString &path) const;

    Tavrin::CompareState before;
    Tavrin::CompareState after;
    std::shared_ptr<std::atomic_bool> cancel;
    std::shared_ptr<QObject> relay;
    std::shared_ptr<const QList<Tavrin::FileChange>> changes;
    std::shared_ptr<CompareFilterState> filterState;
    QSet<QString> expandedPaths;
    int generation = 0;
    bool finished = false;

    QLabel *summary = nullptr;
    QLabel *status = nullptr;
    QLineEdit *filter = nullptr;
    QTabWidget *tabs = nullptr;
    QTreeView *tree = nullptr;
    CompareTreeModel *model = nullptr;
    QTableWidget *packageTable = nullptr;
    QPushButton *copyButton = nullptr;
    QPushButton *exportButton = nullptr;
    QTimer *filterTimer = nullptr;
};

// Opens the comparison of two states as a window of its own.
CompareDialog *openCompare(QWidget *parent, const Tavrin::CompareState &before, const Tavrin::CompareState &after);
