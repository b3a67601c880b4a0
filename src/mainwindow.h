#pragma once

#include "zmainwindow.h"

#include <QDate>

class QLabel;

class MainWindow : public ZMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void showDiskDate(const QDate &date);

    static MainWindow *s_instance;

private:
    QLabel *m_shownDate;
};
