#include "diskpage/settingsdialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "backend/backend.h"
#include "disk/monitorconfig.h"
#include "diskpage/historymodel.h"
#include "diskpage/pagewidgets.h"
#include "ui/diskanalysis.h"
#include "ui/pageblocks.h"
#include "zcombobox.h"
#include "zdoublespinbox.h"
#include "zlabel.h"
#include "zlineedit.h"
#include "zspinbox.h"
#include "zswitchbutton.h"

using namespace TavrinUi;

namespace DiskPage {

namespace {

const int kBudgetsMB[] = {256, 512, 1024};

int budgetIndex(int mb)
{
    return mb <= 256 ? 0 : mb <= 512 ? 1 : 2;
}

TavrinRow *settingRow(QWidget *parent, const QString &title, const QString &desc, QWidget *control)
{
    auto *r = new TavrinRow(parent);
    r->setTitle(title);
    if (!desc.isEmpty())
        r->setDescription(desc);
    control->setAccessibleName(title);
    r->addControl(control, 140);
    return r;
}

} // namespace

SettingsDialog::SettingsDialog(Tavrin::MonitorConfig *config, HistoryModel *model, QWidget *parent)
    : ZDialog(parent), m_config(config), m_model(model)
{
    setTitle(Text::tr("磁盘空间设置"));
    setIcon(themedIcon(QStringLiteral("preferences-system"), QStyle::SP_FileDialogDetailedView));
    auto *body = new QWidget(this);
    body->setObjectName(QStringLiteral("tavrinDiskSettingsBody"));
    auto *l = new QVBoxLayout(body);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(10);

    m_saveError = namedLabel(QStringLiteral("tavrinDiskSettingsError"), QString(), Small, Danger);
    m_saveError->setWordWrap(true);
    m_saveError->setVisible(false);
    l->addWidget(m_saveError);

    auto *monitor = new TavrinSection(Text::tr("监控"), QString(), body);
    m_switch = new ZSwitchButton(monitor);
    m_switch->setObjectName(QStringLiteral("tavrinDiskMonitorSwitch"));
    m_switch->setChecked(m_config->enabled());
    connect(m_switch, &QAbstractButton::toggled, this, &SettingsDialog::monitorToggled);
    monitor->contentLayout()->addWidget(
        settingRow(monitor, Text::tr("启用磁盘监控"),
                   Text::tr("开启后立即建立基线，由后台服务每 15 分钟采样一次并自动告警"), m_switch));
    l->addWidget(monitor);

    auto *rules = new TavrinSection(Text::tr("告警规则"), QString(), body);
    auto *mode = new ZComboBox(rules);
    mode->setObjectName(QStringLiteral("tavrinDiskAlertMode"));
    mode->addItems({Text::tr("智能基线"), Text::tr("固定阈值")});
    mode->setCurrentIndex(m_config->alertMode() == QLatin1String("fixed") ? 1 : 0);
    auto *fixed = new ZSpinBox(rules);
    fixed->setObjectName(QStringLiteral("tavrinDiskFixedThreshold"));
    fixed->setRange(64, 102400);
    fixed->setSuffix(QLatin1Char(' ') + Text::tr("MB"));
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
    cooldown->setSuffix(QLatin1Char(' ') + Text::tr("小时"));
    cooldown->setValue(m_config->cooldownHours());
    auto *forecast = new ZSpinBox(rules);
    forecast->setObjectName(QStringLiteral("tavrinDiskForecastDays"));
    forecast->setRange(0, 3650);
    forecast->setSpecialValueText(Text::tr("关闭", "a setting turned off"));
    forecast->setSuffix(QLatin1Char(' ') + Text::tr("天"));
    forecast->setValue(m_config->forecastDays());
    auto syncMode = [fixed, multiplier, mode] {
        fixed->setEnabled(mode->currentIndex() == 1);
        multiplier->setEnabled(mode->currentIndex() == 0);
    };
    syncMode();
    connect(mode, &QComboBox::currentIndexChanged, this, [this, syncMode, mode](int index) {
        if (!save(QStringLiteral("monitor.alertMode"),
                  index == 1 ? QStringLiteral("fixed") : QStringLiteral("baseline"))) {
            const QSignalBlocker block(mode);
            mode->setCurrentIndex(m_config->alertMode() == QLatin1String("fixed") ? 1 : 0);
        }
        syncMode();
    });
    connect(fixed, &QSpinBox::valueChanged, this, [this, fixed](int v) {
        if (!save(QStringLiteral("monitor.fixedThresholdMB"), v)) {
            const QSignalBlocker block(fixed);
            fixed->setValue(m_config->fixedThresholdMB());
        }
    });
    connect(multiplier, &QDoubleSpinBox::valueChanged, this, [this, multiplier](double v) {
        if (!save(QStringLiteral("monitor.baselineMultiplier"), v)) {
            const QSignalBlocker block(multiplier);
            multiplier->setValue(m_config->baselineMultiplier());
        }
    });
    connect(cooldown, &QSpinBox::valueChanged, this, [this, cooldown](int v) {
        if (!save(QStringLiteral("monitor.cooldownHours"), v)) {
            const QSignalBlocker block(cooldown);
            cooldown->setValue(m_config->cooldownHours());
        }
    });
    connect(forecast, &QSpinBox::valueChanged, this, [this, forecast](int v) {
        if (!save(QStringLiteral("monitor.forecastDays"), v)) {
            const QSignalBlocker block(forecast);
            forecast->setValue(m_config->forecastDays());
        }
    });
    rules->contentLayout()->addWidget(settingRow(rules, Text::tr("告警模式"), QString(), mode));
    rules->contentLayout()->addWidget(
        settingRow(rules, Text::tr("固定阈值"), Text::tr("增长超过该值触发告警（固定阈值模式）"), fixed));
    rules->contentLayout()->addWidget(
        settingRow(rules, Text::tr("基线倍数"),
                   Text::tr("智能基线 = 近 7 天日均增长 × 该倍数，且不小于最小告警值"), multiplier));
    rules->contentLayout()->addWidget(
        settingRow(rules, Text::tr("告警冷却"), Text::tr("同一目录冷却期内只告警一次，避免刷屏"), cooldown));
    rules->contentLayout()->addWidget(
        settingRow(rules, Text::tr("写满预警"),
                   Text::tr("按近 14 天的增长预计系统盘在该天数内写满时提醒一次，0 为关闭"), forecast));
    l->addWidget(rules);

    auto *excludes = new TavrinSection(Text::tr("排除目录"), QString(), body);
    auto *input = new ZLineEdit(excludes);
    input->setObjectName(QStringLiteral("tavrinDiskExcludeInput"));
    input->setPlaceholderText(Text::tr("输入目录，如 /home/Test/Downloads"));
    input->setAccessibleName(Text::tr("要排除的目录"));
    QPushButton *add = namedButton(QStringLiteral("tavrinDiskExcludeAdd"), Text::tr("添加"));
    add->setAccessibleName(Text::tr("添加排除目录"));
    auto *list = new QListWidget(excludes);
    list->setObjectName(QStringLiteral("tavrinDiskExcludeList"));
    list->setAccessibleName(Text::tr("排除目录列表"));
    list->setMaximumHeight(110);
    list->addItems(m_config->excludes());
    QPushButton *remove = namedButton(QStringLiteral("tavrinDiskExcludeRemove"), Text::tr("移除选中"));
    remove->setAccessibleName(Text::tr("移除选中的排除目录"));
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(input, 1);
    addRow->addWidget(add);
    excludes->contentLayout()->addLayout(addRow);
    excludes->contentLayout()->addWidget(list);
    excludes->contentLayout()->addWidget(remove, 0, Qt::AlignRight);
    auto saveList = [this, list] {
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
    connect(add, &QPushButton::clicked, this, addEntry);
    connect(input, &QLineEdit::returnPressed, this, addEntry);
    connect(remove, &QPushButton::clicked, this, [list, saveList] {
        const auto selected = list->selectedItems();
        if (selected.isEmpty())
            return;
        delete list->takeItem(list->row(selected.constFirst()));
        saveList();
    });
    l->addWidget(excludes);

    auto *storage = new TavrinSection(Text::tr("数据存储"), QString(), body);
    auto *retention = new ZSpinBox(storage);
    retention->setObjectName(QStringLiteral("tavrinDiskRetention"));
    retention->setRange(90, 730);
    retention->setValue(m_config->retentionDays());
    auto *budget = new ZComboBox(storage);
    budget->setObjectName(QStringLiteral("tavrinDiskBudget"));
    budget->addItems({QStringLiteral("256 MB"), QStringLiteral("512 MB"), QStringLiteral("1024 MB")});
    budget->setCurrentIndex(budgetIndex(m_config->storageBudgetMB()));
    m_usage = namedLabel(QStringLiteral("tavrinDiskStorageUsage"), QString(), Body, Normal);
    showUsage(budget->currentIndex());
    connect(retention, &QSpinBox::valueChanged, this, [this, retention](int v) {
        if (!save(QStringLiteral("monitor.retentionDays"), v)) {
            const QSignalBlocker block(retention);
            retention->setValue(m_config->retentionDays());
        }
        emit storageChanged();
    });
    connect(budget, &QComboBox::currentIndexChanged, this, [this, budget](int index) {
        if (!save(QStringLiteral("monitor.storageBudgetMB"), kBudgetsMB[qBound(0, index, 2)])) {
            const QSignalBlocker block(budget);
            budget->setCurrentIndex(budgetIndex(m_config->storageBudgetMB()));
        }
        emit storageChanged();
        showUsage(budget->currentIndex());
    });
    storage->contentLayout()->addWidget(settingRow(storage, Text::tr("保留天数"), QString(), retention));
    storage->contentLayout()->addWidget(settingRow(
        storage, Text::tr("存储预算"), Text::tr("历史数据本地占用上限，超出预算自动降级保存"), budget));
    storage->contentLayout()->addWidget(settingRow(storage, Text::tr("当前占用"), QString(), m_usage));
    l->addWidget(storage);

    auto *manage = new TavrinSection(Text::tr("数据管理"), QString(), body);
    QPushButton *clear = Ui::button(Text::tr("清除全部监控数据"), false, true);
    clear->setObjectName(QStringLiteral("tavrinDiskClearHistory"));
    clear->setAccessibleName(Text::tr("清除全部监控数据"));
    connect(clear, &QPushButton::clicked, this, [this] {
        accept();
        emit clearRequested();
    });
    manage->contentLayout()->addWidget(clear, 0, Qt::AlignLeft);
    l->addWidget(manage);

    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    // A frame, not a Tab stop: the focus goes to the rows' controls.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setWidget(body);
    // Wide enough for the rows' controls where the screen allows; on a narrower screen (or with
    // large fonts) they stay reachable by scrolling rather than cut off.
    int wanted = body->minimumSizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() + 2;
    if (const QScreen *screen = parent ? parent->screen() : nullptr)
        wanted = std::min(wanted, screen->availableGeometry().width() * 2 / 3 - 64);
    scroll->setMinimumSize(std::max(560, wanted), 420);
    addContent(scroll);
    addButton(Text::tr("关闭"), true);
}

bool SettingsDialog::save(const QString &key, const QVariant &value)
{
    if (m_config->setValue(key, value))
        return true;
    m_saveError->setText(Text::tr("无法保存设置（配置目录不可写或磁盘已满），此项更改未生效"));
    m_saveError->setVisible(true);
    return false;
}

void SettingsDialog::showUsage(int index)
{
    const qint64 bytes = qint64(kBudgetsMB[qBound(0, index, 2)]) * 1048576;
    // The size of the history directory is read off the GUI thread; the label fills in when known.
    QPointer<ZLabel> label(m_usage);
    m_model->run(
        this, [store = m_model->store()] { return QVariant(store->storageBytes()); },
        [label, bytes](const QVariant &v) {
            if (label)
                label->setText(QStringLiteral("%1 / %2").arg(Tavrin::formatSize(v.toLongLong()),
                                                             Tavrin::formatSize(bytes)));
        });
}

} // namespace DiskPage
