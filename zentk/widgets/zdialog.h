#pragma once

#include "zabstractdialog.h"

#include <QList>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;

// A message dialog with a title, icon, message, added content and a row of
// buttons. exec() returns the index of the clicked button, -1 when the
// dialog was closed any other way (Escape, the close button, the window).
//
// Object names: "ZDialogIcon", "ZDialogTitle", "ZDialogMessage",
// "ZDialogContent", "ZDialogCloseButton", buttons "ZDialogButton<index>".
class ZDialog : public ZAbstractDialog
{
    Q_OBJECT
public:
    enum ButtonType { ButtonNormal, ButtonWarning, ButtonRecommend };
    Q_ENUM(ButtonType)

    explicit ZDialog(QWidget *parent = nullptr);
    ZDialog(const QString &title, const QString &message, QWidget *parent = nullptr);

    void setTitle(const QString &title);
    QString title() const;
    void setIcon(const QIcon &icon);
    void setMessage(const QString &message);
    QString message() const;
    void addContent(QWidget *widget);

    int addButton(const QString &text, bool isDefault = false, ButtonType type = ButtonNormal);
    QAbstractButton *getButton(int index) const;
    int buttonCount() const;
    void clearButtons();

    // Whether a click closes the dialog (default true).
    void setOnButtonClickedClose(bool close);
    // The button clicked last, -1 when none (for open()/finished users).
    int clickedButtonIndex() const;

    int exec() override;

signals:
    void buttonClicked(int index, const QString &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void onButtonClicked();

    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_message;
    QVBoxLayout *m_content;
    QHBoxLayout *m_buttonRow;
    QList<QAbstractButton *> m_buttons;
    int m_clicked = -1;
    bool m_closeOnClick = true;
};
