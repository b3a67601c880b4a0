#pragma once

#include <QString>
#include <QWidget>

#include "ui/components.h"
#include "zlabel.h"

class QAbstractButton;
class QPushButton;

namespace Ui {

// A label that never wraps and elides its text in the middle to its width.
class ElidedLabel : public ZLabel
{
public:
    explicit ElidedLabel(const QString &text = QString(), QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The text as drawn at the current width.
    QString elidedText() const;
    // Middle by default; names that end in a date or number read better cut
    // at the end, with the whole text in the tooltip.
    void setElideMode(Qt::TextElideMode mode);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::TextElideMode m_elideMode = Qt::ElideMiddle;
};

class LegendDot : public QWidget
{
public:
    explicit LegendDot(TavrinUi::Semantic semantic, QWidget *parent = nullptr);

    void setSemantic(TavrinUi::Semantic semantic);
    TavrinUi::Semantic semantic() const { return m_semantic; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TavrinUi::Semantic m_semantic;
};

QWidget *pageHeader(const QString &title, const QString &subtitle, const QString &icon);
QPushButton *button(const QString &text, bool primary = false, bool warning = false);
ZLabel *rowDesc(const QString &text);
QWidget *legendDot(TavrinUi::Semantic semantic, const QString &text);
ZLabel *iconBadge(const QString &name, int size);
QWidget *featureRow(const QString &icon, const QString &title, const QString &description,
                    QWidget *parent = nullptr);
// The copy button reads "复制命令" unless copyText says otherwise.
QWidget *makeCommandRow(const QString &label, const QString &command, QWidget *parent = nullptr,
                        const QString &copyText = QString());
QAbstractButton *makeCopyButton(const QString &text, QWidget *parent = nullptr,
                                const QString &idleText = QString());

// Pixel size an icon badge of the given box size renders its icon at.
int iconBadgePixelSize(int size);

} // namespace Ui
