#pragma once

// The disk page: a thin assembly of the history model (diskpage/historymodel) and its views,
// the overview and summary cards, the alert banner, the chart, the analysis view and the list
// of other partitions. It keeps the drill navigation and forwards what the user asks.

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSet>

#include "basepage.h"
#include "disk/diskrecords.h"
#include "ui/alertuistate.h"
#include "ui/diskanalysis.h"

class MainWindow;
class QPushButton;
class QScrollArea;
class ZLabel;

namespace Tavrin {
class DiskHistoryStore;
class DiskScanner;
class MonitorConfig;
} // namespace Tavrin

namespace TavrinUi {
class UsageChart;
} // namespace TavrinUi

namespace DiskPage {
class AlertBanner;
class AlertsPanel;
class AnalysisView;
class HistoryModel;
class OverviewCard;
class PartitionsView;
class RangeBar;
class ServicePanel;
class SummaryCard;
class TimelineView;
} // namespace DiskPage

class DiskUsagePage : public BasePage
{
    Q_OBJECT

public:
    explicit DiskUsagePage(MainWindow *window);
    ~DiskUsagePage() override;

    void refresh() override;
    void shutdown() override;
    bool isBusy() const override;

    void requestRange(const QDate &from, const QDate &to);
    void onPreset(int days);
    void focusDate(const QDate &date);
    QDate focusedDate() const;

    // The loaded days as CSV into `path`; the outcome reaches the status line.
    void exportCsv(const QString &path);

    bool setMonitorService(bool enable, QString *error = nullptr);
    void onMonitorToggled(bool on);
    bool storeMonitorEnabled(bool on);
    void onStartMonitorService();
    void updateServiceStatus();
    void applyServiceStatus(const QString &state);

    void refreshAlert();
    void onClearHistory();
    void onScanNow();
    void onDrillPartition(const QString &path);
    void onAnalysisCellDoubleClicked(int row, int column);
    void onAnalysisCellClicked(int row, int column);
    void onBackToSystemTimeline();
    void popBrowseTo(int depth);
    void setViewMode(DiskPage::ViewMode mode);
    void openSettings();
    void openAlertHistory();

    // State, for the tests and the accessibility checks.
    QList<Tavrin::DiskDayRecord> loadedRecords() const;
    QDate rangeFrom() const;
    QDate rangeTo() const;
    quint64 pendingRangeId() const;
    QStringList dismissedKeys() const;
    int seenCount() const;
    QString currentAlertKey() const;
    DiskPage::ViewMode viewMode() const { return m_viewMode; }
    QString browsePath() const { return m_browsePath; }
    QString followedDirectory() const { return m_followed; }
    int browseDepth() const { return int(m_browseStack.size()); }
    QList<DiskPage::AnalysisRow> analysisRows() const { return m_rows; }
    TavrinUi::UsageChart *chart() const { return m_chart; }
    DiskPage::HistoryModel *model() const { return m_model; }
    Tavrin::DiskHistoryStore *store() const;
    Tavrin::DiskScanner *scanner() const { return m_scanner; }
    QDateTime lastSampleTime() const { return m_lastSample; }

signals:
    // The overview's background read has been applied.
    void overviewUpdated();

private:
    struct BrowseLevel
    {
        QString path;
        QList<Tavrin::DiskItem> items;
    };
    struct OverviewData;

    void buildUi();

    void onLoadStarted(const QDate &from, const QDate &to, bool silent);
    void onRangeProgress(int done, int total);
    void onRangeLoaded(const QList<Tavrin::DiskDayRecord> &records, bool silent);
    void onScanFinished(bool ok, const QString &error);
    void onTopLevelFinished(const QList<Tavrin::DiskItem> &items, bool complete);
    void onDrillFinished(const QString &path, const QList<Tavrin::DiskItem> &items);
    void onDateSelected(const QDate &date);
    void onCleared(bool untouched, const QString &error);
    void drillInto(const QString &path);

    void updateOverview();
    void applyOverview(const OverviewData &data);
    void onDismissAlert();
    void updateAlertHistoryBtn();
    void loadAlertUiState();
    void saveAlertUiState();
    void applyConfigToStore();
    // An error stays on the status line until the user acts again; loading texts do not cover it.
    void showStatus(const QString &text, bool error = false);
    void showProgress(const QString &text);
    void settleLayout();
    void checkStep(const QString &text, bool ok = true);

    void updateSummary();
    void updateForecastIcon(TavrinUi::Semantic state);
    void rebuildSpikeSet();
    void updateTimelineSeries();
    void updateAnalysis();
    void updateContextBar();
    void updatePartitions();
    void updateDayDetail();
    void loadSnapshotMarks();
    void updateHealth();
    // Work off the GUI thread on the model's own threads, counted as the page's tasks.
    void runInBackground(std::function<QVariant()> work, std::function<void(const QVariant &)> done);

    MainWindow *m_window = nullptr;
    DiskPage::HistoryModel *m_model = nullptr;
    Tavrin::DiskScanner *m_scanner = nullptr;
    Tavrin::MonitorConfig *m_config = nullptr;
    DiskPage::ServicePanel *m_service = nullptr;
    bool m_constructed = false;
    bool m_shutDown = false;
    bool m_statusSticky = false;

    QElapsedTimer m_progressClock;
    Tavrin::DiskHistoryIndex m_index;
    QSet<QDate> m_spikes;
    QDateTime m_lastSample;
    bool m_overviewPending = false;

    DiskPage::AlertsPanel *m_alerts = nullptr;

    bool m_checkActive = false;
    bool m_checkStarted = false;
    int m_checkSteps = 0;
    QElapsedTimer m_checkClock;
    qint64 m_checkPrevious = 0;

    DiskPage::ViewMode m_viewMode = DiskPage::Composition;
    QString m_browsePath;
    QList<Tavrin::DiskItem> m_browseItems;
    QList<BrowseLevel> m_browseStack;
    QString m_followed;
    QList<DiskPage::AnalysisRow> m_rows;
    bool m_scanIsDrill = false;
    QList<Tavrin::DiskMountInfo> m_partitions;

    // Views.
    QScrollArea *m_scroll = nullptr;
    ZLabel *m_status = nullptr;
    DiskPage::RangeBar *m_rangeBar = nullptr;
    QPushButton *m_scanButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_settingsButton = nullptr;
    QPushButton *m_alertHistoryBtn = nullptr;
    DiskPage::AlertBanner *m_alertBanner = nullptr;
    DiskPage::OverviewCard *m_overview = nullptr;
    DiskPage::SummaryCard *m_summary = nullptr;
    TavrinUi::UsageChart *m_chart = nullptr;
    DiskPage::TimelineView *m_timeline = nullptr;
    DiskPage::AnalysisView *m_analysis = nullptr;
    DiskPage::PartitionsView *m_partitionsView = nullptr;
};
