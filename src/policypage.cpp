#include "policypage.h"

#include "backend/backend.h"
#include "mainwindow.h"
#include "scrollpage.h"
#include "ui/components.h"
#include "ui/leavedialog.h"
#include "ui/pageblocks.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <utility>

#include "zcombobox.h"
#include "zlabel.h"
#include "zspinbox.h"
#include "zswitchbutton.h"

namespace {

const QString kAutoRollback = QStringLiteral("auto-rollback-on-failure");
const QString kMaxDeploys = QStringLiteral("max-backup-deploys");
const QString kThreshold = QStringLiteral("auto-refresh-size-threshold");
const QString kMaxSnapshots = QStringLiteral("max_snapshots");
const QString kAutoPrune = QStringLiteral("auto_prune");
const QString kRbAutoClean = QStringLiteral("rb_auto_clean");
const QString kReboot3 = QStringLiteral("reboot3");
constexpr qint64 kMaxPreferencesBytes = 1024 * 1024;
const QString kConfFile = QStringLiteral("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf");

int intOr(const QString &text, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}

ZSwitchButton *makeSwitch(const QString &accessible)
{
    auto *s = new ZSwitchButton;
    s->setCheckable(true);
    s->setFocusPolicy(Qt::StrongFocus);
    s->setAccessibleName(accessible);
    return s;
}

QSpinBox *makeSpin(int low, int high, const QString &suffix, const QString &accessible)
{
    auto *spin = new ZSpinBox;
    spin->setRange(low, high);
    spin->setSuffix(suffix);
    spin->setAccessibleName(accessible);
    spin->setKeyboardTracking(false);
    return spin;
}

} // namespace

QString PolicyPage::configPath()
{
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + QStringLiteral("/tavrin-manager");
    QDir().mkpath(dir);
    return dir + QStringLiteral("/config.json");
}

PolicyPage::PolicyPage(MainWindow *window) : BasePage(window), window(window)
{
    useLoadingMask = false;

    const ScrollPage frame = buildScrollPage(this, 16);
    scroll = frame.scroll;
    QWidget *content = frame.content;
    QVBoxLayout *layout = frame.layout;
    layout->addWidget(Ui::pageHeader(tr("策略与设置"), tr("备份保留策略与Tavrin系统参数"),
                                     QStringLiteral("preferences-system")));

    banner = new TavrinUi::TavrinInlineBanner(content);
    banner->setVisible(false);
    feedbackBanner = banner;
    layout->addWidget(banner);

    loading = new TavrinUi::TavrinLocalLoading(tr("正在读取配置..."), content);
    loading->stop();
    layout->addWidget(loading);

    const QString backupGroup = tr("备份保留");
    auto *backup = new TavrinUi::TavrinSection(
        backupGroup,
        tr("系统升级会自动创建备份（系统内置，不可关闭）。以下策略控制备份保留与清理，避免无限累积。"),
        content);
    backup->addHeaderWidget(new TavrinUi::TavrinBadge(tr("即时生效"), TavrinUi::Muted, backup));
    maxSnapshotsSpin = makeSpin(0, 99, QLatin1Char(' ') + tr("个"), tr("备份数量上限"));
    addRow(backup, backupGroup, tr("备份数量上限"), tr("0 表示不限；超出后按清理策略处理"), maxSnapshotsSpin,
           120);
    autoPruneSwitch = makeSwitch(tr("超限自动清理"));
    pruneRow = addRow(backup, backupGroup, tr("超限自动清理"), QString(), autoPruneSwitch, -1);
    layout->addWidget(backup);

    const QString updateGroup = tr("更新与回滚");
    auto *update =
        new TavrinUi::TavrinSection(updateGroup, tr("以下策略控制系统升级失败时的回滚与清理流程。"), content);
    update->addHeaderWidget(new TavrinUi::TavrinBadge(tr("即时生效"), TavrinUi::Muted, update));
    rbCleanCombo = new ZComboBox;
    rbCleanCombo->addItems({tr("手动清理（默认）"), tr("重启 3 次正常后自动清理")});
    rbCleanCombo->setAccessibleName(tr("回滚前备份清理"));
    addRow(update, updateGroup, tr("回滚前备份清理"),
           tr("还原前自动创建回滚前备份；回滚成功后按所选方式清理"), rbCleanCombo, 180);
    layout->addWidget(update);

    // Everything the control tool reads sits under the save button: only the
    // local preferences above take effect at once.
    const QString sysGroup = tr("Tavrin系统参数");
    auto *sys = new TavrinUi::TavrinSection(
        sysGroup, tr("以下参数写入系统配置文件，需管理员权限；修改后点击「保存系统参数」生效。"), content);
    dirtyBadge = new TavrinUi::TavrinBadge(tr("有未保存修改"), TavrinUi::Warning, sys);
    dirtyBadge->setObjectName(QStringLiteral("tavrinDirtyBadge"));
    dirtyBadge->setVisible(false);
    sys->addHeaderWidget(dirtyBadge);
    QPushButton *save = saveButton = Ui::button(tr("保存系统参数"), true);
    save->setAutoDefault(false);
    save->setFocusPolicy(Qt::StrongFocus);
    save->setAccessibleName(tr("保存系统参数"));
    sys->addHeaderWidget(save);
    autoRollbackSwitch = makeSwitch(tr("升级失败自动回滚"));
    autoRollbackSwitch->setChecked(true);
    addSysRow(kAutoRollback, addRow(sys, sysGroup, tr("升级失败自动回滚"),
                                    tr("失败时回滚到升级前状态，避免系统无法启动"), autoRollbackSwitch, -1));
    maxDeploysSpin = makeSpin(0, 9, QLatin1Char(' ') + tr("个"), tr("保留旧部署数"));
    maxDeploysSpin->setValue(1);
    addSysRow(kMaxDeploys, addRow(sys, sysGroup, tr("保留旧部署数"),
                                  tr("升级/回滚时保留的旧系统部署数量（默认 1，新备份自动覆盖旧备份）"),
                                  maxDeploysSpin, 100));
    thresholdSpin = makeSpin(50, 2000, QStringLiteral(" MiB"), tr("自动刷新阈值"));
    thresholdSpin->setValue(200);
    addSysRow(kThreshold,
              addRow(sys, sysGroup, tr("自动刷新阈值"),
                     tr("修改层超过该阈值时自动刷新合并到系统层；建议 200–1000 MiB"), thresholdSpin, 110));
    auto *path = new Ui::ElidedLabel(kConfFile);
    TavrinUi::bindTextLevel(path, TavrinUi::Caption);
    TavrinUi::applySemantic(path, TavrinUi::Muted);
    path->setAccessibleName(kConfFile);
    addRow(sys, sysGroup, tr("配置文件"), tr("保存系统参数的目标文件"), path, -1);
    layout->addWidget(sys);
    layout->addStretch(1);
    scroll->setWidget(content);

    appConfig = loadAppConfig();
    showPreferences();

    connect(maxSnapshotsSpin, &QSpinBox::valueChanged, this, [this](int value) {
        updatePruneRow();
        if (!loadingValues)
            storePreference(kMaxSnapshots, value);
    });
    connect(autoPruneSwitch, &QAbstractButton::toggled, this, [this](bool on) {
        if (!loadingValues)
            storePreference(kAutoPrune, on);
    });
    connect(rbCleanCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        storePreference(kRbAutoClean, index == 1 ? kReboot3 : QStringLiteral("manual"));
    });
    connect(autoRollbackSwitch, &QAbstractButton::toggled, this, &PolicyPage::setSysDirty);
    connect(maxDeploysSpin, &QSpinBox::valueChanged, this, &PolicyPage::setSysDirty);
    connect(thresholdSpin, &QSpinBox::valueChanged, this, &PolicyPage::setSysDirty);
    connect(save, &QPushButton::clicked, this, &PolicyPage::saveSysConfig);
}

TavrinUi::TavrinRow *PolicyPage::addRow(QWidget *section, const QString &group, const QString &title,
                                        const QString &description, QWidget *control, int minWidth)
{
    auto *row = new TavrinUi::TavrinRow(section);
    row->setTitle(title);
    row->setDescription(description);
    row->addControl(control, minWidth);
    static_cast<TavrinUi::TavrinSection *>(section)->contentLayout()->addWidget(row);
    registerSearchTarget(title, row, scroll);
    rows.append({group, row});
    return row;
}

QJsonObject PolicyPage::preferencesFromBytes(const QByteArray &bytes)
{
    QJsonObject config{{kMaxSnapshots, 0}, {kAutoPrune, true}, {kRbAutoClean, QStringLiteral("manual")}};
    const QJsonObject stored = QJsonDocument::fromJson(bytes).object();
    for (auto it = stored.constBegin(); it != stored.constEnd(); ++it)
        config.insert(it.key(), it.value());
    return config;
}

QJsonObject PolicyPage::loadAppConfig()
{
    // Three settings never take a megabyte; a larger file, or anything but a regular file (opening
    // a FIFO blocks), is not ours to read on the GUI thread.
    const QFileInfo info(configPath());
    QFile file(configPath());
    if (!info.isFile() || info.size() > kMaxPreferencesBytes || !file.open(QIODevice::ReadOnly))
        return preferencesFromBytes(QByteArray());
    return preferencesFromBytes(file.readAll());
}

bool PolicyPage::saveAppConfig(const QJsonObject &config)
{
    // Replaced as a whole: a crash or a full disk never leaves half a file.
    QSaveFile file(configPath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(config).toJson(QJsonDocument::Indented));
    return file.commit();
}

void PolicyPage::storePreference(const QString &key, const QJsonValue &value)
{
    if (loadingValues && key != kRbAutoClean)
        return;
    QJsonObject next = appConfig;
    next.insert(key, value);
    if (next == appConfig)
        return;
    if (saveAppConfig(next)) {
        appConfig = next;
        return;
    }
    // The controls go back to what is really stored.
    banner->setDetails(QString(), QString());
    banner->setSemantic(TavrinUi::Danger);
    banner->setClosable(true);
    banner->setText(tr("偏好设置未能保存到 %1，已恢复为保存的值。").arg(configPath()));
    appConfig = loadAppConfig();
    showPreferences();
}

void PolicyPage::showPreferences()
{
    const bool wasLoading = loadingValues;
    loadingValues = true;
    {
        const QSignalBlocker a(maxSnapshotsSpin);
        const QSignalBlocker b(autoPruneSwitch);
        const QSignalBlocker c(rbCleanCombo);
        const QJsonValue limit = appConfig.value(kMaxSnapshots);
        maxSnapshotsSpin->setValue(limit.isDouble() ? limit.toInt() : 0);
        const QJsonValue prune = appConfig.value(kAutoPrune);
        autoPruneSwitch->setChecked(prune.isBool() ? prune.toBool() : true);
        rbCleanCombo->setCurrentIndex(appConfig.value(kRbAutoClean).toString() == kReboot3 ? 1 : 0);
    }
    updatePruneRow();
    loadingValues = wasLoading;
}

void PolicyPage::updatePruneRow()
{
    const bool limited = maxSnapshotsSpin->value() > 0;
    autoPruneSwitch->setEnabled(limited);
    pruneRow->setDescription(limited ? tr("仅删除最旧普通备份；初始备份永不删除")
                                     : tr("上限为不限时无需自动清理"));
}

void PolicyPage::addSysRow(const QString &key, TavrinUi::TavrinRow *row)
{
    sysRows.append({key, row, row->description()});
}

void PolicyPage::refresh()
{
    // Edits not saved yet stay on screen; leaving the page asks about them.
    if (sysDirty || saving)
        return;
    loading->setText(tr("正在读取配置..."));
    loading->start();
    runAsync(
        [] {
            const Tavrin::CtlConfigRead read = Tavrin::readCtlConfig();
            QVariantMap global;
            for (auto it = read.global.cbegin(); it != read.global.cend(); ++it)
                global.insert(it.key(), it.value());
            // Key -> {section, value} of a later section that wins over "[global]".
            QVariantMap overrides;
            for (const QString &key : {kAutoRollback, kMaxDeploys, kThreshold}) {
                if (const Tavrin::CtlConfigEntry *entry = read.overrideOf(key))
                    overrides.insert(key, QStringList{entry->section, entry->value});
            }
            QVariantMap payload;
            payload.insert(QStringLiteral("ok"), read.ok);
            payload.insert(QStringLiteral("error"), read.error);
            payload.insert(QStringLiteral("cfg"), global);
            payload.insert(QStringLiteral("overrides"), overrides);
            payload.insert(QStringLiteral("state"), QVariant::fromValue(Tavrin::getRollbackState()));
            return QVariant(payload);
        },
        [this](const QVariant &payload) {
            loading->stop();
            onLoaded(payload);
        });
}

void PolicyPage::onLoaded(const QVariant &payload)
{
    const QVariantMap map = payload.toMap();
    const QVariantMap cfg = map.value(QStringLiteral("cfg")).toMap();
    const bool readable = map.value(QStringLiteral("ok")).toBool();
    loadingValues = true;
    autoRollbackSwitch->setChecked(cfg.value(kAutoRollback).toString().trimmed().toLower() !=
                                   QLatin1String("false"));
    maxDeploysSpin->setValue(intOr(cfg.value(kMaxDeploys).toString(), 1));
    thresholdSpin->setValue(intOr(cfg.value(kThreshold).toString(), 200));
    const auto state = map.value(QStringLiteral("state")).value<Tavrin::RollbackState>();
    if (state.valid && state.strategy == kReboot3)
        rbCleanCombo->setCurrentIndex(1);
    loadedSys = shownSysValues();
    loadingValues = false;
    clearSysDirty();
    showOverrides(map.value(QStringLiteral("overrides")).toMap());

    // Defaults shown for a file that could not be read are no values at all:
    // nothing can be edited or saved until it reads again.
    for (QWidget *control :
         std::initializer_list<QWidget *>{autoRollbackSwitch, maxDeploysSpin, thresholdSpin})
        control->setEnabled(readable);
    saveButton->setEnabled(readable);
    sysReadable = readable;
    if (!readable) {
        banner->setDetails(QString(), QString());
        banner->setSemantic(TavrinUi::Danger);
        banner->setClosable(true);
        banner->setText(
            tr("无法读取系统参数，未显示任何值: %1").arg(map.value(QStringLiteral("error")).toString()));
    }
}

void PolicyPage::showOverrides(const QVariantMap &overrides)
{
    for (const SysRow &r : std::as_const(sysRows)) {
        const QStringList entry = overrides.value(r.key).toStringList();
        if (entry.size() != 2) {
            r.row->setDescription(r.description);
            r.row->setToolTip(QString());
            continue;
        }
        const QString section = entry.at(0).isEmpty() ? tr("（首个段之前）") : entry.at(0);
        const QString note = tr("配置文件的 %1 中另有 %2=%3，它覆盖此处 [global] 的值：系统实际使用 %3。")
                                 .arg(section, r.key, entry.at(1));
        r.row->setDescription(r.description + QLatin1Char('\n') + note);
        r.row->setToolTip(note);
    }
}

QMap<QString, QString> PolicyPage::shownSysValues() const
{
    return {
        {kAutoRollback, autoRollbackSwitch->isChecked() ? QStringLiteral("true") : QStringLiteral("false")},
        {kMaxDeploys, QString::number(maxDeploysSpin->value())},
        {kThreshold, QString::number(thresholdSpin->value())}};
}

void PolicyPage::setSysDirty()
{
    if (loadingValues)
        return;
    sysDirty = true;
    dirtyBadge->setVisible(true);
}

void PolicyPage::clearSysDirty()
{
    sysDirty = false;
    dirtyBadge->setVisible(false);
}

void PolicyPage::saveSysConfig()
{
    // Values the file could not give are not the user's to write back.
    if (saving || !sysReadable)
        return;
    // Only what the user changed: a value the file holds in a form the page
    // cannot show (out of range, not a number) is left as it is.
    QMap<QString, QString> changed;
    const QMap<QString, QString> shown = shownSysValues();
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        if (loadedSys.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    if (changed.isEmpty()) {
        clearSysDirty();
        showFeedback(TavrinUi::Success, tr("系统参数没有修改，无需保存"), true);
        if (const std::function<void()> leave = std::exchange(afterSave, nullptr))
            leave();
        return;
    }

    loading->setText(tr("正在保存系统参数..."));
    loading->start();
    saving = true;
    saveButton->setEnabled(false);
    runAsync(
        [changed] {
            const Tavrin::CommandResult r = Tavrin::setCtlConfig(changed);
            QVariantMap result;
            result.insert(QStringLiteral("ok"), r.ok);
            result.insert(QStringLiteral("msg"), r.error);
            result.insert(QStringLiteral("child"), r.runningChild);
            return QVariant(result);
        },
        [this, changed](const QVariant &value) {
            const QVariantMap result = value.toMap();
            if (holdWhileChildRuns(result, [this] {
                    afterSave = nullptr;
                    saving = false;
                    saveButton->setEnabled(true);
                    loading->stop();
                    refresh();
                }))
                return;
            saving = false;
            saveButton->setEnabled(true);
            loading->stop();
            banner->setDetails(QString(), QString());
            if (result.value(QStringLiteral("ok")).toBool()) {
                for (auto it = changed.cbegin(); it != changed.cend(); ++it)
                    loadedSys.insert(it.key(), it.value());
                clearSysDirty();
                banner->setSemantic(TavrinUi::Success);
                banner->setClosable(true);
                banner->setText(tr("系统参数已保存"));
                banner->autoDismiss(3000);
                // Read back: a section that overrides a saved value is still named.
                refresh();
                if (const std::function<void()> leave = std::exchange(afterSave, nullptr))
                    leave();
            } else {
                // A failed save keeps the page and its edits in view.
                afterSave = nullptr;
                banner->setSemantic(TavrinUi::Danger);
                banner->setClosable(true);
                banner->setText(
                    tr("保存失败: %1")
                        .arg(Tavrin::friendlyExecError(result.value(QStringLiteral("msg")).toString())));
            }
        });
}

bool PolicyPage::confirmLeave(const std::function<void()> &leave)
{
    if (!sysDirty)
        return true;
    const TavrinUi::LeaveChoice choice = TavrinUi::askSaveBeforeLeaving(
        this, tr("系统参数未保存"), tr("Tavrin系统参数有未保存的修改，离开前是否保存？"));
    switch (choice) {
    case TavrinUi::LeaveChoice::Save:
        // The page is left once the save has succeeded.
        afterSave = leave;
        saveSysConfig();
        return false;
    case TavrinUi::LeaveChoice::Discard:
        discardSysChanges();
        return true;
    case TavrinUi::LeaveChoice::Stay:
        break;
    }
    return false;
}

void PolicyPage::discardSysChanges()
{
    loadingValues = true;
    autoRollbackSwitch->setChecked(loadedSys.value(kAutoRollback) != QLatin1String("false"));
    maxDeploysSpin->setValue(intOr(loadedSys.value(kMaxDeploys), 1));
    thresholdSpin->setValue(intOr(loadedSys.value(kThreshold), 200));
    loadingValues = false;
    clearSysDirty();
}

QList<TavrinUi::SettingEntry> PolicyPage::searchableSettings() const
{
    QList<TavrinUi::SettingEntry> entries;
    for (const SearchRow &r : rows) {
        TavrinUi::SettingEntry entry;
        entry.page = int(PageId::Policy);
        entry.group = r.group;
        entry.title = r.row->title();
        entry.description = r.row->description();
        entry.key = entry.title;
        entries.append(entry);
    }
    return entries;
}
