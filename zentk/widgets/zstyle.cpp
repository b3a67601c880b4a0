#include "zstyle.h"

#include "zguiapplicationhelper.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleOption>
#include <QTextEdit>

namespace {

// Room between the outline and the text: 1 px outline plus the padding.
constexpr int kEditPadH = 7;
constexpr int kEditPadV = 5;
// A text area's frame is uniform on all sides.
constexpr int kTextAreaFrame = 5;

// A line edit of its own: the framework takes the frame off the one inside a
// spin box or an editable combo box, whose frame is the control's.
bool isFramedLineEdit(const QStyleOption *option)
{
    const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
    return frame && frame->lineWidth > 0;
}

bool isTextArea(const QWidget *widget)
{
    return qobject_cast<const QTextEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget);
}

QColor outlineFor(const QStyleOption *option)
{
    if (!(option->state & QStyle::State_Enabled))
        return option->palette.color(QPalette::Disabled, QPalette::Mid);
    if (option->state & QStyle::State_HasFocus)
        return option->palette.color(QPalette::Active, QPalette::Highlight);
    return ZStyle::controlOutline(option->palette);
}

void drawEditFrame(QPainter *p, const QStyleOption *option, bool fill)
{
    const bool ring = (option->state & QStyle::State_HasFocus) && (option->state & QStyle::State_Enabled);
    const qreal width = ring ? 2.0 : 1.0;
    const QRectF r = QRectF(option->rect).adjusted(width / 2, width / 2, -width / 2, -width / 2);
    const qreal radius = ZStyle::kEditRadius - width / 2;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(outlineFor(option), width));
    p->setBrush(fill ? option->palette.brush(QPalette::Base) : QBrush(Qt::NoBrush));
    p->drawRoundedRect(r, radius, radius);
    p->restore();
}

QRectF indicatorBox(const QRect &rect)
{
    const qreal side = qMin(ZStyle::kIndicatorSize, qMin(rect.width(), rect.height()));
    QRectF box(0, 0, side, side);
    box.moveCenter(QRectF(rect).center());
    return box;
}

void drawRadio(QPainter *p, const QStyleOption *option)
{
    const QStyle::State state = option->state;
    const bool on = state & QStyle::State_On;
    const QRectF box = indicatorBox(option->rect);
    const qreal unit = box.width() / ZStyle::kIndicatorSize;
    QColor ring = (on || (state & QStyle::State_HasFocus))
                      ? option->palette.color(QPalette::Active, QPalette::Highlight)
                      : ZStyle::controlOutline(option->palette);
    if (!(state & QStyle::State_Enabled))
        ring = option->palette.color(QPalette::Disabled, QPalette::Mid);
    const qreal width = (on ? 5 : 2) * unit;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(Qt::NoPen);
    p->setBrush(ring);
    p->drawEllipse(box);
    p->setBrush(option->palette.brush(QPalette::Base));
    p->drawEllipse(box.adjusted(width, width, -width, -width));
    p->restore();
}

void drawCheck(QPainter *p, const QStyleOption *option)
{
    const QStyle::State state = option->state;
    const bool enabled = state & QStyle::State_Enabled;
    const bool on = state & QStyle::State_On;
    const bool partial = state & QStyle::State_NoChange;
    const QRectF box = indicatorBox(option->rect);
    const qreal unit = box.width() / ZStyle::kIndicatorSize;
    const QColor accent = enabled ? option->palette.color(QPalette::Active, QPalette::Highlight)
                                  : option->palette.color(QPalette::Disabled, QPalette::Mid);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(Qt::NoPen);
    if (on || partial) {
        p->setBrush(accent);
        p->drawRoundedRect(box, 3 * unit, 3 * unit);
        // The mark keeps checked apart from unchecked without relying on colour.
        p->setPen(QPen(option->palette.color(QPalette::Active, QPalette::HighlightedText), 2 * unit,
                       Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->setBrush(Qt::NoBrush);
        const QPointF o = box.topLeft();
        if (partial) {
            p->drawLine(o + QPointF(4.5, 8) * unit, o + QPointF(11.5, 8) * unit);
        } else {
            const QPointF mark[] = {o + QPointF(4, 8.5) * unit, o + QPointF(7, 11.25) * unit,
                                    o + QPointF(12, 5) * unit};
            p->drawPolyline(mark, 3);
        }
    } else {
        p->setBrush(enabled ? ZStyle::controlOutline(option->palette) : accent);
        p->drawRoundedRect(box, 3 * unit, 3 * unit);
        p->setBrush(option->palette.brush(QPalette::Base));
        const qreal w = 2 * unit;
        p->drawRoundedRect(box.adjusted(w, w, -w, -w), 1 * unit, 1 * unit);
    }
    p->restore();
}

} // namespace

ZStyle::ZStyle() = default;

QColor ZStyle::controlOutline(const QPalette &palette)
{
    const QColor tips =
        ZGuiApplicationHelper::instance()->applicationPalette().color(QPalette::Active, ZPalette::TextTips);
    return tips.isValid() ? tips : palette.color(QPalette::Active, QPalette::PlaceholderText);
}

void ZStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                           const QWidget *widget) const
{
    switch (element) {
    case PE_IndicatorRadioButton:
        drawRadio(painter, option);
        return;
    case PE_IndicatorCheckBox:
        drawCheck(painter, option);
        return;
    case PE_PanelLineEdit:
        if (isFramedLineEdit(option)) {
            drawEditFrame(painter, option, true);
            return;
        }
        break;
    case PE_FrameLineEdit:
        if (isFramedLineEdit(option)) {
            drawEditFrame(painter, option, false);
            return;
        }
        break;
    case PE_Frame:
        if (isTextArea(widget)) {
            drawEditFrame(painter, option, true);
            return;
        }
        break;
    case PE_FrameFocusRect:
        // Fusion's own is a faint tint that a flat button or a list row hardly
        // shows. Keyboard focus gets the edits' 2 px accent ring; focus from a
        // click, as in Fusion, none.
        if (option->state & State_KeyboardFocusChange) {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(QPen(option->palette.color(QPalette::Active, QPalette::Highlight), 2));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(QRectF(option->rect).adjusted(1, 1, -1, -1), 6, 6);
            painter->restore();
        }
        return;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void ZStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                         const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    // Fusion marks a button's focus in its panel, which a flat button does not
    // draw: without this, Tab onto one shows nothing.
    const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
    if (element == CE_PushButton && button && (button->features & QStyleOptionButton::Flat) &&
        (option->state & State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*option);
        proxy()->drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
}

int ZStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        return kIndicatorSize;
    case PM_DefaultFrameWidth:
        if (isTextArea(widget))
            return kTextAreaFrame;
        break;
    default:
        break;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QSize ZStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                               const QWidget *widget) const
{
    if (type == CT_LineEdit && isFramedLineEdit(option))
        return size + QSize(2 * kEditPadH, 2 * kEditPadV);
    if (type == CT_CheckBox || type == CT_RadioButton) {
        // The indicator beside the label, without the base style's extra
        // margins: rows of options stay as compact as the rest of the form.
        const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
        if (!button || (button->text.isEmpty() && button->icon.isNull()))
            return QSize(kIndicatorSize, kIndicatorSize);
        const int spacing = pixelMetric(
            type == CT_RadioButton ? PM_RadioButtonLabelSpacing : PM_CheckBoxLabelSpacing, option, widget);
        return QSize(kIndicatorSize + spacing + size.width(), qMax(size.height(), int(kIndicatorSize)));
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

QRect ZStyle::subElementRect(SubElement element, const QStyleOption *option, const QWidget *widget) const
{
    if (element == SE_LineEditContents && isFramedLineEdit(option))
        return option->rect.adjusted(kEditPadH, kEditPadV, -kEditPadH, -kEditPadV);
    return QProxyStyle::subElementRect(element, option, widget);
}

void ZStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    // The frame paints the rounded base; a square viewport would cover its
    // corners. Without a frame the viewport keeps filling its own background.
    if (isTextArea(widget)) {
        auto *area = static_cast<QAbstractScrollArea *>(widget);
        if (area->frameShape() == QFrame::StyledPanel)
            area->viewport()->setAutoFillBackground(false);
    }
}

void ZStyle::unpolish(QWidget *widget)
{
    if (isTextArea(widget))
        static_cast<QAbstractScrollArea *>(widget)->viewport()->setAutoFillBackground(true);
    QProxyStyle::unpolish(widget);
}
