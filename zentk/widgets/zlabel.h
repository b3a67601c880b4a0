#pragma once

#include "zpalette.h"

#include <QFont>
#include <QLabel>
#include <QMargins>

// A label whose text colour can be one of the desktop's colour types; it is
// recoloured whenever the application palette changes.
//
// It also remembers its height for the last few widths: QLabel lays its text
// out anew on every heightForWidth call, and nested layouts ask the same
// label for the same width many times in one pass.
class ZLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ZLabel(QWidget *parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());
    explicit ZLabel(const QString &text, QWidget *parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

    using QWidget::setForegroundRole;
    void setForegroundRole(ZPalette::ColorType type);
    ZPalette::ColorType foregroundType() const;

    int heightForWidth(int width) const override;

protected:
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void applyForeground();

    // What the text's layout depends on. setText and friends are not
    // virtual, so a change is noticed by comparing, not by being told.
    struct MeasureKey
    {
        QString text;
        QFont font;
        QMargins margins;
        int frame = 0;
        int margin = 0;
        int indent = 0;
        int align = 0;
        int format = 0;
        bool operator==(const MeasureKey &o) const;
    };
    MeasureKey measureKey() const;

    static constexpr int kHeightSlots = 6;
    struct HeightSlot
    {
        int width = -1;
        int height = 0;
    };
    mutable MeasureKey m_measured;
    mutable HeightSlot m_heights[kHeightSlots];
    mutable int m_nextSlot = 0;
    mutable bool m_measureValid = false;

    ZPalette::ColorType m_type = ZPalette::NoType;
};
