#include "disk/monitorconfig.h"

#include "diskfixture.h"
#include "testsupport.h"

#include "zconfig.h"

#include <QSettings>
#include <QStandardPaths>

using namespace Tavrin;

namespace {

QString descriptionTarget()
{
    return qEnvironmentVariable("XDG_DATA_HOME") +
           "/zentk/configs/org.zarnex.tavrin-manager/org.zarnex.tavrin-manager.json";
}

void installDescription()
{
    QDir().mkpath(QFileInfo(descriptionTarget()).path());
    QFile::remove(descriptionTarget());
    QVERIFY(QFile::copy(Tavrin::Test::sourcePath("data/config/org.zarnex.tavrin-manager.json"),
                        descriptionTarget()));
}

QString settingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/zarnex/tavrin-manager.conf";
}

void checkDefaults(const MonitorConfig &c)
{
    QCOMPARE(c.enabled(), false);
    QCOMPARE(c.pollMinutes(), 15);
    QCOMPARE(c.baselineDays(), 7);
    QCOMPARE(c.alertMode(), QString("baseline"));
    QCOMPARE(c.fixedThresholdMB(), 1024);
    QCOMPARE(c.baselineMultiplier(), 3.0);
    QCOMPARE(c.minAlertMB(), 512);
    QCOMPARE(c.cooldownHours(), 6);
    QCOMPARE(c.quietStart(), QString("23:00"));
    QCOMPARE(c.quietEnd(), QString("07:00"));
    QCOMPARE(c.retentionDays(), 400);
    QCOMPARE(c.storageBudgetMB(), 512);
    QCOMPARE(c.samplesRetentionDays(), 90);
    QCOMPARE(c.memoryCacheDays(), 90);
    QCOMPARE(c.snoozeUntil(), QString());
    QCOMPARE(c.excludes(), QStringList());
    QCOMPARE(c.metricsDirectory(), QString());
}

} // namespace

class TestMonitorConfig : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TAVRIN_REQUIRE_PRIVATE_HOME(); }
    void init();
    void defaultsWithoutService();
    void defaultsFromDescription();
    void forcedSettingsFile_data();
    void forcedSettingsFile();
    void writeThroughToBothStores();
    void storedValuesUnchecked();
};

void TestMonitorConfig::init()
{
    qunsetenv("TAVRIN_CONFIG_QSETTINGS");
    QFile::remove(descriptionTarget());
    QFile::remove(settingsFile());
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + "/zentk").removeRecursively();
    // Keep the system's own descriptions out of reach.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(qEnvironmentVariable("HOME") + "/no-system-data"));
}

void TestMonitorConfig::defaultsWithoutService()
{
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression("^\\[MonitorConfig\\] ZConfig 不可用（schema 未安装或后端不可达），降级到 "
                           "QSettings：.*/zarnex/tavrin-manager\\.conf$"));
    MonitorConfig c;
    QVERIFY(!c.usingZConfig());
    checkDefaults(c);
}

void TestMonitorConfig::defaultsFromDescription()
{
    installDescription();
    MonitorConfig c;
    QVERIFY(c.usingZConfig());
    checkDefaults(c);
}

void TestMonitorConfig::forcedSettingsFile_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("forced");
    QTest::newRow("TRUE with blanks") << QByteArray("  TRUE \t") << true;
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("yes") << QByteArray("yes") << false;
    QTest::newRow("0") << QByteArray("0") << false;
}

void TestMonitorConfig::forcedSettingsFile()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, forced);
    installDescription();
    qputenv("TAVRIN_CONFIG_QSETTINGS", value);
    {
        QSettings s(settingsFile(), QSettings::IniFormat);
        s.setValue("monitor/pollMinutes", 42);
    }
    QTest::failOnWarning(QRegularExpression("MonitorConfig"));
    MonitorConfig c;
    QCOMPARE(c.usingZConfig(), !forced);
    QCOMPARE(c.pollMinutes(), forced ? 42 : 15);
}

void TestMonitorConfig::writeThroughToBothStores()
{
    installDescription();
    qputenv("TAVRIN_CONFIG_QSETTINGS", "true");
    MonitorConfig c;
    c.setValue("monitor.cooldownHours", 2);
    c.setEnabled(true);
    c.setValue("monitor.excludes", QStringList{"~/Downloads", "/var/cache"});
    {
        QSettings s(settingsFile(), QSettings::IniFormat);
        QCOMPARE(s.value("monitor/cooldownHours").toInt(), 2);
        QCOMPARE(s.value("monitor/enabled").toBool(), true);
    }
    QCOMPARE(c.cooldownHours(), 2);
    QCOMPARE(c.excludes(), (QStringList{"~/Downloads", "/var/cache"}));
    // The service holds the same values: switching back loses nothing.
    qunsetenv("TAVRIN_CONFIG_QSETTINGS");
    MonitorConfig viaService;
    QVERIFY(viaService.usingZConfig());
    QCOMPARE(viaService.cooldownHours(), 2);
    QCOMPARE(viaService.enabled(), true);
    QCOMPARE(viaService.excludes(), (QStringList{"~/Downloads", "/var/cache"}));
}

void TestMonitorConfig::storedValuesUnchecked()
{
    qputenv("TAVRIN_CONFIG_QSETTINGS", "1");
    MonitorConfig writer;
    MonitorConfig reader;
    QCOMPARE(reader.pollMinutes(), 15);
    writer.setValue("monitor.pollMinutes", 0);
    writer.setValue("monitor.retentionDays", -3);
    writer.setValue("monitor.alertMode", "fixed");
    // No caching: another instance's write is seen at once.
    QCOMPARE(reader.pollMinutes(), 0);
    QCOMPARE(reader.retentionDays(), -3);
    QCOMPARE(reader.alertMode(), QString("fixed"));
}

TAVRIN_TEST_GUILESS_MAIN(TestMonitorConfig)
#include "tst_monitorconfig.moc"
