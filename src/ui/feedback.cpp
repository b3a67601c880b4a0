#include "ui/feedback.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/painthelpers_p.h"
#include "zguiapplicationhelper.h"
#include "zlabel.h"
#include "zpaint_p.h"
#include "zspinner.h"

namespace TavrinUi {

using namespace detail;

// ---- TavrinBadge ----

TavrinBadge::TavrinBadge(const QString &text, Semantic semantic, QWidget *parent)
    : QWidget(parent), m_semantic(semantic)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(0);
    m_label = makeLabel(text, Small, semantic);
    m_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_label);
    setMinimumHeight(20);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void TavrinBadge::setText(const QString &text)
{
    m_label->setText(text);
}

QString TavrinBadge::text() const
{
    return m_label->text();
}

void TavrinBadge::setSemantic(Semantic semantic)
{
    m_semantic = semantic;
    refresh();
}

void TavrinBadge::refresh()
{
    applySemantic(m_label, m_semantic);
    update();
}

void TavrinBadge::paintEvent(QPaintEvent *)
{
    fillRounded(this, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, softFill(m_semantic, 38));
}

// ---- TavrinInlineBanner ----

TavrinInlineBanner::TavrinInlineBanner(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 8, 8, 8);
    layout->setSpacing(8);

    m_icon = new QLabel(this);
    m_icon->setFixedSize(20, 20);
    m_icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_icon, 0, Qt::AlignVCenter);

    m_textColumn = new QVBoxLayout;
    m_textColumn->setContentsMargins(0, 0, 0, 0);
    m_textColumn->setSpacing(4);
    m_text = makeLabel(QString(), Body, Normal);
    m_text->setTextFormat(Qt::PlainText);
    m_textColumn->addWidget(m_text);
    layout->addLayout(m_textColumn, 1);

    m_actions = new QWidget(this);
    m_actionsLayout = new QHBoxLayout(m_actions);
    m_actionsLayout->setContentsMargins(0, 0, 0, 0);
    m_actionsLayout->setSpacing(8);
    m_actions->setVisible(false);
    layout->addWidget(m_actions, 0, Qt::AlignVCenter);

    m_close = new QPushButton(this);
    m_close->setFlat(true);
    m_close->setFixedSize(36, 36);
    // The toolkit's plain cross: the theme's close icon is a red disc that
    // reads as an error on a success banner.
    m_close->setIcon(ZentkPaint::glyphIcon(ZentkPaint::Glyph::Close));
    m_close->setIconSize(QSize(16, 16));
    m_close->setToolTip(tr("关闭"));
    m_close->setAccessibleName(tr("关闭提示"));
    m_close->setVisible(false);
    layout->addWidget(m_close, 0, Qt::AlignVCenter);
    connect(m_close, &QPushButton::clicked, this, [this] {
        emit dismissed();
        hide();
    });

    refresh();
}

void TavrinInlineBanner::setText(const QString &text)
{
    if (!text.isEmpty() && m_dismissTimer)
        m_dismissTimer->stop();
    m_text->setText(text);
    setAccessibleName(text);
    setVisible(!text.isEmpty());
    // Screen readers speak an alert at once; a banner is news the user did not
    // ask to read.
    if (!text.isEmpty() && QAccessible::isActive()) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

QString TavrinInlineBanner::text() const
{
    return m_text->text();
}

void TavrinInlineBanner::setSemantic(Semantic semantic)
{
    m_semantic = semantic;
    refresh();
}

void TavrinInlineBanner::setClosable(bool closable)
{
    m_close->setVisible(closable);
}

QPushButton *TavrinInlineBanner::addAction(const QString &text, bool primary)
{
    m_actions->setVisible(true);
    QPushButton *button = makeActionButton(text, primary, m_actions);
    m_actionsLayout->addWidget(button);
    return button;
}

void TavrinInlineBanner::setDetails(const QString &title, const QString &details)
{
    if (m_details) {
        m_details->hide();
        m_details->deleteLater();
        m_details = nullptr;
    }
    if (details.isEmpty())
        return;
    ZLabel *label = makeLabel(details, Caption, Muted);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details = new TavrinCollapsible(title, this);
    m_details->setContent(label);
    m_textColumn->addWidget(m_details);
}

void TavrinInlineBanner::autoDismiss(int ms)
{
    if (!m_dismissTimer) {
        m_dismissTimer = new QTimer(this);
        m_dismissTimer->setSingleShot(true);
        connect(m_dismissTimer, &QTimer::timeout, this, &QWidget::hide);
    }
    m_dismissTimer->start(ms);
}

void TavrinInlineBanner::refresh()
{
    QIcon icon;
    switch (m_semantic) {
    case Success:
        icon = themedIcon(QStringLiteral("dialog-ok"), QStyle::SP_DialogApplyButton);
        break;
    case Warning:
        icon = themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning);
        break;
    case Danger:
        icon = themedIcon(QStringLiteral("dialog-error"), QStyle::SP_MessageBoxCritical);
        break;
    default:
        icon = themedIcon(QStringLiteral("dialog-information"), QStyle::SP_MessageBoxInformation);
        break;
    }
    m_icon->setPixmap(icon.pixmap(20, 20));
    applySemantic(m_text, Normal);
    update();
}

void TavrinInlineBanner::paintEvent(QPaintEvent *)
{
    fillRounded(this, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, softFill(m_semantic, 51));
}

// ---- TavrinEmptyState ----

TavrinEmptyState::TavrinEmptyState(QWidget *parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(24, 32, 24, 32);
    m_layout->setSpacing(8);

    m_icon = new QLabel(this);
    m_icon->setFixedSize(32, 32);
    m_icon->setAlignment(Qt::AlignCenter);
    m_title = makeLabel(QString(), SectionTitle, Normal);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_description = makeLabel(QString(), Body, Muted);
    m_description->setAlignment(Qt::AlignCenter);
    m_description->setVisible(false);
    m_layout->addWidget(m_icon, 0, Qt::AlignHCenter);
    m_layout->addWidget(m_title);
    m_layout->addWidget(m_description);

    connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged, this,
            [this] { refreshIcon(); });
}

void TavrinEmptyState::setTitle(const QString &text)
{
    m_title->setText(text);
}

void TavrinEmptyState::setDescription(const QString &text)
{
    m_description->setText(text);
    m_description->setVisible(!text.isEmpty());
}

void TavrinEmptyState::setIcon(const QString &themeName)
{
    m_iconName = themeName;
    refreshIcon();
}

QPushButton *TavrinEmptyState::addAction(const QString &text, bool primary)
{
    if (!m_actions) {
        m_layout->addSpacing(8);
        m_actions = new QHBoxLayout;
        m_actions->setSpacing(8);
        m_actions->setAlignment(Qt::AlignHCenter);
        m_layout->addLayout(m_actions);
    }
    QPushButton *button = makeActionButton(text, primary, this);
    m_actions->addWidget(button);
    return button;
}

void TavrinEmptyState::refreshIcon()
{
    if (m_iconName.isEmpty()) {
        m_icon->setPixmap(QPixmap());
        return;
    }
    m_icon->setPixmap(themedIcon(m_iconName, QStyle::SP_DriveHDIcon).pixmap(32, 32));
}

// ---- TavrinLocalLoading ----

TavrinLocalLoading::TavrinLocalLoading(const QString &text, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    m_spinner = new ZSpinner(this);
    m_spinner->setFixedSize(20, 20);
    m_label = makeLabel(text, Body, Muted);
    layout->addWidget(m_spinner);
    // The label takes the free width: beside a stretch, a word-wrapped label gets only its own
    // guess at a width and breaks a short line in two.
    layout->addWidget(m_label, 1);
}

void TavrinLocalLoading::setText(const QString &text)
{
    m_label->setText(text);
}

void TavrinLocalLoading::start()
{
    m_spinner->start();
    show();
}

void TavrinLocalLoading::stop()
{
    m_spinner->stop();
    hide();
}

// ---- TavrinFlatProgress ----

TavrinFlatProgress::TavrinFlatProgress(QWidget *parent) : ZProgressBar(parent)
{
    setFixedHeight(2);
    setTextVisible(false);
    setRange(0, 0);
    setVisible(false);
}

void TavrinFlatProgress::setBusy(bool busy)
{
    setVisible(busy);
    if (busy)
        setRange(0, 0);
    else
        setRange(0, 100);
}

// ---- TavrinSkeleton ----

TavrinSkeleton::TavrinSkeleton(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight((4 * m_rows - 1) * 8);
}

void TavrinSkeleton::setRows(int rows)
{
    m_rows = qMax(1, rows);
    setFixedHeight((4 * m_rows - 1) * 8);
    update();
}

void TavrinSkeleton::startPulse()
{
    m_wantPulse = true;
    // The desktop's answer is asked for without waiting: the skeleton is shown
    // while the window starts, when a blocking query would hold up the first paint.
    whenMotionKnown(this, [this](bool reduce) {
        if (!reduce && m_wantPulse)
            beginPulse();
    });
}

void TavrinSkeleton::beginPulse()
{
    if (m_pulse)
        return;
    m_pulse = new QTimer(this);
    m_pulse->setInterval(60);
    connect(m_pulse, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % 20;
        update();
    });
    // Like the spinner, the pulse ticks only while it can be seen.
    if (isVisible())
        m_pulse->start();
}

void TavrinSkeleton::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_pulse)
        m_pulse->start();
}

void TavrinSkeleton::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_pulse)
        m_pulse->stop();
}

void TavrinSkeleton::stopPulse()
{
    m_wantPulse = false;
    if (m_pulse) {
        m_pulse->stop();
        m_pulse->deleteLater();
        m_pulse = nullptr;
    }
    update();
}

void TavrinSkeleton::paintEvent(QPaintEvent *)
{
    QColor fill = itemBackground();
    if (m_pulse)
        fill = blendOver(QColor(255, 255, 255, m_phase), fill);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    for (int i = 0; i < m_rows; ++i)
        p.drawRoundedRect(QRectF(0, 32 * i, width(), 24), 4, 4);
}

// ---- TavrinStateCard ----

TavrinStateCard::TavrinStateCard(const QString &title, QWidget *parent) : TavrinPanel(parent, Card)
{
    m_layout->setContentsMargins(16, 12, 16, 12);
    m_layout->setSpacing(4);
    ZLabel *titleLabel = makeLabel(title, Body, Muted);
    titleLabel->setWordWrap(true);
    m_value = makeLabel(QStringLiteral("-"), Hero, Normal);
    m_value->setWordWrap(true);
    m_badge = new TavrinBadge(QString(), Muted, this);
    m_badge->setVisible(false);
    m_layout->addWidget(titleLabel);
    m_layout->addWidget(m_value);
    m_layout->addSpacing(4);
    m_layout->addWidget(m_badge, 0, Qt::AlignLeft);
    setMinimumWidth(168);
}

void TavrinStateCard::setValue(const QString &text, Semantic semantic, TextLevel level)
{
    m_value->setText(text);
    bindTextLevel(m_value, level);
    applySemantic(m_value, semantic);
}

void TavrinStateCard::setStatus(const QString &text, Semantic semantic)
{
    m_badge->setVisible(!text.isEmpty());
    m_badge->setText(text);
    m_badge->setSemantic(semantic);
}

} // namespace TavrinUi
