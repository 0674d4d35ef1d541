#include "data/rtf.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestRtf : public QObject
{
    Q_OBJECT
private slots:
    void reader_data();
    void reader();
    void malformedInput_data();
    void malformedInput();
    void writerRoundTrip_data();
    void writerRoundTrip();
    void writerFont();
};

void TestRtf::reader_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("Tables, styles, metadata and generator leave no text")
        << QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Times;}}"
                      "{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}}"
                      "{\\info{\\title Titel}{\\author A}}{\\*\\generator Riched20 10.0;}\\f0\\fs24 Hallo}")
        << u"Hallo"_s;
    QTest::newRow("Pictures are skipped") << QByteArray("{\\rtf1 a{\\pict\\wmetafile8 0102ff}b}") << u"ab"_s;
    QTest::newRow("Unknown destinations marked with a star are skipped")
        << QByteArray("{\\rtf1 a{\\*\\unknownthing xyz{nested}}b}") << u"ab"_s;
    QTest::newRow("Fields show their result, not their code")
        << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt Link}}}") << u"Link"_s;
    QTest::newRow("Hex escapes decode as Windows-1252")
        << QByteArray("{\\rtf1 Gr\\'fc\\'DFe \\'80 \\'81}") << u"Grüße € \u0081"_s;
    QTest::newRow("Raw 8-bit bytes decode as Windows-1252") << QByteArray("{\\rtf1 \xE4\x80}") << u"ä€"_s;
    QTest::newRow("uc1 skips one fallback character") << QByteArray("{\\rtf1\\uc1 Preis \\u8364? 5}") << u"Preis € 5"_s;
    QTest::newRow("uc0 skips nothing") << QByteArray("{\\rtf1\\uc0 \\u8364 x}") << u"€x"_s;
    QTest::newRow("A hex escape and a control word count as one fallback character each")
        << QByteArray("{\\rtf1\\uc3 \\u8364\\'80\\par E!}") << u"€!"_s;
    QTest::newRow("Negative values give the code units of a surrogate pair")
        << QByteArray("{\\rtf1\\uc0 \\u-10179 \\u-8704 }") << u"😀"_s;
    QTest::newRow("Fallback skipping ends at a group boundary")
        << QByteArray("{\\rtf1\\uc3 {\\u8364 ab}cd}") << u"€cd"_s;
    QTest::newRow("uc holds only inside its group") << QByteArray("{\\rtf1{\\uc0 \\u8364 a}\\u8364 bc}") << u"€a€c"_s;
    QTest::newRow("Nested groups keep their text") << QByteArray("{\\rtf1 a{\\b b{\\i c}d}e}") << u"abcde"_s;
    QTest::newRow("par and line break lines, tab is a tab")
        << QByteArray("{\\rtf1 a\\par b\\line c\\tab d}") << u"a\r\nb\r\nc\td"_s;
    QTest::newRow("The paragraph mark that ends the document is not text")
        << QByteArray("{\\rtf1 a\\par b\\par\r\n}") << u"a\r\nb"_s;
    QTest::newRow("An empty last paragraph stays") << QByteArray("{\\rtf1 a\\par\\par}") << u"a\r\n"_s;
    QTest::newRow("Escaped braces and backslash") << QByteArray("{\\rtf1 \\{x\\}\\\\}") << u"{x}\\"_s;
    QTest::newRow("Non-breaking space, optional hyphen, non-breaking hyphen")
        << QByteArray("{\\rtf1 a\\~b\\-c\\_d}") << u"a\u00A0bc\u2011d"_s;
    QTest::newRow("Typographic quotes and dashes")
        << QByteArray("{\\rtf1 \\ldblquote x\\rdblquote \\emdash}") << u"“x”—"_s;
    QTest::newRow("Line breaks in the source are not text") << QByteArray("{\\rtf1 a\r\nb\nc}") << u"abc"_s;
    QTest::newRow("A backslash before a line break is a paragraph") << QByteArray("{\\rtf1 a\\\r\nb}") << u"a\r\nb"_s;
    QTest::newRow("Only one blank ends a control word") << QByteArray("{\\rtf1\\b  x}") << u" x"_s;
    QTest::newRow("Text after the document's closing brace is ignored") << QByteArray("{\\rtf1 a}b") << u"a"_s;
    QTest::newRow("Binary data is stepped over even when it holds braces")
        << QByteArray("{\\rtf1 a{\\pict\\bin4 }{\\x}b}") << u"ab"_s;
}

void TestRtf::reader()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(RtfToPlainText(rtf), text);
}

void TestRtf::malformedInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("Empty input") << QByteArray() << QString();
    QTest::newRow("An unterminated document gives what was read") << QByteArray("{\\rtf1 abc{\\b def") << u"abcdef"_s;
    QTest::newRow("A backslash at the very end") << QByteArray("{\\rtf1 a\\") << u"a"_s;
    QTest::newRow("A cut-off hex escape drops only its introducer") << QByteArray("{\\rtf1 a\\'f") << u"af"_s;
    QTest::newRow("A hex escape with non-hex digits drops only its introducer")
        << QByteArray("{\\rtf1 a\\'zz b}") << u"azz b"_s;
    QTest::newRow("Stray closing braces before the document") << QByteArray("}}{\\rtf1 a}") << u"a"_s;
    QTest::newRow("Parameters beyond any range")
        << QByteArray("{\\rtf1\\uc99999999999 \\u99999999999 a\\bin-5 b}") << u"ab"_s;
    QTest::newRow("bin longer than the rest") << QByteArray("{\\rtf1 a\\bin999 xyz") << u"a"_s;
    QTest::newRow("An unknown destination never closed") << QByteArray("{\\rtf1 a{\\*\\x b") << u"a"_s;
    const int depth = 20000;
    QTest::newRow("Very deep nesting") << QByteArray("{\\rtf1 ") + QByteArray(depth, '{') + "x" +
                                              QByteArray(depth, '}') + "y}"
                                       << u"xy"_s;
}

void TestRtf::malformedInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(RtfToPlainText(rtf), text);
}

void TestRtf::writerRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("Empty text") << QString() << QString();
    QTest::newRow("Umlauts, euro sign and a character beyond the BMP") << u"Grüße € 😀 Ω"_s << u"Grüße € 😀 Ω"_s;
    QTest::newRow("CR LF lines and a final line break") << u"a\r\nb\r\n"_s << u"a\r\nb\r\n"_s;
    QTest::newRow("LF and lone CR lines come back as CR LF") << u"a\nb\rc\n\nd"_s << u"a\r\nb\r\nc\r\n\r\nd"_s;
    QTest::newRow("Braces, backslashes and control-word look-alikes")
        << u"{x} \\par \\u8364? \\'e4"_s << u"{x} \\par \\u8364? \\'e4"_s;
    QTest::newRow("Tabs, leading blanks and digits after a break") << u"\t  a\r\n5 b"_s << u"\t  a\r\n5 b"_s;
    QTest::newRow("Control characters") << u"a\u000Bb\u0001"_s << u"a\u000Bb\u0001"_s;
}

void TestRtf::writerRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(QString, readBack);
    const QByteArray rtf = PlainTextToRtf(text);
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi"));
    for (char c : rtf)
        QVERIFY2(static_cast<unsigned char>(c) < 0x80, "the document must be 7-bit");
    QCOMPARE(RtfToPlainText(rtf), readBack);
}

void TestRtf::writerFont()
{
    RtfFont font;
    font.name = u"Times {New}; Römer"_s;
    font.sizePt = 14;
    font.bold = true;
    font.underline = true;
    const QByteArray rtf = PlainTextToRtf(u"x"_s, &font);
    QVERIFY2(rtf.contains("{\\f0\\fnil\\fcharset0 Times New R\\u246?mer;}"), rtf.constData());
    QVERIFY(rtf.contains("\\fs28\\b\\ul "));
    QVERIFY(!rtf.contains("\\i"));
    QVERIFY(!rtf.contains("\\strike"));
    QCOMPARE(RtfToPlainText(rtf), u"x"_s);

    const QByteArray plain = PlainTextToRtf(u"x"_s);
    QVERIFY(plain.contains("Arial;}"));
    QVERIFY(plain.contains("\\fs24 "));
}

QTEST_GUILESS_MAIN(TestRtf)
#include "tst_rtf.moc"
