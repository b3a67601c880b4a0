#include "ztabbar.h"

#include <QToolButton>

ZTabBar::ZTabBar(QWidget *parent) : QTabBar(parent), m_addButton(new QToolButton(this))
{
    setDrawBase(false);
    setExpanding(false);
    m_addButton->setObjectName(QStringLiteral("ZTabBarAddButton"));
    m_addButton->setText(QStringLiteral("+"));
    m_addButton->setAutoRaise(true);
    m_addButton->hide();
    connect(m_addButton, &QToolButton::clicked, this, &ZTabBar::tabAddRequested);
}

void ZTabBar::setAddButtonVisible(bool visible)
{
    m_addButton->setVisible(visible);
    placeAddButton();
    updateGeometry();
}

bool ZTabBar::isAddButtonVisible() const
{
    return !m_addButton->isHidden();
}

void ZTabBar::placeAddButton()
{
    const int side = qMax(24, height() - 4);
    const int x = count() > 0 ? tabRect(count() - 1).right() + 4 : 2;
    m_addButton->setGeometry(x, (height() - side) / 2, side, side);
}

void ZTabBar::tabLayoutChange()
{
    QTabBar::tabLayoutChange();
    placeAddButton();
}

void ZTabBar::resizeEvent(QResizeEvent *event)
{
    QTabBar::resizeEvent(event);
    placeAddButton();
}

QSize ZTabBar::sizeHint() const
{
    QSize s = QTabBar::sizeHint();
    if (isAddButtonVisible())
        s.rwidth() += s.height() + 8;
    return s;
}

QSize ZTabBar::minimumSizeHint() const
{
    QSize s = QTabBar::minimumSizeHint();
    if (isAddButtonVisible())
        s.rwidth() += s.height() + 8;
    return s;
}
