#include "ui/dialoghelpers.h"

#include <QEvent>
#include <QMainWindow>
#include <QPainter>
#include <QPointer>

#include "ui/theme.h"

namespace TavrinUi {

namespace {

// One even wash over the whole content while a dialog is up: disabled
// widgets alone grey out unevenly, since custom-painted ones keep their colours.
class ContentVeil : public QWidget
{
public:
    explicit ContentVeil(QWidget *content) : QWidget(content)
    {
        setObjectName(QStringLiteral("tavrinDialogVeil"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        content->installEventFilter(this);
        setGeometry(content->rect());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QColor wash = windowColor();
        wash.setAlpha(150);
        QPainter(this).fillRect(rect(), wash);
    }
};

class DialogFreezeGuard : public QObject
{
public:
    DialogFreezeGuard(QWidget *central, QObject *parent) : QObject(parent), m_central(central) {}
    ~DialogFreezeGuard() override { delete m_veil; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_central) {
            if (event->type() == QEvent::Show) {
                m_central->setEnabled(false);
                if (!m_veil)
                    m_veil = new ContentVeil(m_central);
                m_veil->show();
                m_veil->raise();
            } else if (event->type() == QEvent::Hide) {
                m_central->setEnabled(true);
                if (m_veil)
                    m_veil->hide();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> m_central;
    QPointer<QWidget> m_veil;
};

} // namespace

void makeDialogNonBlockingWindowModal(QWidget *dialog)
{
    if (!dialog || !dialog->parentWidget())
        return;
    QWidget *window = dialog->parentWidget()->window();
    if (!window || window == dialog)
        return;
    auto *mainWindow = qobject_cast<QMainWindow *>(window);
    if (!mainWindow || !mainWindow->centralWidget())
        return;

    Qt::WindowFlags flags = dialog->windowFlags();
    if (!(flags & Qt::Window))
        flags |= Qt::Window;
    dialog->setParent(mainWindow, flags);
    dialog->setWindowModality(Qt::NonModal);

    QPointer<QWidget> central = mainWindow->centralWidget();
    dialog->installEventFilter(new DialogFreezeGuard(central, dialog));
    QObject::connect(dialog, &QObject::destroyed, mainWindow, [central] {
        if (central)
            central->setEnabled(true);
    });
}

void disableDialogTransparency(QWidget *) {}

} // namespace TavrinUi
