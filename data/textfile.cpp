#include "data/textfile.h"

#include "data/ansi.h"
#include "data/rtf.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#include <mutex>
#endif
#include <new>
#include <optional>
#include <vector>

const QString FileTextTypeError = QStringLiteral("FileTextType konnte nicht ermittelt werden.");
const QString Utf8OrAnsiError = QStringLiteral("Datei konnte weder als UTF-8 noch als ANSI gelesen werden: ");

namespace {

constexpr qsizetype BlockSize = 65536;

// How many of the next 16 bytes are ASCII before the first that is not; when d is given, all 16
// are widened into it, and the caller keeps only that many.
int asciiPrefix16(const unsigned char* p, char16_t* d)
{
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (d) {
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v, zero));
    }
    const int high = _mm_movemask_epi8(v);
    return high == 0 ? 16 : __builtin_ctz(static_cast<unsigned>(high));
#else
    int n = 0;
    while (n < 16 && p[n] < 0x80)
        ++n;
    if (d) {
        for (int k = 0; k < 16; ++k)
            d[k] = p[k];
    }
    return n;
#endif
}

// Whether every CR and LF among the next n bytes (n <= 16, all 16 readable) stands in a CR LF pair
// with its neighbour; crBefore tells whether the byte before is a CR, and becomes whether the last is.
bool pairedBreaks16(const unsigned char* p, int n, bool& crBefore)
{
    if (n == 0)
        return true;
    const unsigned keep = n == 16 ? 0xFFFFu : (1u << n) - 1;
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned cr = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')))) & keep;
    const unsigned lf = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')))) & keep;
#else
    unsigned cr = 0;
    unsigned lf = 0;
    for (int k = 0; k < n; ++k) {
        cr |= unsigned(p[k] == '\r') << k;
        lf |= unsigned(p[k] == '\n') << k;
    }
#endif
    // An LF exactly where the byte before is a CR.
    const bool paired = lf == (((cr << 1) | unsigned(crBefore)) & keep);
    crBefore = (cr >> (n - 1)) & 1;
    return paired;
}

// The state shared by checking and decoding: which lead bytes open how long a sequence, and
// which finished code points are allowed (no over-long forms, no surrogates, nothing above U+10FFFF).
struct Utf8State
{
    int pending = 0;
    uint32_t codePoint = 0;
    uint32_t lowest = 0;

    bool lead(unsigned char b)
    {
        if (b >= 0xC2 && b <= 0xDF)
            return start(1, b & 0x1F, 0x80);
        if (b >= 0xE0 && b <= 0xEF)
            return start(2, b & 0x0F, 0x800);
        if (b >= 0xF0 && b <= 0xF4)
            return start(3, b & 0x07, 0x10000);
        return false;
    }
    bool start(int n, uint32_t bits, uint32_t low)
    {
        pending = n;
        codePoint = bits;
        lowest = low;
        return true;
    }
    bool continuation(unsigned char b)
    {
        if ((b & 0xC0) != 0x80)
            return false;
        codePoint = (codePoint << 6) | (b & 0x3F);
        return --pending > 0 ||
               (codePoint >= lowest && (codePoint < 0xD800 || codePoint > 0xDFFF) && codePoint <= 0x10FFFF);
    }
};

// Strict UTF-8 to UTF-16, block by block, by the rules of Utf8Checker; gives up at the first fault.
class Utf8Decoder
{
public:
    explicit Utf8Decoder(qsizetype expectedBytes)
        // feed wants two spare units, for a pair that a block's first byte completes; without them the
        // first feed would copy the whole string into a larger one.
        : m_text(expectedBytes + 2, Qt::Uninitialized)
    {
    }
    bool feed(const char* data, qsizetype size);
    bool finish() const { return m_ok && m_state.pending == 0; }
    bool nonAsciiSeen() const { return m_nonAscii; }
    // Every CR and LF of the text so far stands in a CR LF pair.
    bool crLfOnly() const { return m_paired && !m_crBefore; }
    QString take()
    {
        m_text.resize(m_used);
        return std::move(m_text);
    }

private:
    QString m_text;
    qsizetype m_used = 0;
    Utf8State m_state;
    bool m_ok = true;
    bool m_nonAscii = false;
    bool m_paired = true;
    bool m_crBefore = false;
};

bool Utf8Decoder::feed(const char* data, qsizetype size)
{
    if (!m_ok)
        return false;
    // A sequence begun in the previous block may yield a surrogate pair from one byte here.
    if (m_text.size() - m_used < size + 2)
        m_text.resize(m_used + size + 2);
    char16_t* const begin = reinterpret_cast<char16_t*>(m_text.data());
    char16_t* d = begin + m_used;
    // Locals instead of members, so the compiler keeps them in registers.
    Utf8State s = m_state;
    bool ok = true;
    bool nonAscii = m_nonAscii;
    // Learnt on the way, so the log store need not look at every line break of the text again.
    bool paired = m_paired;
    bool crBefore = m_crBefore;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* end = p + size;
    while (p < end) {
#if defined(__SSE2__)
        // Runs of 32 ASCII bytes, the bulk of a log, in one step.
        while (s.pending == 0 && end - p >= 32) {
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            if (_mm_movemask_epi8(_mm_or_si128(v0, v1)) != 0)
                break;
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v0, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v0, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_unpacklo_epi8(v1, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 24), _mm_unpackhi_epi8(v1, zero));
            if (paired) {
                const __m128i cr = _mm_set1_epi8('\r');
                const __m128i lf = _mm_set1_epi8('\n');
                const uint32_t crBits = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v0, cr))) |
                                        uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v1, cr))) << 16;
                const uint32_t lfBits = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v0, lf))) |
                                        uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v1, lf))) << 16;
                paired = lfBits == ((crBits << 1) | uint32_t(crBefore));
                crBefore = crBits >> 31;
            }
            d += 32;
            p += 32;
        }
        if (p == end)
            break;
#endif
        if (s.pending == 0 && end - p >= 16) {
            const int n = asciiPrefix16(p, d);
            if (paired)
                paired = pairedBreaks16(p, n, crBefore);
            d += n;
            p += n;
            if (n == 16)
                continue;
        }
        const unsigned char b = *p++;
        if (s.pending == 0 && b < 0x80) {
            *d++ = b;
            paired = paired && (b == '\n') == crBefore;
            crBefore = b == '\r';
            continue;
        }
        nonAscii = true;
        paired = paired && !crBefore;
        crBefore = false;
        // German text is mostly two-byte sequences: those whole in this block need no state.
        if (s.pending == 0 && b >= 0xC2 && b <= 0xDF && p < end && (*p & 0xC0) == 0x80) {
            *d++ = static_cast<char16_t>((b & 0x1F) << 6 | (*p++ & 0x3F));
            continue;
        }
        ok = s.pending == 0 ? s.lead(b) : s.continuation(b);
        if (!ok)
            break;
        if (s.pending > 0)
            continue;
        if (s.codePoint >= 0x10000) {
            *d++ = QChar::highSurrogate(s.codePoint);
            *d++ = QChar::lowSurrogate(s.codePoint);
        } else {
            *d++ = static_cast<char16_t>(s.codePoint);
        }
    }
    m_ok = ok;
    m_nonAscii = nonAscii;
    m_paired = paired;
    m_crBefore = crBefore;
    m_state = s;
    m_used = d - begin;
    return m_ok;
}

bool startsWith(QByteArrayView bytes, const char* prefix, qsizetype n)
{
    return bytes.size() >= n && std::memcmp(bytes.data(), prefix, n) == 0;
}

// UTF-16 without byte-order mark: many zero bytes, most of them on one side of the pairs.
bool looksLikeUtf16(QByteArrayView head)
{
    if (head.size() < 32)
        return false;
    qsizetype even = 0;
    qsizetype odd = 0;
    for (qsizetype i = 0; i < head.size(); ++i) {
        if (head[i] == 0)
            ++((i % 2 == 0) ? even : odd);
    }
    const qsizetype zeros = even + odd;
    const qsizetype threshold = (7 * zeros) / 10;
    return zeros > head.size() / 10 && (even > threshold || odd > threshold);
}

// The type that the first block decides alone; nothing when the UTF-8 check must decide.
std::optional<TFileTextType> typeFromHead(QByteArrayView head)
{
    if (head.isEmpty())
        return ftAnsi;
    if (startsWith(head, "{\\rt", 4))
        return ftRtf;
    if (startsWith(head, "\xEF\xBB\xBF", 3))
        return ftUtf8Bom;
    if (startsWith(head, "\xFF\xFE", 2) || startsWith(head, "\xFE\xFF", 2))
        return ftUnicode;
    if (looksLikeUtf16(head))
        return ftUnicode;
    return std::nullopt;
}

QString decodeUtf16(QByteArrayView bytes)
{
    bool bigEndian = false;
    qsizetype start = 0;
    if (startsWith(bytes, "\xFF\xFE", 2)) {
        start = 2;
    } else if (startsWith(bytes, "\xFE\xFF", 2)) {
        start = 2;
        bigEndian = true;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + start;
    const qsizetype units = (bytes.size() - start) / 2;
    QString out(units, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < units; ++i, p += 2)
        d[i] = bigEndian ? char16_t(p[0] << 8 | p[1]) : char16_t(p[1] << 8 | p[0]);
    // Half a code unit cannot be read; mark it rather than drop it unseen.
    if ((bytes.size() - start) % 2 != 0)
        out.append(QChar::ReplacementCharacter);
    return out;
}

// Strict UTF-8 after an optional byte-order mark, else ANSI, which decodes every byte.
TextFileResult utf8OrAnsi(QByteArrayView bytes)
{
    TextFileResult result;
    result.ok = true;
    const bool bom = bytes.size() > 2 && startsWith(bytes, "\xEF\xBB\xBF", 3);
    const QByteArrayView body = QByteArrayView(bytes).sliced(bom ? 3 : 0);
    Utf8Decoder decoder(body.size());
    if (decoder.feed(body.data(), body.size()) && decoder.finish()) {
        result.crLfOnly = decoder.crLfOnly();
        result.text = decoder.take();
        result.type = bom ? ftUtf8Bom : ftUtf8;
    } else {
        result.text = DecodeAnsi(body);
        result.type = ftAnsi;
    }
    return result;
}

QString decodeByType(TFileTextType type, QByteArrayView bytes)
{
    switch (type) {
    case ftUnicode:
        return decodeUtf16(bytes);
    case ftRtf:
        return RtfToPlainText(bytes.toByteArray());
    case ftUtf8Bom:
        return utf8OrAnsi(bytes).text;
    case ftUtf8:
    case ftAnsi:
    case ftUnknown:
        break;
    }
    return DecodeAnsi(bytes);
}

// Valid UTF-8 that holds non-ASCII text is UTF-8, wherever that text starts. Pure ASCII reads the
// same either way and counts as ANSI.
void decodeUndecided(QByteArrayView bytes, TextFileResult& result)
{
    Utf8Decoder decoder(bytes.size());
    if (decoder.feed(bytes.data(), bytes.size()) && decoder.finish()) {
        result.type = decoder.nonAsciiSeen() ? ftUtf8 : ftAnsi;
        result.crLfOnly = decoder.crLfOnly();
        result.text = decoder.take();
        return;
    }
    result.type = ftAnsi;
    result.text = DecodeAnsi(bytes);
}

QByteArray encode(const QString& text, TFileTextType type, const RtfFont* font)
{
    switch (type) {
    case ftRtf:
        return PlainTextToRtf(text, font);
    case ftUnicode: {
        QByteArray out("\xFF\xFE", 2);
        out.reserve(2 + text.size() * 2);
        for (const QChar c : text) {
            out.append(static_cast<char>(c.unicode() & 0xFF));
            out.append(static_cast<char>(c.unicode() >> 8));
        }
        return out;
    }
    case ftUtf8:
        return text.toUtf8();
    case ftUtf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case ftAnsi:
    case ftUnknown:
        break;
    }
    return EncodeAnsi(text);
}

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool Utf8Checker::feed(const char* data, qsizetype size)
{
    if (!m_ok)
        return false;
    // Locals instead of members, so the compiler keeps the state in registers.
    Utf8State s{m_pending, m_codePoint, m_lowest};
    bool nonAscii = m_nonAscii;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* end = p + size;
    while (p < end) {
        if (s.pending == 0 && end - p >= 16) {
            const int n = asciiPrefix16(p, nullptr);
            p += n;
            if (n == 16)
                continue;
        }
        const unsigned char b = *p++;
        if (s.pending == 0 && b < 0x80)
            continue;
        nonAscii = true;
        if (!(s.pending == 0 ? s.lead(b) : s.continuation(b))) {
            m_ok = false;
            break;
        }
    }
    m_pending = s.pending;
    m_codePoint = s.codePoint;
    m_lowest = s.lowest;
    m_nonAscii = nonAscii;
    return m_ok;
}

bool IsUtf8Stream(const QByteArray& bytes, bool* nonAsciiSeen)
{
    Utf8Checker checker;
    checker.feed(bytes.constData(), bytes.size());
    if (nonAsciiSeen)
        *nonAsciiSeen = checker.nonAsciiSeen();
    return checker.finish();
}

TFileTextType FileTextType(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return ftUnknown;
    QByteArray block(BlockSize, Qt::Uninitialized);
    qsizetype got = file.read(block.data(), BlockSize);
    if (got < 0)
        return ftUnknown;
    if (const auto decided = typeFromHead(QByteArrayView(block).first(got)))
        return *decided;
    // The rest of the file too: a UTF-8 file may begin with more than one block of ASCII.
    Utf8Checker checker;
    while (got > 0 && checker.feed(block.constData(), got)) {
        got = file.read(block.data(), BlockSize);
        if (got < 0)
            return ftUnknown;
    }
    return checker.finish() && checker.nonAsciiSeen() ? ftUtf8 : ftAnsi;
}

namespace {

// Kept between calls, so reading a folder of logs does not allocate and fault in a buffer per file;
// one larger than this is given back after use.
constexpr qsizetype KeptBufferSize = 4 * 1024 * 1024;

// Read buffers kept for the next read, so a load of many logs does not allocate for each. Not
// thread_local: under mingw-w64 a thread_local with a destructor crashes when its thread ends.
class TBufferPool
{
public:
    QByteArray Take()
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (FKept.empty())
            return {};
        QByteArray b = std::move(FKept.back());
        FKept.pop_back();
        return b;
    }
    void Give(QByteArray&& b)
    {
        if (b.capacity() > KeptBufferSize)
            return;
        std::lock_guard<std::mutex> lock(FMutex);
        if (FKept.size() < MaxKept)
            FKept.push_back(std::move(b));
    }

private:
    static constexpr size_t MaxKept = 4; // the reading threads at once
    std::mutex FMutex;
    std::vector<QByteArray> FKept;
};

TBufferPool& BufferPool()
{
    static TBufferPool pool;
    return pool;
}

// The whole file into buffer, whose size becomes the file's; false on a read error.
bool readWhole(QFile& file, QByteArray& buffer)
{
    qsizetype used = 0;
    qsizetype want = qMax<qsizetype>(file.size() + 1, 1); // one more byte tells that the end was reached
    for (;;) {
        if (buffer.size() < used + want)
            buffer.resize(used + want);
        const qint64 got = file.read(buffer.data() + used, want);
        if (got < 0)
            return false;
        used += got;
        if (got < want)
            break;
        want = qMax<qsizetype>(BlockSize, used); // the file grew while being read
    }
    buffer.resize(used);
    return true;
}

TextFileResult loadTextFile(const QString& fileName)
{
    TextFileResult result;
    result.error = FileTextTypeError;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    QByteArray buffer = BufferPool().Take();
    struct Release
    {
        QByteArray& b;
        ~Release() { BufferPool().Give(std::move(b)); }
    } release{buffer};
    const bool read = readWhole(file, buffer);
    if (!read)
        return result;
    const QByteArrayView bytes(buffer);
    // The type is FileTextType's, decided from the bytes read once.
    if (const auto decided = typeFromHead(bytes.first(qMin(bytes.size(), BlockSize)))) {
        result.type = *decided;
        if (*decided == ftUtf8Bom) {
            TextFileResult utf8 = utf8OrAnsi(bytes);
            result.text = std::move(utf8.text);
            result.crLfOnly = utf8.crLfOnly;
        } else {
            result.text = decodeByType(*decided, bytes);
        }
    } else {
        decodeUndecided(bytes, result);
    }
    result.modified = file.fileTime(QFileDevice::FileModificationTime);
    result.ok = true;
    result.error.clear();
    return result;
}

} // namespace

TextFileResult LoadTextFile(const QString& fileName)
{
    try {
        return loadTextFile(fileName);
    } catch (const std::bad_alloc&) {
        // A file too large for memory is as unreadable as a missing one.
        return TextFileResult{false, QString(), ftUnknown, FileTextTypeError, QDateTime(), false};
    }
}

TextFileResult ReadUtf8OrAnsi(const QString& fileName)
{
    TextFileResult result;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = Utf8OrAnsiError + file.errorString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = Utf8OrAnsiError + file.errorString();
        return result;
    }
    return utf8OrAnsi(bytes);
}

bool SaveTextFile(const QString& fileName, const QString& text, TFileTextType type, const RtfFont* font, QString* error)
{
    if (fileName.isEmpty())
        return fail(error, QStringLiteral("Kein Dateiname angegeben."));
    // A write-protected file stays as it is, as the read-only attribute keeps it on Windows.
    const QFileInfo info(fileName);
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && info.isFile() && !(info.permissions() & anyWrite))
        return fail(error, QStringLiteral("Die Datei ist schreibgeschützt: ") + fileName);
    const QByteArray bytes = encode(text, type, font);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error, reason);
    }
    if (!file.commit())
        return fail(error, file.errorString());
    return true;
}
