#pragma once

#include <QLineEdit>

class ZLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit ZLineEdit(QWidget *parent = nullptr);
    explicit ZLineEdit(const QString &text, QWidget *parent = nullptr);
};
