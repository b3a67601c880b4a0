#pragma once

#include <QFileInfo>
#include <QString>
#include <QtTest/QtTest>

// These tests wipe and fill the history directory under $XDG_DATA_HOME: run them only inside the
// private home the test runner sets up, never against a real user's data.
#define TAVRIN_REQUIRE_PRIVATE_HOME()                                                                        \
    do {                                                                                                     \
        if (!QFileInfo(qEnvironmentVariable("HOME")).fileName().startsWith(QLatin1String("home-tst_")))      \
            QSKIP("run through ctest: needs the private test home");                                         \
    } while (false)
