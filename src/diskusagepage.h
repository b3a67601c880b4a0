#pragma once

#include <QDate>

#include "basepage.h"

class MainWindow;
class ZLabel;

class DiskUsagePage : public BasePage
{
    Q_OBJECT

public:
    explicit DiskUsagePage(MainWindow *window);

    void focusDate(const QDate &date);
    QDate focusedDate() const { return m_focused; }

private:
    ZLabel *m_dayLabel = nullptr;
    QDate m_focused;
};
