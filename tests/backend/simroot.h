#pragma once

// A throw-away system root for the backend tests: the control tools are the
// recording stand-in, "sudo", "pkexec", "install", "rm", "mv", "systemctl",
// "du" and "ostree" the recording stand-ins of tests/fakes/backend, linked
// into the root where the program starts them by absolute path, and every
// answer of a tool is a file the test writes.

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QtTest>

namespace Tavrin::Test {

struct ToolCall
{
    QString tool;
    QStringList args;
};

class SimRoot
{
public:
    SimRoot()
    {
        const QString r = root();
        for (const char *dir :
             {"usr/sbin", "usr/bin", "etc/zarnex-immutable-ctl", "var/lib/tavrin-manager",
              "usr/libexec/tavrin-manager", "usr/lib/systemd/system", "run", "persistent/ostree/snapshot",
              "persistent/ostree/repo", "ostree/repo", "fake", "tmp", "var/lib/zarnex-sim",
              "etc/systemd/system"})
            QDir().mkpath(r + QLatin1Char('/') + QLatin1String(dir));
        const QString fake = fakesDir() + QStringLiteral("/fake-tool");
        QFile::link(fake, r + QStringLiteral("/usr/sbin/zarnex-immutable-ctl"));
        QFile::link(fake, r + QStringLiteral("/usr/bin/zarnex-immutable-writable"));
        QFile::link(fakesDir() + QStringLiteral("/ostree"), r + QStringLiteral("/usr/bin/ostree"));
        // Run elevated by absolute path; each finds the root from where it lies.
        for (const char *tool : {"sudo", "pkexec", "du", "install", "rm", "mv", "systemctl"})
            QFile::link(fakesDir() + QLatin1Char('/') + QLatin1String(tool),
                        r + QStringLiteral("/usr/bin/") + QLatin1String(tool));

        // Marked as a simulated system, so the privileged helper serves it.
        writeFile(r + QStringLiteral("/.zarnex-sim-root"), "test root\n");
        writeFile(r + QStringLiteral("/var/lib/zarnex-sim/marker"), "test root\n");
        QVERIFY(installHelper(r));
        qputenv("TAVRIN_SYSROOT", r.toLocal8Bit());
        qputenv("TAVRIN_SIM_EUID", "1000");
        qputenv("FAKE_DIR", (r + QStringLiteral("/fake")).toLocal8Bit());
        qputenv("TMPDIR", (r + QStringLiteral("/tmp")).toLocal8Bit());
        for (const char *var : {"FAKE_SUDO", "FAKE_PKEXEC", "FAKE_INSTALL_FAIL", "FAKE_TIMER_ENABLED", "FAKE_SYSTEMCTL_FAIL"})
            qunsetenv(var);
    }

    ~SimRoot()
    {
        for (const char *var : {"TAVRIN_SYSROOT", "TAVRIN_SIM_EUID", "FAKE_DIR", "TMPDIR"})
            qunsetenv(var);
    }

    static QString fakesDir() { return sourcePath(QStringLiteral("tests/fakes/backend")); }

    // Puts the stand-ins first on PATH (once per process).
    static void usePathFakes()
    {
        const QByteArray path = qgetenv("PATH");
        const QByteArray fakes = fakesDir().toLocal8Bit();
        if (!path.startsWith(fakes + ':'))
            qputenv("PATH", fakes + ':' + path);
    }

    QString root() const { return dir.path(); }
    QString path(const QString &absolute) const { return root() + absolute; }
    QString tmp() const { return root() + QStringLiteral("/tmp"); }

    // Answer of `tool` ("zarnex-immutable-ctl", …) to the arguments starting with `key`.
    void respond(const QString &tool, const QString &key, const QByteArray &out, int exitCode = 0,
                 const QByteArray &err = QByteArray()) const
    {
        writeFile(fakeBase(tool, key) + QStringLiteral(".out"), out);
        writeFile(fakeBase(tool, key) + QStringLiteral(".exit"), QByteArray::number(exitCode));
        if (!err.isEmpty())
            writeFile(fakeBase(tool, key) + QStringLiteral(".err"), err);
    }
    void hang(const QString &tool, const QString &key) const
    {
        writeFile(fakeBase(tool, key) + QStringLiteral(".hang"), QByteArray());
    }

    QList<ToolCall> calls() const
    {
        QFile file(root() + QStringLiteral("/fake/calls"));
        QList<ToolCall> out;
        if (!file.open(QIODevice::ReadOnly))
            return out;
        const QList<QByteArray> parts = file.readAll().split('\0');
        qsizetype i = 0;
        while (i + 1 < parts.size()) {
            ToolCall call;
            call.tool = QString::fromUtf8(parts.at(i));
            const int count = parts.at(i + 1).toInt();
            i += 2;
            for (int n = 0; n < count && i < parts.size(); ++n, ++i)
                call.args << QString::fromUtf8(parts.at(i));
            out << call;
        }
        return out;
    }
    QList<ToolCall> calls(const QString &tool) const
    {
        QList<ToolCall> out;
        for (const ToolCall &c : calls()) {
            if (c.tool == tool)
                out << c;
        }
        return out;
    }
    void clearCalls() const { QFile::remove(root() + QStringLiteral("/fake/calls")); }

    static void writeFile(const QString &path, const QByteArray &data)
    {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
        QCOMPARE(file.write(data), data.size());
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QString fakeBase(const QString &tool, const QString &key) const
    {
        return root() + QStringLiteral("/fake/") + tool + QLatin1Char('.') + key;
    }

    QTemporaryDir dir;
};

inline const QString kCtl = QStringLiteral("zarnex-immutable-ctl");
inline const QString kWritable = QStringLiteral("zarnex-immutable-writable");

} // namespace Tavrin::Test
