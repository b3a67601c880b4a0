#pragma once

#include "basepage.h"

#include <QJsonObject>
#include <QList>
#include <QMap>

#include <functional>

class MainWindow;
class QComboBox;
class QScrollArea;
class QPushButton;
class QSpinBox;
class ZSwitchButton;

namespace TavrinUi {
class TavrinBadge;
class TavrinInlineBanner;
class TavrinLocalLoading;
class TavrinRow;
} // namespace TavrinUi

class PolicyPage : public BasePage
{
    Q_OBJECT

public:
    explicit PolicyPage(MainWindow *window);

    void refresh() override;
    QList<TavrinUi::SettingEntry> searchableSettings() const override;
    // Unsaved system parameters: save, discard or stay.
    bool confirmLeave(const std::function<void()> &leave) override;

    // The local preferences file.
    static QString configPath();
    // The preferences from the file's bytes: the defaults, overlaid with every member of a stored
    // object (unknown keys kept, so a later save writes them back).
    static QJsonObject preferencesFromBytes(const QByteArray &bytes);

private:
    struct SearchRow
    {
        QString group;
        TavrinUi::TavrinRow *row = nullptr;
    };

    void onLoaded(const QVariant &payload);
    void saveSysConfig();
    void setSysDirty();
    void clearSysDirty();
    void discardSysChanges();
    QJsonObject loadAppConfig();
    bool saveAppConfig(const QJsonObject &config);
    void storePreference(const QString &key, const QJsonValue &value);
    void showPreferences();
    void updatePruneRow();
    QMap<QString, QString> shownSysValues() const;
    void addSysRow(const QString &key, TavrinUi::TavrinRow *row);
    void showOverrides(const QVariantMap &overrides);
    TavrinUi::TavrinRow *addRow(QWidget *section, const QString &group, const QString &title,
                                const QString &description, QWidget *control, int minWidth);

    MainWindow *window = nullptr;
    QScrollArea *scroll = nullptr;
    TavrinUi::TavrinInlineBanner *banner = nullptr;
    TavrinUi::TavrinLocalLoading *loading = nullptr;
    TavrinUi::TavrinBadge *dirtyBadge = nullptr;
    QPushButton *saveButton = nullptr;
    ZSwitchButton *autoPruneSwitch = nullptr;
    ZSwitchButton *autoRollbackSwitch = nullptr;
    QSpinBox *maxSnapshotsSpin = nullptr;
    QSpinBox *maxDeploysSpin = nullptr;
    QSpinBox *thresholdSpin = nullptr;
    QComboBox *rbCleanCombo = nullptr;
    TavrinUi::TavrinRow *pruneRow = nullptr;
    QJsonObject appConfig;
    // The system values as last read, to send only what the user changed.
    QMap<QString, QString> loadedSys;
    QList<SearchRow> rows;
    // The rows of the control tool's keys, with their own descriptions, so a
    // note about a section that overrides the value can be added and removed.
    struct SysRow
    {
        QString key;
        TavrinUi::TavrinRow *row = nullptr;
        QString description;
    };
    QList<SysRow> sysRows;
    bool sysReadable = true;
    bool loadingValues = false;
    bool sysDirty = false;
    // One save at a time: a second click while the first runs does nothing.
    bool saving = false;
    // Runs once the save the user chose on leaving has succeeded.
    std::function<void()> afterSave;
};
