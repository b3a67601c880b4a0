#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

class ZConfig;

namespace Tavrin {

/// The disk monitor's settings: the toolkit's configuration service when available (and not
/// overridden by TAVRIN_CONFIG_QSETTINGS), else the settings file "zarnex/tavrin-manager.conf".
/// Every getter reads the store anew; writes go to both stores.
class MonitorConfig
{
public:
    MonitorConfig();
    ~MonitorConfig();
    MonitorConfig(const MonitorConfig &) = delete;
    MonitorConfig &operator=(const MonitorConfig &) = delete;

    /// Application id and configuration name of the service's description.
    static QString configId();

    bool usingZConfig() const;
    QVariant get(const QString &key, const QVariant &fallback) const;
    /// Stores `key`; false when the store the monitor reads could not be written (a read-only or
    /// full configuration directory), the stored file then staying as it was.
    bool setValue(const QString &key, const QVariant &value);

    bool enabled() const;
    bool setEnabled(bool on);
    int pollMinutes() const;
    int baselineDays() const;
    QString alertMode() const;
    int fixedThresholdMB() const;
    double baselineMultiplier() const;
    int minAlertMB() const;
    int cooldownHours() const;
    /// "monitor.forecastDays": notify when the disk is forecast full within this many days; 0 is off.
    int forecastDays() const;
    QString quietStart() const;
    QString quietEnd() const;
    int retentionDays() const;
    int storageBudgetMB() const;
    int samplesRetentionDays() const;
    int memoryCacheDays() const;
    QString snoozeUntil() const;
    void setSnoozeUntil(const QString &value);
    QStringList excludes() const;
    /// "monitor.metricsDirectory": where each cycle leaves "tavrin-manager.prom" for
    /// node_exporter's textfile collector; empty (the default) writes nothing.
    QString metricsDirectory() const;

private:
    ZConfig *zconfig = nullptr;
    bool forceSettings = false;
    mutable QSettings settings;
};

} // namespace Tavrin
