#pragma once

#include "zpushbutton.h"

namespace TavrinUi {

// One part of a segmented control (range presets, view switches): the checked part carries the
// accent, like a selected tab; focus shows a ring inside it.
class SegmentButton : public ZPushButton
{
public:
    explicit SegmentButton(const QString &text, QWidget *parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace TavrinUi
