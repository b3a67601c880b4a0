#include "windowmodule.h"

#include "startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace TavrinStartup {

namespace {

// Translated by hand: no application object, so no installed translator.
const char kContext[] = "Startup";
const char *const kCannotLoad = QT_TRANSLATE_NOOP("Startup", "无法加载窗口模块：%1");

// The directory of the executable's real file: a symlink in /usr/local/bin or
// a copy of the command line's argv[0] must not decide where the module is.
std::string executableDir(const char *argv0)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path;
    if (n > 0) {
        path.assign(buffer, size_t(n));
    } else if (argv0) {
        // No /proc (a chroot without it): the command line's path, resolved.
        if (char *resolved = ::realpath(argv0, nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Printed before any application object exists, in the user's language when
// its catalogue is found.
void reportFailure(const std::string &exeDir, const std::string &reason)
{
    QString language = applyLanguageSetting();
    if (language.isEmpty())
        language = QLocale::system().name();
    QTranslator translator;
    QString text;
    if (!loadTranslation(&translator, language,
                         translationDirectories(QDir::homePath(), QString::fromStdString(exeDir)))
             .isEmpty())
        text = translator.translate(kContext, kCannotLoad);
    if (text.isEmpty())
        text = QString::fromUtf8(kCannotLoad);
    text = text.arg(QString::fromLocal8Bit(reason.c_str()));
    std::fprintf(stderr, "tavrin-manager: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

std::vector<std::string> windowModuleCandidates(const std::string &exeDir)
{
    const std::string file = TAVRIN_WINDOW_MODULE_FILE;
    return {exeDir + "/" TAVRIN_WINDOW_MODULE_DIR_FROM_BIN "/" + file, exeDir + "/" + file};
}

int runWindowModule(int argc, char *argv[])
{
    const std::string exeDir = executableDir(argc > 0 ? argv[0] : nullptr);
    const std::vector<std::string> candidates = windowModuleCandidates(exeDir);
    std::string path = candidates.front();
    for (const std::string &candidate : candidates) {
        if (::access(candidate.c_str(), F_OK) == 0) {
            path = candidate;
            break;
        }
    }
    // Lazy for Qt's libraries, whose thousands of functions would otherwise all
    // be bound before the window starts. The module itself is linked with
    // "-z now", so one that does not match this executable still fails here,
    // with the missing symbol named, not half-way through the window.
    void *module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!module) {
        const char *error = ::dlerror();
        reportFailure(exeDir, error ? error : path);
        return EXIT_FAILURE;
    }
    using Entry = int (*)(int, char **);
    auto entry = reinterpret_cast<Entry>(::dlsym(module, "tavrin_window_main"));
    if (!entry) {
        const char *error = ::dlerror();
        reportFailure(exeDir, error ? error : path);
        return EXIT_FAILURE;
    }
    // Never closed: the window's static objects are destroyed at exit.
    return entry(argc, argv);
}

} // namespace TavrinStartup
