#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace TavrinUi {

struct ConfirmRequest
{
    QString title;
    QString message;
    QStringList facts;
    QStringList consequences;
    QString confirmText;
    QString cancelText;
    int tone = 0;
    int countdownSeconds = 0;
    QStringList options;
    int defaultOption = 0;
    int *selectedOption = nullptr;
};

bool askConfirm(QWidget *parent, const ConfirmRequest &request);
bool askConfirm(QWidget *parent, const QString &title, const QString &message, const QString &confirmText);
bool askDanger(QWidget *parent, const QString &title, const QString &message, const QString &confirmText,
               const QStringList &consequences);
QWidget *createDetailsBox(const QString &title, const QString &details, QWidget *parent);

} // namespace TavrinUi
