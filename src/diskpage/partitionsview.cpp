#include "diskpage/partitionsview.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "backend/backend.h"
#include "ui/diskanalysis.h"
#include "ui/pageblocks.h"
#include "zlabel.h"

using namespace TavrinUi;

namespace DiskPage {

PartitionsView::PartitionsView(QWidget *parent)
    : TavrinSection(Text::tr("其他分区"), Text::tr("系统盘以外已挂载的分区，可点击“分析”查看其目录占用"),
                    parent)
{
    setObjectName(QStringLiteral("tavrinDiskPartitions"));
    m_box = new QWidget(this);
    auto *l = new QVBoxLayout(m_box);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(6);
    contentLayout()->addWidget(m_box);
}

void PartitionsView::setPartitions(const QList<Tavrin::DiskMountInfo> &partitions)
{
    QLayout *l = m_box->layout();
    while (QLayoutItem *item = l->takeAt(0)) {
        if (QWidget *w = item->widget())
            w->deleteLater();
        delete item;
    }
    if (partitions.isEmpty()) {
        l->addWidget(makeLabel(Text::tr("未发现其他已挂载的分区"), Small, Muted));
        return;
    }
    for (const Tavrin::DiskMountInfo &p : partitions) {
        auto *row = new QWidget(m_box);
        auto *h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(10);
        auto *text = new QVBoxLayout;
        text->setSpacing(0);
        text->addWidget(makeLabel(p.mountPoint, Body, Normal));
        text->addWidget(makeLabel(QStringLiteral("%1 · %2").arg(p.device, p.fsType), Caption, Muted));
        h->addLayout(text, 2);
        auto *bar = new TavrinFlatProgress(row);
        bar->setRange(0, 1000);
        bar->setValue(p.total > 0 ? int(p.used * 1000 / p.total) : 0);
        bar->setTextVisible(false);
        bar->setAccessibleName(Text::tr("%1 占用").arg(p.mountPoint));
        h->addWidget(bar, 2);
        // A partition df could not measure says so instead of showing 0 of 0.
        h->addWidget(makeLabel(
            p.total > 0 ? Text::tr("%1 / %2").arg(Tavrin::formatSize(p.used), Tavrin::formatSize(p.total))
                        : Text::tr("未知"),
            Small, Normal));
        QPushButton *drill = Ui::button(Text::tr("分析"));
        drill->setAccessibleName(Text::tr("分析 %1 的目录占用").arg(p.mountPoint));
        const QString mount = p.mountPoint;
        connect(drill, &QPushButton::clicked, this, [this, mount] { emit drillRequested(mount); });
        h->addWidget(drill);
        l->addWidget(row);
    }
}

} // namespace DiskPage
