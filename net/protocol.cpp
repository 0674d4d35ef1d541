#include "net/protocol.h"

#include "common/fields.h"
#include "common/texts.h"

#include <QStringList>

namespace Protocol {

namespace {

// A "|" inside a field would shift every later field at the receiver.
QString safeField(const QString& value)
{
    QString out = value;
    out.replace(u'|', u'/');
    return out;
}

QByteArray joinPayload(const QStringList& fields)
{
    const QByteArray payload = fields.join(u'|').toUtf8();
    // Receivers refuse anything larger, so it would be lost silently on the wire.
    return payload.size() <= MaxDatagramBytes ? payload : QByteArray();
}

bool isTrimmable(QChar c)
{
    return c.isSpace() || c.category() == QChar::Other_Control;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiDigits(const QString& s, int maxLength)
{
    if (s.isEmpty() || s.size() > maxLength)
        return false;
    for (QChar c : s) {
        if (!isAsciiDigit(c))
            return false;
    }
    return true;
}

QString feld(const QStringList& fields, int n)
{
    return n >= 1 && n <= fields.size() ? fields.at(n - 1) : QString();
}

// Fields of a text that carries the token, or an empty list.
QStringList tokenFields(const QString& text)
{
    QStringList fields = GetFelder(text);
    if (fields.isEmpty() || fields.first() != Token)
        return QStringList();
    return fields;
}

QString cutName(const QString& name)
{
    if (name.size() <= MaxFieldLength)
        return name;
    qsizetype cut = MaxFieldLength;
    if (name.at(cut - 1).isHighSurrogate())
        --cut;
    // The cut may end in a blank, which every reader of a log header would trim away.
    return CleanFeld(name.left(cut));
}

// Fields 2 to 4 name the sender; false when one of them is empty after cleaning, since such a
// datagram names nobody, or when a key is longer than any real one.
bool takeNames(const QStringList& fields, QString& userName, QString& name, QString& pc)
{
    userName = CleanFeld(feld(fields, 2));
    name = cutName(CleanFeld(feld(fields, 3)));
    pc = CleanFeld(feld(fields, 4));
    return !userName.isEmpty() && !name.isEmpty() && !pc.isEmpty() && userName.size() <= MaxFieldLength &&
           pc.size() <= MaxFieldLength;
}

// Reads 1 or 2 decimal digits at pos.
bool scanZahl(QStringView s, qsizetype& pos, int& value)
{
    value = 0;
    const qsizetype start = pos;
    while (pos < s.size() && pos - start < 2 && isAsciiDigit(s[pos]))
        value = value * 10 + (s[pos++].unicode() - u'0');
    return pos > start;
}

// "h:m" or "h:m:s", one or two digits each, blanks around allowed, as the platform's time conversion
// with ":" accepts it; an invalid QTime when it does not parse.
QTime parseZeit(QStringView s)
{
    qsizetype pos = 0;
    while (pos < s.size() && s[pos] == u' ')
        ++pos;
    int h = 0, m = 0, sec = 0;
    if (!scanZahl(s, pos, h) || pos >= s.size() || s[pos++] != u':' || !scanZahl(s, pos, m))
        return QTime();
    if (pos < s.size() && s[pos] == u':') {
        ++pos;
        if (!scanZahl(s, pos, sec))
            return QTime();
    }
    while (pos < s.size() && s[pos] == u' ')
        ++pos;
    return pos == s.size() ? QTime(h, m, sec) : QTime();
}

int32_t parseInt32(const QString& s)
{
    bool ok = false;
    const int value = s.toInt(&ok, 10);
    return ok ? value : 0;
}

constexpr char32_t InvalidSequence = 0xFFFFFFFF;

// The code point of the sequence at p (avail bytes left), advancing pos past it; InvalidSequence
// for a bad lead or continuation byte, a cut-off sequence, an over-long form, a surrogate or a
// value above U+10FFFF.
char32_t decodeSequence(const unsigned char* p, qsizetype avail, qsizetype& pos)
{
    const unsigned char lead = p[0];
    int len = 1;
    char32_t cp = lead;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        len = 2;
        cp = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3;
        cp = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4;
        cp = lead & 0x07;
        min = 0x10000;
    } else if (lead >= 0x80) {
        return InvalidSequence;
    }
    if (avail < len)
        return InvalidSequence;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return InvalidSequence;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return InvalidSequence;
    pos += len;
    return cp;
}

} // namespace

QString formatMessageId(uint32_t ticks)
{
    return QStringLiteral("%1").arg(ticks, 8, 16, QLatin1Char('0')).toUpper();
}

bool isMessageId(const QString& id)
{
    if (id.size() != 8)
        return false;
    for (QChar c : id) {
        if (!isAsciiDigit(c) && !(c >= u'A' && c <= u'F'))
            return false;
    }
    return true;
}

QString trimMessage(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmable(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmable(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString crLfLineBreaks(const QString& text)
{
    const qsizetype n = text.size();
    QString out;
    out.reserve(n + n / 16);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n') {
            out += c;
            continue;
        }
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        out += QStringLiteral("\r\n");
    }
    return out;
}

QString prepareMessage(const QString& text)
{
    QString out = crLfLineBreaks(trimMessage(text));
    if (out.size() > MaxMessageLength) {
        qsizetype cut = MaxMessageLength;
        // Half a surrogate pair cannot be encoded as UTF-8; a CR without its LF is no line break of the wire.
        if (out.at(cut - 1).isHighSurrogate() || (out.at(cut - 1) == u'\r' && out.at(cut) == u'\n'))
            --cut;
        out = trimMessage(out.left(cut));
    }
    return out;
}

qsizetype editorFit(const QString& text)
{
    qsizetype wire = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool paar = c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n';
        const qsizetype laenge = paar ? 2 : (c == u'\n' || c == u'\r') ? 2 : 1;
        if (wire + laenge > MaxMessageLength)
            return i > 0 && text.at(i - 1).isHighSurrogate() ? i - 1 : i;
        wire += laenge;
        if (paar)
            ++i;
    }
    return text.size();
}

QString makeMessageSafe(const QString& text)
{
    return safeField(prepareMessage(text));
}

QByteArray buildPresence(const TPresence& presence)
{
    const TUserListeRec& u = presence.User;
    if (u.UserName.isEmpty() || u.PC.isEmpty() || u.StatusNr < 0 || u.StatusNr > 9 || !u.Onlinezeit.isValid())
        return QByteArray();
    const QString userName = safeField(u.UserName);
    const QString name = u.Name.isEmpty() ? userName : safeField(u.Name);
    return joinPayload({Token, userName, name, safeField(u.PC), QString::number(u.StatusNr),
                        presence.OnlineS ? QStringLiteral("1") : QStringLiteral("0"),
                        u.Onlinezeit.toString(Texts::ZeitFormat), QStringLiteral("1"), QString::number(u.UsersOnline)});
}

QByteArray buildText(const TTextMessage& message)
{
    const QString text = makeMessageSafe(message.MsgText);
    if (message.UserName.isEmpty() || message.PC.isEmpty() || text.isEmpty() || !isMessageId(message.MsgID))
        return QByteArray();
    const QString userName = safeField(message.UserName);
    const QString name = message.Name.isEmpty() ? userName : safeField(message.Name);
    return joinPayload({Token, userName, name, safeField(message.PC), text, message.MsgID});
}

QByteArray buildAck(const QString& computerName, const QString& msgId)
{
    // The ID is echoed unchanged; one that cannot travel as a single field cannot be echoed.
    if (computerName.isEmpty() || msgId.isEmpty() || msgId.contains(u'|'))
        return QByteArray();
    return joinPayload({Token, Angekommen, safeField(computerName), msgId});
}

QByteArray buildCommand(const QString& word)
{
    if (word.isEmpty() || word.contains(u'|') || word == CmdUpdate)
        return QByteArray();
    return joinPayload({Token, word});
}

QByteArray buildUpdateCommand(int sek)
{
    const QString text = QString::number(sek);
    if (!isValidSek(text))
        return QByteArray();
    return joinPayload({Token, CmdUpdate, text});
}

std::optional<QString> decodeUtf8Strict(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        const char32_t cp = decodeSequence(p + i, n - i, i);
        if (cp == InvalidSequence)
            return std::nullopt;
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
    }
    return out;
}

std::optional<QString> decodeDatagram(const QByteArray& payload)
{
    if (payload.isEmpty() || payload.size() > MaxDatagramBytes)
        return std::nullopt;
    std::optional<QString> text = decodeUtf8Strict(payload);
    if (!text || GetFeld(*text, 1) != Token)
        return std::nullopt;
    return text;
}

std::optional<TPresence> parsePresence(const QString& text, const QTime& now)
{
    const QStringList f = tokenFields(text);
    // Without its three names the entry names nobody; merging it would announce a user who cannot be listed.
    TPresence p;
    if (!takeNames(f, p.User.UserName, p.User.Name, p.User.PC))
        return std::nullopt;
    const QString state = feld(f, 5);
    p.User.StatusNr = !state.isEmpty() && isAsciiDigit(state.at(0)) ? state.at(0).unicode() - u'0' : 0;
    p.OnlineS = feld(f, 6) == QStringLiteral("1");
    const QTime zeit = parseZeit(feld(f, 7));
    p.User.Onlinezeit = zeit.isValid() ? zeit : now;
    p.User.UsersOnline = parseInt32(feld(f, 9));
    return p;
}

std::optional<TTextMessage> parseText(const QString& text)
{
    const QStringList f = tokenFields(text);
    // More fields mean a "|" slipped into a name or the message: the ID is not where it belongs.
    TTextMessage m;
    if (f.size() != 6 || !takeNames(f, m.UserName, m.Name, m.PC) || f.at(4).size() > MaxMessageLength ||
        f.at(5).size() > MaxFieldLength)
        return std::nullopt;
    m.MsgText = f.at(4);
    m.MsgID = f.at(5);
    return m;
}

std::optional<TAck> parseAck(const QString& text)
{
    const QStringList f = tokenFields(text);
    if (f.size() < 4 || f.at(1).compare(Angekommen, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return TAck{f.at(2), f.at(3)};
}

bool ackMatches(const TAck& ack, const QString& expectedPC, const QString& expectedId)
{
    return !ack.AckPC.isEmpty() && !ack.AckID.isEmpty() && ack.AckPC.compare(expectedPC, Qt::CaseInsensitive) == 0 &&
           ack.AckID.compare(expectedId, Qt::CaseInsensitive) == 0;
}

std::optional<TCommand> parseCommand(const QString& text)
{
    const QStringList f = tokenFields(text);
    if (f.size() < 2)
        return std::nullopt;
    TCommand c{f.at(1), feld(f, 3)};
    const bool known = c.Cmd == CmdKick || c.Cmd == CmdAutostartEin || c.Cmd == CmdAutostartAus ||
                       c.Cmd == CmdLoadUser || c.Cmd == CmdRuhezustand || c.Cmd == CmdUpdate;
    if (!known)
        return std::nullopt;
    // The starter receives Sek on its command line; only a plain number may get there.
    if (c.Cmd == CmdUpdate && !isValidSek(c.Sek))
        return std::nullopt;
    return c;
}

bool isValidSek(const QString& sek)
{
    return isAsciiDigits(sek, MaxSekDigits);
}

} // namespace Protocol
