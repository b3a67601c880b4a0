#include "mainwindow.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>
#include <ctime>

#include "aboutpage.h"
#include "basepage.h"
#include "diskusagepage.h"
#include "overviewpage.h"
#include "policypage.h"
#include "protectionpage.h"
#include "ui/sidebar.h"
#include "updatepage.h"
#include "versionpage.h"
#include "zapplication.h"
#include "zicontheme.h"
#include "ztitlebar.h"

MainWindow *MainWindow::s_instance = nullptr;

namespace {

const QString kOrganization = QStringLiteral("zarnex");
const QString kApplication = QStringLiteral("tavrin-manager");
const QString kLanguageKey = QStringLiteral("language");

// Set by the start-up benchmark only: report the first paint on standard
// output ("exit" also ends the program there).
constexpr char kFirstPaintProbe[] = "TAVRIN_FIRST_PAINT_PROBE";

constexpr PageId kAllPages[] = {Overview, DiskUsage, VersionManagement, Protection, Policy, Update, About};

} // namespace

MainWindow::MainWindow(QWidget *parent) : ZMainWindow(parent)
{
    s_instance = this;
    restartProgram = [] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
        QCoreApplication::quit();
    };

    setWindowTitle(tr("Tavrin设置"));
    resize(1060, 700);
    setMinimumSize(920, 620);

    ZTitlebar *bar = titlebar();
    bar->setTitle(tr("Tavrin设置"));
    QIcon icon = ZIconTheme::fileIcon(QStringLiteral(":/icons/tavrin.svg"));
    if (icon.isNull())
        icon = ZIconTheme::findQIcon(QStringLiteral("tavrin"));
    bar->setIcon(icon);
    setWindowIcon(icon);
    bar->setFixedHeight(46);
    bar->setAutoSystemMove(false);
    connect(bar, &ZTitlebar::mousePressed, this, [this](Qt::MouseButtons buttons) {
        if ((buttons & Qt::LeftButton) && windowHandle())
            windowHandle()->startSystemMove();
    });

    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);

    initSidebar();
    initContent();
    setupLanguageMenu();

    layout->addWidget(sidebarFrame, 0);
    layout->addWidget(stack, 1);
    installEventFilter(this);

    if (auto *app = qobject_cast<ZApplication *>(QCoreApplication::instance())) {
        connect(app, &ZApplication::newInstanceStarted, this, [this] {
            show();
            raise();
            activateWindow();
        });
    }

    gotoPage(Overview);
    // The keyboard starts in the navigation, not on the title bar's buttons.
    sidebar->listView()->setFocus(Qt::OtherFocusReason);
}

MainWindow::~MainWindow()
{
    if (s_instance == this)
        s_instance = nullptr;
    disconnectArrival();
    arrivalAction = nullptr;
}

void MainWindow::initSidebar()
{
    sidebarFrame = new QFrame(this);
    sidebarFrame->setObjectName(QStringLiteral("tavrinSidebar"));
    sidebarFrame->setFixedWidth(200);
    auto *layout = new QVBoxLayout(sidebarFrame);
    layout->setContentsMargins(10, 12, 10, 12);
    layout->setSpacing(0);
    sidebar = new TavrinUi::TavrinSidebar(sidebarFrame);

    sidebar->beginGroup(tr("概览"));
    sidebar->addItem(QStringLiteral("zarnex-system-monitor"), QStringLiteral("zarnex-home"), tr("总览"),
                     Overview);
    sidebar->beginGroup(tr("系统维护"));
    sidebar->addItem(QStringLiteral("drive-harddisk"), QStringLiteral("zarnex-diskmanager"), tr("磁盘空间"),
                     DiskUsage);
    sidebar->addItem(QStringLiteral("shield-check"), QStringLiteral("zarnex-defender"), tr("系统保护"),
                     Protection);
    sidebar->addItem(QStringLiteral("layers-snapshot"), QStringLiteral("application-x-archive"),
                     tr("备份与版本"), VersionManagement);
    sidebar->addItem(QStringLiteral("cycle-update"), QStringLiteral("upgrade-tool"), tr("系统更新"), Update);
    sidebar->beginGroup(tr("设置"));
    sidebar->addItem(QStringLiteral("preferences-system"), QStringLiteral("zarnex-home"), tr("策略与设置"),
                     Policy);
    sidebar->addItem(QStringLiteral("info-badge"), QStringLiteral("dialog-information"), tr("关于"), About);

    sidebar->onNavigate = [this](int id) { gotoPage(PageId(id)); };
    sidebar->onEnterPage = [this] {
        QWidget *current = stack->currentWidget();
        if (!current)
            return;
        // The first control of the page that Tab would reach.
        for (QWidget *w = current->nextInFocusChain(); w && w != current; w = w->nextInFocusChain()) {
            if (current->isAncestorOf(w) && w->isVisibleTo(current) && w->isEnabled() &&
                (w->focusPolicy() & Qt::TabFocus)) {
                w->setFocus(Qt::TabFocusReason);
                return;
            }
        }
    };
    layout->addWidget(sidebar);
}

void MainWindow::initContent()
{
    stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("tavrinContent"));

    // Pages are built when first asked for (the first switch builds the one
    // shown first); until then an empty placeholder keeps the stack's order.
    for (PageId id : kAllPages) {
        pages[id] = nullptr;
        stack->addWidget(new QWidget(stack));
    }
}

BasePage *MainWindow::buildPage(PageId id) const
{
    auto *self = const_cast<MainWindow *>(this);
    switch (id) {
    case Overview:
        return new OverviewPage(self);
    case DiskUsage:
        return new DiskUsagePage(self);
    case VersionManagement:
        return new VersionManagementPage(self);
    case Protection:
        return new ProtectionPage(self);
    case Policy:
        return new PolicyPage(self);
    case Update:
        return new UpdatePage(self);
    case About:
        return new AboutPage(self);
    }
    return nullptr;
}

BasePage *MainWindow::page(PageId id) const
{
    const auto it = pages.find(id);
    if (it == pages.end())
        return nullptr;
    if (!it->second) {
        BasePage *built = buildPage(id);
        if (!built)
            return nullptr;
        it->second = built;
        const int index = toIndex(id);
        QWidget *placeholder = stack->widget(index);
        stack->insertWidget(index, built);
        stack->removeWidget(placeholder);
        placeholder->deleteLater();
        for (const TavrinUi::SettingEntry &entry : built->searchableSettings())
            settingIndex.add(entry);
    }
    return it->second;
}

BasePage *MainWindow::builtPage(PageId id) const
{
    const auto it = pages.find(id);
    return it == pages.end() ? nullptr : it->second;
}

TavrinUi::SettingIndex &MainWindow::settings()
{
    for (PageId id : kAllPages)
        page(id);
    return settingIndex;
}

int MainWindow::toIndex(PageId id) const
{
    int index = 0;
    for (const auto &entry : pages) {
        if (entry.first == id)
            return index;
        ++index;
    }
    return -1;
}

void MainWindow::switchTo(PageId id)
{
    const int index = toIndex(id);
    if (index < 0)
        return;
    BasePage *target = page(id);
    auto *current = qobject_cast<BasePage *>(stack->currentWidget());
    if (current && current != target) {
        QPointer<MainWindow> self(this);
        const bool leave = current->confirmLeave([self, id] {
            if (self)
                self->switchTo(id);
        });
        if (!self)
            return;
        if (!leave) {
            // The sidebar already moved on; it follows the page that stays.
            for (const auto &[pageId, built] : pages) {
                if (built == current)
                    sidebar->setCurrentData(pageId);
            }
            return;
        }
    }
    flushArrivalAction(false);
    stack->setCurrentWidget(target);
    sidebar->setCurrentData(id);
    target->refresh();
}

void MainWindow::gotoPage(PageId id)
{
    if (page(id))
        switchTo(id);
}

void MainWindow::gotoPage(PageId id, SubPageId sub)
{
    if (auto *versions = qobject_cast<VersionManagementPage *>(page(id)))
        versions->showSubPage(sub);
    switchTo(id);
}

void MainWindow::gotoPage(PageId id, std::function<void()> action)
{
    if (!page(id))
        return;
    switchTo(id);
    if (action)
        scheduleArrivalAction(id, std::move(action));
}

void MainWindow::gotoPage(PageId id, SubPageId sub, std::function<void()> action)
{
    if (!page(id))
        return;
    gotoPage(id, sub);
    if (action)
        scheduleArrivalAction(id, std::move(action));
}

void MainWindow::disconnectArrival()
{
    if (arrivalWaiting) {
        disconnect(arrivalConnection);
        arrivalWaiting = false;
    }
}

void MainWindow::scheduleArrivalAction(PageId id, std::function<void()> action)
{
    BasePage *target = page(id);
    if (!target)
        return;
    disconnectArrival();
    if (arrivalTimer)
        arrivalTimer->stop();
    arrivalAction = std::move(action);
    arrivalPage = id;
    if (!arrivalTimer) {
        arrivalTimer = new QTimer(this);
        arrivalTimer->setSingleShot(true);
        connect(arrivalTimer, &QTimer::timeout, this, [this] { flushArrivalAction(true); });
    }
    if (!target->isBusy()) {
        flushArrivalAction(true);
        return;
    }
    arrivalWaiting = true;
    arrivalConnection = connect(target, &BasePage::idleReached, this, [this, id] {
        if (arrivalWaiting && arrivalPage == id)
            flushArrivalAction(true);
    });
    arrivalTimer->start(4000);
}

void MainWindow::flushArrivalAction(bool run)
{
    if (arrivalTimer)
        arrivalTimer->stop();
    disconnectArrival();
    std::function<void()> action = std::move(arrivalAction);
    arrivalAction = nullptr;
    if (action && run)
        action();
}

void MainWindow::gotoSetting(PageId id, const QString &key)
{
    BasePage *target = page(id);
    if (!target)
        return;
    switchTo(id);
    target->highlightSetting(key);
}

void MainWindow::showDiskDate(const QDate &date)
{
    qInfo("[MainWindow] showDiskDate %s", qPrintable(date.toString(Qt::ISODate)));
    auto *disk = qobject_cast<DiskUsagePage *>(page(DiskUsage));
    if (!disk)
        return;
    gotoPage(DiskUsage);
    disk->focusDate(date);
}

void MainWindow::refreshTavrinPages()
{
    // A page not built yet loads the state fresh on its first visit.
    if (BasePage *protection = builtPage(Protection))
        protection->refresh();
    if (stack->currentIndex() == toIndex(Overview)) {
        if (BasePage *overview = builtPage(Overview))
            overview->refresh();
    }
}

void MainWindow::refreshStoragePages()
{
    for (PageId id : {Overview, DiskUsage, VersionManagement, Update}) {
        if (BasePage *built = builtPage(id))
            built->refresh();
    }
}

void MainWindow::setupLanguageMenu()
{
    ZTitlebar *bar = titlebar();
    QMenu *menu = bar->menu();
    if (!menu) {
        menu = new QMenu(this);
        bar->setMenu(menu);
    }
    QMenu *languages = menu->addMenu(tr("语言"));
    auto *group = new QActionGroup(languages);
    group->setExclusive(true);

    const QString current =
        QSettings(kOrganization, kApplication).value(kLanguageKey, QStringLiteral("system")).toString();
    const struct
    {
        QString label;
        QString code;
    } choices[] = {
        {tr("跟随系统"), QStringLiteral("system")},
        {tr("简体中文"), QStringLiteral("zh_CN")},
        {QStringLiteral("English"), QStringLiteral("en_US")},
    };
    for (const auto &choice : choices) {
        QAction *action = languages->addAction(choice.label);
        action->setCheckable(true);
        action->setData(choice.code);
        group->addAction(action);
        const bool known = current == QLatin1String("zh_CN") || current == QLatin1String("en_US");
        action->setChecked(known ? current == choice.code : choice.code == QLatin1String("system"));
        const QString code = choice.code;
        connect(action, &QAction::triggered, this, [this, code] { switchLanguage(code); });
    }
    bar->setMenuVisible(true);
}

void MainWindow::switchLanguage(const QString &lang)
{
    {
        QSettings settings(kOrganization, kApplication);
        if (settings.value(kLanguageKey, QStringLiteral("system")).toString() == lang)
            return;
        settings.setValue(kLanguageKey, lang);
        settings.sync();
    }
    qunsetenv("LC_ALL");
    if (lang == QLatin1String("system")) {
        qunsetenv("LANGUAGE");
        qunsetenv("LANG");
    } else {
        qputenv("LANGUAGE", lang.toUtf8());
        qputenv("LANG", lang == QLatin1String("en_US") ? QByteArrayLiteral("en_US.UTF-8")
                                                       : QByteArrayLiteral("zh_CN.UTF-8"));
    }
    if (restartProgram)
        restartProgram();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (auto *current = qobject_cast<BasePage *>(stack->currentWidget())) {
        QPointer<MainWindow> self(this);
        if (!current->confirmLeave([self] {
                if (self)
                    self->close();
            })) {
            event->ignore();
            return;
        }
    }
    flushArrivalAction(false);
    for (const auto &[id, page] : pages) {
        if (page)
            page->shutdown();
    }
    ZMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The paint pass of the window includes its first page; the report is
    // queued so it comes after the pass has been flushed to the screen.
    if (watched == this && event->type() == QEvent::Paint && !firstPaintSeen) {
        firstPaintSeen = true;
        removeEventFilter(this);
        QMetaObject::invokeMethod(this, &MainWindow::reportFirstPaint, Qt::QueuedConnection);
    }
    return ZMainWindow::eventFilter(watched, event);
}

void MainWindow::reportFirstPaint()
{
    emit firstPainted();
    const QByteArray probe = qgetenv(kFirstPaintProbe);
    if (probe.isEmpty())
        return;
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    std::printf("first-paint cpu-us=%lld\n", (long long)cpu.tv_sec * 1000000 + cpu.tv_nsec / 1000);
    std::fflush(stdout);
    if (probe == "exit")
        QCoreApplication::exit(0);
}
