// The datagrams exchanged between instances and with the administration tool: building and decoding,
// without sockets. Every datagram is one UTF-8 text of "|"-separated fields whose first field is "TB1".
#pragma once

#include "common/types.h"

#include <QByteArray>
#include <QString>
#include <QTime>
#include <cstdint>
#include <optional>

namespace Protocol {

constexpr quint16 PortBefehl = 18180;
constexpr quint16 PortListe = 18181;
constexpr quint16 PortText = 18182;
constexpr quint16 PortEmpfang = 18183;

// A receiver reads at most this many bytes of one datagram; larger payloads are refused, never cut.
constexpr int MaxDatagramBytes = 8192;
// Longest message text, in UTF-16 code units.
constexpr int MaxMessageLength = 2048;
// Longest user name, display name, computer name and message ID a receiver takes, in UTF-16 code units.
// Real ones are far shorter (a Windows computer name has 15 characters, a user name 20, an ID 8); the cap
// bounds what a stranger on the LAN can make a receiver keep per user.
constexpr int MaxFieldLength = 64;
constexpr int MaxSekDigits = 9;

inline const QString Token = QStringLiteral("TB1");
inline const QString Angekommen = QStringLiteral("Angekommen");

inline const QString CmdKick = QStringLiteral("kick");
inline const QString CmdAutostartEin = QStringLiteral("autostartein");
inline const QString CmdAutostartAus = QStringLiteral("autostartaus");
inline const QString CmdLoadUser = QStringLiteral("loaduser");
inline const QString CmdRuhezustand = QStringLiteral("ruhezustand");
inline const QString CmdUpdate = QStringLiteral("update");

// One presence announcement. Only PC, UserName, Name, StatusNr, Onlinezeit and UsersOnline travel.
struct TPresence
{
    TUserListeRec User;
    bool OnlineS = false;
};

struct TTextMessage
{
    QString UserName;
    QString Name;
    QString PC;
    QString MsgText;
    QString MsgID;
};

struct TAck
{
    QString AckPC;
    QString AckID;
};

struct TCommand
{
    QString Cmd;
    QString Sek; // only for "update"
};

// ---- Building. An empty result means the datagram cannot be built and must not be sent.

// 8 upper-case hex digits with leading zeros.
QString formatMessageId(uint32_t ticks);
// Exactly 8 upper-case hex digits, as formatMessageId writes them.
bool isMessageId(const QString& id);

// Trims white space and control characters at both ends.
QString trimMessage(const QString& text);
// Every line break (CR LF, a lone CR, a lone LF) as CR LF, the form the wire and the logs carry.
QString crLfLineBreaks(const QString& text);
// The message as it travels, its "|" not yet replaced: trimmed, line breaks as CR LF, cut to
// MaxMessageLength (a line break counts two) neither between CR and LF nor inside a surrogate
// pair; empty when nothing is left.
QString prepareMessage(const QString& text);
// How many characters of an editor's text (line breaks as LF or CR) fit MaxMessageLength once every
// break travels as CR LF; never inside a surrogate pair. The size of the text when all of it fits.
qsizetype editorFit(const QString& text);
// prepareMessage with every "|" replaced by "/".
QString makeMessageSafe(const QString& text);

// Names lose their "|" and an empty display name becomes the user name, so no field shifts.
// Empty when user name or PC is empty, the state is not one digit, the time is invalid or the
// payload would exceed MaxDatagramBytes.
QByteArray buildPresence(const TPresence& presence);
// The message is made safe; empty also when it is empty after that or the ID is not isMessageId.
QByteArray buildText(const TTextMessage& message);
QByteArray buildAck(const QString& computerName, const QString& msgId);
QByteArray buildCommand(const QString& word);
QByteArray buildUpdateCommand(int sek);

// ---- Decoding.

// The text of a payload that is at most MaxDatagramBytes, strictly valid UTF-8 and has the token
// in field 1; nullopt otherwise. Call this before any parser below.
std::optional<QString> decodeDatagram(const QByteArray& payload);
// Strict UTF-8: no over-long forms, surrogates, values above U+10FFFF or truncated sequences.
std::optional<QString> decodeUtf8Strict(const QByteArray& bytes);

// The names in fields 2 to 4 of a presence or text datagram are taken with CleanFeld, the rule the
// log store reads its headers by; a datagram with a name that is empty after that names nobody and
// is refused. A user name or computer name longer than MaxFieldLength is refused too: they key the
// partner, and a cut key could make two partners one. A longer display name keys nothing and is cut
// to MaxFieldLength, never inside a surrogate pair, and trimmed again. The parsers check the token
// again, so they are safe on any text.

// Missing fields after the fourth take tolerant defaults (state 0, offline, Onlinezeit := now,
// count 0); the time may be "h:m" or "h:m:s" with blanks around.
std::optional<TPresence> parsePresence(const QString& text, const QTime& now);
// Exactly fields 2 to 6; the ID is kept as sent, since the acknowledgement must echo it unchanged. A message
// longer than MaxMessageLength or an ID longer than MaxFieldLength is refused: no sender of ours makes one.
std::optional<TTextMessage> parseText(const QString& text);
// Field 2 is "Angekommen" in any letter case and fields 3 and 4 are present.
std::optional<TAck> parseAck(const QString& text);
// Both equal ignoring letter case; an empty field never matches.
bool ackMatches(const TAck& ack, const QString& expectedPC, const QString& expectedId);
// Field 2 is one of the command words (case-sensitive); "update" only with a valid Sek.
std::optional<TCommand> parseCommand(const QString& text);
// 1 to MaxSekDigits ASCII decimal digits.
bool isValidSek(const QString& sek);

} // namespace Protocol
