#pragma once

// Shared by the harnesses: the same source builds for libFuzzer and for the replay of the corpus in
// the normal suite, so a broken invariant must stop the process loudly in both.

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition);         \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

namespace FuzzSupport {

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A private directory for harnesses that read files, and the XDG locations pointed into it, so no
// input ever touches the user's own history or configuration. Created once per process.
inline QString privateDir()
{
    static QTemporaryDir *dir = [] {
        auto *d = new QTemporaryDir;
        qputenv("XDG_DATA_HOME", (d->path() + QStringLiteral("/data")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (d->path() + QStringLiteral("/config")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (d->path() + QStringLiteral("/cache")).toLocal8Bit());
        return d;
    }();
    return dir->path();
}

// Some readers use QObject machinery; one application object for the whole run.
inline void ensureApp()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    Q_UNUSED(app);
}

} // namespace FuzzSupport
