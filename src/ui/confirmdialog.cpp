#include "ui/confirmdialog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/components.h"
#include "zdialog.h"
#include "zlabel.h"
#include "zwarningbutton.h"

#if __has_include("countdowndialog.h")
#include "countdowndialog.h"
#define TAVRIN_HAVE_COUNTDOWN_DIALOG 1
#endif

namespace TavrinUi {

namespace {

class ConfirmText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinConfirm)
};

#ifndef TAVRIN_HAVE_COUNTDOWN_DIALOG
// Stand-in until the protection page brings its own countdown dialog: the
// confirm button unlocks after the given number of seconds.
class CountdownPlaceholder : public QDialog
{
public:
    CountdownPlaceholder(QWidget *parent, int seconds) : QDialog(parent), m_remaining(seconds)
    {
        setObjectName(QStringLiteral("tavrinCountdownDialog"));
        setWindowTitle(ConfirmText::tr("高风险操作确认"));
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(24, 20, 24, 20);
        layout->setSpacing(12);
        layout->addWidget(makeLabel(ConfirmText::tr("此为高风险操作，请务必确认后再继续"), Body, Warning));
        auto *buttons = new QHBoxLayout;
        buttons->setSpacing(12);
        auto *cancel = new QPushButton(ConfirmText::tr("取消"), this);
        m_confirm = new ZWarningButton(this);
        m_confirm->setEnabled(false);
        buttons->addWidget(cancel);
        buttons->addStretch();
        buttons->addWidget(m_confirm);
        layout->addLayout(buttons);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        connect(m_confirm, &QPushButton::clicked, this, &QDialog::accept);
        m_tick.setInterval(1000);
        connect(&m_tick, &QTimer::timeout, this, [this] {
            --m_remaining;
            updateButton();
        });
        updateButton();
        m_tick.start();
    }

private:
    void updateButton()
    {
        if (m_remaining > 0) {
            m_confirm->setText(ConfirmText::tr("我已知晓风险（%1s）").arg(m_remaining));
            return;
        }
        m_tick.stop();
        m_confirm->setText(ConfirmText::tr("我已知晓风险"));
        m_confirm->setEnabled(true);
    }

    int m_remaining;
    QPushButton *m_confirm = nullptr;
    QTimer m_tick;
};
#endif

bool runCountdownConfirm(QWidget *parent, int seconds)
{
#ifdef TAVRIN_HAVE_COUNTDOWN_DIALOG
    Q_UNUSED(seconds);
    TavrinCountdownDialog dialog(parent);
#else
    CountdownPlaceholder dialog(parent, seconds);
#endif
    makeDialogNonBlockingWindowModal(&dialog);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

bool askConfirm(QWidget *parent, const ConfirmRequest &request)
{
    if (request.countdownSeconds > 0)
        return runCountdownConfirm(parent, request.countdownSeconds);

    ZDialog dialog(parent);
    disableDialogTransparency(&dialog);
    makeDialogNonBlockingWindowModal(&dialog);
    dialog.setTitle(request.title);
    dialog.setIcon(request.tone != 0
                       ? themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning)
                       : themedIcon(QStringLiteral("dialog-question"), QStyle::SP_MessageBoxQuestion));
    if (!request.message.isEmpty())
        dialog.setMessage(request.message);

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    if (!request.facts.isEmpty()) {
        auto *facts = new TavrinPanel(content, TavrinPanel::Subtle);
        facts->setObjectName(QStringLiteral("tavrinFacts"));
        facts->contentLayout()->setContentsMargins(12, 8, 12, 8);
        facts->contentLayout()->setSpacing(4);
        for (const QString &line : request.facts)
            facts->contentLayout()->addWidget(makeLabel(line, Body, Normal));
        layout->addWidget(facts);
    }
    for (const QString &line : request.consequences) {
        ZLabel *label = makeLabel(QStringLiteral("· ") + line, Body, Warning);
        label->setObjectName(QStringLiteral("tavrinConsequence"));
        layout->addWidget(label);
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

    dialog.addButton(request.cancelText.isEmpty() ? ConfirmText::tr("取消") : request.cancelText, false,
                     ZDialog::ButtonNormal);
    dialog.addButton(request.confirmText.isEmpty() ? ConfirmText::tr("确定") : request.confirmText, true,
                     request.tone != 0 ? ZDialog::ButtonWarning : ZDialog::ButtonRecommend);

    if (QPushButton *first = dialog.findChild<QPushButton *>())
        first->setFocus();

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
