#include "ui/confirmdialog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/components.h"
#include "zdialog.h"
#include "zlabel.h"

#include "countdowndialog.h"

namespace TavrinUi {

namespace {

class ConfirmText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinConfirm)
};

// The countdown dialog has its own fixed length; the request's number only
// selects it.
bool runCountdownConfirm(QWidget *parent)
{
    TavrinCountdownDialog dialog(parent);
    makeDialogNonBlockingWindowModal(&dialog);
    return dialog.exec() == QDialog::Accepted;
}

ZLabel *plainLabel(const QString &text, TextLevel level, Semantic semantic)
{
    ZLabel *label = makeLabel(QString(), level, semantic);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

} // namespace

bool askConfirm(QWidget *parent, const ConfirmRequest &request)
{
    if (request.countdownSeconds > 0)
        return runCountdownConfirm(parent);

    ZDialog dialog(parent);
    disableDialogTransparency(&dialog);
    makeDialogNonBlockingWindowModal(&dialog);
    dialog.setTitle(request.title);
    dialog.setIcon(request.tone != 0
                       ? themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning)
                       : themedIcon(QStringLiteral("dialog-question"), QStyle::SP_MessageBoxQuestion));
    if (!request.message.isEmpty())
        dialog.setMessage(request.message);
    // Texts here carry names users chose; none of it is markup.
    if (auto *message = dialog.findChild<QLabel *>(QStringLiteral("ZDialogMessage")))
        message->setTextFormat(Qt::PlainText);

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    QList<QLabel *> factLabels;
    if (!request.facts.isEmpty()) {
        auto *facts = new TavrinPanel(content, TavrinPanel::Subtle);
        facts->setObjectName(QStringLiteral("tavrinFacts"));
        facts->contentLayout()->setContentsMargins(12, 8, 12, 8);
        facts->contentLayout()->setSpacing(4);
        for (const QString &line : request.facts) {
            factLabels.append(plainLabel(line, Body, Normal));
            facts->contentLayout()->addWidget(factLabels.last());
        }
        layout->addWidget(facts);
    }
    // The bullet stands apart so a wrapped line continues under the text, not under the bullet.
    for (const QString &line : request.consequences) {
        auto *row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        ZLabel *bullet = plainLabel(QStringLiteral("·"), Body, Warning);
        bullet->setObjectName(QStringLiteral("tavrinConsequenceBullet"));
        bullet->setWordWrap(false);
        ZLabel *label = plainLabel(line, Body, Warning);
        label->setObjectName(QStringLiteral("tavrinConsequence"));
        row->addWidget(bullet, 0, Qt::AlignTop);
        row->addWidget(label, 1);
        layout->addLayout(row);
    }
    QList<QRadioButton *> radios;
    if (!request.options.isEmpty()) {
        auto *column = new QVBoxLayout;
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(4);
        for (int i = 0; i < request.options.size(); ++i) {
            auto *radio = new QRadioButton(request.options.at(i), content);
            radio->setChecked(i == request.defaultOption);
            column->addWidget(radio);
            radios.append(radio);
        }
        layout->addLayout(column);
    }
    if (!request.facts.isEmpty() || !request.consequences.isEmpty() || !request.options.isEmpty())
        dialog.addContent(content);
    else
        delete content;

    // Every question here changes the system, so the safe answer is the one
    // Enter reaches from anywhere but the confirm button itself.
    dialog.addButton(request.cancelText.isEmpty() ? ConfirmText::tr("取消") : request.cancelText, true,
                     ZDialog::ButtonNormal);
    dialog.addButton(request.confirmText.isEmpty() ? ConfirmText::tr("确定") : request.confirmText, false,
                     request.tone != 0 ? ZDialog::ButtonWarning : ZDialog::ButtonRecommend);
    dialog.getButton(0)->setFocus();
    if (request.prepare)
        request.prepare(&dialog, factLabels);

    if (dialog.exec() != 1)
        return false;
    if (request.selectedOption) {
        for (int i = 0; i < radios.size(); ++i) {
            if (radios.at(i)->isChecked())
                *request.selectedOption = i;
        }
    }
    return true;
}

bool askConfirm(QWidget *parent, const QString &title, const QString &message, const QString &confirmText)
{
    ConfirmRequest request;
    request.title = title;
    request.message = message;
    request.confirmText = confirmText;
    return askConfirm(parent, request);
}

bool askDanger(QWidget *parent, const QString &title, const QString &message, const QString &confirmText,
               const QStringList &consequences)
{
    ConfirmRequest request;
    request.title = title;
    request.message = message;
    request.confirmText = confirmText;
    request.consequences = consequences;
    request.tone = 1;
    return askConfirm(parent, request);
}

QWidget *createDetailsBox(const QString &title, const QString &details, QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *toggle = new QPushButton(QStringLiteral("▸ ") + title, box);
    toggle->setFlat(true);
    toggle->setCursor(Qt::PointingHandCursor);
    toggle->setStyleSheet(QStringLiteral("text-align: left;"));
    ZLabel *label = makeLabel(details, Caption, Muted);
    label->setParent(box);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setVisible(false);
    layout->addWidget(toggle);
    layout->addWidget(label);
    QObject::connect(toggle, &QPushButton::clicked, box, [toggle, label, title] {
        const bool show = label->isHidden();
        label->setVisible(show);
        toggle->setText((show ? QStringLiteral("▾ ") : QStringLiteral("▸ ")) + title);
    });
    return box;
}

} // namespace TavrinUi
