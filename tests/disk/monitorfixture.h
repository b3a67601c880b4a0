#pragma once

#include "disk/diskhistorystore.h"
#include "disk/diskmonitor.h"
#include "disk/jsonfileio.h"
#include "disk/monitorconfig.h"

#include "testsupport.h"

#include <QTemporaryDir>

// Drives monitor cycles against the fake du/df: sizes come from files in a scratch directory, the
// configuration from the forced settings file, the history from the private test home. The fakes lie
// below a system root, where the monitor starts its tools by absolute path; hostile tools of the same
// names come first on PATH and must never run.
class MonitorFixture
{
public:
    static constexpr qint64 MiB = 1024 * 1024;
    static constexpr qint64 GiB = 1024 * MiB;

    MonitorFixture() { originalPath = qgetenv("PATH"); }

    void reset()
    {
        QDir(work.path()).removeRecursively();
        QDir().mkpath(work.path());
        QDir(Tavrin::DiskHistoryStore::historyDir()).removeRecursively();
        QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + "/zarnex/tavrin-manager.conf");
        QVERIFY(Tavrin::Test::plantDiskFakes(root()));
        QVERIFY(Tavrin::Test::plantHostileTools(work.filePath("planted"), diskTools(), plantedLog()));
        qputenv("PATH", QFile::encodeName(work.filePath("planted")) + ":" + originalPath);
        qputenv("TAVRIN_SYSROOT", QFile::encodeName(root()));
        qputenv("TAVRIN_CONFIG_QSETTINGS", "1");
        qputenv("FAKE_DU_DIR", QFile::encodeName(work.path()));
        qputenv("FAKE_DU_LOG", QFile::encodeName(work.filePath("du.log")));
        qputenv("FAKE_DF_USED_FILE", QFile::encodeName(work.filePath("used")));
        qputenv("FAKE_DF_TOTAL", QByteArray::number(500 * GiB));
        for (const char *var : {"FAKE_DU_EXIT", "FAKE_DU_HANG", "FAKE_DU_REMOVE", "FAKE_DF_EXIT",
                                "FAKE_DISK_LOG", "TAVRIN_SIM_EUID"})
            qunsetenv(var);
        Tavrin::MonitorConfig config;
        config.setEnabled(true);
        // Never quiet unless a test asks for it, whatever the hour the test runs at.
        config.setValue("monitor.quietStart", "08:00");
        config.setValue("monitor.quietEnd", "08:00");
        config.setValue("monitor.alertMode", "fixed");
        config.setValue("monitor.fixedThresholdMB", 1024);
        config.setValue("monitor.minAlertMB", 512);
    }

    void restorePath()
    {
        qputenv("PATH", originalPath);
        qunsetenv("TAVRIN_SYSROOT");
        QFile planted(plantedLog());
        QVERIFY2(!planted.open(QIODevice::ReadOnly), planted.readAll().constData());
    }

    static QStringList diskTools() { return {"sudo", "pkexec", "nice", "ionice", "du", "df"}; }
    QString root() const { return work.filePath("root"); }
    QString plantedLog() const { return work.filePath("planted.log"); }

    void set(const QString &key, const QVariant &value)
    {
        Tavrin::MonitorConfig config;
        config.setValue(key, value);
    }

    void setUsed(qint64 bytes)
    {
        QVERIFY(Tavrin::writeFileAtomic(work.filePath("used"), QByteArray::number(bytes)));
    }

    void setDu(const QString &path, const QList<Tavrin::DiskItem> &items)
    {
        QByteArray out;
        for (const Tavrin::DiskItem &item : items)
            out += QByteArray::number(item.size / 1024) + '\t' + item.path.toUtf8() + '\n';
        out += "1\t" + path.toUtf8() + '\n';
        QVERIFY(Tavrin::writeFileAtomic(work.filePath(QString(path).replace('/', '_') + ".out"), out));
    }

    // A finished day before today, as an earlier cycle would have left it.
    void seedDay(int daysAgo, qint64 total, const QList<Tavrin::DiskItem> &topLevel)
    {
        Tavrin::DiskDayRecord r;
        r.date = QDate::currentDate().addDays(-daysAgo);
        r.capacity = 500 * GiB;
        r.total = total;
        r.topLevel = topLevel;
        QVERIFY(Tavrin::writeJsonAtomic(Tavrin::DiskHistoryStore::dayFilePath(r.date),
                                        QJsonDocument(Tavrin::dayRecordToJson(r))));
    }

    int duRuns() const
    {
        QFile f(work.filePath("du.log"));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        return f.readAll().count('\n');
    }

    QString duLog() const
    {
        QFile f(work.filePath("du.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    Tavrin::DiskDayRecord todayFile() const
    {
        return Tavrin::dayRecordFromJson(
            Tavrin::readJson(Tavrin::DiskHistoryStore::dayFilePath(QDate::currentDate())).object());
    }

    bool todayExists() const
    {
        return QFile::exists(Tavrin::DiskHistoryStore::dayFilePath(QDate::currentDate()));
    }

    QJsonObject alerts() const
    {
        return Tavrin::readJson(Tavrin::DiskHistoryStore::historyDir() + "/alert.json").object();
    }

    // Runs one cycle in a fresh monitor, as one process run would; returns (ok, message).
    QPair<bool, QString> cycle(int watchdogMs = 0)
    {
        Tavrin::DiskMonitor monitor;
        if (watchdogMs > 0)
            monitor.watchdogMs = watchdogMs;
        QSignalSpy finished(&monitor, &Tavrin::DiskMonitor::finished);
        monitor.runCycle();
        if (finished.isEmpty() && !finished.wait(20000))
            return {false, QStringLiteral("<no finished signal>")};
        if (finished.size() != 1)
            return {false, QStringLiteral("<finished %1 times>").arg(finished.size())};
        return {finished.first().at(0).toBool(), finished.first().at(1).toString()};
    }

    // Yesterday with its top level, today's df grown by `growth`, today's du showing it under /var.
    void spikeScenario(qint64 growth)
    {
        seedDay(1, 100 * GiB, {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB, true}});
        setUsed(100 * GiB + growth);
        setDu("/", {{"/usr", 60 * GiB, true}, {"/var", 10 * GiB + growth, true}});
        setDu("/var", {{"/var/log", growth, true},
                       {"/var/lib", 5 * GiB, true},
                       {"/var/a", 1 * MiB, true},
                       {"/var/b", 2 * MiB, true},
                       {"/var/c", 3 * MiB, true},
                       {"/var/d", 4 * MiB, true}});
    }

    // `days` records ending today (dated by the monitor's clock), one every `everyDays`: the disk
    // grows by `perDay`, of which `excludedPerDay` in "/srv/cache" and the rest in "/var", up to
    // `todayUsed` today.
    void forecastScenario(int days, qint64 todayUsed, qint64 perDay, qint64 excludedPerDay = 0,
                          int everyDays = 1)
    {
        const QDate today = Tavrin::diskToday();
        auto topLevel = [&](int k) {
            const qint64 grown = qint64(days - 1 - k) * everyDays;
            return QList<Tavrin::DiskItem>{{"/usr", 60 * GiB, true},
                                           {"/var", 10 * GiB + grown * (perDay - excludedPerDay), true},
                                           {"/srv/cache", 1 * GiB + grown * excludedPerDay, true}};
        };
        Tavrin::DiskHistoryStore store;
        for (int k = days - 1; k >= 1; --k) {
            Tavrin::DiskDayRecord r;
            r.date = today.addDays(-k * everyDays);
            r.capacity = 500 * GiB;
            r.total = todayUsed - k * everyDays * perDay;
            r.topLevel = topLevel(k);
            QVERIFY(store.saveDayRecord(r));
        }
        setUsed(todayUsed);
        setDu("/", topLevel(0));
    }

    QJsonObject forecastFile() const
    {
        return Tavrin::readJson(Tavrin::DiskHistoryStore::historyDir() + "/forecast.json").object();
    }

    QTemporaryDir work;
    QByteArray originalPath;
};
