#include "ui/usagechart.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QPropertyAnimation>
#include <QTimer>
#include <QToolTip>

#include <cmath>

#include "ui/components.h"
#include "ui/diskanalysis.h"
#include "zfontsizemanager.h"
#include "zguiapplicationhelper.h"

namespace TavrinUi {

namespace {

class Text
{
    Q_DECLARE_TR_FUNCTIONS(UsageChart)
};

constexpr int kLeft = 46;
constexpr int kTop = 10;
constexpr int kRight = 8;
constexpr int kBottom = 24;

bool isDark()
{
    return ZGuiApplicationHelper::instance()->themeType() == ZGuiApplicationHelper::DarkType;
}

QString gbText(qint64 bytes)
{
    const double gb = double(bytes) / double(1LL << 30);
    return QString::number(gb, 'f', gb >= 100.0 ? 0 : 1) + QStringLiteral(" GB");
}

} // namespace

// ------------------------------------------------------------------ overlay

ChartOverlay::ChartOverlay(Mode mode, QWidget *parent) : QWidget(parent), m_mode(mode)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void ChartOverlay::setTitle(const QString &text)
{
    m_title = text;
    update();
}

void ChartOverlay::setProgressText(const QString &text)
{
    m_progressText = text;
    update();
}

void ChartOverlay::setFraction(double fraction)
{
    m_fraction = fraction;
    syncBusyTimer();
    update();
}

void ChartOverlay::startCheck(const QString &title)
{
    m_title = title;
    m_steps.clear();
    m_finished = false;
    m_totalMs = 0;
    show();
    raise();
    update();
}

void ChartOverlay::addStep(const QString &text, bool ok, qint64 ms)
{
    m_steps.append({text, ok, ms});
    update();
}

void ChartOverlay::finish(qint64 ms)
{
    m_finished = true;
    m_totalMs = ms;
    update();
}

QStringList ChartOverlay::stepTexts() const
{
    QStringList out;
    for (const Step &s : m_steps)
        out << s.text;
    return out;
}

void ChartOverlay::syncBusyTimer()
{
    const bool busy = m_mode == Progress && m_fraction < 0 && UsageChart::animationsEnabled();
    if (busy && !m_busyTimer) {
        m_busyTimer = new QTimer(this);
        m_busyTimer->setInterval(40);
        connect(m_busyTimer, &QTimer::timeout, this, [this] {
            m_phase = (m_phase + 3) % 200;
            update();
        });
    }
    if (m_busyTimer) {
        if (busy && isVisible())
            m_busyTimer->start();
        else
            m_busyTimer->stop();
    }
}

void ChartOverlay::paintEvent(QPaintEvent *)
{
    if (m_busyTimer && !m_busyTimer->isActive())
        syncBusyTimer();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor veil = baseColor();
    veil.setAlpha(isDark() ? 215 : 225);
    p.setPen(Qt::NoPen);
    p.setBrush(veil);
    p.drawRoundedRect(QRectF(rect()), 8, 8);

    const ZPalette pal = appPalette();
    const QColor text = pal.color(QPalette::WindowText);
    const QColor tips = pal.color(ZPalette::TextTips);
    const QColor accent = pal.color(QPalette::Highlight);
    QFont titleFont = ZFontSizeManager::instance()->get(ZFontSizeManager::T6);
    titleFont.setWeight(QFont::DemiBold);
    const QFont small = ZFontSizeManager::instance()->get(ZFontSizeManager::T8);
    const int lineH = QFontMetrics(small).height() + 4;
    const int width = qMin(rect().width() - 32, 420);

    if (m_mode == Progress) {
        const int blockH = QFontMetrics(titleFont).height() + 12 + 6 + 10 + lineH;
        int y = (height() - blockH) / 2;
        const int x = (rect().width() - width) / 2;
        p.setFont(titleFont);
        p.setPen(text);
        p.drawText(QRect(x, y, width, QFontMetrics(titleFont).height()), Qt::AlignCenter, m_title);
        y += QFontMetrics(titleFont).height() + 12;
        const QRectF track(x + width * 0.1, y, width * 0.8, 6);
        QColor trackColour = tips;
        trackColour.setAlpha(60);
        p.setPen(Qt::NoPen);
        p.setBrush(trackColour);
        p.drawRoundedRect(track, 3, 3);
        p.setBrush(accent);
        if (m_fraction >= 0) {
            QRectF bar = track;
            bar.setWidth(track.width() * qBound(0.0, m_fraction, 1.0));
            p.drawRoundedRect(bar, 3, 3);
        } else {
            const double seg = track.width() * 0.3;
            const double pos =
                track.left() + (track.width() - seg) * (m_phase < 100 ? m_phase : 200 - m_phase) / 100.0;
            p.drawRoundedRect(QRectF(pos, track.top(), seg, track.height()), 3, 3);
        }
        y += 6 + 10;
        p.setFont(small);
        p.setPen(tips);
        const QString elided = QFontMetrics(small).elidedText(m_progressText, Qt::ElideMiddle, width);
        p.drawText(QRect(x, y, width, lineH), Qt::AlignCenter, elided);
        return;
    }

    const int rows = m_steps.size() + (m_finished ? 1 : 0);
    const int blockH = QFontMetrics(titleFont).height() + 10 + rows * lineH;
    int y = qMax(8, (height() - blockH) / 2);
    const int x = (rect().width() - width) / 2;
    p.setFont(titleFont);
    p.setPen(text);
    p.drawText(QRect(x, y, width, QFontMetrics(titleFont).height()), Qt::AlignCenter, m_title);
    y += QFontMetrics(titleFont).height() + 10;
    p.setFont(small);
    for (const Step &s : m_steps) {
        p.setPen(s.ok ? semanticColor(Success) : semanticColor(Danger));
        const QString mark = s.ok ? QStringLiteral("✓  ") : QStringLiteral("✗  ");
        p.drawText(QRect(x, y, width - 80, lineH), Qt::AlignLeft | Qt::AlignVCenter, mark + s.text);
        p.setPen(tips);
        p.drawText(QRect(x + width - 80, y, 80, lineH), Qt::AlignRight | Qt::AlignVCenter,
                   Text::tr("%1 ms").arg(s.ms));
        y += lineH;
    }
    if (m_finished) {
        p.setPen(tips);
        p.drawText(QRect(x, y, width, lineH), Qt::AlignCenter,
                   Text::tr("检查完成，用时 %1 ms").arg(m_totalMs));
    }
}

// ------------------------------------------------------------------ chart

UsageChart::UsageChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tavrinUsageChart"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(220);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName(Text::tr("磁盘占用时间线"));
    m_scanOverlay = new ChartOverlay(ChartOverlay::Progress, this);
    m_checkOverlay = new ChartOverlay(ChartOverlay::Check, this);
    m_revealAnim = new QPropertyAnimation(this, "reveal", this);
    m_revealAnim->setDuration(700);
    m_revealAnim->setEasingCurve(QEasingCurve::OutCubic);
    m_fadeAnim = new QPropertyAnimation(this, "fade", this);
    m_fadeAnim->setDuration(250);
    m_fadeAnim->setEasingCurve(QEasingCurve::OutCubic);
    updateAccessibleText();
}

bool UsageChart::animationsEnabled()
{
    static const bool enabled = [] {
        QProcess gsettings;
        gsettings.start(QStringLiteral("gsettings"),
                        {QStringLiteral("get"), QStringLiteral("org.zarnex.zde.appearance"),
                         QStringLiteral("enable-animations")});
        if (!gsettings.waitForFinished(1000)) {
            if (gsettings.state() != QProcess::NotRunning) {
                gsettings.kill();
                gsettings.waitForFinished(1000);
            }
            return true;
        }
        return QString::fromUtf8(gsettings.readAllStandardOutput()).trimmed() != QLatin1String("false");
    }();
    return enabled;
}

QSize UsageChart::sizeHint() const
{
    return QSize(640, 280);
}

QSize UsageChart::minimumSizeHint() const
{
    return QSize(kLeft + kRight + 160, 220);
}

QRect UsageChart::chartArea() const
{
    return rect().adjusted(kLeft, kTop, -kRight, -kBottom);
}

int UsageChart::indexAtX(int x) const
{
    const QRect area = chartArea();
    const int n = m_records.size();
    if (n == 0 || x < area.left() || x > area.right())
        return -1;
    const int i = int(qint64(n) * (x - area.left()) / (area.right() - area.left() + 1));
    return qBound(0, i, n - 1);
}

double UsageChart::xForIndex(int index) const
{
    const QRect area = chartArea();
    const int n = qMax(1, int(m_records.size()));
    return area.left() + (index + 0.5) * area.width() / n;
}

qint64 UsageChart::scaleTopFor(qint64 max)
{
    max = qMax<qint64>(max, 1);
    const int p = int(std::floor(std::log10(double(max))));
    const double g = std::pow(10.0, p);
    const double h = double(max) / g;
    if (h <= 1.0)
        return max;
    if (h <= 2.0)
        return qint64(2 * g);
    if (h <= 5.0)
        return qint64(5 * g);
    return qint64(10 * g);
}

void UsageChart::setRecords(const QList<Tavrin::DiskDayRecord> &records)
{
    m_records = records;
    m_hover = -1;
    m_revealAnim->stop();
    m_fadeAnim->stop();
    if (animationsEnabled() && !m_loading) {
        m_revealAnim->setStartValue(0.0);
        m_revealAnim->setEndValue(1.0);
        m_fadeAnim->setStartValue(0.0);
        m_fadeAnim->setEndValue(1.0);
        m_revealAnim->start();
        m_fadeAnim->start();
    } else {
        m_reveal = 1.0;
        m_fade = 1.0;
    }
    updateAccessibleText();
    update();
}

void UsageChart::setSpikeDays(const QSet<QDate> &days)
{
    m_spikes = days;
    updateAccessibleText();
    update();
}

void UsageChart::setSnapshotDays(const QMap<QDate, QStringList> &days)
{
    m_snapshots = days;
    // The selected day's description names its marks: they may arrive after the selection.
    updateAccessibleText();
    update();
}

void UsageChart::setDeploymentDays(const QMap<QDate, QStringList> &days)
{
    m_deployments = days;
    updateAccessibleText();
    update();
}

void UsageChart::setSelectedDate(const QDate &date)
{
    m_selected = date;
    updateAccessibleText();
    update();
}

void UsageChart::setReveal(double value)
{
    m_reveal = value;
    update();
}

void UsageChart::setFade(double value)
{
    m_fade = value;
    update();
}

void UsageChart::placeOverlays()
{
    const QRect area = chartArea();
    m_scanOverlay->setGeometry(area);
    m_checkOverlay->setGeometry(area);
}

void UsageChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void UsageChart::setLoading(bool on, const QString &text)
{
    m_loading = on;
    if (on) {
        m_revealAnim->stop();
        m_fadeAnim->stop();
        m_reveal = 1.0;
        m_fade = 1.0;
        if (!m_checkOverlay->isVisible()) {
            placeOverlays();
            m_scanOverlay->setTitle(text.isEmpty() ? Text::tr("正在加载历史数据…") : text);
            m_scanOverlay->setProgressText(Text::tr("正在读取…"));
            m_scanOverlay->show();
            m_scanOverlay->raise();
            m_scanOverlay->setFraction(-1);
        }
    } else if (!m_scanning) {
        m_scanOverlay->hide();
        m_scanOverlay->setFraction(0);
    }
    update();
}

void UsageChart::setLoadProgress(int done, int total)
{
    if (!m_loading)
        return;
    m_scanOverlay->setProgressText(Text::tr("已加载 %1/%2 天").arg(done).arg(total));
    m_scanOverlay->setFraction(total > 0 ? double(done) / total : 0.0);
}

void UsageChart::setScanning(bool on, const QString &text)
{
    m_scanning = on;
    if (on) {
        placeOverlays();
        m_scanOverlay->setTitle(text.isEmpty() ? Text::tr("正在扫描系统盘目录…") : text);
        m_scanOverlay->setProgressText(Text::tr("正在准备…"));
        m_scanOverlay->show();
        m_scanOverlay->raise();
        m_scanOverlay->setFraction(-1);
    } else if (!m_loading) {
        m_scanOverlay->hide();
        m_scanOverlay->setFraction(0);
    }
}

void UsageChart::setScanProgress(int count, const QString &path)
{
    if (!m_scanning)
        return;
    m_scanOverlay->setProgressText(path.isEmpty() ? Text::tr("已扫描 %1 项").arg(count)
                                                  : Text::tr("已扫描 %1 项 · %2").arg(count).arg(path));
}

void UsageChart::setChecking(bool on, const QString &text)
{
    if (!on) {
        m_checkOverlay->hide();
        return;
    }
    m_scanOverlay->hide();
    placeOverlays();
    m_checkOverlay->startCheck(text.isEmpty() ? Text::tr("正在检查系统信息…") : text);
}

void UsageChart::addCheckStep(const QString &text, bool ok, qint64 ms)
{
    m_checkOverlay->addStep(text, ok, ms);
}

void UsageChart::finishCheck(qint64 ms)
{
    m_checkOverlay->finish(ms);
    // The result stays readable for a moment, then the timeline (or a pending load) shows.
    QTimer::singleShot(animationsEnabled() ? 900 : 0, this, [this] {
        m_checkOverlay->hide();
        if (m_loading || m_scanning) {
            m_scanOverlay->show();
            m_scanOverlay->raise();
        }
    });
}

QString UsageChart::dayTooltip(int i) const
{
    if (i < 0 || i >= m_records.size())
        return QString();
    const Tavrin::DiskDayRecord &r = m_records.at(i);
    QString tip = Text::tr("%1\n已用 %2").arg(r.date.toString(Qt::ISODate), DiskPage::chartSizeText(r.total));
    if (i > 0)
        tip += QLatin1Char('\n') +
               Text::tr("当日增长 %1").arg(DiskPage::chartSizeText(r.total - m_records.at(i - 1).total));
    if (m_spikes.contains(r.date))
        tip += QLatin1Char('\n') + Text::tr("⚠ 异常增长");
    const auto snap = m_snapshots.constFind(r.date);
    if (snap != m_snapshots.constEnd())
        tip += QLatin1Char('\n') + Text::tr("快照：%1").arg(snap.value().join(QStringLiteral("、")));
    const auto deploy = m_deployments.constFind(r.date);
    if (deploy != m_deployments.constEnd())
        tip += QLatin1Char('\n') + Text::tr("部署：%1").arg(deploy.value().join(QStringLiteral("、")));
    return tip;
}

void UsageChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const ZPalette pal = appPalette();
    const bool dark = isDark();
    const QColor accent = pal.color(QPalette::Highlight);
    const QColor warning = pal.color(ZPalette::TextWarning);
    const QColor tips = pal.color(ZPalette::TextTips);
    const QColor itemBg = pal.color(ZPalette::ItemBackground);
    QColor grid = pal.color(ZPalette::FrameBorder);
    grid.setAlpha(dark ? 70 : 120);
    p.setFont(ZFontSizeManager::instance()->get(ZFontSizeManager::T8));
    const QRect area = chartArea();
    const int n = m_records.size();

    if (m_loading || n == 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(itemBg);
        p.drawRoundedRect(QRectF(area), 8, 8);
        if (!m_loading && !m_scanning && !m_checkOverlay->isVisible()) {
            p.setPen(tips);
            p.drawText(area.adjusted(12, 0, -12, 0), Qt::AlignCenter | Qt::TextWordWrap,
                       Text::tr("暂无监控数据：请开启监控，或点击“立即扫描”"));
        }
        return;
    }
    p.setOpacity(m_fade);

    qint64 max = 1;
    for (const Tavrin::DiskDayRecord &r : m_records)
        max = qMax(max, r.total);
    const qint64 top = scaleTopFor(max);
    const double perByte = double(area.height()) / double(top);
    auto yFor = [&](qint64 bytes) { return area.bottom() + 1 - double(bytes) * perByte; };

    for (int k = 0; k <= 4; ++k) {
        const qint64 value = top * k / 4;
        const double y = yFor(value);
        p.setPen(QPen(grid, 1));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(tips);
        p.drawText(QRectF(0, y - 8, kLeft - 5, 16), Qt::AlignRight | Qt::AlignVCenter, gbText(value));
    }
    const QList<int> labelled = {0, n / 2, n - 1};
    for (int i : labelled) {
        const double x = xForIndex(i);
        p.setPen(tips);
        // Kept inside the widget: the first and last days sit close to its edges.
        const double left = qBound(0.0, x - 40, double(width() - 80));
        p.drawText(QRectF(left, area.bottom() + 4, 80, 16), Qt::AlignCenter,
                   m_records.at(i).date.toString(QStringLiteral("MM-dd")));
    }

    const int visible = qMin(n, int(std::ceil(n * m_reveal)));
    if (visible > 0) {
        QPolygonF line;
        line.reserve(visible);
        for (int i = 0; i < visible; ++i)
            line << QPointF(xForIndex(i), yFor(m_records.at(i).total));
        QPolygonF fill = line;
        fill << QPointF(line.constLast().x(), area.bottom() + 1)
             << QPointF(line.constFirst().x(), area.bottom() + 1);
        QColor fillColour = accent;
        fillColour.setAlpha(dark ? 60 : 40);
        p.setPen(Qt::NoPen);
        p.setBrush(fillColour);
        p.drawPolygon(fill);
        p.setPen(QPen(accent, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(line);

        // With hundreds of days the dots merge into a bar; only marked days keep theirs.
        const bool plainDots = area.width() / n >= 9;
        QColor softWarning = warning;
        softWarning.setAlpha(40);
        for (int i = 0; i < visible; ++i) {
            const QPointF c = line.at(i);
            const QDate d = m_records.at(i).date;
            if (d == m_selected) {
                // The ring in the text colour on a halo of the base: a base-coloured ring alone
                // vanishes on the light theme's white.
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(baseColor(), 4.5));
                p.drawEllipse(c, 7.0, 7.0);
                p.setPen(QPen(pal.color(QPalette::WindowText), 2.0));
                p.drawEllipse(c, 7.0, 7.0);
                p.setPen(Qt::NoPen);
                p.setBrush(warning);
                p.drawEllipse(c, 3.6, 3.6);
            } else if (m_spikes.contains(d)) {
                p.setPen(QPen(warning, 1.5));
                p.setBrush(softWarning);
                p.drawEllipse(c, 5.8, 5.8);
                p.setPen(Qt::NoPen);
                p.setBrush(warning);
                p.drawEllipse(c, 3.2, 3.2);
            } else if (plainDots) {
                p.setPen(Qt::NoPen);
                p.setBrush(accent);
                p.drawEllipse(c, 3.2, 3.2);
            }
            if (m_snapshots.contains(d)) {
                // A small diamond on the baseline: a snapshot was taken that day.
                const double bx = c.x();
                const double by = area.bottom() - 5;
                QPolygonF diamond{QPointF(bx, by - 4), QPointF(bx + 4, by), QPointF(bx, by + 4),
                                  QPointF(bx - 4, by)};
                p.setPen(QPen(baseColor(), 1));
                p.setBrush(semanticColor(Success));
                p.drawPolygon(diamond);
            }
            if (m_deployments.contains(d)) {
                // A triangle above the snapshot's place: an upgrade or a rollback that day.
                const double bx = c.x();
                const double by = area.bottom() - 15;
                QPolygonF triangle{QPointF(bx, by - 5), QPointF(bx + 5, by + 4), QPointF(bx - 5, by + 4)};
                p.setPen(QPen(baseColor(), 1));
                p.setBrush(semanticColor(Normal));
                p.drawPolygon(triangle);
            }
        }
    }

    const int focusIndex = hasFocus() ? selectedIndex() : -1;
    const int hover = m_hover >= 0 ? m_hover : focusIndex;
    if (hover >= 0 && hover < n) {
        const double w = double(area.width()) / n;
        const double x = xForIndex(hover);
        p.setPen(Qt::NoPen);
        p.setBrush(dark ? QColor(255, 255, 255, 26) : QColor(0, 0, 0, 14));
        p.drawRect(QRectF(x - w / 2, area.top(), w, area.height()));
        p.setPen(QPen(tips, 1));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.setPen(QPen(tips, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(x, yFor(m_records.at(hover).total)), 7.5, 7.5);
    }
    if (hasFocus()) {
        p.setOpacity(1.0);
        p.setPen(QPen(accent, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
}

void UsageChart::mouseMoveEvent(QMouseEvent *event)
{
    const int i = indexAtX(qRound(event->position().x()));
    if (i != m_hover) {
        m_hover = i;
        update();
    }
    if (i < 0)
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), dayTooltip(i), this);
}

void UsageChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const int i = indexAtX(qRound(event->position().x()));
    if (i >= 0)
        selectIndex(i);
}

void UsageChart::leaveEvent(QEvent *)
{
    m_hover = -1;
    QToolTip::hideText();
    update();
}

int UsageChart::selectedIndex() const
{
    for (int i = 0; i < m_records.size(); ++i) {
        if (m_records.at(i).date == m_selected)
            return i;
    }
    return -1;
}

void UsageChart::selectIndex(int index)
{
    if (index < 0 || index >= m_records.size())
        return;
    m_selected = m_records.at(index).date;
    updateAccessibleText();
    update();
    emit dateSelected(m_selected);
}

void UsageChart::keyPressEvent(QKeyEvent *event)
{
    const int n = m_records.size();
    const int current = selectedIndex();
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        target = current < 0 ? n - 1 : current - 1;
        break;
    case Qt::Key_Right:
        target = current < 0 ? n - 1 : current + 1;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = n - 1;
        break;
    case Qt::Key_PageUp:
        target = current < 0 ? n - 1 : current - 7;
        break;
    case Qt::Key_PageDown:
        target = current < 0 ? n - 1 : current + 7;
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    if (n > 0)
        selectIndex(qBound(0, target, n - 1));
    event->accept();
}

void UsageChart::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void UsageChart::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void UsageChart::updateAccessibleText()
{
    const int i = selectedIndex();
    QString description;
    if (m_records.isEmpty()) {
        description = Text::tr("暂无监控数据");
    } else if (i < 0) {
        description = Text::tr("共 %1 天；用左右方向键选择日期").arg(m_records.size());
    } else {
        description = dayTooltip(i);
        description.replace(QLatin1Char('\n'), QStringLiteral("；"));
    }
    const QString name =
        i < 0 ? Text::tr("磁盘占用时间线")
              : Text::tr("磁盘占用时间线，已选 %1").arg(m_records.at(i).date.toString(Qt::ISODate));
    if (name == accessibleName() && description == accessibleDescription())
        return;
    setAccessibleName(name);
    setAccessibleDescription(description);
    if (QAccessible::isActive()) {
        QAccessibleEvent nameEvent(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameEvent);
        QAccessibleEvent descEvent(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&descEvent);
    }
}

} // namespace TavrinUi
