#pragma once

#include <QTextEdit>

class ZTextEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit ZTextEdit(QWidget *parent = nullptr);
};
