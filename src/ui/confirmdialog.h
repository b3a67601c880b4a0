#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
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
    // Called with the dialog and its fact lines, in order, before it is shown:
    // a line can then follow a figure that arrives while the dialog is open.
    std::function<void(QWidget *dialog, const QList<QLabel *> &facts)> prepare;
};

bool askConfirm(QWidget *parent, const ConfirmRequest &request);
bool askConfirm(QWidget *parent, const QString &title, const QString &message, const QString &confirmText);
bool askDanger(QWidget *parent, const QString &title, const QString &message, const QString &confirmText,
               const QStringList &consequences);
QWidget *createDetailsBox(const QString &title, const QString &details, QWidget *parent);

} // namespace TavrinUi
