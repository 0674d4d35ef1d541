#include "data/logformat.h"

#include "common/texts.h"

#include <QCryptographicHash>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Room below the usual 255-byte limit for ".log", ".bad.N" and the saver's temporary suffix.
constexpr qsizetype MaxBaseBytes = 200;
constexpr qsizetype CutBytes = 180;

bool MussEscaped(char16_t c)
{
    return c < 0x20 || c == 0x7F || QStringView(u"<>:\"/\\|?*%").contains(QChar(c));
}

void AppendEscaped(QString& out, char16_t c)
{
    static const char hex[] = "0123456789ABCDEF";
    out += u'%';
    out += QLatin1Char(hex[(c >> 4) & 0xF]);
    out += QLatin1Char(hex[c & 0xF]);
}

qsizetype Utf8Laenge(char16_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
}

QString HashSuffix(const QString& key)
{
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1);
    return u'~' + QString::fromLatin1(hash.toHex().toUpper().left(16));
}

// "dd.mm.yyyy" with a four-digit year; anything else is unreadable.
QDate ParseDatum(QStringView text)
{
    const auto teile = text.split(u'.');
    if (teile.size() != 3 || teile[0].isEmpty() || teile[0].size() > 2 || teile[1].isEmpty() || teile[1].size() > 2 ||
        teile[2].size() != 4)
        return {};
    int zahlen[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        for (QChar c : teile[i]) {
            if (c < u'0' || c > u'9')
                return {};
            zahlen[i] = zahlen[i] * 10 + (c.unicode() - u'0');
        }
    }
    return QDate(zahlen[2], zahlen[1], zahlen[0]);
}

QString Block(const QString& art, const QString& name, const QDateTime& zeit, const QString& nachricht,
              const QString& bisher)
{
    return art + name + QStringLiteral(" (") + LogZeitText(zeit) + QStringLiteral("):\r") + nachricht + u'\r' + bisher;
}

} // namespace

QString PartnerKey(const QString& userName, const QString& pc)
{
    return userName + u'_' + pc;
}

QString LogFileBase(const QString& key)
{
    QString out;
    out.reserve(key.size());
    qsizetype bytes = 0;
    qsizetype cutPos = 0;
    const qsizetype n = key.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = key[i].unicode();
        // A trailing dot would meet the dot of ".log".
        const bool punktFolge = c == u'.' && ((i > 0 && key[i - 1] == u'.') || i + 1 == n || key[i + 1] == u'.');
        if (MussEscaped(c) || punktFolge) {
            AppendEscaped(out, c);
            bytes += 3;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(key[i + 1].unicode())) {
            out += key[i];
            out += key[++i];
            bytes += 4;
        } else {
            out += key[i];
            bytes += Utf8Laenge(c);
        }
        if (bytes <= CutBytes)
            cutPos = out.size();
    }
    if (bytes > MaxBaseBytes) {
        out.truncate(cutPos);
        out += HashSuffix(key);
    }
    return out;
}

QString LogFileName(const QString& key)
{
    return LogFileBase(key) + QStringLiteral(".log");
}

QString LogZeitText(const QDateTime& zeit)
{
    return zeit.toString(Texts::DatumZeitFormat);
}

QString BlockNachrichtVon(const QString& name, const QDateTime& zeit, const QString& nachricht, const QString& bisher)
{
    return Block(QStringLiteral("Nachricht von "), name, zeit, nachricht, bisher);
}

QString BlockNachrichtAn(const QString& name, const QDateTime& zeit, const QString& nachricht, const QString& bisher)
{
    return Block(QStringLiteral("Nachricht an "), name, zeit, TrimBlanks(nachricht), bisher);
}

QString LogHeader(const TUserListeRec& user)
{
    return user.UserName + u'|' + user.Name + u'|' + user.PC;
}

QString LogFileText(const TUserListeRec& user)
{
    const QString roh = LogHeader(user) + QStringLiteral("\r\n") + user.Text;
    QString out;
    out.reserve(roh.size() + roh.size() / 16 + 2);
    const qsizetype n = roh.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = roh[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && roh[i + 1] == u'\n')
                ++i;
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    if (!out.endsWith(u"\r\n"))
        out += QStringLiteral("\r\n");
    return out;
}

QStringList SplitLines(const QString& text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QString TrimBlanks(const QString& text)
{
    const QStringView kurz = TrimBlanks(QStringView(text));
    return kurz.size() == text.size() ? text : kurz.toString();
}

QStringView TrimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.sliced(begin, end - begin);
}

QStringView FirstLine(QStringView text, QStringView* rest)
{
    qsizetype ende = 0;
    while (ende < text.size() && text[ende] != u'\r' && text[ende] != u'\n')
        ++ende;
    qsizetype weiter = ende;
    if (weiter < text.size())
        weiter += (text[weiter] == u'\r' && weiter + 1 < text.size() && text[weiter + 1] == u'\n') ? 2 : 1;
    if (rest)
        *rest = text.sliced(weiter);
    return text.first(ende);
}

QDate BlockHeaderDate(QStringView line)
{
    if (!(line.startsWith(u"Nachricht von") || line.startsWith(u"Nachricht an")) || !line.endsWith(u"):"))
        return {};
    const auto woerter = line.split(u' ', Qt::SkipEmptyParts);
    if (woerter.size() < 2)
        return {};
    const QStringView wort = woerter.at(woerter.size() - 2);
    return ParseDatum(wort.startsWith(u'(') ? wort.mid(1) : wort);
}

qsizetype PrunedLength(QStringView text, const QDate& today)
{
    if (!today.isValid())
        return text.size();
    const QDate grenze = today.addDays(-LogAufbewahrungTage);
    qsizetype kept = text.size();
    // Line by line from the end; a CR LF pair is one line break, as when splitting forwards.
    qsizetype ende = text.size();
    while (ende > 0) {
        qsizetype anfang = ende;
        while (anfang > 0 && text[anfang - 1] != u'\r' && text[anfang - 1] != u'\n')
            --anfang;
        const QDate datum = BlockHeaderDate(text.sliced(anfang, ende - anfang));
        if (datum.isValid()) {
            if (datum > grenze)
                break;
            kept = anfang;
        }
        ende = anfang;
        if (ende > 0 && text[ende - 1] == u'\n' && ende > 1 && text[ende - 2] == u'\r')
            ende -= 2;
        else if (ende > 0)
            --ende;
    }
    return kept;
}

QString ConversationFromLog(QStringView body, const QDate& today)
{
    const QStringView text = TrimBlanks(body.first(PrunedLength(body, today)));
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype kopiert = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            ++i;
            continue;
        }
        // A lone CR or LF becomes CR LF.
        out += text.sliced(kopiert, i - kopiert);
        out += QStringLiteral("\r\n");
        kopiert = i + 1;
    }
    if (kopiert == 0)
        return text.toString();
    out += text.sliced(kopiert);
    return out;
}

bool HasLoneLineBreak(QStringView text)
{
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Whether the character before position i is a CR.
    bool crVorher = false;
#if defined(__SSE2__)
    // Eight characters at a time: every LF must stand right after a CR, and every CR right before an LF,
    // so the LF mask is the CR mask moved on by one character (two mask bits).
    const __m128i cr = _mm_set1_epi16(0x0D);
    const __m128i lf = _mm_set1_epi16(0x0A);
    unsigned uebertrag = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const unsigned crBits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(v, cr)));
        const unsigned lfBits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(v, lf)));
        if (lfBits != (((crBits << 2) | uebertrag) & 0xFFFF))
            return true;
        uebertrag = crBits >> 14;
    }
    crVorher = uebertrag != 0;
#endif
    for (; i < n; ++i) {
        const bool istLf = p[i] == u'\n';
        if (istLf != crVorher)
            return true;
        crVorher = p[i] == u'\r';
    }
    return crVorher;
}

QString ConversationFromLog(QString&& fileText, qsizetype bodyStart, const QDate& today, bool crLfOnly)
{
    const QStringView body = QStringView(fileText).sliced(bodyStart);
    const QStringView text = TrimBlanks(body.first(PrunedLength(body, today)));
    // Pruning cuts at line starts and trimming takes whole runs of breaks, so no pair is split.
    if (!crLfOnly && HasLoneLineBreak(text))
        return ConversationFromLog(body, today);
    const qsizetype anfang = text.data() - fileText.constData();
    const qsizetype ende = anfang + text.size();
    QString out = std::move(fileText);
    out.truncate(ende);
    // Cutting off the front only moves the string's start within its block.
    out.remove(0, anfang);
    return out;
}
