#include "zbuttonbox.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>

ZButtonBox::ZButtonBox(QWidget *parent)
    : QWidget(parent), m_layout(new QHBoxLayout(this)), m_group(new QButtonGroup(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    connect(m_group, &QButtonGroup::buttonClicked, this, &ZButtonBox::buttonClicked);
    connect(m_group, &QButtonGroup::buttonToggled, this, &ZButtonBox::buttonToggled);
}

void ZButtonBox::setButtonList(const QList<QAbstractButton *> &list, bool checkable)
{
    const QList<QAbstractButton *> old = m_group->buttons();
    for (QAbstractButton *b : old) {
        m_group->removeButton(b);
        if (!list.contains(b))
            b->deleteLater();
    }
    m_group->setExclusive(checkable);
    int id = 0;
    for (QAbstractButton *b : list) {
        if (!b)
            continue;
        b->setCheckable(checkable);
        b->setParent(this);
        m_group->addButton(b, id++);
        m_layout->addWidget(b);
        b->show();
    }
}

QList<QAbstractButton *> ZButtonBox::buttonList() const
{
    QList<QAbstractButton *> list = m_group->buttons();
    std::sort(list.begin(), list.end(),
              [this](QAbstractButton *a, QAbstractButton *b) { return m_group->id(a) < m_group->id(b); });
    return list;
}

QAbstractButton *ZButtonBox::checkedButton() const
{
    return m_group->checkedButton();
}
