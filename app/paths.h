// Process-wide values: identity of this user and PC, and the program's folders.
// Each is computed when asked; all are cheap, and failures yield the empty string.
#pragma once

#include <QString>

// The logon name of the effective user.
QString WinUserName();

// The short host name (up to the first "."), upper-cased like a Windows computer name.
// Instances identify each other by it.
QString ComputerName();

// Message logs and the inbox file: the per-user data folder + "tobrik/".
QString LogFolderPath();

// The folder of the program file, ending with "/".
QString ProgramFolderPath();

// The user directory "User.txt" next to the program file.
QString UserFilePath();

// The folder "sounds/" next to the program file.
QString SoundsFolderPath();

// The per-user autostart entry "autostart/tobrik.desktop" in the configuration folder.
QString StartupLinkPath();
