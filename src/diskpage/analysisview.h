#pragma once

// The disk page's directory analysis: the view switch (composition, growth, ranking), its hint,
// the breadcrumb of the browse position with the back button, and the table. It shows rows and
// forwards what the user asks; the browse state itself is the page's.

#include <QList>
#include <QPoint>
#include <QStringList>

#include "ui/components.h"
#include "ui/diskanalysis.h"

class QButtonGroup;
class QHBoxLayout;
class QPushButton;
class QTableWidget;
class ZLabel;

namespace DiskPage {

class AnalysisView : public TavrinUi::TavrinSection
{
    Q_OBJECT

public:
    explicit AnalysisView(QWidget *parent = nullptr);

    void setViewMode(ViewMode mode);
    void setRows(const QList<AnalysisRow> &rows);
    // The breadcrumb and back control: `stackPaths` are the earlier browse positions, oldest first.
    void setContext(ViewMode mode, const QString &browsePath, const QString &followed,
                    const QStringList &stackPaths);
    QTableWidget *table() const { return m_table; }
    // The location the row's open button opens; "" for none.
    QString pathAt(int row) const;

signals:
    void viewModeRequested(DiskPage::ViewMode mode);
    void rowClicked(int row);
    // Double click or Enter on a row.
    void rowActivated(int row);
    void backRequested();
    void rootRequested();
    // A breadcrumb segment: `depth` into the browse stack, or −1 for a level never visited.
    void crumbRequested(int depth, const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showRowMenu(int row, QPoint globalPos);

    QButtonGroup *m_viewButtons = nullptr;
    ZLabel *m_viewHint = nullptr;
    QPushButton *m_backButton = nullptr;
    QWidget *m_breadcrumb = nullptr;
    QHBoxLayout *m_breadcrumbLayout = nullptr;
    ZLabel *m_pathLabel = nullptr;
    QTableWidget *m_table = nullptr;
    QStringList m_paths;
};

} // namespace DiskPage
