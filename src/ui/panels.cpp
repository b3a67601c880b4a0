#include "ui/panels.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/painthelpers_p.h"
#include "zlabel.h"

namespace TavrinUi {

using namespace detail;

// ---- TavrinPanel ----

TavrinPanel::TavrinPanel(QWidget *parent, Level level) : QWidget(parent), m_level(level)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(16, 12, 16, 12);
    m_layout->setSpacing(12);
}

void TavrinPanel::paintEvent(QPaintEvent *)
{
    if (m_level == Transparent)
        return;
    const QColor fill = m_level == Card ? baseColor() : itemBackground();
    fillRounded(this, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, fill);
}

// ---- TavrinSection ----

TavrinSection::TavrinSection(const QString &title, const QString &description, QWidget *parent)
    : TavrinPanel(parent, Card)
{
    m_header = new QHBoxLayout;
    m_header->setSpacing(8);
    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    column->addWidget(makeLabel(title, SectionTitle, Normal));
    if (!description.isEmpty())
        column->addWidget(makeLabel(description, Body, Muted));
    m_header->addLayout(column, 1);
    m_layout->addLayout(m_header);
}

void TavrinSection::addHeaderWidget(QWidget *widget)
{
    if (widget)
        m_header->addWidget(widget, 0, Qt::AlignRight | Qt::AlignVCenter);
}

// ---- TavrinRow ----

TavrinRow::TavrinRow(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);

    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    m_title = makeLabel(QString(), ItemTitle, Normal);
    m_description = makeLabel(QString(), Body, Muted);
    m_description->setVisible(false);
    column->addWidget(m_title);
    column->addWidget(m_description);
    layout->addLayout(column, 1);

    m_container = new QWidget(this);
    m_container->setMinimumWidth(0);
    m_container->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_controlsLayout = new QHBoxLayout(m_container);
    m_controlsLayout->setContentsMargins(0, 0, 0, 0);
    m_controlsLayout->setSpacing(8);
    layout->addWidget(m_container, 0, Qt::AlignVCenter);

    setMinimumHeight(48);
}

void TavrinRow::setTitle(const QString &text)
{
    m_title->setText(text);
    if (text.isEmpty())
        return;
    for (QWidget *control : std::as_const(m_controls)) {
        if (control && control->accessibleName().isEmpty())
            control->setAccessibleName(text);
    }
}

QString TavrinRow::title() const
{
    return m_title->text();
}

void TavrinRow::setDescription(const QString &text)
{
    m_description->setText(text);
    m_description->setVisible(!text.isEmpty());
}

QString TavrinRow::description() const
{
    return m_description->isVisible() ? m_description->text() : QString();
}

void TavrinRow::addControl(QWidget *widget, int minWidth)
{
    if (!widget)
        return;
    if (minWidth < 0)
        minWidth = 200;
    if (minWidth > m_widestMin) {
        m_widestMin = minWidth;
        m_container->setMinimumWidth(minWidth);
    }
    m_controlsLayout->addWidget(widget, 0, Qt::AlignVCenter);
    m_controls.append(widget);
    if (widget->accessibleName().isEmpty() && !title().isEmpty())
        widget->setAccessibleName(title());
}

void TavrinRow::addStretch(int stretch)
{
    m_controlsLayout->addStretch(stretch);
}

void TavrinRow::setHighlight(double value)
{
    m_highlight = value;
    update();
}

void TavrinRow::flashHighlight()
{
    if (reduceMotionRequested()) {
        if (m_animation)
            m_animation->stop();
        if (m_holdTimer)
            m_holdTimer->stop();
        setHighlight(1.0);
        QPointer<TavrinRow> self(this);
        QTimer::singleShot(1200, this, [self] {
            if (self)
                self->setHighlight(0.0);
        });
        return;
    }
    if (!m_animation)
        m_animation = new QPropertyAnimation(this, "highlight", this);
    m_animation->stop();
    m_animation->setDuration(320);
    m_animation->setStartValue(1.0);
    m_animation->setEndValue(0.0);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    setHighlight(1.0);
    if (!m_holdTimer) {
        m_holdTimer = new QTimer(this);
        m_holdTimer->setSingleShot(true);
        connect(m_holdTimer, &QTimer::timeout, m_animation, [this] { m_animation->start(); });
    }
    m_holdTimer->start(1200);
}

void TavrinRow::paintEvent(QPaintEvent *event)
{
    if (m_highlight > 0.0) {
        QColor fill = softFill(Accent, 38);
        fill.setAlphaF(float(qBound(0.0, fill.alphaF() * m_highlight, 1.0)));
        fillRounded(this, QRectF(-8, 0, width() + 16, height()), 8, fill);
    }
    QWidget::paintEvent(event);
}

// ---- TavrinSeparator ----

TavrinSeparator::TavrinSeparator(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(1);
}

void TavrinSeparator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), borderColor());
}

// ---- TavrinCollapsible ----

TavrinCollapsible::TavrinCollapsible(const QString &title, QWidget *parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(8);
    m_header = new QPushButton(QStringLiteral("▸ ") + title, this);
    m_header->setFlat(true);
    m_header->setCursor(Qt::PointingHandCursor);
    m_header->setFocusPolicy(Qt::StrongFocus);
    m_header->setStyleSheet(QStringLiteral("text-align: left;"));
    m_layout->addWidget(m_header);
    connect(m_header, &QPushButton::clicked, this, [this] { setExpanded(!isExpanded()); });
}

void TavrinCollapsible::setContent(QWidget *widget)
{
    if (m_content || !widget)
        return;
    m_content = widget;
    widget->setParent(this);
    widget->hide();
    m_layout->addWidget(widget);
}

bool TavrinCollapsible::isExpanded() const
{
    // Not isVisible(): that also needs the collapsible itself on screen.
    return m_content && !m_content->isHidden();
}

void TavrinCollapsible::setExpanded(bool expanded)
{
    if (!m_content || expanded == isExpanded())
        return;
    m_content->setVisible(expanded);
    updateMark();
}

void TavrinCollapsible::updateMark()
{
    const QString rest = m_header->text().mid(2);
    m_header->setText((isExpanded() ? QStringLiteral("▾ ") : QStringLiteral("▸ ")) + rest);
}

// ---- TavrinResponsiveCardRow ----

TavrinResponsiveCardRow::TavrinResponsiveCardRow(int maxColumns, QWidget *parent)
    : QWidget(parent), m_maxColumns(qMax(1, maxColumns))
{
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setHorizontalSpacing(12);
    m_grid->setVerticalSpacing(12);
}

void TavrinResponsiveCardRow::addCard(QWidget *card)
{
    if (!card || m_cards.contains(card))
        return;
    m_cards.append(card);
    card->setParent(this);
    if (m_columns > 0) {
        relayout();
        return;
    }
    m_columns = qMax(1, qMin(int(m_cards.size()), m_maxColumns));
    for (int k = 0; k < m_cards.size(); ++k)
        m_grid->addWidget(m_cards.at(k), k / m_columns, k % m_columns);
    for (int i = 0; i < m_maxColumns; ++i)
        m_grid->setColumnStretch(i, i < m_columns ? 1 : 0);
}

void TavrinResponsiveCardRow::setAvailableWidth(int width)
{
    if (m_cards.isEmpty())
        return;
    int cardWidth = 0;
    for (QWidget *card : std::as_const(m_cards))
        cardWidth = qMax(cardWidth, card->minimumWidth());
    if (cardWidth <= 0)
        cardWidth = 168;
    int n = qMin(int(m_cards.size()), m_maxColumns);
    int needed = n * cardWidth + (n - 1) * 12;
    while (n > 0 && width < needed) {
        needed -= cardWidth + 12;
        --n;
    }
    n = qMax(1, n);
    if (n != m_columns) {
        m_columns = n;
        relayout();
    }
}

void TavrinResponsiveCardRow::relayout()
{
    if (m_columns <= 0)
        m_columns = 1;
    for (QWidget *card : std::as_const(m_cards))
        m_grid->removeWidget(card);
    for (int k = 0; k < m_cards.size(); ++k)
        m_grid->addWidget(m_cards.at(k), k / m_columns, k % m_columns);
    for (int i = 0; i < m_maxColumns; ++i) {
        m_grid->setColumnStretch(i, i < m_columns ? 1 : 0);
        m_grid->setRowStretch(i, 0);
    }
}

} // namespace TavrinUi
