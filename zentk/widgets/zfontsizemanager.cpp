#include "zfontsizemanager.h"

#include <QApplication>
#include <QEvent>
#include <QFontInfo>
#include <QWidget>

#include <cmath>

namespace {
// Pixel sizes of the levels at an application font of 14 px; other sizes scale.
constexpr int kLevelPixels[ZFontSizeManager::NSizeTypes] = {40, 30, 24, 20, 17, 14, 13, 12, 11, 10};
constexpr double kBasePixels = 14.0;
} // namespace

ZFontSizeManager *ZFontSizeManager::instance()
{
    static QPointer<ZFontSizeManager> s_instance;
    if (!s_instance && qApp)
        s_instance = new ZFontSizeManager(qApp);
    return s_instance;
}

ZFontSizeManager::ZFontSizeManager(QObject *parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

QFont ZFontSizeManager::get(SizeType type, const QFont &base) const
{
    if (type < T1 || type >= NSizeTypes)
        type = T6;
    QFont font = base;
    const QFont appFont = QApplication::font();
    const double factor = kLevelPixels[type] / kBasePixels;
    if (appFont.pixelSize() > 0)
        font.setPixelSize(std::max(1, int(std::lround(appFont.pixelSize() * factor))));
    else
        font.setPointSizeF(std::max(1.0, appFont.pointSizeF() * factor));
    return font;
}

int ZFontSizeManager::fontPixelSize(SizeType type) const
{
    return QFontInfo(get(type)).pixelSize();
}

void ZFontSizeManager::bind(QWidget *w, SizeType type, int weight)
{
    if (!w)
        return;
    const bool known = m_bindings.contains(w);
    Binding b{w, type, weight};
    m_bindings.insert(w, b);
    if (!known) {
        connect(w, &QObject::destroyed, this, [this, w] { m_bindings.remove(w); });
    }
    apply(b);
}

void ZFontSizeManager::unbind(QWidget *w)
{
    if (m_bindings.remove(w))
        disconnect(w, &QObject::destroyed, this, nullptr);
}

void ZFontSizeManager::apply(const Binding &b) const
{
    if (!b.widget)
        return;
    QFont font = get(b.type, b.widget->font());
    if (b.weight >= 0)
        font.setWeight(QFont::Weight(b.weight));
    b.widget->setFont(font);
}

bool ZFontSizeManager::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationFontChange) {
        for (const Binding &b : std::as_const(m_bindings))
            apply(b);
    }
    return QObject::eventFilter(watched, event);
}
