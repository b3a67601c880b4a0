#include "zdialog.h"

#include "zpaint_p.h"

#include "zpushbutton.h"
#include "zsuggestbutton.h"
#include "zwarningbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ZDialog::ZDialog(QWidget *parent) : ZAbstractDialog(parent)
{
    setObjectName(QStringLiteral("ZDialog"));

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("ZDialogIcon"));
    m_icon->setFixedSize(32, 32);
    m_icon->hide();
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("ZDialogTitle"));
    m_title->setWordWrap(true);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    auto *close = new ZentkWindowButton(ZentkPaint::Glyph::Close, this);
    close->setDanger(true);
    close->setFixedSize(32, 32);
    close->setToolTip(tr("关闭"));
    close->setAccessibleName(tr("关闭对话框"));
    close->setObjectName(QStringLiteral("ZDialogCloseButton"));
    connect(close, &QToolButton::clicked, this, &QDialog::reject);

    auto *top = new QHBoxLayout;
    top->addWidget(m_icon);
    top->addWidget(m_title, 1);
    top->addWidget(close, 0, Qt::AlignTop);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("ZDialogMessage"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->hide();

    auto *contentWidget = new QWidget(this);
    contentWidget->setObjectName(QStringLiteral("ZDialogContent"));
    m_content = new QVBoxLayout(contentWidget);
    m_content->setContentsMargins(0, 0, 0, 0);

    m_buttonRow = new QHBoxLayout;
    m_buttonRow->setSpacing(10);

    auto *layout = new QVBoxLayout(this);
    // Even sides; the close button's own 8 px of air makes up the shorter top.
    layout->setContentsMargins(16, 10, 16, 16);
    layout->setSpacing(12);
    // The narrowest dialog is 380 px. Kept in the layout, not as the window's minimum: a window
    // with a minimum of its own no longer takes its layout's, and wide content would be cut off.
    layout->addStrut(380 - 16 - 16);
    layout->addLayout(top);
    layout->addWidget(m_message);
    layout->addWidget(contentWidget, 1);
    layout->addLayout(m_buttonRow);
}

ZDialog::ZDialog(const QString &title, const QString &message, QWidget *parent) : ZDialog(parent)
{
    setTitle(title);
    setMessage(message);
}

void ZDialog::setTitle(const QString &title)
{
    m_title->setText(title);
    setWindowTitle(title);
}

QString ZDialog::title() const
{
    return m_title->text();
}

void ZDialog::setIcon(const QIcon &icon)
{
    m_icon->setPixmap(icon.pixmap(QSize(32, 32)));
    m_icon->setVisible(!icon.isNull());
    setWindowIcon(icon);
}

void ZDialog::setMessage(const QString &message)
{
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
}

QString ZDialog::message() const
{
    return m_message->text();
}

void ZDialog::addContent(QWidget *widget)
{
    if (widget)
        m_content->addWidget(widget);
}

int ZDialog::addButton(const QString &text, bool isDefault, ButtonType type)
{
    QPushButton *button = nullptr;
    switch (type) {
    case ButtonWarning:
        button = new ZWarningButton(text, this);
        break;
    case ButtonRecommend:
        button = new ZSuggestButton(text, this);
        break;
    case ButtonNormal:
        button = new ZPushButton(text, this);
        break;
    }
    const int index = int(m_buttons.size());
    button->setObjectName(QStringLiteral("ZDialogButton%1").arg(index));
    button->setAutoDefault(false);
    // A destructive button is never the default: Enter from another control
    // must not reach it.
    if (isDefault && type != ButtonWarning) {
        for (QAbstractButton *b : std::as_const(m_buttons)) {
            if (auto *pb = qobject_cast<QPushButton *>(b))
                pb->setDefault(false);
        }
        button->setDefault(true);
        setEnterButton(button);
    }
    connect(button, &QPushButton::clicked, this, &ZDialog::onButtonClicked);
    m_buttons.append(button);
    m_buttonRow->addWidget(button, 1);
    return index;
}

QAbstractButton *ZDialog::getButton(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons.at(index) : nullptr;
}

int ZDialog::buttonCount() const
{
    return int(m_buttons.size());
}

void ZDialog::clearButtons()
{
    setEnterButton(nullptr);
    qDeleteAll(m_buttons);
    m_buttons.clear();
}

void ZDialog::setOnButtonClickedClose(bool close)
{
    m_closeOnClick = close;
}

int ZDialog::clickedButtonIndex() const
{
    return m_clicked;
}

void ZDialog::onButtonClicked()
{
    auto *button = qobject_cast<QAbstractButton *>(sender());
    const int index = int(m_buttons.indexOf(button));
    if (index < 0)
        return;
    m_clicked = index;
    emit buttonClicked(index, button->text());
    if (m_closeOnClick)
        accept();
}

void ZDialog::showEvent(QShowEvent *event)
{
    m_clicked = -1;
    // A focus the caller chose (e.g. the safe button) is kept.
    if (!focusWidget()) {
        if (QPushButton *enter = enterButton())
            enter->setFocus();
        else if (!m_buttons.isEmpty())
            m_buttons.first()->setFocus();
    }
    // A window's first size comes from the labels' own guesses at their wrapped
    // height, which leaves gaps between wrapped lines; fit the height to the width.
    if (QLayout *l = layout(); l && l->hasHeightForWidth()) {
        const int h = l->totalHeightForWidth(width());
        if (h > 0 && h < height())
            resize(width(), qMax(h, minimumHeight()));
    }
    ZAbstractDialog::showEvent(event);
}

int ZDialog::exec()
{
    m_clicked = -1;
    const int result = ZAbstractDialog::exec();
    return result == QDialog::Accepted ? m_clicked : -1;
}
