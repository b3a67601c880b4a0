#include "zconfig.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

namespace {

const char kDescription[] = R"({"magic":"zentk.config","version":"1.0","contents":{
  "monitor.enabled":{"value":false,"serial":0,"permissions":"readwrite","visibility":"private"},
  "monitor.threshold":{"value":500,"serial":0,"permissions":"readwrite","visibility":"private"},
  "monitor.paths":{"value":["/usr","/opt"],"serial":0,"permissions":"readwrite","visibility":"private"},
  "monitor.locked":{"value":"fixed","serial":0,"permissions":"readonly","visibility":"private"}}})";

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QString dataHome()
{
    return qEnvironmentVariable("XDG_DATA_HOME");
}

QString descriptionFile(const QString &base = dataHome())
{
    return base + QStringLiteral("/zentk/configs/tavrin-manager/monitor.json");
}

} // namespace

class TestZConfig : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QDir(dataHome() + QStringLiteral("/zentk")).removeRecursively();
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/zentk")).removeRecursively();
    }

    void withoutDescriptionOnlyFallbacks()
    {
        std::unique_ptr<ZConfig> cfg(ZConfig::create("tavrin-manager", "monitor"));
        QVERIFY(!cfg->isValid());
        QCOMPARE(cfg->value("monitor.enabled", true), QVariant(true));
        cfg->setValue("monitor.enabled", false);
        QCOMPARE(cfg->value("monitor.enabled", true), QVariant(true));
        QVERIFY(
            !QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + "/zentk/tavrin-manager/monitor.json"));
    }

    void badDescriptionsAreInvalid_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not json") << QByteArray("{\"magic\":");
        QTest::newRow("wrong magic") << QByteArray(R"({"magic":"other","contents":{}})");
        QTest::newRow("no contents") << QByteArray(R"({"magic":"zentk.config"})");
        QTest::newRow("array") << QByteArray("[1,2]");
    }

    void badDescriptionsAreInvalid()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(descriptionFile(), content));
        std::unique_ptr<ZConfig> cfg(ZConfig::create("tavrin-manager", "monitor"));
        QVERIFY(!cfg->isValid());
    }

    void unsafeIdsAreInvalid_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("name");
        QTest::newRow("parent app") << ".."
                                    << "monitor";
        QTest::newRow("slash in name") << "tavrin-manager"
                                       << "../../x";
        QTest::newRow("empty") << ""
                               << "monitor";
    }

    void unsafeIdsAreInvalid()
    {
        QFETCH(QString, appId);
        QFETCH(QString, name);
        QVERIFY(writeFile(descriptionFile(), kDescription));
        std::unique_ptr<ZConfig> cfg(ZConfig::create(appId, name));
        QVERIFY(!cfg->isValid());
    }

    void valuesDefaultsAndFallbacks()
    {
        QVERIFY(writeFile(descriptionFile(), kDescription));
        std::unique_ptr<ZConfig> cfg(ZConfig::create("tavrin-manager", "monitor"));
        QVERIFY(cfg->isValid());
        QCOMPARE(cfg->keyList(),
                 QStringList({"monitor.enabled", "monitor.locked", "monitor.paths", "monitor.threshold"}));
        QCOMPARE(cfg->value("monitor.enabled", true).toBool(), false);
        QCOMPARE(cfg->value("monitor.threshold").toInt(), 500);
        QCOMPARE(cfg->value("monitor.paths").toStringList(), QStringList({"/usr", "/opt"}));
        QCOMPARE(cfg->value("monitor.unknown", 7), QVariant(7));
        cfg->setValue("monitor.unknown", 8);
        QCOMPARE(cfg->value("monitor.unknown", 7), QVariant(7));
        cfg->setValue("monitor.locked", "changed");
        QCOMPARE(cfg->value("monitor.locked").toString(), QStringLiteral("fixed"));
    }

    void descriptionFromSystemDataDirs()
    {
        const QString system = QDir::homePath() + QStringLiteral("/sysdata");
        QVERIFY(writeFile(descriptionFile(system), kDescription));
        const QByteArray saved = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(QDir::homePath() + "/nowhere:" + system));
        std::unique_ptr<ZConfig> cfg(ZConfig::create("tavrin-manager", "monitor"));
        qputenv("XDG_DATA_DIRS", saved);
        QVERIFY(cfg->isValid());
        QCOMPARE(cfg->descriptionPath(), descriptionFile(system));
    }

    void setValuePersistsAcrossInstances()
    {
        QVERIFY(writeFile(descriptionFile(), kDescription));
        std::unique_ptr<ZConfig> a(ZConfig::create("tavrin-manager", "monitor"));
        std::unique_ptr<ZConfig> b(ZConfig::create("tavrin-manager", "monitor"));
        QSignalSpy spy(a.get(), &ZConfig::valueChanged);

        a->setValue("monitor.threshold", 800);
        QVERIFY(a->lastSaveOk());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("monitor.threshold"));
        a->setValue("monitor.threshold", 800);
        QCOMPARE(spy.count(), 1);

        // b was created before the write and must see it.
        QCOMPARE(b->value("monitor.threshold").toInt(), 800);
        b->setValue("monitor.enabled", true);
        QCOMPARE(a->value("monitor.enabled").toBool(), true);
        QCOMPARE(a->value("monitor.threshold").toInt(), 800);

        std::unique_ptr<ZConfig> c(ZConfig::create("tavrin-manager", "monitor"));
        QCOMPARE(c->value("monitor.threshold").toInt(), 800);
        QCOMPARE(c->value("monitor.enabled").toBool(), true);
        QCOMPARE(c->value("monitor.paths").toStringList(), QStringList({"/usr", "/opt"}));
    }

    void damagedStoreFallsBackToDefaults()
    {
        QVERIFY(writeFile(descriptionFile(), kDescription));
        std::unique_ptr<ZConfig> cfg(ZConfig::create("tavrin-manager", "monitor"));
        cfg->setValue("monitor.threshold", 900);
        QVERIFY(writeFile(cfg->storagePath(), "{ broken"));
        QCOMPARE(cfg->value("monitor.threshold").toInt(), 500);
        // A later write replaces the damaged file with a sound one.
        cfg->setValue("monitor.threshold", 901);
        std::unique_ptr<ZConfig> again(ZConfig::create("tavrin-manager", "monitor"));
        QCOMPARE(again->value("monitor.threshold").toInt(), 901);
    }

    void failedSaveIsReported()
    {
        QVERIFY(writeFile(descriptionFile(), kDescription));
        std::unique_ptr<ZConfig> cfg(ZConfig::create("tavrin-manager", "monitor"));
        // A file where the directory should be.
        const QString dir = QFileInfo(cfg->storagePath()).absolutePath();
        QDir(dir).removeRecursively();
        QVERIFY(writeFile(dir, "x"));
        const QVariant before = cfg->value("monitor.enabled");
        cfg->setValue("monitor.enabled", !before.toBool());
        QVERIFY(!cfg->lastSaveOk());
        // The refused value is not kept as if it were the setting.
        QCOMPARE(cfg->value("monitor.enabled"), before);
        QFile::remove(dir);
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestZConfig)
#include "tst_zconfig.moc"
