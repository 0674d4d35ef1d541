#include "data/ansi.h"

#include <array>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Code points of the bytes 0x80..0x9F; the undefined bytes map to the C1 control of the same value.
constexpr char16_t HighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

char16_t AnsiChar(unsigned char byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? HighTable[byte - 0x80] : char16_t(byte);
}

int AnsiByte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        if (HighTable[i] == c)
            return 0x80 + i;
    }
    return -1;
}

QString DecodeAnsi(QByteArrayView bytes)
{
    static const auto table = [] {
        std::array<char16_t, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[i] = AnsiChar(static_cast<unsigned char>(i));
        return t;
    }();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    QString out(n, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    qsizetype i = 0;
#if defined(__SSE2__)
    // Sixteen ASCII bytes at a time are only widened; the table is for the others.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(v) != 0) {
            for (int k = 0; k < 16; ++k)
                d[i + k] = table[p[i + k]];
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; i < n; ++i)
        d[i] = table[p[i]];
    return out;
}

QByteArray EncodeAnsi(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        const int b = AnsiByte(c);
        if (b >= 0) {
            out.append(static_cast<char>(b));
            continue;
        }
        // A pair stands for one character, so it gets one default character.
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        out.append('?');
    }
    return out;
}
