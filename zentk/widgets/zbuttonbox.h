#pragma once

#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QHBoxLayout;

// A segmented row of buttons in one rounded frame; with `checkable` exactly
// one is checked, and that segment is filled with the accent colour. The box
// paints its buttons itself, in the application palette's colours.
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

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintSegment(QAbstractButton *button);

    QHBoxLayout *m_layout;
    QButtonGroup *m_group;
};
