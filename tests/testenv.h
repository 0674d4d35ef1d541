// Shared by the tests: a fresh temporary folder per test function.
#pragma once

#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Refuses to run when HOME is not the private folder that CTest gives each test,
// so a test run by hand can never touch the real user's files.
inline void requirePrivateHome()
{
#ifdef Q_OS_WIN
    // The registry and the user's folders belong to the Wine prefix: only the build tree's test prefix will do,
    // so the tests never run against a real Windows user's settings.
    const QByteArray prefix = qgetenv("WINEPREFIX");
    if (!prefix.contains("/testenv/"))
        qFatal("WINEPREFIX is not the tests' own Wine prefix; run the tests through ctest");
#else
    const QByteArray home = qgetenv("HOME");
    if (!home.contains("/testenv/"))
        qFatal("HOME is not a private test folder; run the tests through ctest");
#endif
}
