// Names, text blocks and pruning of the per-partner message logs.
#pragma once

#include "common/types.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Messages older than this many days are dropped from the end of a log when it is loaded.
constexpr int LogAufbewahrungTage = 90;

// The partner key: user name, "_", PC name.
QString PartnerKey(const QString& userName, const QString& pc);
inline QString PartnerKey(const TUserListeRec& user)
{
    return PartnerKey(user.UserName, user.PC);
}

// The log file's name without ".log". Names arrive from the network, so path separators, "..",
// control characters, characters Windows refuses and "%" itself are written as "%" and the
// upper-case hex of their UTF-8 bytes; an ordinary key stays as it is. An overlong result is
// cut and completed by a hash of the key, so the name always fits the file system.
QString LogFileBase(const QString& key);
// LogFileBase followed by ".log".
QString LogFileName(const QString& key);

// "dd.mm.yyyy hh:mm:ss", the time stamp of a block header.
QString LogZeitText(const QDateTime& zeit);

// A received message put in front of the previous conversation text.
QString BlockNachrichtVon(const QString& name, const QDateTime& zeit, const QString& nachricht, const QString& bisher);
// A sent message (trimmed) put in front of the previous conversation text.
QString BlockNachrichtAn(const QString& name, const QDateTime& zeit, const QString& nachricht, const QString& bisher);

// "UserName|Name|PC", the first line of a log file.
QString LogHeader(const TUserListeRec& user);
// The whole log file: header and conversation, every line ended by CR LF.
QString LogFileText(const TUserListeRec& user);

// Lines split at CR LF, CR or LF; a final line break adds no empty line.
QStringList SplitLines(const QString& text);

// Strips characters up to U+0020 from both ends.
QString TrimBlanks(const QString& text);
QStringView TrimBlanks(QStringView text);

// The first line of a text; rest receives what follows its line break.
QStringView FirstLine(QStringView text, QStringView* rest);

// Date of a block header line, or an invalid date when the line is no header or its date is unreadable.
QDate BlockHeaderDate(QStringView line);

// Length of the part of a conversation that stays when the trailing run of blocks dated on or
// before today minus LogAufbewahrungTage days is dropped.
qsizetype PrunedLength(QStringView text, const QDate& today);

// The conversation as held in memory from a log file's lines after the header: old blocks
// pruned, every line break as CR LF, trimmed at both ends.
QString ConversationFromLog(QStringView body, const QDate& today);
// The same from a whole log file's text whose conversation begins at bodyStart; takes the text over,
// so a log whose line breaks are all CR LF is not copied. crLfOnly: the caller knows that they are.
QString ConversationFromLog(QString&& fileText, qsizetype bodyStart, const QDate& today, bool crLfOnly = false);

// Whether a CR or LF stands anywhere but in a CR LF pair.
bool HasLoneLineBreak(QStringView text);
