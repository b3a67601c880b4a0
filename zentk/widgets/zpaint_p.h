#pragma once

#include <QColor>
#include <QIcon>
#include <QPushButton>
#include <QToolButton>

// Painting helpers shared by the toolkit's widgets; not part of its interface.
namespace ZentkPaint {

// WCAG contrast ratio of two opaque colours, 1 to 21.
qreal contrastRatio(const QColor &a, const QColor &b);
// `fg` moved towards black or white (whichever `bg` is further from) until it
// reaches `minRatio` against `bg`.
QColor readableOn(const QColor &fg, const QColor &bg, qreal minRatio = 4.5);
// `fill` darkened or lightened, away from `text`, until `text` on it reaches `minRatio`.
QColor fillBehind(const QColor &fill, const QColor &text, qreal minRatio = 4.5);

enum class Glyph { Menu, Minimize, Maximize, Restore, Close, Add };
// A line glyph drawn at paint time in the application palette's text colour
// (white in QIcon::Selected mode, the disabled text colour in QIcon::Disabled).
QIcon glyphIcon(Glyph glyph);

// Paints a rounded push button: `fill` (deepened until `text` reads on it),
// with a 1 px `outline` when that is valid; greyed when disabled.
void paintFilledButton(QPushButton *button, QColor fill, QColor text, const QColor &outline = QColor());
// The style's size hint widened to what paintFilledButton needs: the text
// (and icon) plus its side margins, so a button at its hint never cuts its text.
QSize filledButtonSizeHint(const QPushButton *button, const QSize &styleHint);

} // namespace ZentkPaint

// A flat button of a window's title bar or a dialog's corner: hover and
// press shown by a soft rounded backdrop; a danger button (close) turns to
// the warning colour with a light glyph.
class ZentkWindowButton : public QToolButton
{
public:
    ZentkWindowButton(ZentkPaint::Glyph glyph, QWidget *parent);
    void setGlyph(ZentkPaint::Glyph glyph);
    ZentkPaint::Glyph glyph() const { return m_glyph; }
    void setDanger(bool danger) { m_danger = danger; }
    // The backdrop behind the glyph for the current state; invalid when none.
    QColor backdropColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    ZentkPaint::Glyph m_glyph;
    bool m_danger = false;
};
