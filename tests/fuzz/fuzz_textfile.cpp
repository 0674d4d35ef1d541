// Any bytes as a text file: the type found, and the text read block by block, must agree with what
// the whole bytes decode to. The same bytes again behind 65533 bytes of ASCII, so that they straddle
// the reader's first 64 KiB block boundary when a sequence can begin before it; there only the reading
// itself is checked, since every pass over 64 KiB costs the fuzzer dearly.
#include "fuzzing.h"

#include "data/ansi.h"
#include "data/rtf.h"
#include "data/textfile.h"

#include <algorithm>

namespace {

void checkFile(const QString& path, const QByteArray& bytes)
{
    fuzzing::writeFile(path, bytes);
    const TFileTextType type = FileTextType(path);
    const TextFileResult loaded = LoadTextFile(path);
    FUZZ_CHECK(loaded.ok && loaded.error.isEmpty());
    FUZZ_CHECK(loaded.type == type);
    // Claimed by the decoder only when true: every CR and LF of the text stands in a CR LF pair.
    if (loaded.crLfOnly) {
        for (qsizetype i = 0; i < loaded.text.size(); ++i) {
            FUZZ_CHECK(loaded.text[i] != u'\r' || (i + 1 < loaded.text.size() && loaded.text[i + 1] == u'\n'));
            FUZZ_CHECK(loaded.text[i] != u'\n' || (i > 0 && loaded.text[i - 1] == u'\r'));
        }
    }
    bool nonAscii = false;
    const bool utf8 = IsUtf8Stream(bytes, &nonAscii);
    switch (type) {
    case ftUtf8:
        FUZZ_CHECK(utf8 && nonAscii);
        FUZZ_CHECK(loaded.text == fuzzing::fromUtf8Whole(bytes));
        break;
    case ftAnsi:
        FUZZ_CHECK(!utf8 || !nonAscii);
        FUZZ_CHECK(loaded.text == DecodeAnsi(bytes));
        break;
    case ftUtf8Bom:
        FUZZ_CHECK(bytes.startsWith("\xEF\xBB\xBF"));
        FUZZ_CHECK(loaded.text == ReadUtf8OrAnsi(path).text);
        break;
    case ftUnicode: {
        const qsizetype body = bytes.size() - (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ? 2 : 0);
        FUZZ_CHECK(loaded.text.size() == body / 2 + body % 2);
        break;
    }
    case ftRtf:
        FUZZ_CHECK(loaded.text == RtfToPlainText(bytes));
        break;
    case ftUnknown:
        FUZZ_CHECK(false);
    }

    const TextFileResult fallback = ReadUtf8OrAnsi(path);
    FUZZ_CHECK(fallback.ok && (fallback.type == ftUtf8 || fallback.type == ftUtf8Bom || fallback.type == ftAnsi));
    const QByteArray body = bytes.size() > 2 && bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    FUZZ_CHECK(fallback.text == (IsUtf8Stream(body) ? fuzzing::fromUtf8Whole(body) : DecodeAnsi(body)));
}

void checkStraddling(const QString& path, const QByteArray& bytes)
{
    // Only the first three bytes land before the boundary; when they are ASCII, nothing straddles it.
    if (std::all_of(bytes.begin(), bytes.begin() + std::min<qsizetype>(bytes.size(), 3),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return;
    static const QByteArray padding(65533, 'a');
    static const QString paddingText = QString::fromLatin1(padding);
    fuzzing::writeFile(path, padding + bytes);
    const TextFileResult loaded = LoadTextFile(path);
    FUZZ_CHECK(loaded.ok && loaded.type == FileTextType(path));
    // ASCII first: only the UTF-8 check of the whole file decides.
    bool nonAscii = false;
    const bool utf8 = IsUtf8Stream(bytes, &nonAscii);
    FUZZ_CHECK(loaded.type == (utf8 && nonAscii ? ftUtf8 : ftAnsi));
    FUZZ_CHECK(QStringView(loaded.text).first(std::min(loaded.text.size(), paddingText.size())) == paddingText);
    FUZZ_CHECK(QStringView(loaded.text).sliced(paddingText.size()) ==
               (loaded.type == ftUtf8 ? fuzzing::fromUtf8Whole(bytes) : DecodeAnsi(bytes)));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzzing::scratchFolder() + QStringLiteral("/text.txt");
    const QByteArray bytes = fuzzing::bytesOf(data, size);
    checkFile(path, bytes);
    checkStraddling(path, bytes);

    // Written with a byte-order mark, any text reads back unchanged (without one, UTF-8 text may look
    // like RTF or UTF-16 by design).
    const QString text = QString::fromUtf8(bytes);
    for (TFileTextType type : {ftUtf8Bom, ftUnicode}) {
        FUZZ_CHECK(SaveTextFile(path, text, type));
        const TextFileResult back = LoadTextFile(path);
        FUZZ_CHECK(back.ok && back.type == type && back.text == text);
    }
    return 0;
}
