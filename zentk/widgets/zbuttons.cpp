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
    ZentkPaint::paintFilledButton(this, pal.color(QPalette::Active, QPalette::Highlight),
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
    ZentkPaint::paintFilledButton(this, pal.color(QPalette::Active, ZPalette::TextWarning),
                                  pal.color(QPalette::Active, QPalette::BrightText));
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

ZPushButton::ZPushButton(QWidget *parent) : QPushButton(parent)
{
    setAttribute(Qt::WA_Hover);
}

ZPushButton::ZPushButton(const QString &text, QWidget *parent) : ZPushButton(parent)
{
    setText(text);
}

void ZPushButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ZPalette pal = appPalette();
    ZentkPaint::paintFilledButton(this, pal.color(QPalette::Active, QPalette::Button),
                                  pal.color(QPalette::Active, QPalette::ButtonText),
                                  pal.color(QPalette::Active, ZPalette::FrameBorder));
}

QSize ZSuggestButton::sizeHint() const
{
    return ZentkPaint::filledButtonSizeHint(this, QPushButton::sizeHint());
}

QSize ZSuggestButton::minimumSizeHint() const
{
    return ZentkPaint::filledButtonSizeHint(this, QPushButton::minimumSizeHint());
}

QSize ZWarningButton::sizeHint() const
{
    return ZentkPaint::filledButtonSizeHint(this, QPushButton::sizeHint());
}

QSize ZWarningButton::minimumSizeHint() const
{
    return ZentkPaint::filledButtonSizeHint(this, QPushButton::minimumSizeHint());
}

QSize ZPushButton::sizeHint() const
{
    return ZentkPaint::filledButtonSizeHint(this, QPushButton::sizeHint());
}

QSize ZPushButton::minimumSizeHint() const
{
    return ZentkPaint::filledButtonSizeHint(this, QPushButton::minimumSizeHint());
}
