// The update: "Tobrik.cfg" handed to the update program "ProgUpdater" beside this program.
#pragma once

#include <QByteArray>
#include <QString>

class ILauncher;

namespace HandOver {
inline const QString FileName = QStringLiteral("Tobrik.cfg");
inline const QString UpdaterName = QStringLiteral("ProgUpdater");
} // namespace HandOver

// The five lines the update program reads.
struct THandOver
{
    QString product;     // product and version, "Tobrik V1.13"
    QString caption;     // the main window's caption
    QString programPath; // full path of the running program file
    QString settingsKey; // the product name, which also names the settings
    int fontSizePt = 0;  // the display font
    QString fontName;
};

// The file's bytes: the five lines in the ANSI code page, each ended by CR LF. A line break inside a
// value would add a line, so it becomes a blank.
QByteArray HandOverBytes(const THandOver& data);

// Whether folder exists, belongs to this user and is closed to everyone else.
bool IsPrivateFolder(const QString& folder);

// The user's private runtime folder, ending with "/"; empty when there is none that only this user can write.
QString PrivateRuntimeFolder();

// Writes bytes as path through a new file beside it that is then renamed over the name: whatever had the
// name, a link included, is replaced and never written through. False on any failure; no part-written
// file is left behind.
bool WriteFileReplacing(const QString& path, const QByteArray& bytes);

// The update program in programFolder, or empty when it is not there.
QString UpdaterPath(const QString& programFolder);

struct TUpdateOutcome
{
    enum Result { Started, FileNotSaved, UpdaterNotStarted };
    Result result = Started;
    QString path; // the file or program that the error names
};

// Writes the hand-over file into folder (the private runtime folder), then starts the update program of
// programFolder with the file's name as its single argument, in folder, where that name leads to the file.
// A missing update program is found before anything is written.
TUpdateOutcome StartUpdate(const THandOver& data, const QString& folder, const QString& programFolder,
                           ILauncher& launcher);

// The error box's text for a failed update; empty when the update program was started.
QString UpdateErrorText(const TUpdateOutcome& outcome);
