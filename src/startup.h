#pragma once

#include <QCoreApplication>
#include <QDate>
#include <QStringList>

class QTranslator;

namespace TavrinStartup {

struct LaunchRequest
{
    bool monitor = false; // "--monitor" anywhere: the background monitor runs instead
    QDate showDiskDate;   // from "--show-disk <yyyy-MM-dd>"; invalid when absent or malformed
};

// Reads the arguments without changing them.
LaunchRequest scanArguments(int argc, const char *const *argv);

// Applies the user's "language" setting to the process (LC_ALL, LANGUAGE,
// LANG, C locale, QLocale default) before any application object exists.
// Returns the translation language: "en_US", "zh_CN" or "" (follow the system).
QString applyLanguageSetting();

// Where "tavrin-manager_<lang>.qm" is looked for, in order.
QStringList translationDirectories(const QString &homeDir, const QString &appDir);

// Loads the first catalogue for `language` found in `directories` into
// `translator`; returns the directory it came from, "" when none loaded.
QString loadTranslation(QTranslator *translator, const QString &language, const QStringList &directories);

// The process-wide program translator, installed when a catalogue was found.
bool installProgramTranslation(const QString &language);

class Texts
{
    Q_DECLARE_TR_FUNCTIONS(Startup)
public:
    static QString productName();
};

} // namespace TavrinStartup
