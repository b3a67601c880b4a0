#include "diskusagepage.h"

#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include "backend/backend.h"
#include "disk/diskhistorystore.h"
#include "disk/diskmonitor.h"
#include "disk/diskscanner.h"
#include "disk/historylock.h"
#include "disk/jsonfileio.h"
#include "disk/monitorconfig.h"
#include "diskpage/alertviews.h"
#include "diskpage/analysisview.h"
#include "diskpage/freespacedialog.h"
#include "diskpage/historymodel.h"
#include "diskpage/overviewcard.h"
#include "diskpage/pagewidgets.h"
#include "diskpage/partitionsview.h"
#include "diskpage/rangebar.h"
#include "diskpage/servicepanel.h"
#include "diskpage/settingsdialog.h"
#include "diskpage/summarycard.h"
#include "diskpage/timelineview.h"
#include "mainwindow.h"
#include "ui/pageblocks.h"
#include "ui/usagechart.h"
#include "zdialog.h"
#include "zlabel.h"
#include "zswitchbutton.h"

using DiskPage::namedLabel;
using Tavrin::DiskDayRecord;
using Tavrin::DiskItem;
using namespace TavrinUi;

// What the overview needs from disk and df, read off the GUI thread.
struct DiskOverviewData
{
    bool dfOk = false;
    QString dfError;
    qint64 total = 0;
    qint64 used = 0;
    Tavrin::DiskHistoryIndex index;
    QDateTime lastSample;
    // "current" of "forecast.json"; `forecastError` when the file is there but unreadable.
    QJsonObject forecast;
    QString forecastError;
};
Q_DECLARE_METATYPE(DiskOverviewData)

struct DiskUsagePage::OverviewData : DiskOverviewData
{
};

namespace {

const QString kIsoDay = QStringLiteral("yyyy-MM-dd");
constexpr int kCheckSteps = 4;

DiskOverviewData readOverview(Tavrin::DiskHistoryStore *store)
{
    DiskOverviewData data;
    data.dfOk = Tavrin::DiskScanner::dfRoot(&data.total, &data.used, &data.dfError);
    data.index = store->loadIndex();
    if (!data.index.days.isEmpty()) {
        const QDate last = data.index.days.constLast().date;
        DiskDayRecord record;
        if (store->loadDay(last, &record)) {
            for (const Tavrin::DiskSample &s : std::as_const(record.samples)) {
                if (s.time.isValid() && (!data.lastSample.isValid() || s.time > data.lastSample))
                    data.lastSample = s.time;
            }
        }
        if (!data.lastSample.isValid())
            data.lastSample = QFileInfo(Tavrin::DiskHistoryStore::dayFilePath(last)).lastModified();
    }
    const QString forecastPath = DiskPage::HistoryModel::forecastFile();
    if (QFileInfo::exists(forecastPath)) {
        const QJsonDocument doc = Tavrin::readJson(forecastPath);
        if (doc.isObject())
            data.forecast = doc.object().value(QLatin1String("current")).toObject();
        else
            data.forecastError = DiskUsagePage::tr("无法读取 %1").arg(forecastPath);
    }
    return data;
}

} // namespace

// ------------------------------------------------------------------ construction

DiskUsagePage::DiskUsagePage(MainWindow *window) : BasePage(window), m_window(window)
{
    useLoadingMask = false;
    m_model = new DiskPage::HistoryModel(this);
    m_scanner = new Tavrin::DiskScanner(this);
    m_config = new Tavrin::MonitorConfig;
    connect(m_model, &DiskPage::HistoryModel::loadStarted, this, &DiskUsagePage::onLoadStarted);
    connect(m_model, &DiskPage::HistoryModel::loadProgress, this, &DiskUsagePage::onRangeProgress);
    connect(m_model, &DiskPage::HistoryModel::loaded, this, &DiskUsagePage::onRangeLoaded);
    connect(m_model, &DiskPage::HistoryModel::recentChanged, this, &DiskUsagePage::updateSummary);
    connect(m_model, &DiskPage::HistoryModel::cleared, this, &DiskUsagePage::onCleared);
    connect(m_model, &DiskPage::HistoryModel::filesChanged, this, [this] {
        // The monitor may have written alerts or today's index line.
        refreshAlert();
        updateOverview();
    });
    connect(m_model, &DiskPage::HistoryModel::scanSaved, this, [this](bool ok, const QString &error) {
        endTask();
        if (!ok)
            showStatus(tr("扫描完成，但今日记录保存失败：%1").arg(error), true);
        else
            updateOverview();
    });
    connect(m_scanner, &Tavrin::DiskScanner::progress, this,
            [this](int count, const QString &path) { m_chart->setScanProgress(count, path); });
    connect(m_scanner, &Tavrin::DiskScanner::topLevelFinished, this, &DiskUsagePage::onTopLevelFinished);
    connect(m_scanner, &Tavrin::DiskScanner::drillFinished, this, &DiskUsagePage::onDrillFinished);
    connect(m_scanner, &Tavrin::DiskScanner::scanFinished, this, &DiskUsagePage::onScanFinished);

    buildUi();
    m_service = new DiskPage::ServicePanel(m_config, m_overview, this);
    connect(m_service, &DiskPage::ServicePanel::status, this, &DiskUsagePage::showStatus);
    connect(m_service, &DiskPage::ServicePanel::refreshRequested, this, &DiskUsagePage::refresh);
    connect(m_service, &DiskPage::ServicePanel::overviewRequested, this, &DiskUsagePage::updateOverview);
    connect(m_service, &DiskPage::ServicePanel::probed, this, [this](bool reached) {
        if (m_checkActive)
            checkStep(tr("检测监控服务"), reached);
        updateHealth();
        settleLayout();
    });
    loadAlertUiState();
    applyConfigToStore();
    refreshAlert();
    updateAnalysis();
    updateSummary();
    m_constructed = true;
}

DiskUsagePage::~DiskUsagePage()
{
    // The model and scanner are children: silence them before the page part is gone.
    m_model->disconnect(this);
    m_scanner->disconnect(this);
    m_service->stop();
    delete m_config;
}

void DiskUsagePage::shutdown()
{
    m_shutDown = true;
    m_model->cancel();
    m_service->stop();
    if (m_scanner->isBusy())
        m_scanner->cancel();
}

bool DiskUsagePage::isBusy() const
{
    return BasePage::isBusy() || m_model->pendingId() != 0 || m_scanner->isBusy();
}

QDate DiskUsagePage::focusedDate() const
{
    return m_model->focusDate();
}

QList<DiskDayRecord> DiskUsagePage::loadedRecords() const
{
    return m_model->records();
}

QDate DiskUsagePage::rangeFrom() const
{
    return m_model->from();
}

QDate DiskUsagePage::rangeTo() const
{
    return m_model->to();
}

quint64 DiskUsagePage::pendingRangeId() const
{
    return m_model->pendingId();
}

Tavrin::DiskHistoryStore *DiskUsagePage::store() const
{
    return m_model->store();
}

void DiskUsagePage::runInBackground(std::function<QVariant()> work,
                                    std::function<void(const QVariant &)> done)
{
    beginTask();
    m_model->run(this, std::move(work), [this, done = std::move(done)](const QVariant &v) {
        if (done)
            done(v);
        endTask();
    });
}

void DiskUsagePage::buildUi()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("tavrinScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(m_scroll);

    auto *content = new QWidget(m_scroll);
    content->setObjectName(QStringLiteral("tavrinPageContent"));
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(14);
    QWidget *header = Ui::pageHeader(tr("磁盘空间"), tr("系统盘占用历史、增长分析与异常告警"),
                                     QStringLiteral("drive-harddisk"));
    layout->addWidget(header);
    m_rangeBar = new DiskPage::RangeBar(content);
    m_status = m_rangeBar->status();
    m_scanButton = m_rangeBar->scanButton();
    m_exportButton = m_rangeBar->exportButton();
    m_settingsButton = m_rangeBar->settingsButton();
    m_alertHistoryBtn = m_rangeBar->alertHistoryButton();
    connect(m_rangeBar, &DiskPage::RangeBar::presetChosen, this, &DiskUsagePage::onPreset);
    connect(m_rangeBar, &DiskPage::RangeBar::rangeChosen, this, &DiskUsagePage::requestRange);
    connect(m_rangeBar, &DiskPage::RangeBar::customRangeRequested, this,
            [this] { m_rangeBar->askCustomRange(rangeFrom(), rangeTo()); });
    connect(m_scanButton, &QPushButton::clicked, this, &DiskUsagePage::onScanNow);
    connect(m_settingsButton, &QPushButton::clicked, this, &DiskUsagePage::openSettings);
    connect(m_exportButton, &QPushButton::clicked, this, [this] {
        const QString suggested =
            QDir::homePath() + QStringLiteral("/disk-usage-%1-%2.csv")
                                   .arg(rangeFrom().toString(kIsoDay), rangeTo().toString(kIsoDay));
        const QString path =
            QFileDialog::getSaveFileName(this, tr("导出 CSV"), suggested, tr("CSV 文件 (*.csv)"));
        if (!path.isEmpty())
            exportCsv(path);
    });
    layout->addWidget(m_rangeBar);
    QPushButton *freeSpace = DiskPage::namedButton(QStringLiteral("tavrinDiskFreeSpace"), tr("释放空间"));
    freeSpace->setIcon(themedIcon(QStringLiteral("edit-clear"), QStyle::SP_TrashIcon));
    freeSpace->setAccessibleName(tr("释放空间：选择要删除的快照、旧部署和升级缓存"));
    freeSpace->setAutoDefault(false);
    connect(freeSpace, &QPushButton::clicked, this, [this] {
        FreeSpaceDialog *planner = openFreeSpacePlanner(this);
        connect(planner, &FreeSpaceDialog::spaceFreed, this, [this] {
            if (m_window)
                m_window->refreshStoragePages();
            else
                refresh();
        });
    });
    if (auto *headerRow = qobject_cast<QHBoxLayout *>(header->layout())) {
        headerRow->addWidget(freeSpace, 0, Qt::AlignVCenter);
        headerRow->addWidget(m_alertHistoryBtn, 0, Qt::AlignVCenter);
        headerRow->addWidget(m_exportButton, 0, Qt::AlignVCenter);
        headerRow->addWidget(m_settingsButton, 0, Qt::AlignVCenter);
    }

    feedbackBanner = new TavrinInlineBanner(content);
    feedbackBanner->setVisible(false);
    layout->addWidget(feedbackBanner);

    m_alertBanner = new DiskPage::AlertBanner(content);
    m_alerts = new DiskPage::AlertsPanel(m_alertBanner, m_alertHistoryBtn, this);
    connect(m_alerts, &DiskPage::AlertsPanel::dismissed, this,
            [this] { showStatus(tr("告警已关闭，可随时在「告警历史」中查看")); });
    layout->addWidget(m_alertBanner);

    auto *cards = new TavrinResponsiveCardRow(2, content);
    m_overview = new DiskPage::OverviewCard(cards);
    m_summary = new DiskPage::SummaryCard(cards);
    for (QWidget *card : {static_cast<QWidget *>(m_overview), static_cast<QWidget *>(m_summary)}) {
        // Side by side only while both keep room for their numbers; stacked below that.
        card->setMinimumWidth(qMax(320, fontMetrics().horizontalAdvance(QLatin1Char('M')) * 26));
        cards->addCard(card);
    }
    layout->addWidget(cards);
    registerResponsiveCardRow(cards, m_scroll, 48);

    m_timeline = new DiskPage::TimelineView(content);
    m_chart = m_timeline->chart();
    connect(m_chart, &UsageChart::dateSelected, this, &DiskUsagePage::onDateSelected);
    layout->addWidget(m_timeline);
    m_analysis = new DiskPage::AnalysisView(content);
    connect(m_analysis, &DiskPage::AnalysisView::viewModeRequested, this, &DiskUsagePage::setViewMode);
    connect(m_analysis, &DiskPage::AnalysisView::rowClicked, this,
            [this](int row) { onAnalysisCellClicked(row, 0); });
    connect(m_analysis, &DiskPage::AnalysisView::rowActivated, this,
            [this](int row) { onAnalysisCellDoubleClicked(row, 0); });
    connect(m_analysis, &DiskPage::AnalysisView::backRequested, this,
            [this] { popBrowseTo(qMax(0, int(m_browseStack.size()) - 1)); });
    connect(m_analysis, &DiskPage::AnalysisView::rootRequested, this, &DiskUsagePage::onBackToSystemTimeline);
    connect(m_analysis, &DiskPage::AnalysisView::crumbRequested, this,
            [this](int depth, const QString &path) {
                if (depth >= 0)
                    popBrowseTo(depth);
                else if (!m_scanner->isBusy())
                    drillInto(path); // a level never visited (a partition drilled directly): read it now
            });
    layout->addWidget(m_analysis);
    m_partitionsView = new DiskPage::PartitionsView(content);
    connect(m_partitionsView, &DiskPage::PartitionsView::drillRequested, this,
            &DiskUsagePage::onDrillPartition);
    layout->addWidget(m_partitionsView);
    layout->addStretch(1);
    m_scroll->setWidget(content);

    auto *back = new QShortcut(QKeySequence(Qt::Key_Backspace), this);
    back->setContext(Qt::WidgetWithChildrenShortcut);
    connect(back, &QShortcut::activated, this, [this] {
        if (!m_browseStack.isEmpty() || !m_followed.isEmpty())
            popBrowseTo(qMax(0, int(m_browseStack.size()) - 1));
    });
}

// ------------------------------------------------------------------ refresh and ranges

void DiskUsagePage::refresh()
{
    if (!m_constructed || m_shutDown)
        return;
    if (!m_checkStarted) {
        m_checkStarted = true;
        m_checkActive = true;
        m_checkSteps = 0;
        m_checkClock.start();
        m_checkPrevious = 0;
        m_chart->setChecking(true, tr("正在检查系统信息…"));
        QTimer::singleShot(3000, this, [this] {
            if (m_checkActive) {
                m_checkActive = false;
                m_chart->finishCheck(m_checkClock.elapsed());
            }
        });
    }
    applyConfigToStore();
    updateOverview();
    updateServiceStatus();
    loadSnapshotMarks();
    updatePartitions();
    refreshAlert();
    if (m_model->records().isEmpty() && m_model->pendingId() == 0)
        onPreset(15);
}

void DiskUsagePage::requestRange(const QDate &from, const QDate &to)
{
    if (!from.isValid() || !to.isValid() || to < from)
        return;
    m_statusSticky = false;
    m_model->requestRange(from, to);
}

void DiskUsagePage::onLoadStarted(const QDate &from, const QDate &to, bool silent)
{
    m_progressClock.start();
    // A reload because the files changed keeps the chart as it is until the new days are in.
    if (silent)
        return;
    const QString text = tr("正在加载 %1 ~ %2 的数据…").arg(from.toString(kIsoDay), to.toString(kIsoDay));
    m_chart->setLoading(true, text);
    showProgress(text);
}

void DiskUsagePage::onPreset(int days)
{
    const QDate today = Tavrin::diskToday();
    m_rangeBar->checkPreset(days);
    requestRange(today.addDays(-days + 1), today);
}

void DiskUsagePage::focusDate(const QDate &date)
{
    if (!date.isValid())
        return;
    m_model->setFocusDate(date);
    m_rangeBar->clearPreset();
    requestRange(date.addDays(-3), date.addDays(3));
    qInfo("[DiskUsagePage] focusDate %s, range %s ~ %s", qPrintable(date.toString(kIsoDay)),
          qPrintable(rangeFrom().toString(kIsoDay)), qPrintable(rangeTo().toString(kIsoDay)));
}

void DiskUsagePage::onRangeProgress(int done, int total)
{
    if (m_model->isSilentLoad())
        return;
    // A few updates a second are all a person can read. A load that ends within the first
    // interval shows none: its result follows at once, and each shown count costs a repaint the
    // load itself would wait for. The last count is never shown, the result replaces it.
    if (done >= total || m_progressClock.elapsed() < 80)
        return;
    m_progressClock.start();
    showProgress(tr("加载中 %1/%2 …").arg(done).arg(total));
    m_chart->setLoadProgress(done, total);
}

void DiskUsagePage::onRangeLoaded(const QList<DiskDayRecord> &records, bool silent)
{
    m_chart->setLoading(false);
    if (!silent)
        showProgress(records.isEmpty() ? tr("该范围内暂无监控数据")
                                       : tr("已加载 %1 天记录").arg(records.size()));
    // At the top level the browse items follow the newest loaded day.
    if (m_browseStack.isEmpty() && m_browsePath.isEmpty())
        m_browseItems = records.isEmpty() ? QList<DiskItem>() : records.constLast().topLevel;
    if (m_checkActive)
        checkStep(tr("加载历史记录"));
    updateTimelineSeries();
    updateSummary();
    if (!records.isEmpty()) {
        const QDate focus = m_model->focusDate();
        const QDate day = focus.isValid() ? focus : records.constLast().date;
        m_chart->setSelectedDate(day);
        onDateSelected(day);
    } else {
        m_chart->setSelectedDate(QDate());
        updateDayDetail();
        updateAnalysis();
    }
    m_exportButton->setEnabled(!records.isEmpty());
    // A reload of changed files lays out as the event loop does; one asked for is shown whole.
    if (!silent)
        settleLayout();
}

void DiskUsagePage::onDateSelected(const QDate &date)
{
    m_model->setFocusDate(date);
    updateDayDetail();
    updateAnalysis();
}

void DiskUsagePage::updateDayDetail()
{
    m_timeline->showDay(m_model->records(), m_model->focusDate());
}

void DiskUsagePage::settleLayout()
{
    // Texts that arrive from background work change size hints; lay out before the next paint
    // so no frame shows them cut off. A label's request reaches its card, the row and the page
    // one level per pass.
    for (int level = 0; level < 6; ++level)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

void DiskUsagePage::showStatus(const QString &text, bool error)
{
    m_statusSticky = error;
    m_status->setText(text);
    applySemantic(m_status, error ? Danger : Muted);
}

void DiskUsagePage::showProgress(const QString &text)
{
    if (m_statusSticky)
        return;
    m_status->setText(text);
    applySemantic(m_status, Muted);
}

void DiskUsagePage::applyConfigToStore()
{
    m_model->applyConfig(*m_config);
}

void DiskUsagePage::checkStep(const QString &text, bool ok)
{
    if (!m_checkActive)
        return;
    const qint64 now = m_checkClock.elapsed();
    m_chart->addCheckStep(text, ok, now - m_checkPrevious);
    m_checkPrevious = now;
    if (++m_checkSteps >= kCheckSteps) {
        m_checkActive = false;
        m_chart->finishCheck(now);
    }
}

// ------------------------------------------------------------------ overview

void DiskUsagePage::updateOverview()
{
    if (m_overviewPending)
        return;
    m_overviewPending = true;
    Tavrin::DiskHistoryStore *store = m_model->store();
    runInBackground([store] { return QVariant::fromValue(readOverview(store)); },
                    [this](const QVariant &v) {
                        m_overviewPending = false;
                        OverviewData data;
                        static_cast<DiskOverviewData &>(data) = v.value<DiskOverviewData>();
                        applyOverview(data);
                    });
}

void DiskUsagePage::applyOverview(const OverviewData &data)
{
    m_overview->setDiskFigures(data.dfOk, data.total, data.used, data.dfOk ? QString() : data.dfError);
    if (m_checkActive)
        checkStep(tr("读取磁盘容量"), data.dfOk);

    m_index = data.index;
    m_overview->showSampling(m_config->enabled(), m_config->pollMinutes(), m_config->retentionDays(),
                             m_index.days.isEmpty() ? nullptr : &m_index.days.constLast());
    if (m_checkActive)
        checkStep(tr("读取历史数据索引"));
    m_lastSample = data.lastSample;
    const DiskPage::ForecastLine forecast = DiskPage::forecastLine(
        data.forecast, data.forecastError, Tavrin::diskToday(), m_config->forecastDays());
    m_overview->showForecast(m_config->forecastDays() > 0, forecast.text, forecast.semantic);
    updateHealth();
    refreshAlert();
    // The index may flag spikes the loaded records alone do not show.
    if (m_followed.isEmpty() && !m_model->records().isEmpty()) {
        rebuildSpikeSet();
        m_chart->setSpikeDays(m_spikes);
    }
    emit overviewUpdated();
    settleLayout();
}

void DiskUsagePage::updateHealth()
{
    m_overview->showHealth(m_config->enabled(), m_lastSample, m_config->pollMinutes(), Tavrin::diskNow());
}

// ------------------------------------------------------------------ alerts

void DiskUsagePage::refreshAlert()
{
    if (m_alerts)
        m_alerts->refresh();
}

void DiskUsagePage::openAlertHistory()
{
    m_alerts->openHistory();
}

void DiskUsagePage::onDismissAlert()
{
    m_alerts->dismissCurrent();
}

void DiskUsagePage::updateAlertHistoryBtn()
{
    m_alerts->updateButton();
}

void DiskUsagePage::loadAlertUiState()
{
    m_alerts->load();
}

void DiskUsagePage::saveAlertUiState()
{
    m_alerts->save();
}

// ------------------------------------------------------------------ clear history and scans

void DiskUsagePage::onClearHistory()
{
    ZDialog dialog(tr("清除全部监控数据"), tr("将删除所有历史占用记录与告警，且不可恢复。确定继续？"), this);
    dialog.setIcon(themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning));
    dialog.addButton(tr("取消"), true);
    const int clear = dialog.addButton(tr("清除"), false, ZDialog::ButtonWarning);
    if (dialog.exec() != clear)
        return;
    beginTask();
    m_model->clearHistory();
}

void DiskUsagePage::onCleared(bool untouched, const QString &error)
{
    endTask();
    // Nothing was deleted: the page keeps what it shows.
    if (untouched) {
        showStatus(error, true);
        return;
    }
    m_alerts->reset();
    m_browseStack.clear();
    m_browsePath.clear();
    m_browseItems.clear();
    m_followed.clear();
    m_index = {};
    m_lastSample = {};
    refreshAlert();
    updateTimelineSeries();
    updateSummary();
    updateAnalysis();
    refresh();
    if (error.isEmpty())
        showStatus(tr("已清除全部监控数据"));
    else
        showStatus(error, true);
}

void DiskUsagePage::onScanNow()
{
    if (m_scanner->isBusy())
        return;
    m_statusSticky = false;
    m_scanner->useElevation = true;
    m_scanner->interactive = 1;
    // What the monitor leaves out, left out here too, and recorded with the sizes the same way.
    m_scanner->excludedPaths = Tavrin::excludedScanPaths(m_config->excludes(), QDir::homePath());
    m_scanIsDrill = false;
    if (!m_scanner->startTopLevelScan())
        return;
    m_scanButton->setEnabled(false);
    m_chart->setScanning(true, tr("正在扫描系统盘目录…（可稍候，完成后自动刷新）"));
    showStatus(tr("正在扫描系统盘目录…（可稍候，完成后自动刷新）"));
}

void DiskUsagePage::onTopLevelFinished(const QList<DiskItem> &items, bool complete)
{
    if (m_scanIsDrill)
        return;
    DiskPage::HistoryModel::ScanResult scan;
    scan.items = items;
    scan.complete = complete;
    scan.excluded = m_scanner->excludedPaths;
    scan.excluded.sort();
    scan.excluded.removeDuplicates();
    // df is read with the save, off the GUI thread.
    beginTask();
    m_model->run(
        this,
        [scan]() mutable {
            scan.dfOk = Tavrin::DiskScanner::dfRoot(&scan.capacity, &scan.used, nullptr);
            return QVariant::fromValue(scan);
        },
        [this](const QVariant &v) { m_model->saveScan(v.value<DiskPage::HistoryModel::ScanResult>()); });
}

void DiskUsagePage::onScanFinished(bool ok, const QString &error)
{
    m_chart->setScanning(false);
    m_scanButton->setEnabled(true);
    const bool drill = m_scanIsDrill;
    m_scanIsDrill = false;
    if (!ok) {
        showStatus(error.isEmpty() ? tr("扫描失败") : error, true);
        if (drill)
            updateAnalysis();
        return;
    }
    if (drill)
        return;
    // The save reports its own failure, which then stays; the model shows what was saved.
    if (!m_statusSticky)
        showStatus(tr("扫描完成，今日记录已更新"));
}

// ------------------------------------------------------------------ settings and service

void DiskUsagePage::openSettings()
{
    DiskPage::SettingsDialog dialog(m_config, m_model, this);
    connect(&dialog, &DiskPage::SettingsDialog::monitorToggled, this, &DiskUsagePage::onMonitorToggled);
    connect(&dialog, &DiskPage::SettingsDialog::storageChanged, this, &DiskUsagePage::applyConfigToStore);
    connect(&dialog, &DiskPage::SettingsDialog::clearRequested, this,
            [this] { QTimer::singleShot(0, this, &DiskUsagePage::onClearHistory); });
    m_service->setSwitch(dialog.monitorSwitch());
    dialog.exec();
    m_service->setSwitch(nullptr);
}

bool DiskUsagePage::setMonitorService(bool enable, QString *error)
{
    return m_service->setMonitorService(enable, error);
}

bool DiskUsagePage::storeMonitorEnabled(bool on)
{
    return m_service->storeMonitorEnabled(on);
}

void DiskUsagePage::onMonitorToggled(bool on)
{
    m_service->onMonitorToggled(on);
}

void DiskUsagePage::onStartMonitorService()
{
    m_service->onStartMonitorService();
}

void DiskUsagePage::updateServiceStatus()
{
    if (!m_shutDown)
        m_service->updateServiceStatus();
}

void DiskUsagePage::applyServiceStatus(const QString &state)
{
    m_service->applyServiceStatus(state);
}

// ------------------------------------------------------------------ summary and series

void DiskUsagePage::updateSummary()
{
    const DiskPage::Summary s = DiskPage::summarize(m_model->from(), m_model->to(), m_model->records(),
                                                    m_model->recent(), Tavrin::diskToday());
    m_summary->setSummary(s);
}

void DiskUsagePage::updateForecastIcon(Semantic state)
{
    m_summary->setForecastIcon(state);
}

void DiskUsagePage::rebuildSpikeSet()
{
    m_spikes = DiskPage::spikeDays(m_index, m_model->records(), qint64(m_config->minAlertMB()) * 1048576);
}

void DiskUsagePage::updateTimelineSeries()
{
    if (m_followed.isEmpty())
        rebuildSpikeSet();
    m_timeline->showSeries(m_model->records(), m_followed, m_spikes);
}

// ------------------------------------------------------------------ analysis and drill

void DiskUsagePage::setViewMode(DiskPage::ViewMode mode)
{
    m_viewMode = mode;
    m_analysis->setViewMode(mode);
    updateAnalysis();
}

void DiskUsagePage::updateAnalysis()
{
    DiskPage::AnalysisInput in;
    in.mode = m_viewMode;
    in.records = m_model->records();
    in.focused = m_model->focusDate();
    in.followed = m_followed;
    in.browsePath = m_browsePath;
    in.browseItems = m_browseItems;
    in.scannerBusy = m_scanner->isBusy();
    m_rows = DiskPage::analysisRows(in);
    m_analysis->setRows(m_rows);
    updateContextBar();
}

void DiskUsagePage::onAnalysisCellClicked(int row, int)
{
    if (row < 0 || row >= m_rows.size())
        return;
    const DiskPage::AnalysisRow &r = m_rows.at(row);
    if (!r.isDir || r.path.isEmpty() || r.message)
        return;
    if (m_viewMode == DiskPage::Growth && !m_followed.isEmpty())
        return;
    m_followed = r.path;
    updateTimelineSeries();
    updateContextBar();
}

void DiskUsagePage::onAnalysisCellDoubleClicked(int row, int)
{
    if (row < 0 || row >= m_rows.size() || m_viewMode == DiskPage::Growth || m_scanner->isBusy())
        return;
    const DiskPage::AnalysisRow r = m_rows.at(row);
    if (!r.isDir || r.path.isEmpty() || r.message)
        return;
    drillInto(r.path);
}

void DiskUsagePage::drillInto(const QString &path)
{
    m_scanner->useElevation = true;
    m_scanner->interactive = 1;
    // Browsing shows what is there, exclusions or not.
    m_scanner->excludedPaths.clear();
    if (!m_scanner->drillInto(path))
        return;
    m_scanIsDrill = true;
    showStatus(tr("正在读取 %1 的子目录…").arg(path));
}

void DiskUsagePage::onDrillPartition(const QString &path)
{
    if (m_scanner->isBusy())
        return;
    setViewMode(DiskPage::Ranking);
    drillInto(path);
}

void DiskUsagePage::onDrillFinished(const QString &path, const QList<DiskItem> &items)
{
    m_browseStack.append({m_browsePath, m_browseItems});
    m_browsePath = path;
    m_browseItems = items;
    std::stable_sort(m_browseItems.begin(), m_browseItems.end(),
                     [](const DiskItem &a, const DiskItem &b) { return a.size > b.size; });
    m_followed = path;
    showStatus(tr("已读取 %1 的 %2 个子项").arg(path).arg(items.size()));
    updateTimelineSeries();
    updateAnalysis();
}

void DiskUsagePage::popBrowseTo(int depth)
{
    depth = qMax(0, depth);
    while (m_browseStack.size() > depth) {
        const BrowseLevel level = m_browseStack.takeLast();
        m_browsePath = level.path;
        m_browseItems = level.items;
    }
    if (!m_browseStack.isEmpty()) {
        m_followed = m_browsePath;
    } else {
        m_browsePath.clear();
        m_followed.clear();
        const QList<DiskDayRecord> records = m_model->records();
        m_browseItems = records.isEmpty() ? QList<DiskItem>() : records.constLast().topLevel;
    }
    updateTimelineSeries();
    updateAnalysis();
}

void DiskUsagePage::onBackToSystemTimeline()
{
    m_followed.clear();
    m_browsePath.clear();
    m_browseStack.clear();
    const QList<DiskDayRecord> records = m_model->records();
    m_browseItems = records.isEmpty() ? QList<DiskItem>() : records.constLast().topLevel;
    updateTimelineSeries();
    updateAnalysis();
}

void DiskUsagePage::updateContextBar()
{
    QStringList stack;
    for (const BrowseLevel &level : std::as_const(m_browseStack))
        stack << level.path;
    m_analysis->setContext(m_viewMode, m_browsePath, m_followed, stack);
}

// ------------------------------------------------------------------ partitions, snapshots, export

void DiskUsagePage::updatePartitions()
{
    runInBackground([] { return QVariant::fromValue(Tavrin::DiskScanner::listOtherPartitions()); },
                    [this](const QVariant &v) {
                        m_partitions = v.value<QList<Tavrin::DiskMountInfo>>();
                        m_partitionsView->setPartitions(m_partitions);
                    });
}

void DiskUsagePage::loadSnapshotMarks()
{
    runInBackground([] { return QVariant::fromValue(Tavrin::getSnapshots()); },
                    [this](const QVariant &v) {
                        QMap<QDate, QStringList> marks;
                        const auto snapshots = v.value<QList<Tavrin::SnapshotInfo>>();
                        for (const Tavrin::SnapshotInfo &s : snapshots) {
                            if (s.time > 0)
                                marks[QDateTime::fromSecsSinceEpoch(s.time).date()] << s.name;
                        }
                        m_chart->setSnapshotDays(marks);
                    });
    // A jump in the curve next to the upgrade or rollback that caused it.
    runInBackground([] { return QVariant::fromValue(Tavrin::getDeploys()); },
                    [this](const QVariant &v) {
                        m_chart->setDeploymentDays(
                            DiskPage::deploymentEvents(v.value<QList<Tavrin::DeployInfo>>()));
                    });
}

void DiskUsagePage::exportCsv(const QString &path)
{
    const QList<DiskDayRecord> records = m_model->records();
    const QByteArray csv = DiskPage::recordsCsv(records, m_spikes);
    const int rows = int(records.size());
    runInBackground(
        [path, csv] {
            // Every write and the commit checked: a full disk must not end in "已导出".
            QString error;
            const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + csv; // UTF-8 for spreadsheets
            return QVariant(Tavrin::writeFileAtomic(path, bytes, &error) ? QString()
                                                                         : (error.isEmpty() ? path : error));
        },
        [this, path, rows](const QVariant &v) {
            const QString error = v.toString();
            if (error.isEmpty())
                showStatus(tr("已导出 %1 天记录到 %2").arg(rows).arg(path));
            else
                showStatus(tr("导出失败：%1").arg(error), true);
        });
}

QStringList DiskUsagePage::dismissedKeys() const
{
    return m_alerts->state().dismissed;
}

int DiskUsagePage::seenCount() const
{
    return m_alerts->state().seen;
}

QString DiskUsagePage::currentAlertKey() const
{
    return m_alerts->currentKey();
}
