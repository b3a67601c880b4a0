#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// A painted on/off switch; checkable, toggled by click or the space key. The
// knob slides unless animations are off (setAnimated(false)).
class ZSwitchButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ZSwitchButton(QWidget *parent = nullptr);
    QSize sizeHint() const override;

    void setAnimated(bool animated);
    bool isAnimated() const;
    // Knob position for painting: 0 off, 1 on; in between while sliding.
    qreal knobPosition() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVariantAnimation *m_slide;
    bool m_animated = true;
};
