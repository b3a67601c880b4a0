#include "zspinner.h"

#include "zguiapplicationhelper.h"

#include <QPainter>
#include <QTimer>

namespace {
constexpr int kDots = 12;
}

ZSpinner::ZSpinner(QWidget *parent) : QWidget(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(80);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kDots;
        update();
    });
}

// The timer runs only while the spinner can be seen: a hidden page's spinner
// must not wake the CPU every 80 ms for ever.
void ZSpinner::start()
{
    m_playing = true;
    if (isVisible())
        m_timer->start();
}

void ZSpinner::stop()
{
    m_playing = false;
    m_timer->stop();
    update();
}

bool ZSpinner::isPlaying() const
{
    return m_playing;
}

void ZSpinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_playing)
        m_timer->start();
}

void ZSpinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
}

QSize ZSpinner::sizeHint() const
{
    return QSize(32, 32);
}

void ZSpinner::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor accent = ZGuiApplicationHelper::instance()->applicationPalette().color(QPalette::Highlight);
    const qreal side = qMin(width(), height());
    const qreal dot = qMax<qreal>(2.0, side / 8.0);
    const qreal radius = side / 2.0 - dot;
    p.translate(width() / 2.0, height() / 2.0);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < kDots; ++i) {
        // Dots fade behind the leading one; a stopped spinner shows them all faint.
        const int age = (m_step - i + kDots) % kDots;
        QColor c = accent;
        c.setAlphaF(isPlaying() ? 1.0 - age / qreal(kDots) * 0.85 : 0.3);
        p.setBrush(c);
        p.save();
        p.rotate(i * 360.0 / kDots);
        p.drawEllipse(QPointF(0, -radius), dot / 2.0, dot / 2.0);
        p.restore();
    }
}
