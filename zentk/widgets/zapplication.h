#pragma once

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QPointer>

#include <functional>

class QDialog;
class QSocketNotifier;

// The desktop application object: identity, single instance per user,
// About dialog, the toolkit's translations and the OOM score.
class ZApplication : public QApplication
{
    Q_OBJECT
public:
    ZApplication(int &argc, char **argv);
    ~ZApplication() override;

    static ZApplication *instance();

    // True for the first instance of `key` of this user; false when another
    // one runs (it is then asked to come forward). A lock left by a crashed
    // instance does not count.
    bool setSingleInstance(const QString &key);

    void setProductName(const QString &name);
    QString productName() const;
    void setProductIcon(const QIcon &icon);
    QIcon productIcon() const;

    // Takes ownership of the dialog.
    void setAboutDialog(QDialog *dialog);
    // The dialog is built by `factory` the first time it is asked for, so a
    // start-up that never shows it never pays for it.
    void setAboutDialogFactory(std::function<QDialog *()> factory);
    QDialog *aboutDialog() const;
    void showAboutDialog();

    // Loads the toolkit's own catalogues "zentk_<locale>.qm"; false when none was found.
    bool loadTranslator(const QList<QLocale> &locales = {});

    // Writes /proc/self/oom_score_adj; false when out of range or refused.
    static bool setOOMScoreAdj(int score);

    // Where the lock and the socket for a single-instance key live.
    static QString singleInstanceLockPath(const QString &key);
    static QString singleInstanceServerName(const QString &key);

signals:
    void newInstanceStarted();

private:
    QString m_productName;
    QIcon m_productIcon;
    mutable QPointer<QDialog> m_aboutDialog;
    mutable std::function<QDialog *()> m_aboutFactory;
    int m_serverFd = -1;
    QString m_serverPath;
    QSocketNotifier *m_serverNotifier = nullptr;
    int m_lockFd = -1;
};
