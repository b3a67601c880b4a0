#pragma once

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPointer>
#include <QSet>

#include "basepage.h"
#include "disk/diskrecords.h"
#include "ui/diskanalysis.h"

class MainWindow;
class QButtonGroup;
class QHBoxLayout;
class QProcess;
class QPushButton;
class QScrollArea;
class QTableWidget;
class ZLabel;
class ZSwitchButton;

namespace Tavrin {
class DiskHistoryStore;
class DiskScanner;
class MonitorConfig;
} // namespace Tavrin

namespace TavrinUi {
class UsageChart;
class TavrinBadge;
class TavrinFlatProgress;
} // namespace TavrinUi

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
    QDate focusedDate() const { return m_focused; }

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
    QList<Tavrin::DiskDayRecord> loadedRecords() const { return m_records; }
    QDate rangeFrom() const { return m_from; }
    QDate rangeTo() const { return m_to; }
    quint64 pendingRangeId() const { return m_pendingId; }
    QStringList dismissedKeys() const { return m_dismissed; }
    int seenCount() const { return m_seen; }
    QString currentAlertKey() const { return m_alertKey; }
    DiskPage::ViewMode viewMode() const { return m_viewMode; }
    QString browsePath() const { return m_browsePath; }
    QString followedDirectory() const { return m_followed; }
    int browseDepth() const { return int(m_browseStack.size()); }
    QList<DiskPage::AnalysisRow> analysisRows() const { return m_rows; }
    TavrinUi::UsageChart *chart() const { return m_chart; }
    Tavrin::DiskHistoryStore *store() const { return m_store; }
    Tavrin::DiskScanner *scanner() const { return m_scanner; }
    QDateTime lastSampleTime() const { return m_lastSample; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

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

    void connectStore();
    void resetStore();
    void buildUi();
    QWidget *buildToolbar(QWidget *parent);
    QWidget *buildOverviewCard(QWidget *parent);
    QWidget *buildSummaryCard(QWidget *parent);
    QWidget *buildTimeline(QWidget *parent);
    QWidget *buildAnalysis(QWidget *parent);
    QWidget *buildPartitions(QWidget *parent);

    void onRangeProgress(quint64 id, int done, int total);
    void onRangeLoaded(quint64 id, const QList<Tavrin::DiskDayRecord> &records);
    void onScanFinished(bool ok, const QString &error);
    void onTopLevelFinished(const QList<Tavrin::DiskItem> &items, bool complete);
    void onDrillFinished(const QString &path, const QList<Tavrin::DiskItem> &items);
    void onDateSelected(const QDate &date);

    void updateOverview();
    void applyOverview(const OverviewData &data);
    void onDismissAlert();
    void updateAlertHistoryBtn();
    void loadAlertUiState();
    void saveAlertUiState();
    void applyConfigToStore();
    void showStatus(const QString &text, bool error = false);
    void settleLayout();
    void checkStep(const QString &text, bool ok = true);
    void finishCheckIfDue();

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

    QString alertFile() const;
    QString alertUiStateFile() const;

    MainWindow *m_window = nullptr;
    Tavrin::DiskHistoryStore *m_store = nullptr;
    Tavrin::DiskScanner *m_scanner = nullptr;
    Tavrin::MonitorConfig *m_config = nullptr;
    bool m_constructed = false;
    bool m_shutDown = false;

    QDate m_from;
    QDate m_to;
    quint64 m_pendingId = 0;
    QElapsedTimer m_progressClock;
    QList<Tavrin::DiskDayRecord> m_records;
    QDate m_focused;
    Tavrin::DiskHistoryIndex m_index;
    QSet<QDate> m_spikes;
    QDateTime m_lastSample;
    bool m_overviewPending = false;

    QStringList m_dismissed;
    int m_seen = 0;
    QString m_alertKey;
    QList<DiskPage::AlertEntry> m_alerts;

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

    QPointer<QProcess> m_probe;

    // Widgets.
    QScrollArea *m_scroll = nullptr;
    ZLabel *m_status = nullptr;
    QButtonGroup *m_presets = nullptr;
    QPushButton *m_scanButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_settingsButton = nullptr;
    QPushButton *m_alertHistoryBtn = nullptr;
    TavrinUi::TavrinInlineBanner *m_alertBanner = nullptr;
    ZLabel *m_pctLabel = nullptr;
    ZLabel *m_usedLabel = nullptr;
    ZLabel *m_capacityLabel = nullptr;
    TavrinUi::TavrinFlatProgress *m_usageBar = nullptr;
    ZLabel *m_subLabel = nullptr;
    ZLabel *m_healthLabel = nullptr;
    TavrinUi::TavrinBadge *m_badge = nullptr;
    QPushButton *m_startButton = nullptr;
    ZSwitchButton *m_monitorSwitch = nullptr;

    ZLabel *m_rangeLine = nullptr;
    ZLabel *m_netValue = nullptr;
    ZLabel *m_netCaption = nullptr;
    ZLabel *m_avgValue = nullptr;
    ZLabel *m_maxValue = nullptr;
    ZLabel *m_maxDate = nullptr;
    ZLabel *m_streak = nullptr;
    ZLabel *m_forecastValue = nullptr;
    ZLabel *m_forecastCaption = nullptr;
    QLabel *m_forecastIcon = nullptr;

    TavrinUi::UsageChart *m_chart = nullptr;
    ZLabel *m_timelineCaption = nullptr;
    ZLabel *m_dayDetail = nullptr;

    QButtonGroup *m_viewButtons = nullptr;
    ZLabel *m_viewHint = nullptr;
    QPushButton *m_backButton = nullptr;
    QWidget *m_breadcrumb = nullptr;
    QHBoxLayout *m_breadcrumbLayout = nullptr;
    ZLabel *m_pathLabel = nullptr;
    QTableWidget *m_table = nullptr;

    QWidget *m_partitionsBox = nullptr;
};
