#pragma once

#include <QColor>
#include <QRectF>

class QPushButton;
class QString;
class QWidget;

// Drawing and button helpers the component files share; not for pages.
namespace TavrinUi::detail {

QColor blendOver(const QColor &c, const QColor &base);
void fillRounded(QWidget *widget, const QRectF &rect, qreal radius, const QColor &fill);
QPushButton *makeActionButton(const QString &text, bool primary, QWidget *parent);

} // namespace TavrinUi::detail
