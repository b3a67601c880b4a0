#pragma once

#include "zpalette.h"

#include <QLabel>

// A label whose text colour can be one of the desktop's colour types; it is
// recoloured whenever the application palette changes.
class ZLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ZLabel(QWidget *parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());
    explicit ZLabel(const QString &text, QWidget *parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

    using QWidget::setForegroundRole;
    void setForegroundRole(ZPalette::ColorType type);
    ZPalette::ColorType foregroundType() const;

private:
    void applyForeground();

    ZPalette::ColorType m_type = ZPalette::NoType;
};
