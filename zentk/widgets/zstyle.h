#pragma once

#include <QProxyStyle>

// The toolkit's look for the framework's own input controls, drawn from the
// palette: rounded line and text edits whose outline turns into a 2 px accent
// ring with the focus, the same ring for keyboard focus on flat buttons and
// list rows, and round radio / rounded check indicators. Everything
// else is the base style's, so a widget it does not touch costs nothing extra.
class ZStyle : public QProxyStyle
{
    Q_OBJECT
public:
    ZStyle();

    // Outline of an enabled control: 3:1 against window and base in both
    // themes (the frame colour is a separator's, far below that).
    static QColor controlOutline(const QPalette &palette);

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    QRect subElementRect(SubElement element, const QStyleOption *option,
                         const QWidget *widget) const override;

    using QProxyStyle::polish;
    using QProxyStyle::unpolish;
    void polish(QWidget *widget) override;
    void unpolish(QWidget *widget) override;

    static constexpr int kIndicatorSize = 16;
    static constexpr int kEditRadius = 6;
};
