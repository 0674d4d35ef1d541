#include "data/rtf.h"

#include "data/ansi.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

namespace {

struct GroupState
{
    int ucSkip = 1;    // fallback characters that follow each \uN
    bool skip = false; // inside a destination whose text is not part of the document
};

// Destinations that hold no document text (tables, pictures, metadata, field codes, headers).
bool isSkippedDestination(const QByteArray& word)
{
    static const QSet<QByteArray> words = {
        "fonttbl",  "colortbl",     "stylesheet", "info",
        "pict",     "fldinst",      "listtable",  "listoverridetable",
        "rsidtbl",  "header",       "headerl",    "headerr",
        "headerf",  "footer",       "footerl",    "footerr",
        "footerf",  "footnote",     "object",     "objdata",
        "filetbl",  "revtbl",       "generator",  "themedata",
        "xmlnstbl", "latentstyles", "datastore",  "colorschememapping",
        "pgdsctbl", "nonshppict",
    };
    return words.contains(word);
}

char16_t specialCharacter(const QByteArray& word)
{
    static const QHash<QByteArray, char16_t> chars = {
        {"emdash", 0x2014},    {"endash", 0x2013},    {"bullet", 0x2022},  {"lquote", 0x2018},  {"rquote", 0x2019},
        {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},
    };
    return chars.value(word, 0);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

class RtfReader
{
public:
    explicit RtfReader(const QByteArray& rtf)
        : m_p(rtf.constData())
        , m_end(rtf.constData() + rtf.size())
    {
    }
    QString run();

private:
    bool openGroup();
    bool closeGroup();
    void controlWord();
    void controlSymbol(char c);
    void wordAction(const QByteArray& word, bool hasParam, int param);
    // Each produced character passes here, so \uN fallbacks are skipped in one place.
    bool consumesFallback();
    void emitChar(char16_t c);
    void emitBreak(bool paragraph);

    static constexpr int MaxStackedGroups = 10000;
    const char* m_p;
    const char* m_end;
    std::vector<GroupState> m_stack;
    int m_unstacked = 0; // groups nested beyond MaxStackedGroups; they share their parent's state
    int m_depth = 0;
    GroupState m_state;
    int m_pendingSkip = 0;
    bool m_endsWithPar = false;
    QString m_out;
};

QString RtfReader::run()
{
    while (m_p < m_end) {
        const char c = *m_p++;
        if (c == '{') {
            openGroup();
        } else if (c == '}') {
            if (!closeGroup())
                break;
        } else if (c == '\\') {
            if (m_p < m_end && isLetter(*m_p))
                controlWord();
            else if (m_p < m_end)
                controlSymbol(*m_p++);
        } else if (c != '\r' && c != '\n') {
            if (!consumesFallback())
                emitChar(AnsiChar(static_cast<unsigned char>(c)));
        }
    }
    if (m_endsWithPar)
        m_out.chop(2);
    return m_out;
}

bool RtfReader::openGroup()
{
    m_pendingSkip = 0;
    ++m_depth;
    if (m_stack.size() < MaxStackedGroups)
        m_stack.push_back(m_state);
    else
        ++m_unstacked;
    return true;
}

// False when the group that held the whole document has closed.
bool RtfReader::closeGroup()
{
    m_pendingSkip = 0;
    if (m_depth == 0)
        return true; // a stray brace before the document
    --m_depth;
    if (m_unstacked > 0) {
        --m_unstacked;
    } else {
        m_state = m_stack.back();
        m_stack.pop_back();
    }
    return m_depth > 0;
}

void RtfReader::controlWord()
{
    const char* start = m_p;
    while (m_p < m_end && isLetter(*m_p))
        ++m_p;
    const QByteArray word(start, m_p - start);
    bool hasParam = false;
    bool negative = false;
    long long value = 0;
    if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && isDigit(m_p[1])) {
        negative = true;
        ++m_p;
    }
    while (m_p < m_end && isDigit(*m_p)) {
        hasParam = true;
        value = std::min(value * 10 + (*m_p++ - '0'), 1LL << 32);
    }
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    const long long signedValue = std::clamp(negative ? -value : value, -2147483647LL, 2147483647LL);
    wordAction(word, hasParam, static_cast<int>(signedValue));
}

void RtfReader::wordAction(const QByteArray& word, bool hasParam, int param)
{
    if (word == "bin") {
        // Binary data may hold braces and backslashes: step over it whatever the state.
        const qsizetype n = std::clamp<qsizetype>(hasParam ? param : 0, 0, m_end - m_p);
        m_p += n;
        consumesFallback();
        return;
    }
    if (m_state.skip || consumesFallback())
        return;
    if (isSkippedDestination(word)) {
        m_state.skip = true;
    } else if (word == "par" || word == "sect" || word == "page" || word == "row") {
        emitBreak(true);
    } else if (word == "line") {
        emitBreak(false);
    } else if (word == "tab" || word == "cell") {
        emitChar(u'\t');
    } else if (word == "uc") {
        m_state.ucSkip = std::max(0, param);
    } else if (word == "u" && hasParam && param >= -32768 && param <= 65535) {
        emitChar(static_cast<char16_t>(param < 0 ? param + 65536 : param));
        m_pendingSkip = m_state.ucSkip;
    } else if (const char16_t special = specialCharacter(word)) {
        emitChar(special);
    }
}

void RtfReader::controlSymbol(char c)
{
    if (c == '\'') {
        const int high = m_p < m_end ? hexValue(m_p[0]) : -1;
        const int low = m_p + 1 < m_end ? hexValue(m_p[1]) : -1;
        if (high < 0 || low < 0)
            return;
        m_p += 2;
        if (!m_state.skip && !consumesFallback())
            emitChar(AnsiChar(static_cast<unsigned char>(high * 16 + low)));
        return;
    }
    if (m_state.skip)
        return;
    if (c == '*') {
        m_state.skip = true;
        return;
    }
    if (consumesFallback())
        return;
    switch (c) {
    case '\\':
    case '{':
    case '}':
        emitChar(static_cast<char16_t>(c));
        break;
    case '~':
        emitChar(0x00A0);
        break;
    case '_':
        emitChar(0x2011);
        break;
    case '\r':
    case '\n':
        emitBreak(true);
        break;
    default: // "\-" (optional hyphen) and unknown symbols leave no text
        break;
    }
}

bool RtfReader::consumesFallback()
{
    if (m_pendingSkip == 0)
        return false;
    --m_pendingSkip;
    return true;
}

void RtfReader::emitChar(char16_t c)
{
    if (m_state.skip)
        return;
    m_out.append(QChar(c));
    m_endsWithPar = false;
}

void RtfReader::emitBreak(bool paragraph)
{
    if (m_state.skip)
        return;
    m_out.append(QLatin1String("\r\n"));
    m_endsWithPar = paragraph;
}

void appendUnicodeEscape(QByteArray& out, char16_t c)
{
    out += "\\u";
    out += QByteArray::number(static_cast<int16_t>(c));
    out += '?';
}

QByteArray fontNameRtf(const QString& name)
{
    QByteArray out;
    for (const QChar ch : name) {
        const char16_t c = ch.unicode();
        if (c == ';' || c == '{' || c == '}' || c == '\\' || c < 0x20)
            continue;
        if (c < 0x80)
            out += static_cast<char>(c);
        else
            appendUnicodeEscape(out, c);
    }
    return out.isEmpty() ? QByteArray("Arial") : out;
}

QByteArray header(const RtfFont& font)
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 ";
    out += fontNameRtf(font.name);
    out += ";}}\r\n\\pard\\plain\\f0\\fs";
    out += QByteArray::number(std::clamp(font.sizePt, 1, 1638) * 2);
    if (font.bold)
        out += "\\b";
    if (font.italic)
        out += "\\i";
    if (font.underline)
        out += "\\ul";
    if (font.strikeOut)
        out += "\\strike";
    out += ' ';
    return out;
}

} // namespace

QString RtfToPlainText(const QByteArray& rtf)
{
    return RtfReader(rtf).run();
}

QByteArray PlainTextToRtf(const QString& text, const RtfFont* font)
{
    QByteArray out = header(font ? *font : RtfFont());
    out.reserve(out.size() + text.size() + text.size() / 8 + 16);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            out += "\\par\r\n";
        } else if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c < 0x80) {
            out += "\\'";
            out += QByteArray::number(c, 16).rightJustified(2, '0');
        } else {
            appendUnicodeEscape(out, c);
        }
    }
    // Word processors end every paragraph with \par; the reader drops this last one again.
    out += "\\par\r\n}\r\n";
    return out;
}
