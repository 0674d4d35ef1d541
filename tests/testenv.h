// Shared by the tests: a fresh temporary folder per test function.
#pragma once

#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Refuses to run when HOME is not the private folder that CTest gives each test,
// so a test run by hand can never touch the real user's files.
inline void requirePrivateHome()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.contains("/testenv/"))
        qFatal("HOME is not a private test folder; run the tests through ctest");
}
