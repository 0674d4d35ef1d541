// Any bytes as an RTF document; and any text written as RTF and read back, which must give the text
// again with its line breaks as CR LF.
#include "fuzzing.h"

#include "data/rtf.h"

namespace {

QString crLfBreaks(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') {
            out += text[i];
            continue;
        }
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        out += QStringLiteral("\r\n");
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzing::bytesOf(data, size);
    const QString plain = RtfToPlainText(bytes);
    // Every character comes from at least one byte; nothing is made up.
    FUZZ_CHECK(plain.size() <= bytes.size());

    // The bytes as UTF-16, so every code unit (lone surrogates too) can occur; the first line names the font.
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    for (size_t i = 0; i + 1 < size; i += 2)
        text[qsizetype(i / 2)] = QChar(char16_t(data[i] | data[i + 1] << 8));
    RtfFont font;
    font.name = text.left(text.indexOf(u'\n'));
    font.sizePt = int(size) - 100;
    font.bold = size & 1;
    const QByteArray document = PlainTextToRtf(text, &font);
    FUZZ_CHECK(document.startsWith("{\\rtf1"));
    FUZZ_CHECK(RtfToPlainText(document) == crLfBreaks(text));
    return 0;
}
