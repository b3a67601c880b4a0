#pragma once

#include <QMainWindow>

class ZTitlebar;

// A frameless main window whose menu widget is the desktop's title bar. It
// comes forward when a second start of the application asks for it.
class ZMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit ZMainWindow(QWidget *parent = nullptr);
    ZTitlebar *titlebar() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    ZTitlebar *m_titlebar;
};
