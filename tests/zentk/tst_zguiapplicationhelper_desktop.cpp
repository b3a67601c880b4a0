// The theme following the desktop's stated colour scheme, served here by a
// stand-in settings portal on the private session bus.
#include "zguiapplicationhelper.h"

#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QSignalSpy>

class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 1; // dark

public slots:
    QDBusVariant Read(const QString &group, const QString &key)
    {
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return QDBusVariant(QString());
        // Older portals wrap the value twice.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme)));
    }
};

class TestZGuiApplicationHelperDesktop : public QObject
{
    Q_OBJECT

private:
    FakePortal m_portal;

    static QDBusConnection portalConnection()
    {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"));
    }

    // A call behind the signals on the same connection: once it is answered,
    // the test process has dispatched the signals sent before it.
    static bool flush()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                                           QStringLiteral("/org/freedesktop/portal/desktop"),
                                                           QStringLiteral("org.freedesktop.portal.Settings"),
                                                           QStringLiteral("Read"));
        call << QStringLiteral("x") << QStringLiteral("y");
        const QDBusPendingCall pending = portalConnection().asyncCall(call);
        return QTest::qWaitFor([&pending] { return pending.isFinished(); }, 10000);
    }

    static void announce(const QString &group, uint scheme)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << group << QStringLiteral("color-scheme") << QVariant::fromValue(QDBusVariant(scheme));
        // From a connection of its own, as the real portal is another process.
        portalConnection().send(signal);
    }

private slots:
    void initTestCase()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "needs a session bus (dbus-run-session)");
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &m_portal,
                                   QDBusConnection::ExportAllSlots));
    }

    void followsTheStatedScheme()
    {
        auto *helper = ZGuiApplicationHelper::instance();
        QTRY_COMPARE(helper->themeType(), ZGuiApplicationHelper::DarkType);
        QCOMPARE(helper->applicationPalette(), ZPalette::darkPalette());

        QSignalSpy changed(helper, &ZGuiApplicationHelper::applicationPaletteChanged);
        announce(QStringLiteral("org.freedesktop.appearance"), 2);
        QTRY_COMPARE(helper->themeType(), ZGuiApplicationHelper::LightType);
        QCOMPARE(changed.count(), 1);

        // Other settings groups are not the colour scheme.
        announce(QStringLiteral("org.example.other"), 1);
        QVERIFY(flush());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(helper->themeType(), ZGuiApplicationHelper::LightType);
    }

    void forcedThemeWinsOverTheDesktop()
    {
        auto *helper = ZGuiApplicationHelper::instance();
        helper->setPaletteType(ZGuiApplicationHelper::LightType);
        QSignalSpy changed(helper, &ZGuiApplicationHelper::applicationPaletteChanged);
        announce(QStringLiteral("org.freedesktop.appearance"), 1);
        QVERIFY(flush());
        QCOMPARE(helper->themeType(), ZGuiApplicationHelper::LightType);
        QCOMPARE(changed.count(), 0);
        // Following the desktop again picks up what it said meanwhile.
        helper->setPaletteType(ZGuiApplicationHelper::UnknownType);
        QTRY_COMPARE(helper->themeType(), ZGuiApplicationHelper::DarkType);
        QCOMPARE(changed.count(), 1);
    }
};

TAVRIN_TEST_MAIN(TestZGuiApplicationHelperDesktop)
#include "tst_zguiapplicationhelper_desktop.moc"
