// The per-user autostart entry: an XDG desktop file that starts the program at logon with
// "/systemstartup", standing in for a shortcut in the Startup folder.
#pragma once

#include <QString>

// Whether the entry exists.
bool AutostartExists(const QString& linkPath);

// Creates (AktivS) or removes the entry; true when the entry is then as asked. Removing an entry
// that does not exist succeeds.
bool ProgInStartup(const QString& linkPath, bool AktivS, const QString& programPath);

// A program path as one argument of a desktop file's Exec key.
QString DesktopExecArgument(const QString& path);
