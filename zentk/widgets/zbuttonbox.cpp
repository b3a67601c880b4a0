#include "zbuttonbox.h"

#include "zguiapplicationhelper.h"
#include "zpaint_p.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kRadius = 7;
}

ZButtonBox::ZButtonBox(QWidget *parent)
    : QWidget(parent), m_layout(new QHBoxLayout(this)), m_group(new QButtonGroup(this))
{
    // The frame's 1 px line stays outside the segments.
    m_layout->setContentsMargins(1, 1, 1, 1);
    m_layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    connect(m_group, &QButtonGroup::buttonClicked, this, &ZButtonBox::buttonClicked);
    connect(m_group, &QButtonGroup::buttonToggled, this, &ZButtonBox::buttonToggled);
    // A segment's neighbours draw the divider next to it, so all are repainted.
    connect(m_group, &QButtonGroup::buttonToggled, this, [this] {
        for (QAbstractButton *b : m_group->buttons())
            b->update();
    });
}

void ZButtonBox::setButtonList(const QList<QAbstractButton *> &list, bool checkable)
{
    const QList<QAbstractButton *> old = m_group->buttons();
    for (QAbstractButton *b : old) {
        m_group->removeButton(b);
        b->removeEventFilter(this);
        if (!list.contains(b))
            b->deleteLater();
    }
    m_group->setExclusive(checkable);
    int id = 0;
    for (QAbstractButton *b : list) {
        if (!b)
            continue;
        b->setCheckable(checkable);
        b->setParent(this);
        b->setAttribute(Qt::WA_Hover);
        b->setMinimumHeight(30);
        // Clicks leave no focus ring; the keyboard still reaches every segment.
        b->setFocusPolicy(Qt::TabFocus);
        b->installEventFilter(this);
        m_group->addButton(b, id++);
        m_layout->addWidget(b);
        b->show();
    }
    update();
}

QList<QAbstractButton *> ZButtonBox::buttonList() const
{
    QList<QAbstractButton *> list = m_group->buttons();
    std::sort(list.begin(), list.end(),
              [this](QAbstractButton *a, QAbstractButton *b) { return m_group->id(a) < m_group->id(b); });
    return list;
}

QAbstractButton *ZButtonBox::checkedButton() const
{
    return m_group->checkedButton();
}

void ZButtonBox::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
    const auto group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(pal.color(group, ZPalette::FrameBorder), 1));
    p.setBrush(pal.color(group, QPalette::Base));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
}

bool ZButtonBox::eventFilter(QObject *watched, QEvent *event)
{
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (!button || m_group->id(button) < 0)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        paintSegment(button);
        return true;
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
        button->update();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ZButtonBox::paintSegment(QAbstractButton *button)
{
    const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
    const bool enabled = button->isEnabled();
    const auto group = enabled ? QPalette::Active : QPalette::Disabled;
    QPainter p(button);
    p.setRenderHint(QPainter::Antialiasing);

    // Segments are clipped to the inside of the box's frame, so only the
    // outer ends come out rounded.
    QPainterPath inside;
    inside.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1).translated(-button->pos()), kRadius - 1,
                          kRadius - 1);
    p.setClipPath(inside);

    const bool checked = button->isChecked();
    QColor text = pal.color(group, QPalette::ButtonText);
    if (checked) {
        const QColor onAccent = pal.color(QPalette::Active, QPalette::HighlightedText);
        QColor fill = ZentkPaint::fillBehind(pal.color(QPalette::Active, QPalette::Highlight), onAccent);
        if (!enabled)
            fill.setAlphaF(0.45);
        p.fillRect(button->rect(), fill);
        text = onAccent;
    } else if (enabled && (button->isDown() || button->underMouse())) {
        QColor wash = pal.color(QPalette::Active, QPalette::WindowText);
        wash.setAlphaF(button->isDown() ? 0.14 : 0.07);
        p.fillRect(button->rect(), wash);
    }

    // A divider between two unchecked neighbours.
    const QList<QAbstractButton *> buttons = buttonList();
    const int index = int(buttons.indexOf(button));
    if (index > 0 && !checked && !buttons.at(index - 1)->isChecked()) {
        p.setPen(QPen(pal.color(group, ZPalette::FrameBorder), 1));
        p.drawLine(QPointF(0.5, 6), QPointF(0.5, button->height() - 6));
    }

    if (button->hasFocus() && enabled) {
        p.setPen(QPen(checked ? text : pal.color(QPalette::Active, QPalette::Highlight), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(button->rect()).adjusted(3, 3, -3, -3), 4, 4);
    }

    QRect area = button->rect().adjusted(10, 0, -10, 0);
    const QString label = button->text();
    if (!button->icon().isNull()) {
        const QSize is = button->iconSize();
        const int textWidth = label.isEmpty() ? 0 : button->fontMetrics().horizontalAdvance(label) + 6;
        const int x = area.center().x() - (is.width() + textWidth) / 2;
        const QIcon::Mode mode = !enabled ? QIcon::Disabled : checked ? QIcon::Selected : QIcon::Normal;
        button->icon().paint(&p, QRect(QPoint(x, area.center().y() - is.height() / 2 + 1), is),
                             Qt::AlignCenter, mode);
        area.setLeft(x + is.width() + 6);
    }
    p.setPen(text);
    p.setFont(button->font());
    p.drawText(area,
               (button->icon().isNull() ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter) |
                   Qt::TextShowMnemonic,
               label);
}
