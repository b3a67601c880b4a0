#include "disk/monitorconfig.h"

#include "zconfig.h"

#include <QStandardPaths>
#include <QtDebug>

namespace Tavrin {

namespace {
QString settingsKey(QString key)
{
    return key.replace(QLatin1Char('.'), QLatin1Char('/'));
}
} // namespace

MonitorConfig::MonitorConfig()
    : settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("zarnex"),
               QStringLiteral("tavrin-manager"))
{
    zconfig = ZConfig::create(configId(), configId());
    if (zconfig && !zconfig->isValid()) {
        delete zconfig;
        zconfig = nullptr;
    }
    const QString force = qEnvironmentVariable("TAVRIN_CONFIG_QSETTINGS").trimmed();
    forceSettings =
        force == QLatin1String("1") || force.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    if (!zconfig && !forceSettings) {
        qWarning().noquote() << QStringLiteral(
                                    "[MonitorConfig] ZConfig 不可用（schema 未安装或后端不可达），") +
                                    QStringLiteral("降级到 QSettings：") +
                                    QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) +
                                    QStringLiteral("/zarnex/tavrin-manager.conf");
    }
}

MonitorConfig::~MonitorConfig()
{
    delete zconfig;
}

QString MonitorConfig::configId()
{
    return QStringLiteral("org.zarnex.tavrin-manager");
}

bool MonitorConfig::usingZConfig() const
{
    return zconfig && !forceSettings;
}

QVariant MonitorConfig::get(const QString &key, const QVariant &fallback) const
{
    if (usingZConfig())
        return zconfig->value(key, fallback);
    // Another process (the page or the monitor) may have written since this object was made.
    settings.sync();
    return settings.value(settingsKey(key), fallback);
}

bool MonitorConfig::setValue(const QString &key, const QVariant &value)
{
    if (zconfig)
        zconfig->setValue(key, value);
    const QString settingsName = settingsKey(key);
    settings.sync();
    const QVariant previous = settings.value(settingsName);
    settings.setValue(settingsName, value);
    settings.sync();
    const bool settingsSaved = settings.status() == QSettings::NoError;
    if (!settingsSaved) {
        // QSettings keeps a change it could not write and would answer with it: put back what
        // the file holds, so this process reads what the monitor reads.
        if (previous.isValid())
            settings.setValue(settingsName, previous);
        else
            settings.remove(settingsName);
    }
    // What counts is the store the monitor reads from.
    const bool saved = usingZConfig() ? zconfig->lastSaveOk() : settingsSaved;
    if (!saved)
        qWarning("[MonitorConfig] cannot save %s", qPrintable(key));
    return saved;
}

bool MonitorConfig::enabled() const
{
    return get(QStringLiteral("monitor.enabled"), false).toBool();
}

bool MonitorConfig::setEnabled(bool on)
{
    return setValue(QStringLiteral("monitor.enabled"), on);
}

int MonitorConfig::pollMinutes() const
{
    return get(QStringLiteral("monitor.pollMinutes"), 15).toInt();
}

int MonitorConfig::baselineDays() const
{
    return get(QStringLiteral("monitor.baselineDays"), 7).toInt();
}

QString MonitorConfig::alertMode() const
{
    return get(QStringLiteral("monitor.alertMode"), QStringLiteral("baseline")).toString();
}

int MonitorConfig::fixedThresholdMB() const
{
    return get(QStringLiteral("monitor.fixedThresholdMB"), 1024).toInt();
}

double MonitorConfig::baselineMultiplier() const
{
    return get(QStringLiteral("monitor.baselineMultiplier"), 3.0).toDouble();
}

int MonitorConfig::minAlertMB() const
{
    return get(QStringLiteral("monitor.minAlertMB"), 512).toInt();
}

int MonitorConfig::cooldownHours() const
{
    return get(QStringLiteral("monitor.cooldownHours"), 6).toInt();
}

int MonitorConfig::forecastDays() const
{
    // A negative or absurd value turns the forecast off rather than notifying for ever.
    const int days = get(QStringLiteral("monitor.forecastDays"), 7).toInt();
    return days < 0 || days > 3650 ? 0 : days;
}

QString MonitorConfig::quietStart() const
{
    return get(QStringLiteral("monitor.quietStart"), QStringLiteral("23:00")).toString();
}

QString MonitorConfig::quietEnd() const
{
    return get(QStringLiteral("monitor.quietEnd"), QStringLiteral("07:00")).toString();
}

int MonitorConfig::retentionDays() const
{
    return get(QStringLiteral("monitor.retentionDays"), 400).toInt();
}

int MonitorConfig::storageBudgetMB() const
{
    return get(QStringLiteral("monitor.storageBudgetMB"), 512).toInt();
}

int MonitorConfig::samplesRetentionDays() const
{
    return get(QStringLiteral("monitor.samplesRetentionDays"), 90).toInt();
}

int MonitorConfig::memoryCacheDays() const
{
    return get(QStringLiteral("monitor.memoryCacheDays"), 90).toInt();
}

QString MonitorConfig::snoozeUntil() const
{
    return get(QStringLiteral("monitor.snoozeUntil"), QString()).toString();
}

void MonitorConfig::setSnoozeUntil(const QString &value)
{
    setValue(QStringLiteral("monitor.snoozeUntil"), value);
}

QStringList MonitorConfig::excludes() const
{
    return get(QStringLiteral("monitor.excludes"), QStringList()).toStringList();
}

QString MonitorConfig::metricsDirectory() const
{
    return get(QStringLiteral("monitor.metricsDirectory"), QString()).toString().trimmed();
}

} // namespace Tavrin
