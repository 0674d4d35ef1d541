// The per-user autostart entry that starts the program at logon with "/systemstartup": a shortcut in the
// Startup folder on Windows, an XDG desktop file on Linux.
#pragma once

#include <QString>

// Whether the entry exists.
bool AutostartExists(const QString& linkPath);

// Creates (AktivS) or removes the entry; true when the entry is then as asked. Removing an entry
// that does not exist succeeds.
bool ProgInStartup(const QString& linkPath, bool AktivS, const QString& programPath);

// The autostart entry of older versions: a value named after the program file in the machine's Run key.
// Linux has no such key: there is never a value, and deleting does nothing.
bool RunKeyValueExists(const QString& valueName);
void RunKeyDeleteValue(const QString& valueName);

#ifndef Q_OS_WIN
// A program path as one argument of a desktop file's Exec key.
QString DesktopExecArgument(const QString& path);
#endif
