#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace Tavrin::Test {

namespace {
QtMessageHandler previousHandler = nullptr;

void leakAwareHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (previousHandler)
        previousHandler(type, context, message);
    if (message.contains(QLatin1String("QProcess: Destroyed while process"))) {
        std::fprintf(stderr, "FATAL: a QProcess was destroyed with its child still running\n");
        std::fflush(stderr);
        std::abort();
    }
}
} // namespace

void prepareHome()
{
    const QString home = qEnvironmentVariable("HOME");
    if (!QFileInfo(home).fileName().startsWith(QLatin1String("home-tst_")))
        return;
    QDir(home).removeRecursively();
    for (const char *var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        QDir().mkpath(qEnvironmentVariable(var));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void failOnProcessLeak()
{
    previousHandler = qInstallMessageHandler(leakAwareHandler);
}

QString sourcePath(const QString &relative)
{
    return relative.isEmpty() ? QStringLiteral(TAVRIN_SOURCE_DIR)
                              : QStringLiteral(TAVRIN_SOURCE_DIR "/") + relative;
}

QString buildPath(const QString &relative)
{
    return relative.isEmpty() ? QStringLiteral(TAVRIN_BINARY_DIR)
                              : QStringLiteral(TAVRIN_BINARY_DIR "/") + relative;
}

bool installHelper(const QString &root)
{
    const QString dir = root + QStringLiteral("/usr/libexec/tavrin-manager");
    const QString target = dir + QStringLiteral("/tavrin-manager-helper");
    QDir().mkpath(dir);
    QFile::remove(target);
    return QFile::copy(buildPath(QStringLiteral("libexec/tavrin-manager/tavrin-manager-helper")), target) &&
           QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::ExeOwner |
                                             QFileDevice::ExeGroup | QFileDevice::ExeOther);
}

bool plantDiskFakes(const QString &root, const QStringList &tools)
{
    const QStringList names = tools.isEmpty() ? QStringList{QStringLiteral("sudo"), QStringLiteral("pkexec"),
                                                            QStringLiteral("nice"), QStringLiteral("ionice"),
                                                            QStringLiteral("du"),   QStringLiteral("df")}
                                              : tools;
    const QString bin = root + QStringLiteral("/usr/bin/");
    if (!QDir().mkpath(bin))
        return false;
    for (const QString &name : names) {
        QFile::remove(bin + name);
        if (!QFile::link(sourcePath(QStringLiteral("tests/fakes/disk/")) + name, bin + name))
            return false;
    }
    return true;
}

bool plantHostileTools(const QString &dir, const QStringList &tools, const QString &log)
{
    if (!QDir().mkpath(dir))
        return false;
    for (const QString &tool : tools) {
        QFile f(dir + QLatin1Char('/') + tool);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        f.write("#!/bin/sh\necho \"" + tool.toUtf8() + " $*\" >>'" + QFile::encodeName(log) + "'\nexit 0\n");
        f.close();
        if (!f.setPermissions(f.permissions() | QFileDevice::ExeOwner))
            return false;
    }
    return true;
}

} // namespace Tavrin::Test
