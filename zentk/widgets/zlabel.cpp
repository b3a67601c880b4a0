#include "zlabel.h"

#include "zguiapplicationhelper.h"

#include <QEvent>

ZLabel::ZLabel(QWidget *parent, Qt::WindowFlags f) : QLabel(parent, f) {}

ZLabel::ZLabel(const QString &text, QWidget *parent, Qt::WindowFlags f) : QLabel(text, parent, f) {}

void ZLabel::setForegroundRole(ZPalette::ColorType type)
{
    const bool first = m_type == ZPalette::NoType;
    m_type = type;
    if (first && type != ZPalette::NoType) {
        connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged, this,
                &ZLabel::applyForeground);
    }
    applyForeground();
}

ZPalette::ColorType ZLabel::foregroundType() const
{
    return m_type;
}

void ZLabel::applyForeground()
{
    if (m_type == ZPalette::NoType)
        return;
    const ZPalette app = ZGuiApplicationHelper::instance()->applicationPalette();
    QPalette pal = palette();
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        const auto group = QPalette::ColorGroup(g);
        pal.setColor(group, QPalette::WindowText, app.color(group, m_type));
    }
    setPalette(pal);
    QWidget::setForegroundRole(QPalette::WindowText);
}

bool ZLabel::MeasureKey::operator==(const MeasureKey &o) const
{
    return frame == o.frame && margin == o.margin && indent == o.indent && align == o.align &&
           format == o.format && margins == o.margins && text == o.text && font == o.font;
}

ZLabel::MeasureKey ZLabel::measureKey() const
{
    MeasureKey key;
    key.text = text();
    key.font = font();
    key.margins = contentsMargins();
    key.frame = frameWidth();
    key.margin = margin();
    key.indent = indent();
    key.align = int(alignment()) | (wordWrap() ? int(Qt::TextWordWrap) : 0);
    key.format = int(textFormat());
    return key;
}

int ZLabel::heightForWidth(int width) const
{
    // Pictures and movies are not laid out; only text is worth keeping.
    if (!pixmap().isNull() || movie())
        return QLabel::heightForWidth(width);
    MeasureKey key = measureKey();
    if (!m_measureValid || !(key == m_measured)) {
        m_measured = std::move(key);
        m_measureValid = true;
        for (HeightSlot &slot : m_heights)
            slot = HeightSlot();
        m_nextSlot = 0;
    }
    for (const HeightSlot &slot : m_heights) {
        if (slot.width == width)
            return slot.height;
    }
    const int height = QLabel::heightForWidth(width);
    m_heights[m_nextSlot] = HeightSlot{width, height};
    m_nextSlot = (m_nextSlot + 1) % kHeightSlots;
    return height;
}

void ZLabel::changeEvent(QEvent *event)
{
    // A new style or font can change the layout without changing anything
    // the key compares (a style's font resolved later, a frame's metrics).
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::ContentsRectChange:
        m_measureValid = false;
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

bool ZLabel::event(QEvent *event)
{
    // On another screen the same font can measure differently.
    if (event->type() == QEvent::ScreenChangeInternal)
        m_measureValid = false;
    return QLabel::event(event);
}
