#include "zlogmanager.h"

#include "testsupport.h"

#include <QFile>

class TestZLogManager : public QObject
{
    Q_OBJECT

private:
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("zentk-logtest"));
        ZLogManager::registerFileAppender();
    }

    void fileUnderStateHome()
    {
        QCOMPARE(ZLogManager::logFilePath(),
                 qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/zentk-logtest/zentk-logtest.log"));
    }

    void messagesReachTheFile()
    {
        qInfo("[Probe] 快照 %d", 42);
        qWarning("[Probe] warned");
        const QByteArray log = readAll(ZLogManager::logFilePath());
        QVERIFY(log.contains("[Info] [Probe] 快照 42\n"));
        QVERIFY(log.contains("[Warning] [Probe] warned\n"));
        const QFileDevice::Permissions perms = QFile::permissions(ZLogManager::logFilePath());
        QVERIFY(perms.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther;
        QVERIFY(!(perms & others));
    }

    void fileIsRotatedAtItsCap()
    {
        ZLogManager::setMaxFileSize(4096);
        const QByteArray filler(100, 'x');
        for (int i = 0; i < 100; ++i)
            qInfo("%s %d", filler.constData(), i);
        qInfo("[Probe] last line");
        const QString path = ZLogManager::logFilePath();
        QVERIFY(QFile(path).size() <= 4096);
        QVERIFY(QFile(path + QStringLiteral(".1")).size() <= 4096);
        QVERIFY(readAll(path).contains("[Probe] last line"));
        QVERIFY(!readAll(path + QStringLiteral(".1")).contains("[Probe] last line"));
    }
};

TAVRIN_TEST_GUILESS_MAIN(TestZLogManager)
#include "tst_zlogmanager.moc"
