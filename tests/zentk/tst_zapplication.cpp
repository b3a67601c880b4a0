#include "zapplication.h"

#include "testsupport.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TestZApplication : public QObject
{
    Q_OBJECT

private:
    // Starts the helper and waits for its first word.
    static QString startHelper(QProcess &p, const QString &key)
    {
        p.setProgram(QStringLiteral(ZENTK_INSTANCE_HELPER));
        p.setArguments({key});
        p.start();
        if (!p.waitForStarted(10000))
            return QStringLiteral("not started");
        if (!p.canReadLine() && !p.waitForReadyRead(20000))
            return QStringLiteral("no answer");
        return QString::fromLocal8Bit(p.readLine()).trimmed();
    }

    static QString runSecond(const QString &key)
    {
        QProcess p;
        const QString word = startHelper(p, key);
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            return QStringLiteral("hung");
        }
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return QStringLiteral("failed");
        return word;
    }

    static void stop(QProcess &p)
    {
        p.kill();
        p.waitForFinished();
    }

    // A running helper that is always reaped, also when a check fails early.
    struct Helper : QProcess
    {
        ~Helper() override { stop(*this); }
        QByteArray seen;
        // QTRY evaluates its condition more than once, so keep what was read.
        bool saw(const char *word)
        {
            seen += readAllStandardOutput();
            return seen.contains(word);
        }
    };

private slots:
    void secondStartFindsFirstAndActivatesIt()
    {
        const QString key = QStringLiteral("org.zarnex.zentk-test.a");
        Helper first;
        QCOMPARE(startHelper(first, key), QStringLiteral("first"));

        QCOMPARE(runSecond(key), QStringLiteral("second"));
        QTRY_VERIFY_WITH_TIMEOUT(first.saw("activated"), 10000);

        // Another key is another application.
        Helper other;
        QCOMPARE(startHelper(other, QStringLiteral("org.zarnex.zentk-test.b")), QStringLiteral("first"));
        stop(other);
        stop(first);
    }

    void crashedFirstLeavesNoLock()
    {
        const QString key = QStringLiteral("org.zarnex.zentk-test.crash");
        Helper first;
        QCOMPARE(startHelper(first, key), QStringLiteral("first"));
        first.kill(); // SIGKILL: no clean-up runs
        QVERIFY(first.waitForFinished());
        QVERIFY(QFileInfo::exists(ZApplication::singleInstanceLockPath(key)));
        QVERIFY(QFileInfo::exists(ZApplication::singleInstanceServerName(key)));

        Helper next;
        QCOMPARE(startHelper(next, key), QStringLiteral("first"));
        // The stale socket was replaced, so the new first instance is reachable.
        QCOMPARE(runSecond(key), QStringLiteral("second"));
        QTRY_VERIFY_WITH_TIMEOUT(next.saw("activated"), 10000);
        stop(next);
    }

    // Peers that hold the socket open in silence, or talk without saying the
    // word, neither block the first instance nor raise its window.
    void oddPeersDoNotDisturbTheFirst()
    {
        const QString key = QStringLiteral("org.zarnex.zentk-test.peers");
        Helper first;
        QCOMPARE(startHelper(first, key), QStringLiteral("first"));

        const QByteArray path = QFile::encodeName(ZApplication::singleInstanceServerName(key));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(path.size()) < sizeof address.sun_path);
        memcpy(address.sun_path, path.constData(), size_t(path.size()));
        auto connectPeer = [&address] {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
                ::close(fd);
                return -1;
            }
            return fd;
        };
        const int silent = connectPeer();
        QVERIFY(silent >= 0);
        const int chatty = connectPeer();
        QVERIFY(chatty >= 0);
        const QByteArray noise(8192, 'x');
        QVERIFY(::send(chatty, noise.constData(), size_t(noise.size()), MSG_NOSIGNAL) > 0);
        ::close(chatty);

        // A real second start is still heard while the silent peer hangs on.
        QCOMPARE(runSecond(key), QStringLiteral("second"));
        QTRY_VERIFY_WITH_TIMEOUT(first.saw("activated"), 10000);
        QCOMPARE(first.seen.count("activated"), 1);
        ::close(silent);
        stop(first);
    }

    void keyIsSanitisedIntoOneFileName()
    {
        const QString path = ZApplication::singleInstanceLockPath(QStringLiteral("../../etc/evil key"));
        QCOMPARE(QFileInfo(path).absolutePath(),
                 QFileInfo(ZApplication::singleInstanceLockPath("x")).absolutePath());
        QVERIFY(!QFileInfo(path).fileName().contains(QLatin1Char('/')));
    }

    void runtimeDirMustBeARealPrivateDir_data()
    {
        QTest::addColumn<QString>("runtime");
        QTest::newRow("symlink") << QStringLiteral("link");
        QTest::newRow("missing") << QStringLiteral("missing");
    }

    void runtimeDirMustBeARealPrivateDir()
    {
        QFETCH(QString, runtime);
        const QString real = qEnvironmentVariable("XDG_RUNTIME_DIR");
        QString value = QDir::homePath() + QLatin1Char('/') + runtime;
        if (runtime == QLatin1String("link"))
            QVERIFY(QFile::link(real, value) || QFileInfo(value).isSymLink());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(value));
        const QString lock = ZApplication::singleInstanceLockPath(QStringLiteral("k"));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(real));
        QVERIFY2(!lock.startsWith(value + QLatin1Char('/')), qPrintable(lock));
        QVERIFY(QFileInfo(QFileInfo(lock).absolutePath()).isDir());
    }

    void oomScoreRange_data()
    {
        QTest::addColumn<int>("score");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("too low") << -1001 << false;
        QTest::newRow("too high") << 1001 << false;
        QTest::newRow("raise to 500") << 500 << true;
    }

    void oomScoreRange()
    {
        QFETCH(int, score);
        QFETCH(bool, accepted);
        QCOMPARE(ZApplication::setOOMScoreAdj(score), accepted);
        if (accepted) {
            QFile f(QStringLiteral("/proc/self/oom_score_adj"));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll().trimmed().toInt(), score);
        }
    }

    void productIdentity()
    {
        auto *app = ZApplication::instance();
        QVERIFY(app);
        app->setProductName(QStringLiteral("产品"));
        QCOMPARE(app->productName(), QStringLiteral("产品"));
        QVERIFY(!app->loadTranslator({QLocale(QStringLiteral("xx_YY"))}));
    }

    // Built the first time it is asked for, once; only a destroyed dialog is
    // built again, and a dialog handed over directly replaces the factory.
    void aboutDialogBuiltOnDemand()
    {
        auto *app = ZApplication::instance();
        int builds = 0;
        app->setAboutDialogFactory([&builds] {
            ++builds;
            return new QDialog;
        });
        QCOMPARE(builds, 0);
        app->showAboutDialog();
        QCOMPARE(builds, 1);
        QPointer<QDialog> first = app->aboutDialog();
        QVERIFY(first && first->isVisible());
        first->close();
        app->showAboutDialog();
        QCOMPARE(builds, 1);
        QCOMPARE(app->aboutDialog(), first.data());
        delete first;
        QVERIFY(app->aboutDialog());
        QCOMPARE(builds, 2);

        auto *given = new QDialog;
        app->setAboutDialog(given);
        QCOMPARE(app->aboutDialog(), given);
        delete given;
        QCOMPARE(app->aboutDialog(), nullptr);
        QCOMPARE(builds, 2);
    }

    void toolkitCatalogueFromTheUsersDataDir()
    {
        const QString dir = QDir::homePath() + QStringLiteral("/.local/share/zentk/translations");
        QVERIFY(QDir().mkpath(dir));
        QFile::remove(dir + QStringLiteral("/zentk_en_US.qm"));
        QVERIFY(QFile::copy(QStringLiteral(ZENTK_QM_DIR "/zentk_en_US.qm"),
                            dir + QStringLiteral("/zentk_en_US.qm")));
        QVERIFY(ZApplication::instance()->loadTranslator({QLocale(QLocale::English, QLocale::UnitedStates)}));
        QCOMPARE(QCoreApplication::translate("ZTitlebar", "关于"), QStringLiteral("About"));
    }
};

TAVRIN_TEST_MAIN_IMPL(TestZApplication, ZApplication)
#include "tst_zapplication.moc"
