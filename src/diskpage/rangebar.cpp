#include "diskpage/rangebar.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "disk/historylock.h"
#include "diskpage/pagewidgets.h"
#include "ui/diskanalysis.h"
#include "zdialog.h"
#include "zlabel.h"

using namespace TavrinUi;

namespace DiskPage {

const QList<int> &RangeBar::presetDays()
{
    static const QList<int> days = {15, 30, 90, 180, 365};
    return days;
}

RangeBar::RangeBar(QWidget *parent) : QWidget(parent)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(6);
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    outer->addLayout(row);

    auto *segment = new QWidget(this);
    segment->setObjectName(QStringLiteral("tavrinDiskPresets"));
    auto *segmentLayout = new QHBoxLayout(segment);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(4);
    m_presets = new QButtonGroup(this);
    m_presets->setExclusive(true);
    const QStringList names = {Text::tr("15 天"), Text::tr("30 天"), Text::tr("90 天"), Text::tr("180 天"),
                               Text::tr("1 年")};
    for (int i = 0; i < presetDays().size(); ++i) {
        auto *b = new SegmentButton(names.at(i), segment);
        b->setObjectName(QStringLiteral("tavrinDiskPreset%1").arg(i));
        b->setAccessibleName(Text::tr("显示最近 %1 天").arg(presetDays().at(i)));
        m_presets->addButton(b, i);
        segmentLayout->addWidget(b);
    }
    connect(m_presets, &QButtonGroup::idClicked, this,
            [this](int id) { emit presetChosen(presetDays().value(id, 15)); });
    QPushButton *custom = namedButton(QStringLiteral("tavrinDiskCustomRange"), Text::tr("自定义…"));
    custom->setAccessibleName(Text::tr("自定义日期范围"));
    connect(custom, &QPushButton::clicked, this, &RangeBar::customRangeRequested);
    row->addWidget(segment);
    row->addWidget(custom);
    row->addStretch(1);

    m_alertHistoryBtn = namedButton(QStringLiteral("tavrinDiskAlertHistory"), Text::tr("告警历史（0）"));
    m_alertHistoryBtn->setIcon(themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning));
    m_exportButton = namedButton(QStringLiteral("tavrinDiskExportCsv"), Text::tr("导出 CSV"));
    m_exportButton->setAccessibleName(Text::tr("导出当前范围为 CSV"));
    m_settingsButton = namedButton(QStringLiteral("tavrinDiskSettings"), Text::tr("设置"));
    m_settingsButton->setIcon(
        themedIcon(QStringLiteral("preferences-system"), QStyle::SP_FileDialogDetailedView));
    m_settingsButton->setAccessibleName(Text::tr("磁盘空间设置"));
    m_scanButton = namedButton(QStringLiteral("tavrinDiskScanNow"), Text::tr("立即扫描"), true);
    m_scanButton->setIcon(themedIcon(QStringLiteral("view-refresh"), QStyle::SP_BrowserReload));
    m_scanButton->setAccessibleName(Text::tr("立即扫描系统盘"));
    row->addWidget(m_scanButton);

    m_status = namedLabel(QStringLiteral("tavrinDiskStatus"), QString(), Small, Muted);
    m_status->setAccessibleName(Text::tr("状态"));
    m_status->setWordWrap(true);
    outer->addWidget(m_status);
}

void RangeBar::checkPreset(int days)
{
    if (QAbstractButton *b = m_presets->button(int(presetDays().indexOf(days))))
        b->setChecked(true);
}

void RangeBar::clearPreset()
{
    m_presets->setExclusive(false);
    for (QAbstractButton *b : m_presets->buttons())
        b->setChecked(false);
    m_presets->setExclusive(true);
}

void RangeBar::askCustomRange(const QDate &shownFrom, const QDate &shownTo)
{
    const QString isoDay = QStringLiteral("yyyy-MM-dd");
    ZDialog dialog(Text::tr("自定义日期范围"), Text::tr("选择要查看的起止日期（最多 730 天）"), this);
    auto *box = new QWidget(&dialog);
    auto *grid = new QGridLayout(box);
    const QDate today = Tavrin::diskToday();
    auto *from = new QDateEdit(shownFrom.isValid() ? shownFrom : today.addDays(-29), box);
    auto *to = new QDateEdit(shownTo.isValid() ? shownTo : today, box);
    for (QDateEdit *e : {from, to}) {
        e->setCalendarPopup(true);
        e->setDisplayFormat(isoDay);
        e->setMaximumDate(today.addDays(1));
        e->setMinimumWidth(140);
    }
    from->setAccessibleName(Text::tr("开始日期"));
    to->setAccessibleName(Text::tr("结束日期"));
    grid->addWidget(makeLabel(Text::tr("开始日期"), Body, Normal), 0, 0);
    grid->addWidget(from, 0, 1);
    grid->addWidget(makeLabel(Text::tr("结束日期"), Body, Normal), 1, 0);
    grid->addWidget(to, 1, 1);
    dialog.addContent(box);
    dialog.addButton(Text::tr("取消"));
    const int ok = dialog.addButton(Text::tr("确定"), true, ZDialog::ButtonRecommend);
    auto validate = [&] {
        const bool valid = from->date() <= to->date() && from->date().daysTo(to->date()) < 730;
        if (QAbstractButton *b = dialog.getButton(ok))
            b->setEnabled(valid);
    };
    connect(from, &QDateEdit::dateChanged, &dialog, validate);
    connect(to, &QDateEdit::dateChanged, &dialog, validate);
    validate();
    if (dialog.exec() == ok) {
        clearPreset();
        emit rangeChosen(from->date(), to->date());
    }
}

} // namespace DiskPage
