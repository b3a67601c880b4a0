#pragma once

#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QHBoxLayout;

// A segmented row of buttons; with `checkable` exactly one is checked.
class ZButtonBox : public QWidget
{
    Q_OBJECT
public:
    explicit ZButtonBox(QWidget *parent = nullptr);

    // Takes the buttons over (reparented); previous buttons are deleted.
    void setButtonList(const QList<QAbstractButton *> &list, bool checkable);
    QList<QAbstractButton *> buttonList() const;
    QAbstractButton *checkedButton() const;

signals:
    void buttonClicked(QAbstractButton *button);
    void buttonToggled(QAbstractButton *button, bool checked);

private:
    QHBoxLayout *m_layout;
    QButtonGroup *m_group;
};
