#pragma once

// The disk page's tool bar: the range presets and the custom range, "立即扫描", the status line,
// and the header's buttons (alert history, CSV export, settings) that the page places.

#include <QDate>
#include <QWidget>

class QButtonGroup;
class QPushButton;
class ZLabel;

namespace DiskPage {

class RangeBar : public QWidget
{
    Q_OBJECT

public:
    explicit RangeBar(QWidget *parent = nullptr);

    static const QList<int> &presetDays();
    void checkPreset(int days);
    void clearPreset();
    // The custom range dialog, starting from the range shown.
    void askCustomRange(const QDate &from, const QDate &to);

    ZLabel *status() const { return m_status; }
    QPushButton *scanButton() const { return m_scanButton; }
    QPushButton *exportButton() const { return m_exportButton; }
    QPushButton *settingsButton() const { return m_settingsButton; }
    QPushButton *alertHistoryButton() const { return m_alertHistoryBtn; }

signals:
    void presetChosen(int days);
    void rangeChosen(const QDate &from, const QDate &to);
    void customRangeRequested();

private:
    QButtonGroup *m_presets = nullptr;
    ZLabel *m_status = nullptr;
    QPushButton *m_scanButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_settingsButton = nullptr;
    QPushButton *m_alertHistoryBtn = nullptr;
};

} // namespace DiskPage
