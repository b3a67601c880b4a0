#pragma once

// Shared by the page tests: a simulated system root made fresh per test, and a
// way to answer the dialogs a page opens, the way a user would.

#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

namespace PageTest {

// A simulated system below a temporary directory; the program's system paths
// and the elevation stand-ins point into it while the object lives.
class SimRoot
{
public:
    // The root is built once per test program and copied for every test: the
    // copy is much faster than committing the trees again.
    explicit SimRoot(const QStringList &makeArgs = {QStringLiteral("--files"), QStringLiteral("40")})
    {
        static QTemporaryDir pristine;
        static bool built = false;
        if (!dir.isValid() || !pristine.isValid())
            return;
        if (!built) {
            QProcess make;
            make.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            make.start(Tavrin::Test::sourcePath(QStringLiteral("sim/make-root.sh")),
                       QStringList{pristine.path()} + makeArgs);
            if (!make.waitForFinished(120000) || make.exitStatus() != QProcess::NormalExit ||
                make.exitCode() != 0)
                return;
            built = true;
        }
        QProcess copy;
        copy.start(QStringLiteral("cp"),
                   {QStringLiteral("-a"), pristine.path() + QStringLiteral("/."), dir.path()});
        if (!copy.waitForFinished(120000) || copy.exitStatus() != QProcess::NormalExit ||
            copy.exitCode() != 0 || !Tavrin::Test::installHelper(dir.path()))
            return;
        qputenv("TAVRIN_SYSROOT", dir.path().toUtf8());
        qputenv("TAVRIN_SIM_EUID", "1000");
        qputenv("SIM_SUDO", "grant");
        qputenv("SIM_PKEXEC", "grant");
        if (!pathPrepended) {
            const QByteArray simBin = Tavrin::Test::sourcePath(QStringLiteral("sim/bin")).toUtf8();
            qputenv("PATH", simBin + ':' + qgetenv("PATH"));
            pathPrepended = true;
        }
        ready = true;
    }

    ~SimRoot()
    {
        qunsetenv("TAVRIN_SYSROOT");
        qunsetenv("SIM_SUDO");
        qunsetenv("SIM_PKEXEC");
    }

    bool isReady() const { return ready; }
    QString path(const QString &absolute = QString()) const { return dir.path() + absolute; }

    // Runs a sim tool (found on PATH, inside the root) and returns stdout.
    QByteArray run(const QString &program, const QStringList &args, int *exitCode = nullptr) const
    {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(60000);
        if (exitCode)
            *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return p.readAllStandardOutput();
    }

    // How many calls of the simulated tools so far had `needle` in their
    // command line ("snapshot list", "admin status", "du").
    int callCount(const QString &needle) const
    {
        QFile log(path(QStringLiteral("/var/log/zarnex-sim/calls.jsonl")));
        if (!log.open(QIODevice::ReadOnly))
            return 0;
        int n = 0;
        const QList<QByteArray> lines = log.readAll().split('\n');
        for (const QByteArray &line : lines) {
            const QJsonArray argv =
                QJsonDocument::fromJson(line).object().value(QStringLiteral("argv")).toArray();
            QStringList words;
            for (const QJsonValue &v : argv)
                words << v.toString();
            if (words.join(QLatin1Char(' ')).contains(needle))
                ++n;
        }
        return n;
    }

    QJsonObject readJson(const QString &absolute) const
    {
        QFile f(path(absolute));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }

private:
    QTemporaryDir dir;
    bool ready = false;
    static inline bool pathPrepended = false;
};

// The kit's widgets without a meta-object of their own: findChildren() would
// match any widget, so look them up by their C++ type.
template <typename T> QList<T *> childrenOfType(const QObject *root)
{
    QList<T *> out;
    const auto all = root->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (auto *t = dynamic_cast<T *>(w))
            out << t;
    }
    return out;
}

// Types text into a widget key by key; characters without a key of their own
// arrive as key events carrying the text, as an input method delivers them.
inline void typeText(QWidget *widget, const QString &text)
{
    const QList<uint> codePoints = text.toUcs4();
    for (const uint c : codePoints) {
        if (c < 128 && QChar(c).isPrint()) {
            QTest::keyClick(widget, char(c));
        } else {
            const QString typed = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, typed);
            QApplication::sendEvent(widget, &press);
            QApplication::sendEvent(widget, &release);
        }
    }
}

inline QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

inline QAbstractButton *findButton(QWidget *root, const QString &text)
{
    const auto buttons = root->findChildren<QAbstractButton *>();
    for (QAbstractButton *b : buttons) {
        if (plain(b->text()) == text && b->isVisible())
            return b;
    }
    return nullptr;
}

// Every label text of a dialog, one per line, for checks on what it says.
inline QString dialogText(QWidget *dialog)
{
    QStringList texts{dialog->windowTitle()};
    const auto labels = dialog->findChildren<QLabel *>();
    for (QLabel *l : labels) {
        if (!l->text().isEmpty())
            texts << l->text();
    }
    return texts.join(QLatin1Char('\n'));
}

inline QSet<QWidget *> &answeredDialogs()
{
    static QSet<QWidget *> seen;
    return seen;
}

// Waits, from the event loop, for a new visible dialog and hands it to `act`.
// Several calls queue up: each takes the next dialog that appears.
class DialogAnswerer : public QObject
{
public:
    using Action = std::function<void(QDialog *)>;

    explicit DialogAnswerer(Action a) : QObject(qApp), action(std::move(a))
    {
        setObjectName(QStringLiteral("pageTestAnswerer"));
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, this, &DialogAnswerer::poll);
        timer.start();
    }

    static int pending;

private:
    void poll()
    {
        const auto widgets = QApplication::topLevelWidgets();
        for (QWidget *w : widgets) {
            auto *dialog = qobject_cast<QDialog *>(w);
            if (!dialog || !dialog->isVisible() || answeredDialogs().contains(dialog))
                continue;
            answeredDialogs().insert(dialog);
            QObject::connect(dialog, &QObject::destroyed, qApp,
                             [dialog] { answeredDialogs().remove(dialog); });
            timer.stop();
            --pending;
            Action a = std::move(action);
            deleteLater();
            QPointer<QDialog> guard(dialog);
            a(dialog);
            // A failed check inside the answer must not leave the test blocked in exec().
            if (guard && guard->isVisible() && QTest::currentTestFailed())
                guard->reject();
            return;
        }
    }

    Action action;
    QTimer timer;
};

inline int DialogAnswerer::pending = 0;

inline void onNextDialog(DialogAnswerer::Action action)
{
    ++DialogAnswerer::pending;
    new DialogAnswerer(std::move(action));
}

// Drops answers that no dialog took; returns how many there were.
inline int dropPendingAnswers()
{
    const int left = DialogAnswerer::pending;
    const auto answerers =
        qApp->findChildren<QObject *>(QStringLiteral("pageTestAnswerer"), Qt::FindDirectChildrenOnly);
    for (QObject *a : answerers)
        delete a;
    DialogAnswerer::pending = 0;
    return left;
}

// Answers the next dialog by clicking the button with `buttonText`, after
// picking the radio option `option` when given; `seen` receives its texts.
inline void answerNextDialog(const QString &buttonText, const QString &option = QString(),
                             QString *seen = nullptr)
{
    onNextDialog([buttonText, option, seen](QDialog *dialog) {
        if (seen)
            *seen = dialogText(dialog);
        if (!option.isEmpty()) {
            const auto radios = dialog->findChildren<QRadioButton *>();
            for (QRadioButton *r : radios) {
                if (plain(r->text()) == option)
                    r->setChecked(true);
            }
        }
        QAbstractButton *button = findButton(dialog, buttonText);
        if (button) {
            button->click();
        } else {
            qWarning("no button '%s' in dialog '%s'", qPrintable(buttonText), qPrintable(dialogText(dialog)));
            dialog->reject();
        }
    });
}

// Closes the next dialog without using any of its buttons (Escape / title bar).
inline void dismissNextDialog()
{
    onNextDialog([](QDialog *dialog) { dialog->reject(); });
}

} // namespace PageTest
