#include "versionpage.h"

#include <QScrollArea>
#include <QVBoxLayout>

#include "mainwindow.h"
#include "placeholderpage.h"
#include "snapshotspage.h"
#include "ui/components.h"
#include "zlabel.h"
#include "ztabbar.h"

VersionManagementPage::VersionManagementPage(MainWindow *window) : BasePage(window)
{
    const PlaceholderParts parts = buildPlaceholderPage(
        this, tr("备份与版本"), tr("系统快照是可还原的备份点，系统部署实例是可启动的系统"),
        QStringLiteral("document-save"));
    feedbackBanner = parts.banner;

    tabBar = new ZTabBar(this);
    tabBar->setObjectName(QStringLiteral("tavrinTabBar"));
    tabBar->addTab(tr("系统快照"));
    tabBar->addTab(tr("系统部署实例"));
    tabBar->setExpanding(false);
    hintLabel = TavrinUi::makeLabel(QString(), TavrinUi::Body, TavrinUi::Muted);
    hintLabel->setObjectName(QStringLiteral("tavrinRowDesc"));
    parts.layout->insertWidget(2, tabBar, 0, Qt::AlignLeft);
    parts.layout->insertWidget(3, hintLabel);

    // The snapshot list is the first sub-page; the deployments tab keeps the
    // placeholder until its page exists.
    snapshotsPage = new SnapshotsPage(window);
    snapshotsPage->setParent(this);
    // This page already keeps the page margins.
    if (auto *area = snapshotsPage->findChild<QScrollArea *>(QStringLiteral("tavrinScroll"))) {
        if (area->widget() && area->widget()->layout())
            area->widget()->layout()->setContentsMargins(0, 0, 0, 0);
    }
    parts.layout->insertWidget(4, snapshotsPage, 1);
    // The sub-page scrolls in its own area; this page's area only lays out
    // header, tabs and hint above it, so the two never scroll together. The
    // trailing stretch yields to the sub-page while it is shown.
    if (auto *outerArea =
            findChild<QScrollArea *>(QStringLiteral("tavrinScroll"), Qt::FindDirectChildrenOnly))
        outerArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    parts.layout->setStretch(parts.layout->count() - 1, 0);
    placeholderPanel = parts.emptyState->parentWidget();
    placeholderPanel->setVisible(false);
    connect(snapshotsPage, &BasePage::idleReached, this, [this] {
        if (!isBusy())
            emit idleReached();
    });

    connect(tabBar, &QTabBar::currentChanged, this, [this](int index) {
        snapshotsPage->setVisible(index == 0);
        placeholderPanel->setVisible(index != 0);
        updateHint(index);
        if (index == 0)
            snapshotsPage->refresh();
    });
    updateHint(0);
}

void VersionManagementPage::refresh()
{
    if (currentSubPage() == 0)
        snapshotsPage->refresh();
}

void VersionManagementPage::shutdown()
{
    snapshotsPage->shutdown();
}

bool VersionManagementPage::isBusy() const
{
    return BasePage::isBusy() || snapshotsPage->isBusy();
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
