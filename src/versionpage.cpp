#include "versionpage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

#include "compare/compareentry.h"
#include "deployspage.h"
#include "mainwindow.h"
#include "snapshotspage.h"
#include "ui/components.h"
#include "ui/pageblocks.h"
#include "zlabel.h"
#include "ztabbar.h"

namespace {

// The hosted pages keep their own scroll areas; this page already keeps the margins.
void dropPageMargins(BasePage *page)
{
    if (auto *area = page->findChild<QScrollArea *>(QStringLiteral("tavrinScroll"))) {
        if (area->widget() && area->widget()->layout())
            area->widget()->layout()->setContentsMargins(0, 0, 0, 0);
    }
}

} // namespace

// Built where it will live: moving a page between parents restyles every
// widget in it, which the click that opens the page would wait for.
VersionManagementPage::VersionManagementPage(MainWindow *window)
    : BasePage(window ? static_cast<QWidget *>(window->pageStack()) : nullptr), window(window)
{
    // The snapshot list is read while the page is built: the tool's run, not
    // the building, is what the user waits for. A refresh in the same turn
    // (the window's switch to this page) takes it; a later one reads anew.
    firstRead = SnapshotsPage::startListRead();
    firstReadPending = true;
    QTimer::singleShot(0, this, [this] { firstReadPending = false; });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 12);
    layout->setSpacing(12);

    QWidget *header =
        Ui::pageHeader(tr("备份与版本"), tr("系统快照是可还原的备份点，系统部署实例是可启动的系统"),
                       QStringLiteral("document-save"));
    auto *headerLayout = qobject_cast<QHBoxLayout *>(header->layout());
    QPushButton *refreshButton = Ui::button(tr("刷新"));
    refreshButton->setAccessibleName(tr("刷新当前列表"));
    createButton = Ui::button(tr("创建备份"), true);
    createButton->setObjectName(QStringLiteral("tavrinCreateSnapshotButton"));
    createButton->setAccessibleName(tr("创建备份"));
    QPushButton *compareButton = Ui::button(tr("比较"));
    compareButton->setObjectName(QStringLiteral("tavrinCompareButton"));
    compareButton->setAccessibleName(tr("比较两个快照或部署"));
    QPushButton *compareBootedButton = Ui::button(tr("与当前系统比较"));
    compareBootedButton->setObjectName(QStringLiteral("tavrinCompareBootedButton"));
    compareBootedButton->setAccessibleName(tr("将所选的一行与当前系统比较"));
    for (QPushButton *b : {refreshButton, createButton}) {
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(false);
        headerLayout->addWidget(b, 0, Qt::AlignVCenter);
    }
    layout->addWidget(header);

    auto *banner = new TavrinUi::TavrinInlineBanner(this);
    banner->setVisible(false);
    feedbackBanner = banner;
    layout->addWidget(banner);

    tabBar = new ZTabBar(this);
    tabBar->setObjectName(QStringLiteral("tavrinTabBar"));
    tabBar->addTab(tr("系统快照"));
    tabBar->addTab(tr("系统部署实例"));
    tabBar->setExpanding(false);
    tabBar->setFocusPolicy(Qt::StrongFocus);
    tabBar->setAccessibleName(tr("备份与版本分类"));
    // The comparison acts on the rows of either tab, so it sits beside the tabs.
    auto *tabRow = new QHBoxLayout;
    tabRow->addWidget(tabBar, 0, Qt::AlignLeft | Qt::AlignBottom);
    tabRow->addStretch(1);
    for (QPushButton *b : {compareButton, compareBootedButton}) {
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(false);
        tabRow->addWidget(b, 0, Qt::AlignVCenter);
    }
    layout->addLayout(tabRow);

    hintLabel = TavrinUi::makeLabel(QString(), TavrinUi::Body, TavrinUi::Muted);
    hintLabel->setObjectName(QStringLiteral("tavrinRowDesc"));
    hintLabel->setWordWrap(true);
    layout->addWidget(hintLabel);

    auto *compare = new TavrinUi::TavrinCollapsible(tr("「系统快照」和「系统部署实例」有什么区别？"), this);
    compare->setObjectName(QStringLiteral("tavrinCompareBox"));
    compare->setContent(buildCompareWidget());
    layout->addWidget(compare);

    stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("tavrinContent"));
    snapshotsPage = new SnapshotsPage(window, stack);
    adoptSubPage(snapshotsPage);
    stack->addWidget(snapshotsPage);
    // The deployments tab is built when first shown: most visits are for the
    // snapshots, and a hidden page still costs its building and styling.
    stack->addWidget(new QWidget(stack));
    layout->addWidget(stack, 1);

    connect(refreshButton, &QPushButton::clicked, this, &VersionManagementPage::refresh);
    connect(compareButton, &QPushButton::clicked, this, [this] { pickAndCompare(this, selectedStateId()); });
    connect(compareBootedButton, &QPushButton::clicked, this,
            [this] { compareWithBooted(this, selectedStateId()); });
    connect(createButton, &QPushButton::clicked, this,
            [this] { QMetaObject::invokeMethod(snapshotsPage, "onCreate"); });
    connect(tabBar, &QTabBar::currentChanged, this, [this](int index) {
        firstReadPending = false;
        if (index != 0)
            deploys();
        stack->setCurrentIndex(index);
        createButton->setVisible(index == 0);
        updateHint(index);
        if (index == 0)
            snapshotsPage->refresh();
        else
            deploys()->refresh();
    });
    updateHint(0);
}

void VersionManagementPage::adoptSubPage(BasePage *page)
{
    page->setParent(stack);
    dropPageMargins(page);
    connect(page, &BasePage::idleReached, this, &VersionManagementPage::onSubPageIdle);
}

DeploysPage *VersionManagementPage::deploys()
{
    if (!deploysPage) {
        deploysPage = new DeploysPage(window, stack);
        adoptSubPage(deploysPage);
        QWidget *placeholder = stack->widget(1);
        stack->insertWidget(1, deploysPage);
        stack->removeWidget(placeholder);
        placeholder->deleteLater();
    }
    return deploysPage;
}

QWidget *VersionManagementPage::buildCompareWidget()
{
    auto *panel = new TavrinUi::TavrinPanel(nullptr, TavrinUi::TavrinPanel::Subtle);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(8);
    const QStringList heads = {tr("对比项"), tr("系统快照"), tr("系统部署实例")};
    for (int c = 0; c < heads.size(); ++c) {
        ZLabel *label = TavrinUi::makeLabel(heads.at(c), TavrinUi::ItemTitle, TavrinUi::Normal);
        grid->addWidget(label, 0, c);
    }
    const QList<QStringList> rows = {
        {tr("是什么"), tr("可还原的备份点，只记录系统层的差异"), tr("一整套可启动的系统，占用完整磁盘空间")},
        {tr("怎么来的"), tr("你手动创建，或系统初始化时自动生成"), tr("系统升级、回滚时自动生成")},
        {tr("能做什么"), tr("可以创建、删除，也可以还原回它记录的时刻"), tr("只能删除，用来释放磁盘空间")},
        {tr("删除后"), tr("只是少一个还原点，系统照常运行"), tr("该系统将无法再启动")}};
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < 3; ++c) {
            ZLabel *label = TavrinUi::makeLabel(rows.at(r).at(c), TavrinUi::Body,
                                                c == 0 ? TavrinUi::Muted : TavrinUi::Normal);
            label->setWordWrap(true);
            grid->addWidget(label, r + 1, c);
        }
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    panel->contentLayout()->addLayout(grid);
    ZLabel *note = TavrinUi::makeLabel(
        tr("两者关系：还原一个快照后，系统会自动生成一个新的部署实例（带「回滚前」标记），"
           "可在「系统部署实例」页看到它。"),
        TavrinUi::Body, TavrinUi::Muted);
    note->setWordWrap(true);
    panel->contentLayout()->addWidget(note);
    return panel;
}

void VersionManagementPage::onSubPageIdle()
{
    if (!snapshotsPage->isBusy() && !(deploysPage && deploysPage->isBusy()))
        emit idleReached();
}

void VersionManagementPage::refresh()
{
    if (currentSubPage() != 0)
        deploys()->refresh();
    else if (std::exchange(firstReadPending, false))
        snapshotsPage->refreshWith(firstRead);
    else
        snapshotsPage->refresh();
}

void VersionManagementPage::shutdown()
{
    snapshotsPage->shutdown();
    if (deploysPage)
        deploysPage->shutdown();
}

bool VersionManagementPage::isBusy() const
{
    return BasePage::isBusy() || snapshotsPage->isBusy() || (deploysPage && deploysPage->isBusy());
}

void VersionManagementPage::showSubPage(int index)
{
    if (index >= 0 && index < tabBar->count())
        tabBar->setCurrentIndex(index);
}

int VersionManagementPage::currentSubPage() const
{
    return tabBar->currentIndex();
}

void VersionManagementPage::requestCreateSnapshot()
{
    showSubPage(0);
    snapshotsPage->onCreate();
}

QString VersionManagementPage::hintText(int index) const
{
    if (index == 0)
        return tr("这里记录的是「可还原的备份点」：可以创建、删除，也可以把系统还原回它记录的那一刻。");
    return tr("这里列出的是「一整套可启动的系统」：只能删除以释放磁盘空间，删除后该系统无法再启动。");
}

void VersionManagementPage::updateHint(int index)
{
    if (hintLabel)
        hintLabel->setText(hintText(index));
}

QString VersionManagementPage::selectedStateId() const
{
    if (tabBar->currentIndex() == 0)
        return snapshotsPage->selectedSnapshotId();
    return deploysPage ? deploysPage->selectedCommit() : QString();
}
