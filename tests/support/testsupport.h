#pragma once

#include <QString>
#include <QtTest/QtTest>

namespace Tavrin::Test {

// Wipes and recreates the private HOME / XDG tree that the test macro sets,
// so every run starts from an empty home. Does nothing outside such a tree.
void prepareHome();

// Chains a message handler that aborts the test on the warning Qt prints when
// a QProcess object dies with its child still running: a leaked child is a bug.
void failOnProcessLeak();

// Root of the source tree and of the build tree, for data files and binaries.
QString sourcePath(const QString &relative = QString());
QString buildPath(const QString &relative = QString());

// Copies the built privileged helper to its fixed place inside a simulated
// system root, where the program starts it and from where it serves that root.
bool installHelper(const QString &root);

// Links the stand-ins of tests/fakes/disk ("sudo", "pkexec", "nice", "ionice", "du", "df", or only
// `tools`) into ROOT/usr/bin, where the program starts them by absolute path. Replaces what is there.
bool plantDiskFakes(const QString &root, const QStringList &tools = {});

// Fills `dir` with hostile programs named `tools`: each appends "NAME ARGS" to `log` and exits 0.
// First on PATH, they catch any start by bare name; `log` must then never exist.
bool plantHostileTools(const QString &dir, const QStringList &tools, const QString &log);

} // namespace Tavrin::Test

#define TAVRIN_TEST_MAIN_IMPL(TestObject, AppClass)                                                         \
    int main(int argc, char *argv[])                                                                       \
    {                                                                                                      \
        Tavrin::Test::prepareHome();                                                                       \
        AppClass app(argc, argv);                                                                          \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                           \
        Tavrin::Test::failOnProcessLeak();                                                                 \
        TestObject tc;                                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                         \
        return QTest::qExec(&tc, argc, argv);                                                              \
    }

// Replacements for QTEST_MAIN / QTEST_GUILESS_MAIN with the home set up first.
#define TAVRIN_TEST_MAIN(TestObject) TAVRIN_TEST_MAIN_IMPL(TestObject, QApplication)
#define TAVRIN_TEST_GUILESS_MAIN(TestObject) TAVRIN_TEST_MAIN_IMPL(TestObject, QCoreApplication)
