#pragma once

#include "basepage.h"

#include <QJsonObject>
#include <QList>
#include <QMap>

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
    QJsonObject loadAppConfig();
    bool saveAppConfig(const QJsonObject &config);
    void storePreference(const QString &key, const QJsonValue &value);
    void showPreferences();
    void updatePruneRow();
    QMap<QString, QString> shownSysValues() const;
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
    bool loadingValues = false;
    bool sysDirty = false;
    // One save at a time: a second click while the first runs does nothing.
    bool saving = false;
};
