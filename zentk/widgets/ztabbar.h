#pragma once

#include <QTabBar>

class QToolButton;

// A tab bar with an optional "+" button after the last tab.
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
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    void placeAddButton();

    QToolButton *m_addButton;
};
