#pragma once

// "其他分区": the mounted partitions other than the system disk, each with its use and an
// "分析" button that drills into it.

#include <QList>

#include "disk/diskrecords.h"
#include "ui/components.h"

namespace DiskPage {

class PartitionsView : public TavrinUi::TavrinSection
{
    Q_OBJECT

public:
    explicit PartitionsView(QWidget *parent = nullptr);
    void setPartitions(const QList<Tavrin::DiskMountInfo> &partitions);

signals:
    void drillRequested(const QString &mountPoint);

private:
    QWidget *m_box = nullptr;
};

} // namespace DiskPage
