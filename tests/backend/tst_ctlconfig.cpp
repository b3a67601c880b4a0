#include "backend/backend_p.h"
#include "simroot.h"

using namespace Tavrin;
using Tavrin::Test::SimRoot;

namespace {

using Values = QMap<QString, QString>;

// Shaped like a shipped policy file: a header comment, the global section with
// spaced and unspaced entries and comments, another section, a final line feed.
const char *const kShipped = "# zarnex-immutable-ctl configuration\n"
                             "#   edited by the administrator\n"
                             "\n"
                             "[global]\n"
                             "# roll back when an upgrade fails\n"
                             "auto-rollback-on-failure = true\n"
                             "max-backup-deploys=2\n"
                             "   log-level =  info   \n"
                             "\n"
                             "# kept for the upgrade service\n"
                             "[upgrade]\n"
                             "max-backup-deploys=9\n"
                             "server = https://mirror.example/zarnex\n";

} // namespace

class TestCtlConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SimRoot::usePathFakes(); }
    void init() { sim.reset(new SimRoot); }
    void cleanup() { sim.reset(); }

    void rewrite_data()
    {
        QTest::addColumn<QString>("original");
        QTest::addColumn<Values>("values");
        QTest::addColumn<QString>("expected");

        const QString shipped = QString::fromUtf8(kShipped);
        QTest::newRow("unchanged values: byte for byte")
            << shipped << Values{{"auto-rollback-on-failure", "true"}, {"max-backup-deploys", "2"}}
            << shipped;
        QTest::newRow("changed value rewritten without spaces, the rest kept")
            << shipped << Values{{"auto-rollback-on-failure", "false"}}
            << QString(shipped).replace("auto-rollback-on-failure = true", "auto-rollback-on-failure=false");
        QTest::newRow("key of another section only: added to [global]")
            << QStringLiteral("[global]\na=1\n\n[other]\nauto-refresh-size-threshold=5\n")
            << Values{{"auto-refresh-size-threshold", "200"}}
            << QStringLiteral("[global]\na=1\nauto-refresh-size-threshold=200\n\n[other]\n"
                              "auto-refresh-size-threshold=5\n");
        QTest::newRow("missing keys land after the last non-blank line, in key order")
            << shipped << Values{{"z-key", "1"}, {"auto-refresh-size-threshold", "300"}}
            << QString(shipped).replace(
                   "log-level =  info   \n\n# kept",
                   "log-level =  info   \nauto-refresh-size-threshold=300\nz-key=1\n\n# kept");
        QTest::newRow("no [global]: section added at the end")
            << QStringLiteral("# comment\n[upgrade]\nx=1\n") << Values{{"max-backup-deploys", "3"}}
            << QStringLiteral("# comment\n[upgrade]\nx=1\n\n[global]\nmax-backup-deploys=3\n");
        QTest::newRow("empty file") << QString() << Values{{"a", "1"}} << QStringLiteral("[global]\na=1\n");
        QTest::newRow("empty [global] section at the end")
            << QStringLiteral("[x]\ny=2\n[global]\n") << Values{{"a", "1"}}
            << QStringLiteral("[x]\ny=2\n[global]\na=1\n");
        QTest::newRow("no final line feed stays without")
            << QStringLiteral("[global]\na=1") << Values{{"a", "2"}, {"b", "3"}}
            << QStringLiteral("[global]\na=2\nb=3");
        QTest::newRow("CRLF lines keep their ends")
            << QStringLiteral("[global]\r\na = 1\r\n[x]\r\n") << Values{{"a", "2"}, {"b", "3"}}
            << QStringLiteral("[global]\r\na=2\r\nb=3\r\n[x]\r\n");
        QTest::newRow("keys before any section are not [global]")
            << QStringLiteral("a=1\n[global]\nb=2\n") << Values{{"a", "5"}}
            << QStringLiteral("a=1\n[global]\nb=2\na=5\n");
        QTest::newRow("commented-out key is not replaced")
            << QStringLiteral("[global]\n#a=1\n") << Values{{"a", "5"}}
            << QStringLiteral("[global]\na=5\n#a=1\n");
        QTest::newRow("section header with spaces counts as [global]")
            << QStringLiteral("  [global]  \na=1\n") << Values{{"a", "7"}}
            << QStringLiteral("  [global]  \na=7\n");
        QTest::newRow("non-ASCII kept")
            << QStringLiteral("# 系统参数\n[global]\n名称=旧\n") << Values{{"名称", "新"}}
            << QStringLiteral("# 系统参数\n[global]\n名称=新\n");
    }
    void rewrite()
    {
        QFETCH(QString, original);
        QFETCH(Values, values);
        QFETCH(QString, expected);
        const QString once = rewriteCtlConfig(original, values);
        QCOMPARE(once, expected);
        QCOMPARE(rewriteCtlConfig(once, values), once); // saving again changes nothing
    }

    void read_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Values>("values");
        QTest::newRow("spaces around =") << "key = value\n" << Values{{"key", "value"}};
        QTest::newRow("= first ignored") << "= value\n" << Values{};
        QTest::newRow("comments, headers, blanks ignored")
            << "# a=1\n[global]\n\n  \nb=2" << Values{{"b", "2"}};
        QTest::newRow("later duplicate wins, all sections in one map") << "[a]\nk=1\n[b]\nk=2\n"
                                                                       << Values{{"k", "2"}};
        QTest::newRow("value keeps later =") << "url=a=b\n" << Values{{"url", "a=b"}};
        QTest::newRow("no = at all") << "justtext\n" << Values{};
        QTest::newRow("not INI") << "\xff\xfe binary" << Values{};
    }
    void read()
    {
        QFETCH(QString, text);
        QFETCH(Values, values);
        QCOMPARE(parseCtlConfig(text), values);
    }

    void getReadsTheFile()
    {
        QVERIFY(getCtlConfig().isEmpty());
        SimRoot::writeFile(confPath(), kShipped);
        const Values v = getCtlConfig();
        QCOMPARE(v.value("auto-rollback-on-failure"), QStringLiteral("true"));
        QCOMPARE(v.value("log-level"), QStringLiteral("info"));
        QCOMPARE(v.value("max-backup-deploys"), QStringLiteral("9"));
    }

    // What the policy page shows: the "[global]" value it edits, and the entry
    // of another section that the tool reads instead.
    void globalValuesAndOverrides_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Values>("global");
        QTest::addColumn<Values>("overrides"); // key -> "section value"
        QTest::newRow("shipped: a later section wins")
            << QString::fromUtf8(kShipped)
            << Values{{"auto-rollback-on-failure", "true"},
                      {"max-backup-deploys", "2"},
                      {"log-level", "info"}}
            << Values{{"max-backup-deploys", "[upgrade] 9"},
                      {"server", "[upgrade] https://mirror.example/zarnex"}};
        QTest::newRow("an earlier section loses to [global]") << "[upgrade]\nk=7\n[global]\nk=2\n"
                                                              << Values{{"k", "2"}} << Values{};
        QTest::newRow("only in another section: no global value")
            << "[global]\na=1\n[upgrade]\nk=7\n"
            << Values{{"a", "1"}} << Values{{"k", "[upgrade] 7"}};
        QTest::newRow("two [global] sections: the last value") << "[global]\nk=1\n[x]\n[global]\nk=3\n"
                                                               << Values{{"k", "3"}} << Values{};
        QTest::newRow("before any header") << "k=5\n[global]\na=1\n"
                                           << Values{{"a", "1"}} << Values{{"k", " 5"}};
        QTest::newRow("header with spaces is still [global]") << "  [global]  \nk = 4 \n"
                                                              << Values{{"k", "4"}} << Values{};
        QTest::newRow("[Global] is another section") << "[Global]\nk=4\n"
                                                     << Values{} << Values{{"k", "[Global] 4"}};
    }
    void globalValuesAndOverrides()
    {
        QFETCH(QString, text);
        QFETCH(Values, global);
        QFETCH(Values, overrides);
        const CtlConfigRead read = parseCtlConfigRead(text);
        QVERIFY(read.ok);
        QCOMPARE(read.global, global);
        Values seen;
        for (const QString &key : read.effective.keys()) {
            if (const CtlConfigEntry *entry = read.overrideOf(key))
                seen.insert(key, entry->section + QLatin1Char(' ') + entry->value);
        }
        QCOMPARE(seen, overrides);
    }

    void readReportsAFileItCannotRead()
    {
        const CtlConfigRead missing = readCtlConfig();
        QVERIFY(missing.ok);
        QVERIFY(missing.global.isEmpty());

        QDir().mkpath(confPath());
        const CtlConfigRead unreadable = readCtlConfig();
        QVERIFY(!unreadable.ok);
        QVERIFY2(unreadable.error.startsWith(QStringLiteral("无法读取系统配置文件: ")),
                 qPrintable(unreadable.error));
        QVERIFY(unreadable.global.isEmpty());
    }

    void setInstallsTheRewrittenFile()
    {
        SimRoot::writeFile(confPath(), kShipped);
        QList<QPair<QStringList, bool>> runs;
        setRunObserverForTesting(
            [&](const QString &program, const QList<QString> &args, int timeout, bool elevate) {
                QVERIFY(timeout >= 30000);
                runs.append({QStringList{program} + args, elevate});
            });
        const CommandResult r =
            setCtlConfig({{"auto-rollback-on-failure", "false"}, {"max-backup-deploys", "2"}});
        setRunObserverForTesting({});
        QVERIFY2(r.ok, qPrintable(r.error));
        // One elevated run: the helper writes beside the file and renames over it.
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first(), qMakePair(QStringList{helperPath()}, true));
        QCOMPARE(SimRoot::readFile(confPath()),
                 QByteArray(kShipped).replace("auto-rollback-on-failure = true",
                                              "auto-rollback-on-failure=false"));
        QCOMPARE(QFileInfo(confPath()).permissions() & 0x7077, QFileDevice::Permissions(0x6044));
        QCOMPARE(QDir(QFileInfo(confPath()).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"zarnex-immutable-ctl.conf"});
        QCOMPARE(QDir(sim->tmp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());

        // Saving the same values again leaves the file as it is.
        const QByteArray before = SimRoot::readFile(confPath());
        QVERIFY(setCtlConfig({{"auto-rollback-on-failure", "false"}}).ok);
        QCOMPARE(SimRoot::readFile(confPath()), before);
    }

    void setWithoutAFile()
    {
        QVERIFY(setCtlConfig({{"max-backup-deploys", "3"}, {"auto-refresh-size-threshold", "200"}}).ok);
        QCOMPARE(SimRoot::readFile(confPath()),
                 QByteArray("[global]\nauto-refresh-size-threshold=200\nmax-backup-deploys=3\n"));
    }

    void setRefusesToReplaceAnUnreadableFile()
    {
        // A directory in its place cannot be read as a file and must not be replaced.
        QDir().mkpath(confPath());
        const CommandResult r = setCtlConfig({{"a", "1"}});
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QStringLiteral("无法读取系统配置文件"));
        QVERIFY(sim->calls("install").isEmpty());
    }

    void setRefusesEntriesThatWouldInjectLines_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("line feed in value") << "max-backup-deploys"
                                            << "2\n[evil]";
        QTest::newRow("carriage return in value") << "a"
                                                  << "1\r";
        QTest::newRow("= in key") << "a=b"
                                  << "1";
        QTest::newRow("section-like key") << "[global]"
                                          << "1";
        QTest::newRow("comment key") << "#a"
                                     << "1";
        QTest::newRow("empty key") << ""
                                   << "1";
        QTest::newRow("padded key") << " a"
                                    << "1";
    }
    void setRefusesEntriesThatWouldInjectLines()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        SimRoot::writeFile(confPath(), kShipped);
        const CommandResult r = setCtlConfig({{key, value}});
        QVERIFY(!r.ok);
        QVERIFY(r.error.startsWith(QStringLiteral("无效的配置项")));
        QCOMPARE(SimRoot::readFile(confPath()), QByteArray(kShipped));
        QVERIFY(sim->calls("install").isEmpty());
    }

    void setReportsARefusedInstall()
    {
        SimRoot::writeFile(confPath(), kShipped);
        qputenv("FAKE_SUDO", "password");
        qputenv("FAKE_PKEXEC", "deny");
        const CommandResult r = setCtlConfig({{"max-backup-deploys", "5"}});
        QVERIFY(!r.ok);
        QCOMPARE(friendlyExecError(r.error), QStringLiteral("没有权限执行此操作"));
        QCOMPARE(SimRoot::readFile(confPath()), QByteArray(kShipped));
        QCOMPARE(QDir(sim->tmp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

private:
    QString confPath() const { return sim->path("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf"); }
    std::unique_ptr<SimRoot> sim;
};

TAVRIN_TEST_GUILESS_MAIN(TestCtlConfig)
#include "tst_ctlconfig.moc"
