#include "diskpage/alertviews.h"

#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>

#include "backend/backend.h"
#include "disk/jsonfileio.h"
#include "diskpage/historymodel.h"
#include "zdialog.h"

using namespace TavrinUi;

namespace DiskPage {

AlertBanner::AlertBanner(QWidget *parent) : TavrinInlineBanner(parent)
{
    setObjectName(QStringLiteral("tavrinDiskAlertBanner"));
    setSemantic(Danger);
    setClosable(true);
    setVisible(false);
    setAccessibleName(Text::tr("磁盘增长告警"));
}

QString AlertBanner::showNewest(const QList<AlertEntry> &alerts, const QStringList &dismissed)
{
    const QSet<QString> gone(dismissed.cbegin(), dismissed.cend());
    for (auto it = alerts.crbegin(); it != alerts.crend(); ++it) {
        if (gone.contains(it->key()))
            continue;
        if (it->forecast) {
            setSemantic(Warning);
            setText(Text::tr("%1 · %2 · 增长最多 %3")
                        .arg(it->date, forecastAlertText(*it),
                             it->causeDir.isEmpty() ? Text::tr("未知") : it->causeDir));
        } else {
            setSemantic(Danger);
            setText(Text::tr("%1 · %2 增长 %3").arg(it->date, it->causeDir, Tavrin::formatSize(it->growth)));
        }
        setClosable(true);
        setVisible(true);
        return it->key();
    }
    setText(QString());
    setVisible(false);
    return QString();
}

QString alertHistoryButtonText(int total, int fresh)
{
    return fresh >= 1 ? Text::tr("告警历史（%1 条新增）").arg(fresh) : Text::tr("告警历史（%1）").arg(total);
}

void showAlertHistory(QWidget *parent, const QList<AlertEntry> &alerts, const AlertUiState &state)
{
    ZDialog dialog(Text::tr("告警历史"), Text::tr("共 %1 条告警，最新的在前").arg(alerts.size()), parent);
    dialog.setIcon(themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning));
    auto *table = new QTableWidget(int(alerts.size()), 5, &dialog);
    table->setObjectName(QStringLiteral("tavrinDiskAlertTable"));
    table->setHorizontalHeaderLabels(
        {Text::tr("日期"), Text::tr("类型"), Text::tr("目录"), Text::tr("增长"), Text::tr("状态")});
    table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setTextElideMode(Qt::ElideMiddle);
    table->setMinimumSize(560, 300);
    const QSet<QString> dismissed(state.dismissed.cbegin(), state.dismissed.cend());
    QStringList keys;
    for (const AlertEntry &a : alerts)
        keys << a.key();
    const int fresh = freshAlertCount(keys, state);
    for (int r = 0; r < alerts.size(); ++r) {
        const AlertEntry &a = alerts.at(alerts.size() - 1 - r);
        const QString mark = r < fresh                     ? Text::tr("新增")
                             : dismissed.contains(a.key()) ? Text::tr("已关闭")
                                                           : Text::tr("已查看");
        const QString kind = a.forecast ? forecastAlertText(a) : Text::tr("增长告警");
        const QString growth = a.forecast ? Text::tr("%1（14 天）").arg(Tavrin::formatSize(a.growth))
                                          : Tavrin::formatSize(a.growth);
        const QStringList cells{a.date, kind, a.causeDir.isEmpty() ? Text::tr("未知") : a.causeDir, growth,
                                mark};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            item->setToolTip(cells.at(c));
            table->setItem(r, c, item);
        }
    }
    setTableAccessibleName(table, Text::tr("告警历史"));
    finalizeTableAccessible(table);
    dialog.addContent(table);
    dialog.addButton(Text::tr("关闭"), true);
    dialog.exec();
}

namespace {

constexpr int kMaxDismissed = 200;

} // namespace

AlertsPanel::AlertsPanel(AlertBanner *banner, QPushButton *historyButton, QWidget *dialogParent)
    : QObject(banner), m_banner(banner), m_button(historyButton), m_dialogParent(dialogParent)
{
    connect(m_banner, &TavrinInlineBanner::dismissed, this, &AlertsPanel::dismissCurrent);
    connect(m_button, &QPushButton::clicked, this, &AlertsPanel::openHistory);
}

void AlertsPanel::load()
{
    // A regular file only: opening a FIFO would block the window.
    const QString path = HistoryModel::alertUiStateFile();
    const QFileInfo info(path);
    QFile f(path);
    if (!info.isFile() || info.size() > 4 * 1024 * 1024 || !f.open(QIODevice::ReadOnly))
        return;
    m_state = alertUiStateFromBytes(f.readAll(), kMaxDismissed);
}

void AlertsPanel::save()
{
    Tavrin::writeFileAtomic(HistoryModel::alertUiStateFile(), alertUiStateToBytes(m_state));
}

void AlertsPanel::refresh()
{
    m_alerts =
        mergeAlerts(readAlerts(HistoryModel::alertFile()), readForecastAlerts(HistoryModel::forecastFile()));
    m_key = m_banner->showNewest(m_alerts, m_state.dismissed);
    updateButton();
}

void AlertsPanel::dismissCurrent()
{
    if (m_key.isEmpty())
        return;
    if (!m_state.dismissed.contains(m_key))
        m_state.dismissed.append(m_key);
    while (m_state.dismissed.size() > kMaxDismissed)
        m_state.dismissed.removeFirst();
    save();
    m_key.clear();
    m_banner->setVisible(false);
    updateButton();
    emit dismissed();
}

void AlertsPanel::updateButton()
{
    QStringList keys;
    for (const AlertEntry &a : std::as_const(m_alerts))
        keys << a.key();
    const int n = int(keys.size());
    m_button->setText(alertHistoryButtonText(n, freshAlertCount(keys, m_state)));
    m_button->setAccessibleName(m_button->text());
    m_button->setEnabled(n > 0);
}

void AlertsPanel::openHistory()
{
    m_alerts =
        mergeAlerts(readAlerts(HistoryModel::alertFile()), readForecastAlerts(HistoryModel::forecastFile()));
    const AlertUiState shown = m_state;
    m_state.seen = int(m_alerts.size());
    m_state.lastSeen = m_alerts.isEmpty() ? QString() : m_alerts.constLast().key();
    save();
    updateButton();
    showAlertHistory(m_dialogParent, m_alerts, shown);
}

void AlertsPanel::reset()
{
    m_state = {};
    m_key.clear();
    refresh();
}

} // namespace DiskPage
