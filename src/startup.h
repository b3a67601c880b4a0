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
    bool help = false;    // "--help" or "-h": print the usage, no window
    bool version = false; // "--version": print the version, no window
    bool status = false;  // "--status": print the system's state, no window
    bool json = false;    // "--json" beside "--status": as a JSON object
};

// Reads the arguments without changing them. "--monitor" wins over all others,
// then "--help", "--version" and "--status", in that order.
LaunchRequest scanArguments(int argc, const char *const *argv);

// The product's identity, the same in the About dialog, the package and the
// metainfo (all from the build's one definition).
QString productVersion();
QString productLicense();
QString productDevelopers();
QString productContact();
QString productHomepage();

// For the texts printed before any window: the language setting, else the
// system's locale; installs that catalogue into the running application.
QString installCommandLineTranslation();

// "--help" and "--version": one text on standard output, exit code 0.
int runInfo(const LaunchRequest &request, int argc, char **argv);

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
    static QString usage();
};

} // namespace TavrinStartup
