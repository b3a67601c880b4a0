#pragma once

#include "backend/backend.h"
#include "backend/retention.h"
#include "basepage.h"

#include <QFuture>
#include <QList>
#include <QMap>

#include <utility>

class MainWindow;
class SnapshotRowDelegate;
class SupersededNotice;
class QTableWidget;
class QTimer;

namespace TavrinUi {
class TavrinEmptyState;
class TavrinInlineBanner;
class TavrinLocalLoading;
class TavrinResponsiveCardRow;
class TavrinStateCard;
} // namespace TavrinUi

class SnapshotsPage : public BasePage
{
    Q_OBJECT

public:
    // `parent`: where the page lives when that is not the window itself.
    explicit SnapshotsPage(MainWindow *window, QWidget *parent = nullptr);

    void refresh() override;

    Q_INVOKABLE void onCreate();

    // Starts reading the list (and the rollback state) on the thread pool, so
    // that the read can run while the widgets are built; `refreshWith` then
    // shows it as `refresh` would.
    static QFuture<QVariant> startListRead();
    void refreshWith(const QFuture<QVariant> &read);

    // Delay before the list is read again when some sizes were not known yet
    // (the size computation caches its result for about a minute).
    static void setSizeRetryDelay(int ms);

    // The rows are shown as soon as the list is read; the sizes follow. The
    // page is idle once the rows are shown, so this tells whether the sizes
    // of the list on screen are still being computed.
    bool sizesPending() const { return sizesAwaited; }

    // Id of the snapshot on the selected row; "" when none is selected.
    QString selectedSnapshotId() const;

    // What deleting snapshot `id` frees as far as it is known now: "计算中…"
    // while the sizes of the list shown are computed.
    QString freedText(const QString &id) const;

signals:
    // The sizes of the rows changed: computed, or dropped for a new list.
    void sizesChanged();

private:
    static QVariant loadPayload();
    void onLoaded(quint64 request, const QVariant &payload);
    void startSizes();
    void startSizesAfterPaint();
    void onSizesComputed(quint64 request, const QVariant &payload);
    void setSizeCell(int row);
    void render(const QList<Tavrin::SnapshotInfo> &list, const Tavrin::RollbackState &state);
    enum class ListState { Rows, Empty, Failed };
    void showListState(ListState state);
    void showLoadFailure(const QString &error);
    void fillRow(int row, const Tavrin::SnapshotInfo &snap, bool isBackup);
    void setCell(int row, int column, const QString &text, Qt::Alignment align, const QString &tip);
    void updatePolicyCards(int count, const Tavrin::RollbackState &state);
    // `count` -1: the list could not be read.
    void updateLimitCard(int count);
    void describeRow(int row, const Tavrin::SnapshotInfo &snap);
    void applyColumnWidths();
    const Tavrin::SnapshotInfo *findSnapshot(const QString &id) const;
    void onDelete(const QString &id);
    void onEdit(const QString &id);
    void editSnapshot(const Tavrin::SnapshotInfo &current);
    void showEdited(const Tavrin::SnapshotInfo &edited);
    void runCreate(const QString &name, const QString &desc, const QList<Tavrin::SnapshotInfo> &removing);
    QString rowId(int row) const;
    bool handleRowButtonMouse(QEvent *event);
    void showRowMenu(int row, QPoint globalPos);
    void onRollback(const QString &id);
    void confirmRollback(const Tavrin::SnapshotInfo &snap, const Tavrin::WritableStatus &writable,
                         const QString &cleanup);
    void doRollback(const QString &id, const QString &name, const QString &strategy);
    void onSectionResized(int logicalIndex, int oldSize, int newSize);
    void onRemoveSupersededBackup();
    void startOperation(const QString &loadingText);
    void finishOperation();
    void showSuccess(const QString &text);
    void showFailure(const QString &text, const QString &raw);
    void scheduleSizeRetry(bool sizesMissing);
    void fitNameColumn();
    int nameMinWidth() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainWindow *window = nullptr;
    QTableWidget *table = nullptr;
    SnapshotRowDelegate *rowDelegate = nullptr;
    TavrinUi::TavrinInlineBanner *banner = nullptr;
    TavrinUi::TavrinResponsiveCardRow *cardRow = nullptr;
    TavrinUi::TavrinStateCard *limitCard = nullptr;
    TavrinUi::TavrinStateCard *countCard = nullptr;
    TavrinUi::TavrinStateCard *backupCard = nullptr;
    // A staged rollback an upgrade replaced, with the removal of its backup.
    SupersededNotice *supersededNotice = nullptr;
    bool stateSuperseded = false;
    TavrinUi::TavrinLocalLoading *loading = nullptr;
    TavrinUi::TavrinEmptyState *emptyState = nullptr;
    TavrinUi::TavrinInlineBanner *loadError = nullptr;
    QList<Tavrin::SnapshotInfo> snapshots;
    // The preferences read with the list, and the rollback's safety backup,
    // which no clean-up removes.
    Tavrin::RetentionPrefs retention;
    QString safetyBackupId;
    Tavrin::SnapshotSizes sizes;
    bool operationRunning = false;
    bool columnsApplied = false;
    int actionWidth = 0;
    QTimer *sizeRetryTimer = nullptr;
    int sizeRetries = 0;
    // Refreshes are numbered: a list or sizes read for an older one are dropped.
    quint64 listRequests = 0;
    quint64 listShown = 0;
    bool sizesAwaited = false;
    bool sizesAfterPaint = false;
    QTimer *sizesPaintWait = nullptr;
    bool sizesRunning = false;
    // The row button under a press that has not been released yet.
    QString pressedId;
    int pressedAction = -1;
};
