#pragma once

#include <QTabBar>

class QToolButton;

// A flat tab bar in the palette's colours (the current tab marked by an
// accent line under it) with an optional "+" button after the last tab.
class ZTabBar : public QTabBar
{
    Q_OBJECT
public:
    explicit ZTabBar(QWidget *parent = nullptr);

    void setAddButtonVisible(bool visible);
    bool isAddButtonVisible() const;

signals:
    void tabAddRequested();

protected:
    void tabLayoutChange() override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    QSize tabSizeHint(int index) const override;

private:
    void placeAddButton();

    QToolButton *m_addButton;
};
