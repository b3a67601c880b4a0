#include "zlabel.h"

#include "zguiapplicationhelper.h"

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
