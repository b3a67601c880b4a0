#include "diskusagepage.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "backend/backend.h"
#include "disk/diskhistorystore.h"
#include "disk/diskscanner.h"
#include "disk/historylock.h"
#include "disk/monitorconfig.h"
#include "mainwindow.h"
#include "ui/alertuistate.h"
#include "ui/confirmdialog.h"
#include "ui/monitorservice.h"
#include "ui/pageblocks.h"
#include "ui/usagechart.h"
#include "zcombobox.h"
#include "zdialog.h"
#include "zdoublespinbox.h"
#include "zguiapplicationhelper.h"
#include "zicontheme.h"
#include "zlabel.h"
#include "zlineedit.h"
#include "zpalette.h"
#include "zpushbutton.h"
#include "zspinbox.h"
#include "zswitchbutton.h"

using Tavrin::DiskDayRecord;
using Tavrin::DiskItem;
using namespace TavrinUi;

// What the overview needs from disk and df, read on the pool.
struct DiskOverviewData
{
    bool dfOk = false;
    qint64 total = 0;
    qint64 used = 0;
    Tavrin::DiskHistoryIndex index;
    QDateTime lastSample;
    qint64 storageBytes = 0;
};
Q_DECLARE_METATYPE(DiskOverviewData)

struct DiskUsagePage::OverviewData : DiskOverviewData
{
};

namespace {

const QString kIsoDay = QStringLiteral("yyyy-MM-dd");
constexpr int kMaxDismissed = 200;
constexpr int kCheckSteps = 4;
const QList<int> kPresetDays = {15, 30, 90, 180, 365};

ZLabel *namedLabel(const QString &name, const QString &text, TextLevel level, Semantic semantic)
{
    ZLabel *label = makeLabel(text, level, semantic);
    label->setObjectName(name);
    return label;
}

QPushButton *namedButton(const QString &name, const QString &text, bool primary = false)
{
    QPushButton *b = Ui::button(text, primary);
    b->setObjectName(name);
    b->setAccessibleName(text);
    return b;
}

// One part of a segmented control: the checked part carries the accent, like a selected tab.
class SegmentButton : public ZPushButton
{
public:
    explicit SegmentButton(const QString &text, QWidget *parent = nullptr) : ZPushButton(text, parent)
    {
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        return QSize(fm.horizontalAdvance(text()) + 2 * fm.height(), fm.height() + 14);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const ZPalette pal = appPalette();
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor fill = isChecked() ? pal.color(QPalette::Highlight) : pal.color(ZPalette::ItemBackground);
        if (!isChecked() && underMouse())
            fill = fill.darker(
                ZGuiApplicationHelper::instance()->themeType() == ZGuiApplicationHelper::DarkType ? 70 : 106);
        p.setPen(isChecked() ? Qt::NoPen : QPen(pal.color(ZPalette::FrameBorder), 1));
        p.setBrush(fill);
        p.drawRoundedRect(r, 6, 6);
        if (hasFocus()) {
            p.setPen(QPen(pal.color(QPalette::Highlight), 1.5, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(r.adjusted(2, 2, -2, -2), 4, 4);
        }
        p.setPen(isChecked() ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
};

DiskOverviewData readOverview(int pollMinutes)
{
    Q_UNUSED(pollMinutes);
    DiskOverviewData data;
    data.dfOk = Tavrin::DiskScanner::dfRoot(&data.total, &data.used, nullptr);
    Tavrin::DiskHistoryStore store;
    data.index = store.loadIndex();
    data.storageBytes = store.storageBytes();
    if (!data.index.days.isEmpty()) {
        const QDate last = data.index.days.constLast().date;
        DiskDayRecord record;
        if (store.loadDay(last, &record)) {
            for (const Tavrin::DiskSample &s : std::as_const(record.samples)) {
                if (s.time.isValid() && (!data.lastSample.isValid() || s.time > data.lastSample))
                    data.lastSample = s.time;
            }
        }
        if (!data.lastSample.isValid())
            data.lastSample = QFileInfo(Tavrin::DiskHistoryStore::dayFilePath(last)).lastModified();
    }
    return data;
}

} // namespace

// ------------------------------------------------------------------ construction

DiskUsagePage::DiskUsagePage(MainWindow *window) : BasePage(window), m_window(window)
{
    useLoadingMask = false;
    m_store = new Tavrin::DiskHistoryStore(this);
    m_scanner = new Tavrin::DiskScanner(this);
    m_config = new Tavrin::MonitorConfig;
    connectStore();
    connect(m_scanner, &Tavrin::DiskScanner::progress, this,
            [this](int count, const QString &path) { m_chart->setScanProgress(count, path); });
    connect(m_scanner, &Tavrin::DiskScanner::topLevelFinished, this, &DiskUsagePage::onTopLevelFinished);
    connect(m_scanner, &Tavrin::DiskScanner::drillFinished, this, &DiskUsagePage::onDrillFinished);
    connect(m_scanner, &Tavrin::DiskScanner::scanFinished, this, &DiskUsagePage::onScanFinished);

    buildUi();
    loadAlertUiState();
    applyConfigToStore();
    refreshAlert();
    updateAnalysis();
    updateSummary();
    m_constructed = true;
}

DiskUsagePage::~DiskUsagePage()
{
    // The store and scanner are children: silence them before the page part is gone.
    m_store->disconnect(this);
    m_scanner->disconnect(this);
    if (m_probe) {
        m_probe->disconnect(this);
        m_probe->kill();
        m_probe->waitForFinished(2000);
    }
    delete m_config;
}

void DiskUsagePage::connectStore()
{
    connect(m_store, &Tavrin::DiskHistoryStore::rangeProgress, this, &DiskUsagePage::onRangeProgress);
    connect(m_store, &Tavrin::DiskHistoryStore::rangeLoaded, this, &DiskUsagePage::onRangeLoaded);
}

void DiskUsagePage::resetStore()
{
    // The store's memory cache still holds the deleted days; a fresh store forgets them.
    m_store->disconnect(this);
    if (m_pendingId)
        m_store->cancelRange(m_pendingId);
    m_pendingId = 0;
    m_store->deleteLater();
    m_store = new Tavrin::DiskHistoryStore(this);
    connectStore();
    applyConfigToStore();
}

void DiskUsagePage::shutdown()
{
    m_shutDown = true;
    if (m_pendingId)
        m_store->cancelRange(m_pendingId);
    m_pendingId = 0;
    if (m_scanner->isBusy())
        m_scanner->cancel();
}

bool DiskUsagePage::isBusy() const
{
    return BasePage::isBusy() || m_pendingId != 0 || m_scanner->isBusy();
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
    layout->addWidget(buildToolbar(content));
    if (auto *headerRow = qobject_cast<QHBoxLayout *>(header->layout())) {
        headerRow->addWidget(m_alertHistoryBtn, 0, Qt::AlignVCenter);
        headerRow->addWidget(m_exportButton, 0, Qt::AlignVCenter);
        headerRow->addWidget(m_settingsButton, 0, Qt::AlignVCenter);
    }

    feedbackBanner = new TavrinInlineBanner(content);
    feedbackBanner->setVisible(false);
    layout->addWidget(feedbackBanner);

    m_alertBanner = new TavrinInlineBanner(content);
    m_alertBanner->setObjectName(QStringLiteral("tavrinDiskAlertBanner"));
    m_alertBanner->setSemantic(Danger);
    m_alertBanner->setClosable(true);
    m_alertBanner->setVisible(false);
    m_alertBanner->setAccessibleName(tr("磁盘增长告警"));
    connect(m_alertBanner, &TavrinInlineBanner::dismissed, this, &DiskUsagePage::onDismissAlert);
    layout->addWidget(m_alertBanner);

    auto *cards = new TavrinResponsiveCardRow(2, content);
    for (QWidget *card : {buildOverviewCard(cards), buildSummaryCard(cards)}) {
        // Side by side only while both keep room for their numbers; stacked below that.
        card->setMinimumWidth(qMax(320, fontMetrics().horizontalAdvance(QLatin1Char('M')) * 26));
        cards->addCard(card);
    }
    layout->addWidget(cards);
    registerResponsiveCardRow(cards, m_scroll, 48);

    layout->addWidget(buildTimeline(content));
    layout->addWidget(buildAnalysis(content));
    layout->addWidget(buildPartitions(content));
    layout->addStretch(1);
    m_scroll->setWidget(content);

    auto *back = new QShortcut(QKeySequence(Qt::Key_Backspace), this);
    back->setContext(Qt::WidgetWithChildrenShortcut);
    connect(back, &QShortcut::activated, this, [this] {
        if (!m_browseStack.isEmpty() || !m_followed.isEmpty())
            popBrowseTo(qMax(0, int(m_browseStack.size()) - 1));
    });
}

QWidget *DiskUsagePage::buildToolbar(QWidget *parent)
{
    auto *bar = new QWidget(parent);
    auto *outer = new QVBoxLayout(bar);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(6);
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    outer->addLayout(row);

    auto *segment = new QWidget(bar);
    segment->setObjectName(QStringLiteral("tavrinDiskPresets"));
    auto *segmentLayout = new QHBoxLayout(segment);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(4);
    m_presets = new QButtonGroup(this);
    m_presets->setExclusive(true);
    const QStringList names = {tr("15 天"), tr("30 天"), tr("90 天"), tr("180 天"), tr("1 年")};
    for (int i = 0; i < kPresetDays.size(); ++i) {
        auto *b = new SegmentButton(names.at(i), segment);
        b->setObjectName(QStringLiteral("tavrinDiskPreset%1").arg(i));
        b->setAccessibleName(tr("显示最近 %1 天").arg(kPresetDays.at(i)));
        m_presets->addButton(b, i);
        segmentLayout->addWidget(b);
    }
    connect(m_presets, &QButtonGroup::idClicked, this,
            [this](int id) { onPreset(kPresetDays.value(id, 15)); });
    QPushButton *custom = namedButton(QStringLiteral("tavrinDiskCustomRange"), tr("自定义…"));
    custom->setAccessibleName(tr("自定义日期范围"));
    connect(custom, &QPushButton::clicked, this, [this] {
        ZDialog dialog(tr("自定义日期范围"), tr("选择要查看的起止日期（最多 730 天）"), this);
        auto *box = new QWidget(&dialog);
        auto *grid = new QGridLayout(box);
        auto *from = new QDateEdit(m_from.isValid() ? m_from : QDate::currentDate().addDays(-29), box);
        auto *to = new QDateEdit(m_to.isValid() ? m_to : QDate::currentDate(), box);
        for (QDateEdit *e : {from, to}) {
            e->setCalendarPopup(true);
            e->setDisplayFormat(kIsoDay);
            e->setMaximumDate(QDate::currentDate().addDays(1));
            e->setMinimumWidth(140);
        }
        from->setAccessibleName(tr("开始日期"));
        to->setAccessibleName(tr("结束日期"));
        grid->addWidget(makeLabel(tr("开始日期"), Body, Normal), 0, 0);
        grid->addWidget(from, 0, 1);
        grid->addWidget(makeLabel(tr("结束日期"), Body, Normal), 1, 0);
        grid->addWidget(to, 1, 1);
        dialog.addContent(box);
        dialog.addButton(tr("取消"));
        const int ok = dialog.addButton(tr("确定"), true, ZDialog::ButtonRecommend);
        auto validate = [&] {
            const bool valid = from->date() <= to->date() && from->date().daysTo(to->date()) < 730;
            if (QAbstractButton *b = dialog.getButton(ok))
                b->setEnabled(valid);
        };
        connect(from, &QDateEdit::dateChanged, &dialog, validate);
        connect(to, &QDateEdit::dateChanged, &dialog, validate);
        validate();
        if (dialog.exec() == ok) {
            m_presets->setExclusive(false);
            for (QAbstractButton *b : m_presets->buttons())
                b->setChecked(false);
            m_presets->setExclusive(true);
            requestRange(from->date(), to->date());
        }
    });
    row->addWidget(segment);
    row->addWidget(custom);
    row->addStretch(1);

    m_alertHistoryBtn = namedButton(QStringLiteral("tavrinDiskAlertHistory"), tr("告警历史（0）"));
    m_alertHistoryBtn->setIcon(themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning));
    connect(m_alertHistoryBtn, &QPushButton::clicked, this, &DiskUsagePage::openAlertHistory);
    m_exportButton = namedButton(QStringLiteral("tavrinDiskExportCsv"), tr("导出 CSV"));
    m_exportButton->setAccessibleName(tr("导出当前范围为 CSV"));
    connect(m_exportButton, &QPushButton::clicked, this, [this] {
        const QString suggested =
            QDir::homePath() +
            QStringLiteral("/disk-usage-%1-%2.csv").arg(m_from.toString(kIsoDay), m_to.toString(kIsoDay));
        const QString path =
            QFileDialog::getSaveFileName(this, tr("导出 CSV"), suggested, tr("CSV 文件 (*.csv)"));
        if (!path.isEmpty())
            exportCsv(path);
    });
    QPushButton *settings = namedButton(QStringLiteral("tavrinDiskSettings"), tr("设置"));
    settings->setIcon(themedIcon(QStringLiteral("preferences-system"), QStyle::SP_FileDialogDetailedView));
    settings->setAccessibleName(tr("磁盘空间设置"));
    connect(settings, &QPushButton::clicked, this, &DiskUsagePage::openSettings);
    m_scanButton = namedButton(QStringLiteral("tavrinDiskScanNow"), tr("立即扫描"), true);
    m_scanButton->setIcon(themedIcon(QStringLiteral("view-refresh"), QStyle::SP_BrowserReload));
    m_scanButton->setAccessibleName(tr("立即扫描系统盘"));
    connect(m_scanButton, &QPushButton::clicked, this, &DiskUsagePage::onScanNow);
    m_settingsButton = settings;
    row->addWidget(m_scanButton);

    m_status = namedLabel(QStringLiteral("tavrinDiskStatus"), QString(), Small, Muted);
    m_status->setAccessibleName(tr("状态"));
    m_status->setWordWrap(true);
    outer->addWidget(m_status);
    return bar;
}

QWidget *DiskUsagePage::buildOverviewCard(QWidget *parent)
{
    auto *card = new TavrinPanel(parent, TavrinPanel::Card);
    card->setObjectName(QStringLiteral("tavrinDiskOverview"));
    QVBoxLayout *l = card->contentLayout();
    l->setSpacing(6);
    auto *head = new QHBoxLayout;
    head->addWidget(makeLabel(tr("系统盘"), ItemTitle, Normal));
    head->addStretch(1);
    l->addLayout(head);

    auto *numbers = new QHBoxLayout;
    numbers->setSpacing(12);
    m_pctLabel = namedLabel(QStringLiteral("tavrinDiskPercent"), QStringLiteral("--"), Hero, Muted);
    m_pctLabel->setAccessibleName(tr("系统盘使用率"));
    numbers->addWidget(m_pctLabel, 0, Qt::AlignBottom);
    auto *col = new QVBoxLayout;
    col->setSpacing(0);
    m_usedLabel = namedLabel(QStringLiteral("tavrinDiskUsed"), tr("已用 --"), Value, Normal);
    m_capacityLabel =
        namedLabel(QStringLiteral("tavrinDiskCapacity"), tr("总容量 -- · 可用 --"), Small, Muted);
    col->addWidget(m_usedLabel);
    col->addWidget(m_capacityLabel);
    numbers->addLayout(col, 1);
    l->addLayout(numbers);

    m_usageBar = new TavrinFlatProgress(card);
    m_usageBar->setObjectName(QStringLiteral("tavrinDiskUsageBar"));
    m_usageBar->setRange(0, 1000);
    m_usageBar->setValue(0);
    m_usageBar->setTextVisible(false);
    m_usageBar->setAccessibleName(tr("系统盘占用"));
    l->addWidget(m_usageBar);

    // The service state gets a row of its own: its failure texts are long.
    m_badge = new TavrinBadge(tr("正在检测服务状态…"), Muted, card);
    m_badge->setObjectName(QStringLiteral("tavrinDiskServiceBadge"));
    l->addWidget(m_badge, 0, Qt::AlignLeft);
    m_subLabel = namedLabel(QStringLiteral("tavrinDiskSubLabel"), QString(), Small, Muted);
    m_subLabel->setWordWrap(true);
    l->addWidget(m_subLabel);
    auto *health = new QHBoxLayout;
    m_healthLabel = namedLabel(QStringLiteral("tavrinDiskHealth"), QString(), Small, Muted);
    m_healthLabel->setWordWrap(true);
    health->addWidget(m_healthLabel, 1);
    m_startButton = namedButton(QStringLiteral("tavrinDiskStartService"), tr("立即启动"));
    m_startButton->setIcon(themedIcon(QStringLiteral("system-run"), QStyle::SP_MediaPlay));
    m_startButton->setAccessibleName(tr("立即启动磁盘监控"));
    m_startButton->setVisible(false);
    connect(m_startButton, &QPushButton::clicked, this, &DiskUsagePage::onStartMonitorService);
    health->addWidget(m_startButton);
    l->addLayout(health);
    l->addStretch(1);
    return card;
}

QWidget *DiskUsagePage::buildSummaryCard(QWidget *parent)
{
    auto *card = new TavrinPanel(parent, TavrinPanel::Card);
    card->setObjectName(QStringLiteral("tavrinDiskSummary"));
    QVBoxLayout *l = card->contentLayout();
    l->setSpacing(6);
    auto *head = new QHBoxLayout;
    head->addWidget(makeLabel(tr("区间概览"), ItemTitle, Normal));
    head->addStretch(1);
    l->addLayout(head);
    m_rangeLine = namedLabel(QStringLiteral("tavrinDiskRangeLine"), QString(), Small, Muted);
    m_rangeLine->setWordWrap(true);
    l->addWidget(m_rangeLine);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(2);
    auto cell = [&](int r, int c, const QString &caption, ZLabel *value, QWidget *extra = nullptr) {
        auto *box = new QVBoxLayout;
        box->setSpacing(0);
        box->addWidget(makeLabel(caption, Caption, Muted));
        auto *line = new QHBoxLayout;
        line->setSpacing(6);
        line->addWidget(value);
        if (extra)
            line->addWidget(extra);
        line->addStretch(1);
        box->addLayout(line);
        grid->addLayout(box, r, c);
    };
    m_netValue = namedLabel(QStringLiteral("tavrinDiskNet"), QStringLiteral("-"), Value, Muted);
    m_avgValue = namedLabel(QStringLiteral("tavrinDiskAvg"), QStringLiteral("-"), Value, Normal);
    m_maxValue = namedLabel(QStringLiteral("tavrinDiskMax"), QStringLiteral("-"), Value, Muted);
    m_maxDate = namedLabel(QStringLiteral("tavrinDiskMaxDate"), QString(), Small, Muted);
    m_streak = namedLabel(QStringLiteral("tavrinDiskStreak"), QStringLiteral("-"), Body, Normal);
    cell(0, 0, tr("净增长"), m_netValue);
    cell(0, 1, tr("日均增长"), m_avgValue);
    cell(1, 0, tr("单日最大增长"), m_maxValue, m_maxDate);
    cell(1, 1, tr("最长连续增长起始"), m_streak);
    l->addLayout(grid);
    m_netCaption = namedLabel(QStringLiteral("tavrinDiskNetCaption"), QString(), Small, Muted);
    l->addWidget(m_netCaption);

    auto *forecast = new QHBoxLayout;
    forecast->setSpacing(6);
    m_forecastIcon = new QLabel(card);
    m_forecastIcon->setObjectName(QStringLiteral("tavrinDiskForecastIcon"));
    m_forecastIcon->setFixedSize(16, 16);
    forecast->addWidget(m_forecastIcon);
    m_forecastValue = namedLabel(QStringLiteral("tavrinDiskForecast"), QStringLiteral("-"), Body, Muted);
    m_forecastCaption = namedLabel(QStringLiteral("tavrinDiskForecastCaption"), QString(), Small, Muted);
    forecast->addWidget(m_forecastValue);
    forecast->addWidget(m_forecastCaption, 1);
    l->addLayout(forecast);
    l->addStretch(1);
    return card;
}

QWidget *DiskUsagePage::buildTimeline(QWidget *parent)
{
    auto *section = new TavrinSection(tr("占用趋势"), QString(), parent);
    section->setObjectName(QStringLiteral("tavrinDiskTimeline"));
    m_timelineCaption =
        namedLabel(QStringLiteral("tavrinDiskTimelineCaption"), tr("当前显示：系统盘占用变化"), Small, Muted);
    section->addHeaderWidget(m_timelineCaption);
    m_chart = new UsageChart(section);
    connect(m_chart, &UsageChart::dateSelected, this, &DiskUsagePage::onDateSelected);
    section->contentLayout()->addWidget(m_chart, 1);
    auto *legend = new QHBoxLayout;
    legend->setSpacing(14);
    legend->addWidget(Ui::legendDot(Accent, tr("每日已用")));
    legend->addWidget(Ui::legendDot(Warning, tr("异常增长")));
    legend->addWidget(Ui::legendDot(Success, tr("系统快照")));
    legend->addStretch(1);
    m_dayDetail = namedLabel(QStringLiteral("tavrinDiskDayDetail"), QString(), Small, Normal);
    legend->addWidget(m_dayDetail);
    section->contentLayout()->addLayout(legend);
    return section;
}

QWidget *DiskUsagePage::buildAnalysis(QWidget *parent)
{
    auto *section = new TavrinSection(tr("目录分析"), QString(), parent);
    section->setObjectName(QStringLiteral("tavrinDiskAnalysisSection"));
    auto *views = new QWidget(section);
    auto *viewsLayout = new QHBoxLayout(views);
    viewsLayout->setContentsMargins(0, 0, 0, 0);
    viewsLayout->setSpacing(4);
    m_viewButtons = new QButtonGroup(this);
    const QStringList names = {tr("构成"), tr("增长"), tr("排行")};
    for (int i = 0; i < names.size(); ++i) {
        auto *b = new SegmentButton(names.at(i), views);
        b->setObjectName(QStringLiteral("tavrinDiskView%1").arg(i));
        b->setAccessibleName(tr("分析视图：%1").arg(names.at(i)));
        m_viewButtons->addButton(b, i);
        viewsLayout->addWidget(b);
    }
    m_viewButtons->button(0)->setChecked(true);
    connect(m_viewButtons, &QButtonGroup::idClicked, this,
            [this](int id) { setViewMode(DiskPage::ViewMode(id)); });
    section->addHeaderWidget(views);

    QVBoxLayout *l = section->contentLayout();
    m_viewHint = namedLabel(QStringLiteral("tavrinDiskViewHint"), DiskPage::viewHintFor(0), Small, Muted);
    m_viewHint->setWordWrap(true);
    l->addWidget(m_viewHint);

    auto *context = new QHBoxLayout;
    context->setSpacing(4);
    m_backButton = namedButton(QStringLiteral("tavrinDiskBack"), tr("返回"));
    m_backButton->setIcon(themedIcon(QStringLiteral("go-previous"), QStyle::SP_ArrowBack));
    m_backButton->setAccessibleName(tr("返回上一级目录"));
    connect(m_backButton, &QPushButton::clicked, this,
            [this] { popBrowseTo(qMax(0, int(m_browseStack.size()) - 1)); });
    context->addWidget(m_backButton);
    m_breadcrumb = new QWidget(section);
    m_breadcrumb->setObjectName(QStringLiteral("tavrinDiskBreadcrumb"));
    m_breadcrumbLayout = new QHBoxLayout(m_breadcrumb);
    m_breadcrumbLayout->setContentsMargins(0, 0, 0, 0);
    m_breadcrumbLayout->setSpacing(0);
    context->addWidget(m_breadcrumb);
    context->addStretch(1);
    m_pathLabel = namedLabel(QStringLiteral("tavrinDiskPath"), QString(), Small, Accent);
    context->addWidget(m_pathLabel);
    l->addLayout(context);

    m_table = new QTableWidget(0, 4, section);
    m_table->setObjectName(QStringLiteral("tavrinDiskAnalysis"));
    m_table->setHorizontalHeaderLabels({tr("名称"), tr("大小"), tr("占比"), QString()});
    m_table->horizontalHeaderItem(3)->setData(Qt::AccessibleTextRole, tr("打开位置"));
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Fixed);
    m_table->setColumnWidth(3, 40);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(34);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->setShowGrid(false);
    m_table->setMinimumHeight(230);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTableAccessibleName(m_table, tr("目录分析"));
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &DiskUsagePage::onAnalysisCellDoubleClicked);
    connect(m_table, &QTableWidget::cellClicked, this, &DiskUsagePage::onAnalysisCellClicked);
    m_table->installEventFilter(this);
    l->addWidget(m_table);
    return section;
}

QWidget *DiskUsagePage::buildPartitions(QWidget *parent)
{
    auto *section =
        new TavrinSection(tr("其他分区"), tr("系统盘以外已挂载的分区，可点击“分析”查看其目录占用"), parent);
    section->setObjectName(QStringLiteral("tavrinDiskPartitions"));
    m_partitionsBox = new QWidget(section);
    auto *l = new QVBoxLayout(m_partitionsBox);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(6);
    section->contentLayout()->addWidget(m_partitionsBox);
    return section;
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
    if (m_records.isEmpty() && m_pendingId == 0)
        onPreset(15);
}

void DiskUsagePage::requestRange(const QDate &from, const QDate &to)
{
    if (!from.isValid() || !to.isValid() || to < from)
        return;
    m_from = from;
    m_to = to;
    if (m_pendingId)
        m_store->cancelRange(m_pendingId);
    const QString text = tr("正在加载 %1 ~ %2 的数据…").arg(from.toString(kIsoDay), to.toString(kIsoDay));
    m_chart->setLoading(true, text);
    showStatus(text);
    m_progressClock.start();
    m_pendingId = m_store->requestRange(from, to);
}

void DiskUsagePage::onPreset(int days)
{
    const QDate today = QDate::currentDate();
    const int index = int(kPresetDays.indexOf(days));
    if (QAbstractButton *b = m_presets->button(index))
        b->setChecked(true);
    requestRange(today.addDays(-days + 1), today);
}

void DiskUsagePage::focusDate(const QDate &date)
{
    if (!date.isValid())
        return;
    m_focused = date;
    m_presets->setExclusive(false);
    for (QAbstractButton *b : m_presets->buttons())
        b->setChecked(false);
    m_presets->setExclusive(true);
    requestRange(date.addDays(-3), date.addDays(3));
    qInfo("[DiskUsagePage] focusDate %s, range %s ~ %s", qPrintable(date.toString(kIsoDay)),
          qPrintable(m_from.toString(kIsoDay)), qPrintable(m_to.toString(kIsoDay)));
}

void DiskUsagePage::onRangeProgress(quint64 id, int done, int total)
{
    if (id != m_pendingId || id == 0)
        return;
    // A few updates a second are all a person can read. A load that ends within the first
    // interval shows none: its result follows at once, and each shown count costs a repaint the
    // load itself would wait for. The last count is never shown, the result replaces it.
    if (done >= total || m_progressClock.elapsed() < 80)
        return;
    m_progressClock.start();
    showStatus(tr("加载中 %1/%2 …").arg(done).arg(total));
    m_chart->setLoadProgress(done, total);
}

void DiskUsagePage::onRangeLoaded(quint64 id, const QList<DiskDayRecord> &records)
{
    if (id != m_pendingId || id == 0)
        return;
    m_pendingId = 0;
    m_records = records;
    m_chart->setLoading(false);
    showStatus(records.isEmpty() ? tr("该范围内暂无监控数据") : tr("已加载 %1 天记录").arg(records.size()));
    // At the top level the browse items follow the newest loaded day.
    if (m_browseStack.isEmpty() && m_browsePath.isEmpty())
        m_browseItems = records.isEmpty() ? QList<DiskItem>() : records.constLast().topLevel;
    if (m_checkActive)
        checkStep(tr("加载历史记录"));
    updateTimelineSeries();
    updateSummary();
    if (!records.isEmpty()) {
        const QDate day = m_focused.isValid() ? m_focused : records.constLast().date;
        m_chart->setSelectedDate(day);
        onDateSelected(day);
    } else {
        m_chart->setSelectedDate(QDate());
        updateDayDetail();
        updateAnalysis();
    }
    m_exportButton->setEnabled(!records.isEmpty());
    settleLayout();
}

void DiskUsagePage::onDateSelected(const QDate &date)
{
    m_focused = date;
    updateDayDetail();
    updateAnalysis();
}

void DiskUsagePage::updateDayDetail()
{
    for (int i = 0; i < m_records.size(); ++i) {
        if (m_records.at(i).date != m_focused)
            continue;
        QString text =
            tr("%1 · 已用 %2").arg(m_focused.toString(kIsoDay), Tavrin::formatSize(m_records.at(i).total));
        if (i > 0) {
            const qint64 growth = m_records.at(i).total - m_records.at(i - 1).total;
            text += QStringLiteral(" · ") +
                    tr("当日增长 %1")
                        .arg((growth >= 0 ? QStringLiteral("+") : QString()) + Tavrin::formatSize(growth));
        }
        m_dayDetail->setText(text);
        return;
    }
    m_dayDetail->setText(QString());
}

void DiskUsagePage::settleLayout()
{
    // Texts that arrive from background work change size hints; lay out before the next paint
    // so no frame shows them cut off.
    // A label's request reaches its card, the row and the page one level per pass.
    for (int level = 0; level < 6; ++level)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

void DiskUsagePage::showStatus(const QString &text, bool error)
{
    m_status->setText(text);
    applySemantic(m_status, error ? Danger : Muted);
}

void DiskUsagePage::applyConfigToStore()
{
    m_store->retentionDays = m_config->retentionDays();
    m_store->budgetBytes = qint64(m_config->storageBudgetMB()) * 1048576;
    m_store->samplesRetentionDays = m_config->samplesRetentionDays();
    m_store->memoryCacheDays = m_config->memoryCacheDays();
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
    const int poll = m_config->pollMinutes();
    runAsyncQuiet([poll] { return QVariant::fromValue(readOverview(poll)); },
                  [this](const QVariant &v) {
                      m_overviewPending = false;
                      OverviewData data;
                      static_cast<DiskOverviewData &>(data) = v.value<DiskOverviewData>();
                      applyOverview(data);
                  });
}

void DiskUsagePage::applyOverview(const OverviewData &data)
{
    if (!data.dfOk || data.total < 1) {
        m_usageBar->setValue(0);
        m_pctLabel->setText(QStringLiteral("--"));
        applySemantic(m_pctLabel, Muted);
        m_usedLabel->setText(tr("已用 --"));
        applySemantic(m_usedLabel, Normal);
        m_capacityLabel->setText(tr("总容量 -- · 可用 --"));
    } else {
        const double pct = double(data.used) * 100.0 / double(data.total);
        m_usageBar->setValue(int(data.used * 1000 / data.total));
        m_pctLabel->setText(QString::number(pct, 'f', pct >= 100.0 ? 0 : 1) + QLatin1Char('%'));
        applySemantic(m_pctLabel, Normal);
        m_usedLabel->setText(tr("已用 %1").arg(Tavrin::formatSize(data.used)));
        applySemantic(m_usedLabel, usageSemanticForPct(pct));
        m_capacityLabel->setText(
            tr("总容量 %1 · 可用 %2")
                .arg(Tavrin::formatSize(data.total), Tavrin::formatSize(data.total - data.used)));
    }
    m_usageBar->setAccessibleDescription(m_pctLabel->text());
    if (m_checkActive)
        checkStep(tr("读取磁盘容量"), data.dfOk);

    QString sub = m_config->enabled() ? tr("每 %1 分钟采样一次 · 历史保留 %2 天")
                                            .arg(m_config->pollMinutes())
                                            .arg(m_config->retentionDays())
                                      : tr("开启后自动建立基线并持续监控");
    m_index = data.index;
    if (!m_index.days.isEmpty()) {
        const Tavrin::DiskDaySummary &last = m_index.days.constLast();
        sub +=
            QStringLiteral(" · ") +
            tr("最近记录 %1 · 该日增长 %2").arg(last.date.toString(kIsoDay), Tavrin::formatSize(last.growth));
    }
    m_subLabel->setText(sub);
    if (m_checkActive)
        checkStep(tr("读取历史数据索引"));
    m_lastSample = data.lastSample;
    updateHealth();
    refreshAlert();
    // The index may flag spikes the loaded records alone do not show.
    if (m_followed.isEmpty() && !m_records.isEmpty()) {
        rebuildSpikeSet();
        m_chart->setSpikeDays(m_spikes);
    }
    emit overviewUpdated();
    settleLayout();
}

void DiskUsagePage::updateHealth()
{
    const bool enabled = m_config->enabled();
    if (!m_lastSample.isValid()) {
        m_healthLabel->setText(enabled ? tr("最近采样：尚无记录，后台服务将在 15 分钟内完成首次采样")
                                       : tr("最近采样：尚无记录"));
        applySemantic(m_healthLabel, Muted);
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 age = m_lastSample.secsTo(now);
    const QString when = Tavrin::formatTime(m_lastSample.toSecsSinceEpoch());
    const bool stale = enabled && age > qint64(3) * qMax(1, m_config->pollMinutes()) * 60;
    if (stale) {
        m_healthLabel->setText(tr("监控可能已停止：最近采样 %1，已超过 3 个采样周期").arg(when));
        applySemantic(m_healthLabel, Warning);
        m_startButton->setVisible(true);
    } else {
        m_healthLabel->setText(tr("最近采样 %1").arg(when));
        applySemantic(m_healthLabel, Muted);
    }
}

// ------------------------------------------------------------------ alerts

QString DiskUsagePage::alertFile() const
{
    return Tavrin::DiskHistoryStore::historyDir() + QStringLiteral("/alert.json");
}

QString DiskUsagePage::alertUiStateFile() const
{
    return Tavrin::DiskHistoryStore::historyDir() + QStringLiteral("/alert-ui-state.json");
}

void DiskUsagePage::refreshAlert()
{
    if (!m_alertBanner)
        return;
    m_alerts = DiskPage::readAlerts(alertFile());
    const QSet<QString> dismissed(m_dismissed.cbegin(), m_dismissed.cend());
    m_alertKey.clear();
    for (auto it = m_alerts.crbegin(); it != m_alerts.crend(); ++it) {
        if (dismissed.contains(it->key()))
            continue;
        m_alertKey = it->key();
        m_alertBanner->setSemantic(Danger);
        m_alertBanner->setText(
            tr("%1 · %2 增长 %3").arg(it->date, it->causeDir, Tavrin::formatSize(it->growth)));
        m_alertBanner->setClosable(true);
        m_alertBanner->setVisible(true);
        break;
    }
    if (m_alertKey.isEmpty()) {
        m_alertBanner->setText(QString());
        m_alertBanner->setVisible(false);
    }
    updateAlertHistoryBtn();
}

void DiskUsagePage::onDismissAlert()
{
    if (m_alertKey.isEmpty())
        return;
    if (!m_dismissed.contains(m_alertKey))
        m_dismissed.append(m_alertKey);
    while (m_dismissed.size() > kMaxDismissed)
        m_dismissed.removeFirst();
    saveAlertUiState();
    m_alertKey.clear();
    m_alertBanner->setVisible(false);
    showStatus(tr("告警已关闭，可随时在「告警历史」中查看"));
    updateAlertHistoryBtn();
}

void DiskUsagePage::updateAlertHistoryBtn()
{
    const int n = m_alerts.size();
    if (n - m_seen >= 1)
        m_alertHistoryBtn->setText(tr("告警历史（%1 条新增）").arg(n - m_seen));
    else
        m_alertHistoryBtn->setText(tr("告警历史（%1）").arg(n));
    m_alertHistoryBtn->setAccessibleName(m_alertHistoryBtn->text());
    m_alertHistoryBtn->setEnabled(n > 0);
}

void DiskUsagePage::loadAlertUiState()
{
    // A regular file only: opening a FIFO would block the window.
    const QFileInfo info(alertUiStateFile());
    QFile f(alertUiStateFile());
    if (!info.isFile() || info.size() > 4 * 1024 * 1024 || !f.open(QIODevice::ReadOnly))
        return;
    const DiskPage::AlertUiState state = DiskPage::alertUiStateFromBytes(f.readAll(), kMaxDismissed);
    m_dismissed = state.dismissed;
    m_seen = state.seen;
}

void DiskUsagePage::saveAlertUiState()
{
    QSaveFile f(alertUiStateFile());
    if (f.open(QIODevice::WriteOnly)) {
        f.write(DiskPage::alertUiStateToBytes({m_dismissed, m_seen}));
        f.commit();
    }
}

void DiskUsagePage::openAlertHistory()
{
    m_alerts = DiskPage::readAlerts(alertFile());
    ZDialog dialog(tr("告警历史"), tr("共 %1 条告警，最新的在前").arg(m_alerts.size()), this);
    dialog.setIcon(themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning));
    auto *table = new QTableWidget(int(m_alerts.size()), 4, &dialog);
    table->setObjectName(QStringLiteral("tavrinDiskAlertTable"));
    table->setHorizontalHeaderLabels({tr("日期"), tr("目录"), tr("增长"), tr("状态")});
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setTextElideMode(Qt::ElideMiddle);
    table->setMinimumSize(560, 300);
    const QSet<QString> dismissed(m_dismissed.cbegin(), m_dismissed.cend());
    const int fresh = int(m_alerts.size()) - m_seen;
    for (int r = 0; r < m_alerts.size(); ++r) {
        const DiskPage::AlertEntry &a = m_alerts.at(m_alerts.size() - 1 - r);
        const QString state = r < fresh                     ? tr("新增")
                              : dismissed.contains(a.key()) ? tr("已关闭")
                                                            : tr("已查看");
        const QStringList cells{a.date, a.causeDir, Tavrin::formatSize(a.growth), state};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            item->setToolTip(cells.at(c));
            table->setItem(r, c, item);
        }
    }
    setTableAccessibleName(table, tr("告警历史"));
    finalizeTableAccessible(table);
    dialog.addContent(table);
    dialog.addButton(tr("关闭"), true);
    m_seen = int(m_alerts.size());
    saveAlertUiState();
    updateAlertHistoryBtn();
    dialog.exec();
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
    if (m_pendingId) {
        m_store->cancelRange(m_pendingId);
        m_pendingId = 0;
    }
    const QString alerts = alertFile();
    const QString uiState = alertUiStateFile();
    runAsync(
        [alerts, uiState] {
            // One step under the history lock: a monitor cycle writes all of its day and alerts
            // before the clear or after it, never halfway (which would bring deleted alerts back).
            Tavrin::HistoryLock lock;
            if (!lock.isLocked())
                return QVariant(QVariantMap{
                    {QStringLiteral("untouched"), true},
                    {QStringLiteral("error"), lock.isBusy() ? tr("历史目录正被另一个进程占用，未清除任何数据")
                                                            : tr("无法锁定历史目录，未清除任何数据")}});
            const QDate from(2000, 1, 1);
            const QDate to = Tavrin::diskToday().addDays(1);
            Tavrin::DiskHistoryStore store;
            store.removeRange(from, to);
            QStringList failed;
            const QDir dir(Tavrin::DiskHistoryStore::historyDir());
            for (const QString &name : dir.entryList({QStringLiteral("20*.json")}, QDir::Files)) {
                const QDate date = Tavrin::dayFileDate(name);
                if (date >= from && date <= to && name == date.toString(Qt::ISODate) + QLatin1String(".json"))
                    failed << name;
            }
            for (const QString &path : {alerts, uiState}) {
                if (QFileInfo::exists(path) && !QFile::remove(path))
                    failed << QFileInfo(path).fileName();
            }
            return QVariant(QVariantMap{
                {QStringLiteral("error"),
                 failed.isEmpty() ? QString()
                                  : tr("部分监控数据未能删除：%1").arg(failed.join(QStringLiteral("、")))}});
        },
        [this](const QVariant &result) {
            const QVariantMap outcome = result.toMap();
            const QString error = outcome.value(QStringLiteral("error")).toString();
            // Nothing was deleted: the page keeps what it shows.
            if (outcome.value(QStringLiteral("untouched")).toBool()) {
                showStatus(error, true);
                return;
            }
            resetStore();
            m_records.clear();
            m_focused = QDate();
            m_dismissed.clear();
            m_seen = 0;
            m_alertKey.clear();
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
            if (error.isEmpty())
                showStatus(tr("已清除全部监控数据"));
            else
                showStatus(error, true);
            refresh();
        });
}

void DiskUsagePage::onScanNow()
{
    if (m_scanner->isBusy())
        return;
    m_scanner->useElevation = true;
    m_scanner->interactive = 1;
    m_scanIsDrill = false;
    if (!m_scanner->startTopLevelScan())
        return;
    m_scanButton->setEnabled(false);
    m_chart->setScanning(true, tr("正在扫描系统盘目录…（可稍候，完成后自动刷新）"));
    showStatus(tr("正在扫描系统盘目录…（可稍候，完成后自动刷新）"));
}

void DiskUsagePage::onTopLevelFinished(const QList<DiskItem> &items, bool complete)
{
    const int retention = m_config->retentionDays();
    const qint64 budget = qint64(m_config->storageBudgetMB()) * 1048576;
    runAsyncQuiet(
        [items, complete, retention, budget] {
            Tavrin::DiskHistoryStore store;
            store.retentionDays = retention;
            store.budgetBytes = budget;
            qint64 total = 0;
            qint64 used = 0;
            const bool df = Tavrin::DiskScanner::dfRoot(&total, &used, nullptr);
            const QDateTime now = Tavrin::diskNow();
            // Read afresh and saved under the history lock: a monitor sample taken meanwhile stays.
            const bool saved = store.updateDayRecord(now.date(), [&](DiskDayRecord &record) {
                if (complete || record.topLevel.isEmpty()) {
                    record.topLevel = items;
                    record.complete = complete;
                }
                if (!df)
                    return;
                Tavrin::DiskSample sample;
                sample.time = now;
                sample.total = used;
                record.samples.append(sample);
                std::stable_sort(
                    record.samples.begin(), record.samples.end(),
                    [](const Tavrin::DiskSample &a, const Tavrin::DiskSample &b) { return a.time < b.time; });
                record.capacity = total;
                record.total = record.samples.constLast().total;
            });
            return QVariant(saved ? QString() : store.lastError());
        },
        [this](const QVariant &error) {
            if (!error.toString().isEmpty())
                showStatus(tr("扫描完成，但今日记录保存失败：%1").arg(error.toString()), true);
        });
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
    showStatus(tr("扫描完成，今日记录已更新"));
    // The day is saved on the pool; load the range once that save is through.
    auto reload = [this] {
        requestRange(m_from.isValid() ? m_from : QDate::currentDate().addDays(-14),
                     m_to.isValid() ? qMax(m_to, QDate::currentDate()) : QDate::currentDate());
        updateOverview();
    };
    if (BasePage::isBusy()) {
        auto *once = new QObject(this);
        connect(this, &BasePage::idleReached, once, [reload, once] {
            once->deleteLater();
            reload();
        });
    } else {
        reload();
    }
}

// ------------------------------------------------------------------ settings

void DiskUsagePage::openSettings()
{
    ZDialog dialog(this);
    dialog.setTitle(tr("磁盘空间设置"));
    dialog.setIcon(themedIcon(QStringLiteral("preferences-system"), QStyle::SP_FileDialogDetailedView));
    auto *body = new QWidget(&dialog);
    body->setObjectName(QStringLiteral("tavrinDiskSettingsBody"));
    auto *l = new QVBoxLayout(body);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(10);

    // A change the configuration store refused is said here, and its control goes back to what
    // is stored: the dialog never shows a setting that is not in effect.
    auto *saveError = namedLabel(QStringLiteral("tavrinDiskSettingsError"), QString(), Small, Danger);
    saveError->setWordWrap(true);
    saveError->setVisible(false);
    l->addWidget(saveError);
    auto save = [this, saveError](const QString &key, const QVariant &value) {
        if (m_config->setValue(key, value))
            return true;
        saveError->setText(tr("无法保存设置（配置目录不可写或磁盘已满），此项更改未生效"));
        saveError->setVisible(true);
        return false;
    };

    auto row = [](QWidget *parent, const QString &title, const QString &desc, QWidget *control) {
        auto *r = new TavrinRow(parent);
        r->setTitle(title);
        if (!desc.isEmpty())
            r->setDescription(desc);
        control->setAccessibleName(title);
        r->addControl(control, 140);
        return r;
    };

    auto *monitor = new TavrinSection(tr("监控"), QString(), body);
    auto *sw = new ZSwitchButton(monitor);
    sw->setObjectName(QStringLiteral("tavrinDiskMonitorSwitch"));
    sw->setChecked(m_config->enabled());
    m_monitorSwitch = sw;
    connect(sw, &QAbstractButton::toggled, this, &DiskUsagePage::onMonitorToggled);
    monitor->contentLayout()->addWidget(row(
        monitor, tr("启用磁盘监控"), tr("开启后立即建立基线，由后台服务每 15 分钟采样一次并自动告警"), sw));
    l->addWidget(monitor);

    auto *rules = new TavrinSection(tr("告警规则"), QString(), body);
    auto *mode = new ZComboBox(rules);
    mode->setObjectName(QStringLiteral("tavrinDiskAlertMode"));
    mode->addItems({tr("智能基线"), tr("固定阈值")});
    mode->setCurrentIndex(m_config->alertMode() == QLatin1String("fixed") ? 1 : 0);
    auto *fixed = new ZSpinBox(rules);
    fixed->setObjectName(QStringLiteral("tavrinDiskFixedThreshold"));
    fixed->setRange(64, 102400);
    fixed->setSuffix(QLatin1Char(' ') + tr("MB"));
    fixed->setValue(m_config->fixedThresholdMB());
    auto *multiplier = new ZDoubleSpinBox(rules);
    multiplier->setObjectName(QStringLiteral("tavrinDiskMultiplier"));
    multiplier->setRange(1.0, 10.0);
    multiplier->setDecimals(1);
    multiplier->setSingleStep(0.1);
    multiplier->setValue(m_config->baselineMultiplier());
    auto *cooldown = new ZSpinBox(rules);
    cooldown->setObjectName(QStringLiteral("tavrinDiskCooldown"));
    cooldown->setRange(1, 72);
    cooldown->setSuffix(QLatin1Char(' ') + tr("小时"));
    cooldown->setValue(m_config->cooldownHours());
    auto syncMode = [fixed, multiplier, mode] {
        fixed->setEnabled(mode->currentIndex() == 1);
        multiplier->setEnabled(mode->currentIndex() == 0);
    };
    syncMode();
    connect(mode, &QComboBox::currentIndexChanged, &dialog, [this, save, syncMode, mode](int index) {
        if (!save(QStringLiteral("monitor.alertMode"),
                  index == 1 ? QStringLiteral("fixed") : QStringLiteral("baseline"))) {
            const QSignalBlocker block(mode);
            mode->setCurrentIndex(m_config->alertMode() == QLatin1String("fixed") ? 1 : 0);
        }
        syncMode();
    });
    connect(fixed, &QSpinBox::valueChanged, &dialog, [this, save, fixed](int v) {
        if (!save(QStringLiteral("monitor.fixedThresholdMB"), v)) {
            const QSignalBlocker block(fixed);
            fixed->setValue(m_config->fixedThresholdMB());
        }
    });
    connect(multiplier, &QDoubleSpinBox::valueChanged, &dialog, [this, save, multiplier](double v) {
        if (!save(QStringLiteral("monitor.baselineMultiplier"), v)) {
            const QSignalBlocker block(multiplier);
            multiplier->setValue(m_config->baselineMultiplier());
        }
    });
    connect(cooldown, &QSpinBox::valueChanged, &dialog, [this, save, cooldown](int v) {
        if (!save(QStringLiteral("monitor.cooldownHours"), v)) {
            const QSignalBlocker block(cooldown);
            cooldown->setValue(m_config->cooldownHours());
        }
    });
    rules->contentLayout()->addWidget(row(rules, tr("告警模式"), QString(), mode));
    rules->contentLayout()->addWidget(
        row(rules, tr("固定阈值"), tr("增长超过该值触发告警（固定阈值模式）"), fixed));
    rules->contentLayout()->addWidget(row(
        rules, tr("基线倍数"), tr("智能基线 = 近 7 天日均增长 × 该倍数，且不小于最小告警值"), multiplier));
    rules->contentLayout()->addWidget(
        row(rules, tr("告警冷却"), tr("同一目录冷却期内只告警一次，避免刷屏"), cooldown));
    l->addWidget(rules);

    auto *excludes = new TavrinSection(tr("排除目录"), QString(), body);
    auto *input = new ZLineEdit(excludes);
    input->setObjectName(QStringLiteral("tavrinDiskExcludeInput"));
    input->setPlaceholderText(tr("输入目录，如 /home/Test/Downloads"));
    input->setAccessibleName(tr("要排除的目录"));
    QPushButton *add = namedButton(QStringLiteral("tavrinDiskExcludeAdd"), tr("添加"));
    add->setAccessibleName(tr("添加排除目录"));
    auto *list = new QListWidget(excludes);
    list->setObjectName(QStringLiteral("tavrinDiskExcludeList"));
    list->setAccessibleName(tr("排除目录列表"));
    list->setMaximumHeight(110);
    list->addItems(m_config->excludes());
    QPushButton *remove = namedButton(QStringLiteral("tavrinDiskExcludeRemove"), tr("移除选中"));
    remove->setAccessibleName(tr("移除选中的排除目录"));
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(input, 1);
    addRow->addWidget(add);
    excludes->contentLayout()->addLayout(addRow);
    excludes->contentLayout()->addWidget(list);
    excludes->contentLayout()->addWidget(remove, 0, Qt::AlignRight);
    auto saveList = [this, save, list] {
        QStringList values;
        for (int i = 0; i < list->count(); ++i)
            values << list->item(i)->text();
        if (save(QStringLiteral("monitor.excludes"), values))
            return true;
        list->clear();
        list->addItems(m_config->excludes());
        return false;
    };
    auto addEntry = [input, list, saveList] {
        const QString text = input->text().trimmed();
        if (text.isEmpty() || !list->findItems(text, Qt::MatchExactly).isEmpty())
            return;
        list->addItem(text);
        // A refused entry stays typed, to be added again once the store can take it.
        if (saveList())
            input->clear();
    };
    connect(add, &QPushButton::clicked, &dialog, addEntry);
    connect(input, &QLineEdit::returnPressed, &dialog, addEntry);
    connect(remove, &QPushButton::clicked, &dialog, [list, saveList] {
        const auto selected = list->selectedItems();
        if (selected.isEmpty())
            return;
        delete list->takeItem(list->row(selected.constFirst()));
        saveList();
    });
    l->addWidget(excludes);

    auto *storage = new TavrinSection(tr("数据存储"), QString(), body);
    auto *retention = new ZSpinBox(storage);
    retention->setObjectName(QStringLiteral("tavrinDiskRetention"));
    retention->setRange(90, 730);
    retention->setValue(m_config->retentionDays());
    auto *budget = new ZComboBox(storage);
    budget->setObjectName(QStringLiteral("tavrinDiskBudget"));
    budget->addItems({QStringLiteral("256 MB"), QStringLiteral("512 MB"), QStringLiteral("1024 MB")});
    const int budgetMB = m_config->storageBudgetMB();
    budget->setCurrentIndex(budgetMB <= 256 ? 0 : budgetMB <= 512 ? 1 : 2);
    auto *usage = namedLabel(QStringLiteral("tavrinDiskStorageUsage"), QString(), Body, Normal);
    auto showUsage = [this, usage, budget] {
        static const qint64 budgets[] = {256, 512, 1024};
        const qint64 bytes = budgets[qBound(0, budget->currentIndex(), 2)] * 1048576;
        // The size of the history directory is read on the pool; the label fills in when known.
        QPointer<ZLabel> guard(usage);
        runAsyncQuiet([] { return QVariant(Tavrin::DiskHistoryStore().storageBytes()); },
                      [guard, bytes](const QVariant &v) {
                          if (guard)
                              guard->setText(QStringLiteral("%1 / %2").arg(Tavrin::formatSize(v.toLongLong()),
                                                                           Tavrin::formatSize(bytes)));
                      });
    };
    showUsage();
    connect(retention, &QSpinBox::valueChanged, &dialog, [this, save, retention](int v) {
        if (!save(QStringLiteral("monitor.retentionDays"), v)) {
            const QSignalBlocker block(retention);
            retention->setValue(m_config->retentionDays());
        }
        applyConfigToStore();
    });
    connect(budget, &QComboBox::currentIndexChanged, &dialog, [this, save, budget, showUsage](int index) {
        static const int values[] = {256, 512, 1024};
        if (!save(QStringLiteral("monitor.storageBudgetMB"), values[qBound(0, index, 2)])) {
            const QSignalBlocker block(budget);
            const int stored = m_config->storageBudgetMB();
            budget->setCurrentIndex(stored <= 256 ? 0 : stored <= 512 ? 1 : 2);
        }
        applyConfigToStore();
        showUsage();
    });
    storage->contentLayout()->addWidget(row(storage, tr("保留天数"), QString(), retention));
    storage->contentLayout()->addWidget(
        row(storage, tr("存储预算"), tr("历史数据本地占用上限，超出预算自动降级保存"), budget));
    storage->contentLayout()->addWidget(row(storage, tr("当前占用"), QString(), usage));
    l->addWidget(storage);

    auto *manage = new TavrinSection(tr("数据管理"), QString(), body);
    QPushButton *clear = Ui::button(tr("清除全部监控数据"), false, true);
    clear->setObjectName(QStringLiteral("tavrinDiskClearHistory"));
    clear->setAccessibleName(tr("清除全部监控数据"));
    connect(clear, &QPushButton::clicked, &dialog, [this, &dialog] {
        dialog.accept();
        QTimer::singleShot(0, this, &DiskUsagePage::onClearHistory);
    });
    manage->contentLayout()->addWidget(clear, 0, Qt::AlignLeft);
    l->addWidget(manage);

    auto *scroll = new QScrollArea(&dialog);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(body);
    // Wide enough for the rows' controls where the screen allows; on a narrower screen (or with
    // large fonts) they stay reachable by scrolling rather than cut off.
    int wanted = body->minimumSizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() + 2;
    if (const QScreen *screen = this->screen())
        wanted = std::min(wanted, screen->availableGeometry().width() * 2 / 3 - 64);
    scroll->setMinimumSize(std::max(560, wanted), 420);
    dialog.addContent(scroll);
    dialog.addButton(tr("关闭"), true);
    dialog.exec();
    m_monitorSwitch = nullptr;
}

// ------------------------------------------------------------------ monitor service

bool DiskUsagePage::setMonitorService(bool enable, QString *error)
{
    return MonitorService::setTimerEnabled(enable, error);
}

bool DiskUsagePage::storeMonitorEnabled(bool on)
{
    if (m_config->setEnabled(on))
        return true;
    // The monitor reads the switch from the store: a timer left running against a store that says
    // "off" would sample nothing while the page claims otherwise. Undo the service change.
    QString ignored;
    setMonitorService(!on, &ignored);
    const QString text = tr("无法保存设置（配置目录不可写或磁盘已满），此项更改未生效");
    if (m_monitorSwitch) {
        const QSignalBlocker block(m_monitorSwitch);
        m_monitorSwitch->setChecked(!on);
        if (auto *error =
                m_monitorSwitch->window()->findChild<QLabel *>(QStringLiteral("tavrinDiskSettingsError"))) {
            error->setText(text);
            error->setVisible(true);
        }
    }
    showStatus(text, true);
    return false;
}

void DiskUsagePage::onMonitorToggled(bool on)
{
    QString error;
    if (setMonitorService(on, &error)) {
        if (!storeMonitorEnabled(on)) {
            updateServiceStatus();
            return;
        }
        if (on) {
            MonitorService::runSystemctlUser({QStringLiteral("start"), QStringLiteral("--no-block"),
                                              QLatin1String(MonitorService::kServiceUnit)},
                                             10000);
            // The page's own loading texts would hide the outcome: refresh first.
            refresh();
            showStatus(tr("监控已开启，正在建立基线（由后台服务采样）"));
        } else {
            showStatus(tr("监控已关闭，历史数据保留"));
            updateOverview();
            updateServiceStatus();
        }
        return;
    }
    m_config->setEnabled(!on);
    if (m_monitorSwitch) {
        const QSignalBlocker block(m_monitorSwitch);
        m_monitorSwitch->setChecked(!on);
    }
    const QString brief = MonitorService::briefError(error);
    showStatus(
        tr("监控服务%1失败：%2").arg(on ? tr("启动") : tr("停止"), brief.isEmpty() ? tr("未知错误") : brief),
        true);
    updateServiceStatus();
}

void DiskUsagePage::onStartMonitorService()
{
    m_startButton->setVisible(false);
    m_badge->setText(tr("正在启动磁盘监控…"));
    m_badge->setSemantic(Muted);
    if (MonitorService::findTimerFile().isEmpty()) {
        m_badge->setText(tr("监控组件未安装：请先安装应用（sudo ./install.sh）"));
        m_badge->setSemantic(Danger);
        m_startButton->setVisible(true);
        return;
    }
    QString error;
    if (setMonitorService(true, &error)) {
        if (!storeMonitorEnabled(true)) {
            m_badge->setText(tr("无法保存设置（配置目录不可写或磁盘已满），此项更改未生效"));
            m_badge->setSemantic(Danger);
            m_startButton->setVisible(true);
            return;
        }
        if (m_monitorSwitch) {
            const QSignalBlocker block(m_monitorSwitch);
            m_monitorSwitch->setChecked(true);
        }
        MonitorService::runSystemctlUser({QStringLiteral("start"), QStringLiteral("--no-block"),
                                          QLatin1String(MonitorService::kServiceUnit)},
                                         10000);
        showStatus(tr("监控已开启，正在建立基线（由后台服务采样）"));
        QTimer::singleShot(1500, this, &DiskUsagePage::updateServiceStatus);
        return;
    }
    const QString brief = MonitorService::briefError(error);
    const QString text = tr("启动失败：%1").arg(brief.isEmpty() ? tr("未知错误") : brief);
    m_badge->setText(text);
    m_badge->setSemantic(Danger);
    showStatus(text, true);
    m_startButton->setVisible(true);
}

void DiskUsagePage::updateServiceStatus()
{
    if (m_probe || m_shutDown)
        return;
    m_badge->setText(tr("正在检测服务状态…"));
    m_badge->setSemantic(Muted);
    auto *probe = new QProcess(this);
    m_probe = probe;
    // A hung user manager must not leave the badge waiting for ever.
    auto *limit = new QTimer(probe);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, probe, [probe] { probe->kill(); });
    connect(probe, &QProcess::finished, this, [this, probe] {
        const QString state = QString::fromUtf8(probe->readAllStandardOutput()).trimmed();
        probe->deleteLater();
        m_probe = nullptr;
        applyServiceStatus(state);
    });
    connect(probe, &QProcess::errorOccurred, this, [this, probe](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        probe->deleteLater();
        m_probe = nullptr;
        applyServiceStatus(QString());
    });
    probe->start(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("is-active"),
                                               QLatin1String(MonitorService::kTimerUnit)});
    limit->start(15000);
}

void DiskUsagePage::applyServiceStatus(const QString &state)
{
    if (!m_badge)
        return;
    if (m_checkActive)
        checkStep(tr("检测监控服务"), !state.isEmpty());
    bool needsStart = false;
    if (state.isEmpty()) {
        m_badge->setText(tr("无法连接 systemd 用户会话"));
        m_badge->setSemantic(Danger);
    } else if (state == QLatin1String("active")) {
        m_badge->setText(tr("磁盘监控运行中"));
        m_badge->setSemantic(Success);
    } else if (m_config->enabled()) {
        m_badge->setText(tr("磁盘监控未启动，无法自动记录"));
        m_badge->setSemantic(Danger);
        needsStart = true;
    } else {
        m_badge->setText(tr("磁盘监控未开启"));
        m_badge->setSemantic(Muted);
    }
    m_badge->setAccessibleName(m_badge->text());
    m_startButton->setVisible(needsStart);
    updateHealth();
    settleLayout();
}

// ------------------------------------------------------------------ summary and series

void DiskUsagePage::updateSummary()
{
    const DiskPage::Summary s = DiskPage::summarize(m_from, m_to, m_records, QDate::currentDate());
    m_rangeLine->setText(s.rangeLine);
    m_netValue->setText(s.netValue);
    applySemantic(m_netValue, s.netSemantic);
    m_netCaption->setText(s.netCaption);
    m_avgValue->setText(s.avgValue);
    m_maxValue->setText(s.maxValue);
    applySemantic(m_maxValue, s.maxSemantic);
    m_maxDate->setText(s.maxDate);
    m_maxDate->setVisible(!s.maxDate.isEmpty());
    m_streak->setText(s.streak);
    m_forecastValue->setText(s.forecastValue);
    applySemantic(m_forecastValue, s.forecast);
    m_forecastCaption->setText(s.forecastCaption);
    updateForecastIcon(s.forecast);
}

void DiskUsagePage::updateForecastIcon(Semantic state)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    if (state == Warning)
        pixmap = themedIcon(QStringLiteral("warning"), QStyle::SP_MessageBoxWarning).pixmap(16, 16);
    else if (state == Accent)
        pixmap =
            themedIcon(QStringLiteral("dialog-information"), QStyle::SP_MessageBoxInformation).pixmap(16, 16);
    m_forecastIcon->setPixmap(pixmap);
}

void DiskUsagePage::rebuildSpikeSet()
{
    m_spikes = DiskPage::spikeDays(m_index, m_records, qint64(m_config->minAlertMB()) * 1048576);
}

void DiskUsagePage::updateTimelineSeries()
{
    m_chart->setLoading(false);
    if (m_followed.isEmpty()) {
        m_timelineCaption->setText(tr("当前显示：系统盘占用变化"));
        rebuildSpikeSet();
        m_chart->setSpikeDays(m_spikes);
        m_chart->setRecords(m_records);
        return;
    }
    const QList<DiskDayRecord> series = DiskPage::directorySeries(m_records, m_followed);
    m_chart->setSpikeDays({});
    if (series.isEmpty())
        m_timelineCaption->setText(tr("目录“%1”暂无逐日数据，请先开启监控或在该目录下钻").arg(m_followed));
    else
        m_timelineCaption->setText(tr("当前显示：目录 %1 的占用变化").arg(m_followed));
    m_chart->setRecords(series);
}

// ------------------------------------------------------------------ analysis and drill

void DiskUsagePage::setViewMode(DiskPage::ViewMode mode)
{
    m_viewMode = mode;
    if (QAbstractButton *b = m_viewButtons->button(int(mode)))
        b->setChecked(true);
    updateAnalysis();
}

void DiskUsagePage::updateAnalysis()
{
    DiskPage::AnalysisInput in;
    in.mode = m_viewMode;
    in.records = m_records;
    in.focused = m_focused;
    in.followed = m_followed;
    in.browsePath = m_browsePath;
    in.browseItems = m_browseItems;
    in.scannerBusy = m_scanner->isBusy();
    m_rows = DiskPage::analysisRows(in);

    m_table->clearContents();
    m_table->clearSpans();
    m_table->setRowCount(int(m_rows.size()));
    for (int r = 0; r < m_rows.size(); ++r) {
        const DiskPage::AnalysisRow &row = m_rows.at(r);
        auto *name = new QTableWidgetItem(row.label);
        name->setToolTip(row.label);
        name->setData(Qt::AccessibleTextRole, row.label);
        if (row.isDir && !row.path.isEmpty())
            name->setIcon(themedIcon(QStringLiteral("folder"), QStyle::SP_DirIcon));
        m_table->setItem(r, 0, name);
        if (row.message) {
            name->setForeground(semanticColor(Muted));
            m_table->setSpan(r, 0, 1, 4);
            // Cells under the span still reach assistive tools: they read the message too.
            for (int c = 1; c < 4; ++c) {
                auto *covered = new QTableWidgetItem;
                covered->setData(Qt::AccessibleTextRole, row.label);
                m_table->setItem(r, c, covered);
            }
            continue;
        }
        auto *size = new QTableWidgetItem(row.sizeText);
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(r, 1, size);
        auto *share = new QTableWidgetItem(DiskPage::shareText(row));
        share->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(r, 2, share);
        if (!row.path.isEmpty()) {
            auto *open = new QToolButton(m_table);
            open->setIcon(themedIcon(QStringLiteral("folder"), QStyle::SP_DirOpenIcon));
            open->setAutoRaise(true);
            open->setFixedSize(30, 30);
            open->setCursor(Qt::PointingHandCursor);
            open->setToolTip(tr("打开位置：%1").arg(row.path));
            open->setAccessibleName(tr("打开位置：%1").arg(row.path));
            open->setFocusPolicy(Qt::NoFocus);
            const QString path = row.path;
            connect(open, &QToolButton::clicked, this, [path] {
                QProcess::startDetached(QStringLiteral("gio"), {QStringLiteral("open"), path});
            });
            m_table->setCellWidget(r, 3, open);
        }
        m_table->setItem(r, 3, new QTableWidgetItem);
    }
    finalizeTableAccessible(m_table);
    // The last column holds only the open button: read its action, or that there is none.
    for (int r = 0; r < m_rows.size(); ++r) {
        if (m_rows.at(r).message)
            continue;
        const QString path = m_rows.at(r).path;
        if (QTableWidgetItem *cell = m_table->item(r, 3))
            cell->setData(Qt::AccessibleTextRole,
                          path.isEmpty() ? tr("无可打开的位置") : tr("打开位置：%1").arg(path));
    }
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
    m_scanner->useElevation = true;
    m_scanner->interactive = 1;
    if (!m_scanner->drillInto(r.path))
        return;
    m_scanIsDrill = true;
    showStatus(tr("正在读取 %1 的子目录…").arg(r.path));
}

void DiskUsagePage::onDrillPartition(const QString &path)
{
    if (m_scanner->isBusy())
        return;
    setViewMode(DiskPage::Ranking);
    m_scanner->useElevation = true;
    m_scanner->interactive = 1;
    if (!m_scanner->drillInto(path))
        return;
    m_scanIsDrill = true;
    showStatus(tr("正在读取 %1 的子目录…").arg(path));
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
        m_browseItems = m_records.isEmpty() ? QList<DiskItem>() : m_records.constLast().topLevel;
    }
    updateTimelineSeries();
    updateAnalysis();
}

void DiskUsagePage::onBackToSystemTimeline()
{
    m_followed.clear();
    m_browsePath.clear();
    m_browseStack.clear();
    m_browseItems = m_records.isEmpty() ? QList<DiskItem>() : m_records.constLast().topLevel;
    updateTimelineSeries();
    updateAnalysis();
}

void DiskUsagePage::updateContextBar()
{
    m_backButton->setEnabled(!m_browseStack.isEmpty() || !m_followed.isEmpty());
    const bool deep = !m_browseStack.isEmpty();
    m_pathLabel->setVisible(deep);
    m_pathLabel->setEnabled(deep);
    m_pathLabel->setText(m_browsePath);
    m_viewHint->setText(DiskPage::viewHintFor(m_viewMode));

    while (QLayoutItem *item = m_breadcrumbLayout->takeAt(0)) {
        if (QWidget *w = item->widget())
            w->deleteLater();
        delete item;
    }
    auto *root = new QToolButton(m_breadcrumb);
    root->setObjectName(QStringLiteral("tavrinDiskCrumbRoot"));
    root->setText(tr("系统盘"));
    root->setIcon(themedIcon(QStringLiteral("go-home"), QStyle::SP_DirHomeIcon));
    root->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    root->setAutoRaise(true);
    root->setAccessibleName(tr("返回系统盘"));
    root->setToolTip(tr("返回系统盘时间线与顶层目录"));
    connect(root, &QToolButton::clicked, this, &DiskUsagePage::onBackToSystemTimeline);
    m_breadcrumbLayout->addWidget(root);

    const QString shown = m_browsePath.isEmpty() ? m_followed : m_browsePath;
    const QStringList segments = shown.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // Deep paths keep their last four segments; the rest collapses into "…".
    const int first = qMax(0, int(segments.size()) - 4);
    if (first > 0)
        m_breadcrumbLayout->addWidget(makeLabel(QStringLiteral(" › …"), Small, Muted));
    for (int i = first; i < segments.size(); ++i) {
        m_breadcrumbLayout->addWidget(makeLabel(QStringLiteral("›"), Small, Muted));
        auto *b = new QToolButton(m_breadcrumb);
        b->setText(segments.at(i));
        b->setAutoRaise(true);
        const QString prefix = QLatin1Char('/') + segments.mid(0, i + 1).join(QLatin1Char('/'));
        b->setAccessibleName(tr("回到 %1").arg(prefix));
        if (i == segments.size() - 1) {
            b->setEnabled(false);
        } else {
            b->setToolTip(tr("回到 %1").arg(segments.at(i)));
            int depth = -1;
            for (int d = 0; d < m_browseStack.size(); ++d) {
                if (m_browseStack.at(d).path == prefix)
                    depth = d;
            }
            connect(b, &QToolButton::clicked, this, [this, depth, prefix] {
                if (depth >= 0) {
                    popBrowseTo(depth);
                } else if (!m_scanner->isBusy()) {
                    // A level never visited (a partition drilled directly): read it now.
                    m_scanner->useElevation = true;
                    m_scanner->interactive = 1;
                    if (m_scanner->drillInto(prefix)) {
                        m_scanIsDrill = true;
                        showStatus(tr("正在读取 %1 的子目录…").arg(prefix));
                    }
                }
            });
        }
        m_breadcrumbLayout->addWidget(b);
    }
}

// ------------------------------------------------------------------ partitions, snapshots, export

void DiskUsagePage::updatePartitions()
{
    runAsyncQuiet(
        [] { return QVariant::fromValue(Tavrin::DiskScanner::listOtherPartitions()); },
        [this](const QVariant &v) {
            m_partitions = v.value<QList<Tavrin::DiskMountInfo>>();
            QLayout *l = m_partitionsBox->layout();
            while (QLayoutItem *item = l->takeAt(0)) {
                if (QWidget *w = item->widget())
                    w->deleteLater();
                delete item;
            }
            if (m_partitions.isEmpty()) {
                l->addWidget(makeLabel(tr("未发现其他已挂载的分区"), Small, Muted));
                return;
            }
            for (const Tavrin::DiskMountInfo &p : std::as_const(m_partitions)) {
                auto *row = new QWidget(m_partitionsBox);
                auto *h = new QHBoxLayout(row);
                h->setContentsMargins(0, 0, 0, 0);
                h->setSpacing(10);
                auto *text = new QVBoxLayout;
                text->setSpacing(0);
                text->addWidget(makeLabel(p.mountPoint, Body, Normal));
                text->addWidget(makeLabel(QStringLiteral("%1 · %2").arg(p.device, p.fsType), Caption, Muted));
                h->addLayout(text, 2);
                auto *bar = new TavrinFlatProgress(row);
                bar->setRange(0, 1000);
                bar->setValue(p.total > 0 ? int(p.used * 1000 / p.total) : 0);
                bar->setTextVisible(false);
                bar->setAccessibleName(tr("%1 占用").arg(p.mountPoint));
                h->addWidget(bar, 2);
                h->addWidget(
                    makeLabel(tr("%1 / %2").arg(Tavrin::formatSize(p.used), Tavrin::formatSize(p.total)),
                              Small, Normal));
                QPushButton *drill = Ui::button(tr("分析"));
                drill->setAccessibleName(tr("分析 %1 的目录占用").arg(p.mountPoint));
                const QString mount = p.mountPoint;
                connect(drill, &QPushButton::clicked, this, [this, mount] { onDrillPartition(mount); });
                h->addWidget(drill);
                l->addWidget(row);
            }
        });
}

void DiskUsagePage::loadSnapshotMarks()
{
    runAsyncQuiet([] { return QVariant::fromValue(Tavrin::getSnapshots()); },
                  [this](const QVariant &v) {
                      QMap<QDate, QStringList> marks;
                      const auto snapshots = v.value<QList<Tavrin::SnapshotInfo>>();
                      for (const Tavrin::SnapshotInfo &s : snapshots) {
                          if (s.time > 0)
                              marks[QDateTime::fromSecsSinceEpoch(s.time).date()] << s.name;
                      }
                      m_chart->setSnapshotDays(marks);
                  });
}

void DiskUsagePage::exportCsv(const QString &path)
{
    const QByteArray csv = DiskPage::recordsCsv(m_records, m_spikes);
    const int rows = int(m_records.size());
    runAsyncQuiet(
        [path, csv] {
            QSaveFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                return QVariant(f.errorString());
            f.write("\xEF\xBB\xBF"); // spreadsheets take the file as UTF-8 only with the mark
            f.write(csv);
            return QVariant(f.commit() ? QString() : f.errorString());
        },
        [this, path, rows](const QVariant &v) {
            const QString error = v.toString();
            if (error.isEmpty())
                showStatus(tr("已导出 %1 天记录到 %2").arg(rows).arg(path));
            else
                showStatus(tr("导出失败：%1").arg(error), true);
        });
}

bool DiskUsagePage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_table->currentRow() >= 0) {
            onAnalysisCellDoubleClicked(m_table->currentRow(), 0);
            return true;
        }
        if (key->key() == Qt::Key_Space && m_table->currentRow() >= 0) {
            onAnalysisCellClicked(m_table->currentRow(), 0);
            return true;
        }
    }
    return BasePage::eventFilter(watched, event);
}
