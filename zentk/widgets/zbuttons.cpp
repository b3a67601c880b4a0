#include "ziconbutton.h"
#include "zpushbutton.h"
#include "zsuggestbutton.h"
#include "zwarningbutton.h"

#include "zguiapplicationhelper.h"
#include "zpaint_p.h"

namespace {

ZPalette appPalette()
{
    return ZGuiApplicationHelper::instance()->applicationPalette();
}

} // namespace

ZPushButton::ZPushButton(QWidget *parent) : QPushButton(parent)
{
    setAttribute(Qt::WA_Hover);
}

ZPushButton::ZPushButton(const QString &text, QWidget *parent) : ZPushButton(parent)
{
    setText(text);
}

ZPushButton::Colors ZPushButton::colors() const
{
    const ZPalette pal = appPalette();
    return {pal.color(QPalette::Active, QPalette::Button), pal.color(QPalette::Active, QPalette::ButtonText),
            pal.color(QPalette::Active, ZPalette::FrameBorder)};
}

void ZPushButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const Colors c = colors();
    ZentkPaint::paintFilledButton(this, c.fill, c.text, c.outline);
}

QSize ZPushButton::sizeHint() const
{
    return ZentkPaint::filledButtonSizeHint(this, QPushButton::sizeHint());
}

QSize ZPushButton::minimumSizeHint() const
{
    return ZentkPaint::filledButtonSizeHint(this, QPushButton::minimumSizeHint());
}

ZSuggestButton::ZSuggestButton(QWidget *parent) : ZPushButton(parent) {}

ZSuggestButton::ZSuggestButton(const QString &text, QWidget *parent) : ZPushButton(text, parent) {}

ZPushButton::Colors ZSuggestButton::colors() const
{
    const ZPalette pal = appPalette();
    return {pal.color(QPalette::Active, QPalette::Highlight),
            pal.color(QPalette::Active, QPalette::HighlightedText), QColor()};
}

ZWarningButton::ZWarningButton(QWidget *parent) : ZPushButton(parent) {}

ZWarningButton::ZWarningButton(const QString &text, QWidget *parent) : ZPushButton(text, parent) {}

ZPushButton::Colors ZWarningButton::colors() const
{
    const ZPalette pal = appPalette();
    return {pal.color(QPalette::Active, ZPalette::TextWarning),
            pal.color(QPalette::Active, QPalette::BrightText), QColor()};
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
