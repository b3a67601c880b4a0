#include "ziconbutton.h"
#include "zsuggestbutton.h"
#include "zwarningbutton.h"

#include "zguiapplicationhelper.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace {

// A rounded button filled with `fill`; lighter on hover, darker when pressed.
void paintFilledButton(QPushButton *button, QColor fill, const QColor &text)
{
    QStyleOptionButton opt;
    opt.initFrom(button);
    if (!button->isEnabled())
        fill.setAlphaF(0.45);
    else if (button->isDown())
        fill = fill.darker(115);
    else if (opt.state & QStyle::State_MouseOver)
        fill = fill.lighter(110);
    QPainter p(button);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(button->hasFocus() ? QPen(fill.darker(140), 1.5) : QPen(Qt::NoPen));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(button->rect()).adjusted(1, 1, -1, -1), 8, 8);
    QRect area = button->rect().adjusted(8, 0, -8, 0);
    if (!button->icon().isNull()) {
        const QSize is = button->iconSize();
        const int textWidth = button->fontMetrics().horizontalAdvance(button->text());
        const int total = is.width() + (button->text().isEmpty() ? 0 : 6 + textWidth);
        const int x = area.center().x() - total / 2;
        button->icon().paint(&p, QRect(QPoint(x, area.center().y() - is.height() / 2), is));
        area.setLeft(x + is.width() + 6);
        area.setWidth(textWidth);
    }
    p.setPen(text);
    p.setFont(button->font());
    p.drawText(area, Qt::AlignCenter | Qt::TextShowMnemonic, button->text());
}

ZPalette appPalette()
{
    return ZGuiApplicationHelper::instance()->applicationPalette();
}

} // namespace

ZSuggestButton::ZSuggestButton(QWidget *parent) : QPushButton(parent)
{
    setAttribute(Qt::WA_Hover);
}

ZSuggestButton::ZSuggestButton(const QString &text, QWidget *parent) : ZSuggestButton(parent)
{
    setText(text);
}

void ZSuggestButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ZPalette pal = appPalette();
    paintFilledButton(this, pal.color(QPalette::Active, QPalette::Highlight),
                      pal.color(QPalette::Active, QPalette::HighlightedText));
}

ZWarningButton::ZWarningButton(QWidget *parent) : QPushButton(parent)
{
    setAttribute(Qt::WA_Hover);
}

ZWarningButton::ZWarningButton(const QString &text, QWidget *parent) : ZWarningButton(parent)
{
    setText(text);
}

void ZWarningButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ZPalette pal = appPalette();
    paintFilledButton(this, pal.color(QPalette::Active, ZPalette::TextWarning), QColor(Qt::white));
}

ZIconButton::ZIconButton(QWidget *parent) : QPushButton(parent)
{
    setFlat(true);
    setIconSize(QSize(16, 16));
}

ZIconButton::ZIconButton(const QIcon &icon, QWidget *parent) : ZIconButton(parent)
{
    setIcon(icon);
}

QSize ZIconButton::sizeHint() const
{
    return iconSize() + QSize(12, 12);
}
