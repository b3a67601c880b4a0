#include "mainwindow.h"

#include <QLabel>

MainWindow *MainWindow::s_instance = nullptr;

MainWindow::MainWindow(QWidget *parent) : ZMainWindow(parent), m_shownDate(new QLabel(this))
{
    m_shownDate->setObjectName(QStringLiteral("tavrinShownDate"));
    setCentralWidget(m_shownDate);
    resize(900, 600);
    s_instance = this;
}

MainWindow::~MainWindow()
{
    if (s_instance == this)
        s_instance = nullptr;
}

void MainWindow::showDiskDate(const QDate &date)
{
    qInfo("[MainWindow] showDiskDate %s", qPrintable(date.toString(Qt::ISODate)));
    m_shownDate->setText(date.toString(Qt::ISODate));
}
