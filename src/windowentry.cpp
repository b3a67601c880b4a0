// The window: the module the executable loads when it is not run as the monitor.
#include "mainwindow.h"
#include "startup.h"
#include "ui/aboutdialog.h"
#include "ui/appearance.h"

#include "zapplication.h"
#include "zguiapplicationhelper.h"
#include "zicontheme.h"
#include "zlogmanager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QFile>
#include <QPixmapCache>
#include <QThreadPool>

namespace {

constexpr char kDiskNavService[] = "org.zarnex.tavrin-manager.disknav";
constexpr char kDiskNavPath[] = "/disknav";
constexpr char kDiskNavInterface[] = "org.zarnex.tavrin.disknav";

class DiskNavObject : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.zarnex.tavrin.disknav")
public:
    using QObject::QObject;

public slots:
    void ShowDisk(const QString &date)
    {
        const QDate day = QDate::fromString(date, Qt::ISODate);
        MainWindow *window = MainWindow::s_instance;
        if (!day.isValid() || !window)
            return;
        // show() alone leaves a minimised window minimised.
        if (window->isMinimized())
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
        window->showDiskDate(day);
    }
};

// True when the running instance took the day.
bool forwardShowDisk(const QDate &date)
{
    QDBusInterface proxy(QLatin1String(kDiskNavService), QLatin1String(kDiskNavPath),
                         QLatin1String(kDiskNavInterface), QDBusConnection::sessionBus());
    if (!proxy.isValid())
        return false;
    const QDBusMessage reply =
        proxy.call(QDBus::AutoDetect, QStringLiteral("ShowDisk"), date.toString(Qt::ISODate));
    return reply.type() != QDBusMessage::ErrorMessage;
}

} // namespace

extern "C" Q_DECL_EXPORT int tavrin_window_main(int argc, char *argv[])
{
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    const TavrinStartup::LaunchRequest request = TavrinStartup::scanArguments(argc, argv);
    const QString translationLanguage = TavrinStartup::applyLanguageSetting();

    ZApplication app(argc, argv);
    // The pages load on the global pool. Its idle threads would end 30 s
    // after their last task, each end a wake-up of a window that is otherwise
    // asleep; kept, they wait without a time-out.
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
    // Qt trims its pixmap cache on a 30 s timer for as long as the cache holds
    // anything, so one scroll bar or button drawn by the style keeps waking an
    // idle window for minutes. What the style would cache there is a few small
    // pixmaps, cheaper to draw again than to keep a timer for.
    QPixmapCache::setCacheLimit(0);
    app.setOrganizationName(QStringLiteral("zarnex"));
    app.setApplicationName(QStringLiteral("tavrin-manager"));
    app.setApplicationVersion(QStringLiteral("1.0.0"));

    ZLogManager::registerConsoleAppender();
    ZLogManager::registerFileAppender();

    app.loadTranslator({QLocale::system()});
    TavrinStartup::installProgramTranslation(translationLanguage);

    const QString productName = TavrinStartup::Texts::productName();
    QGuiApplication::setApplicationDisplayName(productName);
    app.setProductName(productName);

    const QString iconPath = QStringLiteral(":/icons/tavrin.svg");
    QIcon productIcon = ZIconTheme::fileIcon(iconPath);
    if (productIcon.isNull())
        productIcon = ZIconTheme::findQIcon(QStringLiteral("tavrin"));
    app.setProductIcon(productIcon);

    app.setAboutDialogFactory([] { return new TavrinUi::TavrinAboutDialog(nullptr); });

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.registerService(QLatin1String(kDiskNavService))) {
        auto *nav = new DiskNavObject(&app);
        bus.registerObject(QLatin1String(kDiskNavPath), QLatin1String(kDiskNavInterface), nav,
                           QDBusConnection::ExportAllSlots);
    } else if (request.showDiskDate.isValid() && bus.isConnected() && forwardShowDisk(request.showDiskDate)) {
        return 0;
    }

    if (!app.setSingleInstance(QStringLiteral("org.zarnex.tavrin-manager"))) {
        qWarning("Another instance is running, exit.");
        return 0;
    }

    QObject::connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged,
                     &app, TavrinUi::applyAppearance);
    TavrinUi::applyAppearance();

    MainWindow window(nullptr);
    if (request.showDiskDate.isValid())
        window.showDiskDate(request.showDiskDate);
    window.show();

    ZApplication::setOOMScoreAdj(0);
    return app.exec();
}

#include "windowentry.moc"
