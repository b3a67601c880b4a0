#include "startup.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTranslator>

using namespace TavrinStartup;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void scanArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("monitor");
        QTest::addColumn<QDate>("date");
        const QDate none;
        const QDate dec1(2026, 12, 1);
        QTest::newRow("nothing") << QStringList{} << false << none;
        QTest::newRow("monitor alone") << QStringList{"--monitor"} << true << none;
        QTest::newRow("date") << QStringList{"--show-disk", "2026-12-01"} << false << dec1;
        QTest::newRow("date among toolkit args")
            << QStringList{"-style", "fusion", "--show-disk", "2026-12-01", "-reverse"} << false << dec1;
        QTest::newRow("show-disk last") << QStringList{"--show-disk"} << false << none;
        QTest::newRow("monitor right after show-disk")
            << QStringList{"--show-disk", "--monitor"} << true << none;
        QTest::newRow("monitor after a date")
            << QStringList{"--show-disk", "2026-12-01", "--monitor"} << true << none;
        QTest::newRow("monitor before a date")
            << QStringList{"--monitor", "--show-disk", "2026-12-01"} << true << none;
        QTest::newRow("not ISO") << QStringList{"--show-disk", "01.12.2026"} << false << none;
        QTest::newRow("no such day") << QStringList{"--show-disk", "2026-02-30"} << false << none;
        QTest::newRow("later date wins")
            << QStringList{"--show-disk", "2026-11-30", "--show-disk", "2026-12-01"} << false << dec1;
        QTest::newRow("value not skipped")
            << QStringList{"--show-disk", "--show-disk", "2026-12-01"} << false << dec1;
        QTest::newRow("lookalike flags")
            << QStringList{"--monitor=1", "-monitor", "--MONITOR"} << false << none;
    }

    void scanArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, monitor);
        QFETCH(QDate, date);
        QList<QByteArray> storage{"tavrin-manager"};
        for (const QString &a : std::as_const(args))
            storage << a.toLocal8Bit();
        std::vector<const char *> argv;
        for (const QByteArray &a : std::as_const(storage))
            argv.push_back(a.constData());
        const LaunchRequest r = TavrinStartup::scanArguments(int(argv.size()), argv.data());
        QCOMPARE(r.monitor, monitor);
        QCOMPARE(r.showDiskDate, date);
    }

    void languageEnvironment_data()
    {
        QTest::addColumn<QVariant>("setting"); // invalid: key absent
        QTest::addColumn<QString>("language");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QByteArray>("languageVar");
        QTest::newRow("absent") << QVariant() << QString() << QByteArray("C.UTF-8") << QByteArray();
        QTest::newRow("system") << QVariant("system") << QString() << QByteArray("C.UTF-8") << QByteArray();
        QTest::newRow("empty") << QVariant("") << QString() << QByteArray("C.UTF-8") << QByteArray();
        QTest::newRow("unknown") << QVariant("fr_FR") << QString() << QByteArray("C.UTF-8") << QByteArray();
        QTest::newRow("near miss") << QVariant("en_us") << QString() << QByteArray("C.UTF-8") << QByteArray();
        QTest::newRow("english") << QVariant("en_US") << QString("en_US") << QByteArray("en_US.UTF-8")
                                 << QByteArray("en_US");
        QTest::newRow("chinese") << QVariant("zh_CN") << QString("zh_CN") << QByteArray("zh_CN.UTF-8")
                                 << QByteArray("zh_CN");
    }

    void languageEnvironment()
    {
        QFETCH(QVariant, setting);
        QFETCH(QString, language);
        QFETCH(QByteArray, lang);
        QFETCH(QByteArray, languageVar);
        {
            QSettings s(QStringLiteral("zarnex"), QStringLiteral("tavrin-manager"));
            if (setting.isValid())
                s.setValue(QStringLiteral("language"), setting);
            else
                s.remove(QStringLiteral("language"));
        }
        qputenv("LANG", "C.UTF-8");
        qputenv("LC_ALL", "de_DE.UTF-8");
        qputenv("LANGUAGE", "de");

        QCOMPARE(applyLanguageSetting(), language);
        QVERIFY(!qEnvironmentVariableIsSet("LC_ALL"));
        QCOMPARE(qgetenv("LANG"), lang);
        QCOMPARE(qEnvironmentVariableIsSet("LANGUAGE"), !languageVar.isEmpty());
        QCOMPARE(qgetenv("LANGUAGE"), languageVar);
        if (language == QLatin1String("en_US"))
            QCOMPARE(QLocale().language(), QLocale::English);
        if (language == QLatin1String("zh_CN")) {
            QCOMPARE(QLocale().language(), QLocale::Chinese);
            QCOMPARE(QLocale().territory(), QLocale::China);
        }
    }

    void translationDirectoriesInOrder()
    {
        QCOMPARE(translationDirectories("/home/u", "/usr/local/bin"),
                 QStringList({"/home/u/.local/share/tavrin-manager/translations",
                              "/usr/share/tavrin-manager/translations",
                              "/usr/local/share/tavrin-manager/translations", "/usr/local/bin/translations",
                              "/usr/local/bin"}));
        // Installed in /usr, the prefix's directory is the system one: searched once.
        QCOMPARE(translationDirectories("/home/u", "/usr/bin"),
                 QStringList({"/home/u/.local/share/tavrin-manager/translations",
                              "/usr/share/tavrin-manager/translations", "/usr/bin/translations", "/usr/bin"}));
    }

    void translationSearch_data()
    {
        // Which of four directories hold a good catalogue (g), a damaged one (d) or nothing (-).
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("expected"); // index of the directory used, -1 for none
        QTest::newRow("first wins") << "gggg"
                                    << "en_US" << 0;
        QTest::newRow("skips missing") << "--g-"
                                       << "en_US" << 2;
        QTest::newRow("skips damaged") << "dg--"
                                       << "en_US" << 1;
        QTest::newRow("last resort") << "---g"
                                     << "en_US" << 3;
        QTest::newRow("none") << "--d-"
                              << "en_US" << -1;
        QTest::newRow("other language absent") << "gggg"
                                               << "zh_CN" << -1;
        QTest::newRow("no language") << "gggg"
                                     << "" << -1;
    }

    void translationSearch()
    {
        QFETCH(QString, layout);
        QFETCH(QString, language);
        QFETCH(int, expected);
        QFile probe(QStringLiteral(PROBE_QM));
        QVERIFY(probe.open(QIODevice::ReadOnly));
        const QByteArray good = probe.readAll();
        QStringList dirs;
        for (int i = 0; i < layout.size(); ++i) {
            const QString dir =
                QDir::homePath() + QStringLiteral("/tr/%1/%2").arg(QTest::currentDataTag()).arg(i);
            QVERIFY(QDir().mkpath(dir));
            dirs << dir;
            if (layout.at(i) == QLatin1Char('-'))
                continue;
            QFile f(dir + QStringLiteral("/tavrin-manager_en_US.qm"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(layout.at(i) == QLatin1Char('g') ? good : QByteArray("not a catalogue"));
        }
        QTranslator translator;
        const QString used = loadTranslation(&translator, language, dirs);
        QCOMPARE(used, expected < 0 ? QString() : dirs.at(expected));
        if (expected >= 0)
            QCOMPARE(translator.translate("Startup", "Tavrin设置"), QStringLiteral("Tavrin Settings"));
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
