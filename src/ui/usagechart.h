#pragma once

#include <QDate>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QSet>
#include <QWidget>

#include "disk/diskrecords.h"

class QPropertyAnimation;
class QTimer;

namespace TavrinUi {

// A panel laid over the chart: scan/load progress, or the one-time check with its timed steps.
class ChartOverlay : public QWidget
{
public:
    enum Mode { Progress, Check };

    explicit ChartOverlay(Mode mode, QWidget *parent = nullptr);

    Mode mode() const { return m_mode; }
    void setTitle(const QString &text);
    QString title() const { return m_title; }
    void setProgressText(const QString &text);
    QString progressText() const { return m_progressText; }
    // Negative: busy (no known fraction).
    void setFraction(double fraction);
    double fraction() const { return m_fraction; }

    void startCheck(const QString &title);
    void addStep(const QString &text, bool ok, qint64 ms);
    void finish(qint64 ms);
    bool isFinished() const { return m_finished; }
    QStringList stepTexts() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Step
    {
        QString text;
        bool ok = true;
        qint64 ms = 0;
    };
    void syncBusyTimer();

    Mode m_mode;
    QString m_title;
    QString m_progressText;
    double m_fraction = -1.0;
    QList<Step> m_steps;
    bool m_finished = false;
    qint64 m_totalMs = 0;
    int m_phase = 0;
    QTimer *m_busyTimer = nullptr;
};

// The disk page's timeline: one point per loaded day at its used bytes, spike and snapshot days
// marked, the selected day ringed, hover tooltips, click and keyboard selection.
class UsageChart : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double reveal READ reveal WRITE setReveal)
    Q_PROPERTY(double fade READ fade WRITE setFade)

public:
    explicit UsageChart(QWidget *parent = nullptr);

    void setRecords(const QList<Tavrin::DiskDayRecord> &records);
    QList<Tavrin::DiskDayRecord> records() const { return m_records; }
    void setSpikeDays(const QSet<QDate> &days);
    QSet<QDate> spikeDays() const { return m_spikes; }
    // Snapshot names per creation day, drawn as small markers under the line.
    void setSnapshotDays(const QMap<QDate, QStringList> &days);
    // Upgrades and rollbacks per day, drawn as small triangles above the snapshot markers.
    void setDeploymentDays(const QMap<QDate, QStringList> &days);
    QMap<QDate, QStringList> deploymentDays() const { return m_deployments; }
    void setSelectedDate(const QDate &date);
    QDate selectedDate() const { return m_selected; }

    void setLoading(bool on, const QString &text = QString());
    bool isLoading() const { return m_loading; }
    void setLoadProgress(int done, int total);
    void setScanning(bool on, const QString &text = QString());
    bool isScanning() const { return m_scanning; }
    void setScanProgress(int count, const QString &path);
    void setChecking(bool on, const QString &text = QString());
    void addCheckStep(const QString &text, bool ok, qint64 ms);
    void finishCheck(qint64 ms);
    ChartOverlay *scanOverlay() const { return m_scanOverlay; }
    ChartOverlay *checkOverlay() const { return m_checkOverlay; }

    QRect chartArea() const;
    int indexAtX(int x) const;
    double xForIndex(int index) const;
    // The rounded-up top of the vertical scale for the largest value.
    static qint64 scaleTopFor(qint64 max);
    // The hover tooltip of day `index`.
    QString dayTooltip(int index) const;

    double reveal() const { return m_reveal; }
    void setReveal(double value);
    double fade() const { return m_fade; }
    void setFade(double value);
    // Decided once per process from the desktop's animation setting.
    static bool animationsEnabled();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void dateSelected(const QDate &date);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int selectedIndex() const;
    void selectIndex(int index);
    void updateAccessibleText();
    void placeOverlays();

    QList<Tavrin::DiskDayRecord> m_records;
    QSet<QDate> m_spikes;
    QMap<QDate, QStringList> m_snapshots;
    QMap<QDate, QStringList> m_deployments;
    QDate m_selected;
    int m_hover = -1;
    bool m_loading = false;
    bool m_scanning = false;
    double m_reveal = 1.0;
    double m_fade = 1.0;
    QPropertyAnimation *m_revealAnim = nullptr;
    QPropertyAnimation *m_fadeAnim = nullptr;
    ChartOverlay *m_scanOverlay = nullptr;
    ChartOverlay *m_checkOverlay = nullptr;
};

} // namespace TavrinUi
