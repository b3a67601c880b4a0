#pragma once

#include <QListView>

class ZListView : public QListView
{
    Q_OBJECT
public:
    explicit ZListView(QWidget *parent = nullptr);
};
