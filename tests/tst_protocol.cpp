#include "common/fields.h"
#include "net/protocol.h"

#include <QTest>

using namespace Protocol;

namespace {

const QTime Now(14, 5, 9);

QString repeated(const char* s, int times)
{
    return QString::fromUtf8(s).repeated(times);
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void messageIdFormat_data();
    void messageIdFormat();
    void editorFit_data();
    void editorFit();
    void messageMadeSafe_data();
    void messageMadeSafe();
    void presenceBuilt_data();
    void presenceBuilt();
    void textBuilt_data();
    void textBuilt();
    void ackAndCommandsBuilt_data();
    void ackAndCommandsBuilt();
    void roundTrips_data();
    void roundTrips();
    void payloadDecoded_data();
    void payloadDecoded();
    void presenceParsed_data();
    void presenceParsed();
    void presenceRefused_data();
    void presenceRefused();
    void namesAreCleaned_data();
    void namesAreCleaned();
    void fieldsBeyondTheCaps_data();
    void fieldsBeyondTheCaps();
    void textParsed_data();
    void textParsed();
    void acknowledgement_data();
    void acknowledgement();
    void commandParsed_data();
    void commandParsed();
    void hostileInputIsRefusedQuietly_data();
    void hostileInputIsRefusedQuietly();
};

void TestProtocol::messageIdFormat_data()
{
    QTest::addColumn<uint>("ticks");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Zero keeps all eight digits") << 0u << "00000000";
    QTest::newRow("A small count gets leading zeros") << 0x41A3F2u << "0041A3F2";
    QTest::newRow("Letters are upper case") << 0xABCDEF01u << "ABCDEF01";
    QTest::newRow("The largest tick count") << 0xFFFFFFFFu << "FFFFFFFF";
}

void TestProtocol::messageIdFormat()
{
    QFETCH(uint, ticks);
    QFETCH(QString, expected);
    QCOMPARE(formatMessageId(ticks), expected);
    QVERIFY(isMessageId(expected));
    QVERIFY(!isMessageId(expected.toLower().replace(u'0', u'a')));
    QVERIFY(!isMessageId(expected.left(7)));
    QVERIFY(!isMessageId(expected + u'0'));
    QVERIFY(!isMessageId(expected.left(7) + u'G'));
}

void TestProtocol::messageMadeSafe_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("safe");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("A bar becomes a slash") << "a|b"
                                           << "a/b";
    QTest::newRow("Every bar becomes a slash") << "|a||b|"
                                               << "/a//b/";
    QTest::newRow("Line breaks at the ends are trimmed") << "\r\n\r\nHallo\r\n"
                                                         << "Hallo";
    QTest::newRow("Tabs and blanks at the ends are trimmed") << "\t  Hallo \t"
                                                             << "Hallo";
    QTest::newRow("Control characters at the ends are trimmed")
        << QString::fromUtf16(u"\x01\x1b Hallo\x7f\x85\x00", 11) << "Hallo";
    QTest::newRow("An inner CR LF stays one line break") << "Zeile 1\r\nZeile 2"
                                                         << "Zeile 1\r\nZeile 2";
    QTest::newRow("A line feed, as the editor gives it, travels as CR LF") << "Zeile1\nZeile2"
                                                                           << "Zeile1\r\nZeile2";
    QTest::newRow("A lone CR travels as CR LF") << "Zeile1\rZeile2"
                                                << "Zeile1\r\nZeile2";
    QTest::newRow("LF CR is two line breaks") << "a\n\rb"
                                              << "a\r\n\r\nb";
    QTest::newRow("An empty line stays") << "a\n\nb\r\n\r\nc"
                                         << "a\r\n\r\nb\r\n\r\nc";
    QTest::newRow("Inner control characters stay") << "a" + QString(QChar(1)) + "b"
                                                   << "a" + QString(QChar(1)) + "b";
    QTest::newRow("Umlauts and emoji stay") << "Grüße " + emoji << "Grüße " + emoji;
    QTest::newRow("Only blanks and line breaks leave nothing") << " \r\n\t \r\n"
                                                               << "";
    QTest::newRow("A long message is cut to 2048") << repeated("x", 3000) << repeated("x", 2048);
    QTest::newRow("Exactly 2048 characters stay whole") << repeated("y", 2048) << repeated("y", 2048);
    QTest::newRow("The cut never splits a surrogate pair") << repeated("x", 2047) + emoji + "zz" << repeated("x", 2047);
    QTest::newRow("Blanks exposed by the cut are trimmed")
        << repeated("x", 2040) + repeated(" ", 20) + "tail" << repeated("x", 2040);
    QTest::newRow("Trimming comes before the cut")
        << repeated(" ", 100) + repeated("z", 2048) + " " << repeated("z", 2048);
    QTest::newRow("A line break counts two toward 2048")
        << repeated("x", 2040) + "\n" + repeated("y", 7) << repeated("x", 2040) + "\r\n" + repeated("y", 6);
    QTest::newRow("The cut never separates CR from LF") << repeated("x", 2047) + "\nmehr" << repeated("x", 2047);
    QTest::newRow("Short lines that grow beyond 2048 are cut after a whole line")
        << repeated("ab\n", 700) << repeated("ab\r\n", 511) + "ab";
}

void TestProtocol::messageMadeSafe()
{
    QFETCH(QString, typed);
    QFETCH(QString, safe);
    QCOMPARE(makeMessageSafe(typed), safe);
}

void TestProtocol::presenceBuilt_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pc");
    QTest::addColumn<int>("statusNr");
    QTest::addColumn<bool>("online");
    QTest::addColumn<QTime>("onlinezeit");
    QTest::addColumn<int>("usersOnline");
    QTest::addColumn<QByteArray>("expected");
    const QTime t(8, 15, 30);
    QTest::newRow("Anna announces herself")
        << "amaier"
        << "Anna Maier"
        << "R12-PC" << 0 << true << t << 7 << QByteArray("TB1|amaier|Anna Maier|R12-PC|0|1|08:15:30|1|7");
    QTest::newRow("Anna signs off") << "amaier"
                                    << "Anna Maier"
                                    << "R12-PC" << 0 << false << t << 7
                                    << QByteArray("TB1|amaier|Anna Maier|R12-PC|0|0|08:15:30|1|7");
    QTest::newRow("Away and busy are single digits")
        << "bb"
        << "Bernd"
        << "PC2" << 2 << true << QTime(0, 0, 0) << 0 << QByteArray("TB1|bb|Bernd|PC2|2|1|00:00:00|1|0");
    QTest::newRow("Afternoon times use 24 hours")
        << "bb"
        << "Bernd"
        << "PC2" << 1 << true << QTime(23, 59, 5) << 12 << QByteArray("TB1|bb|Bernd|PC2|1|1|23:59:05|1|12");
    QTest::newRow("An empty display name is replaced by the logon name")
        << "amaier"
        << ""
        << "R12-PC" << 0 << true << t << 1 << QByteArray("TB1|amaier|amaier|R12-PC|0|1|08:15:30|1|1");
    QTest::newRow("Bars in names become slashes")
        << "a|m"
        << "|Anna|"
        << "R|12" << 0 << true << t << 1 << QByteArray("TB1|a/m|/Anna/|R/12|0|1|08:15:30|1|1");
    QTest::newRow("A percent sign in the name is sent as it is")
        << "amaier"
        << "Anna 100%"
        << "R12-PC" << 0 << true << t << 1 << QByteArray("TB1|amaier|Anna 100%|R12-PC|0|1|08:15:30|1|1");
    QTest::newRow("Umlauts go out as UTF-8")
        << "jörg"
        << "Jörg Müller"
        << "PC-Ä" << 0 << true << t << 3 << QString("TB1|jörg|Jörg Müller|PC-Ä|0|1|08:15:30|1|3").toUtf8();
    QTest::newRow("No user name, no datagram") << ""
                                               << "Anna"
                                               << "R12-PC" << 0 << true << t << 7 << QByteArray();
    QTest::newRow("No computer name, no datagram") << "amaier"
                                                   << "Anna"
                                                   << "" << 0 << true << t << 7 << QByteArray();
    QTest::newRow("A state of two digits cannot be sent") << "amaier"
                                                          << "Anna"
                                                          << "R12-PC" << 10 << true << t << 7 << QByteArray();
    QTest::newRow("An invalid time cannot be sent") << "amaier"
                                                    << "Anna"
                                                    << "R12-PC" << 0 << true << QTime() << 7 << QByteArray();
    QTest::newRow("A payload beyond 8192 bytes cannot be sent")
        << "amaier" << repeated("ü", 4100) << "R12-PC" << 0 << true << t << 7 << QByteArray();
}

void TestProtocol::presenceBuilt()
{
    QFETCH(QString, userName);
    QFETCH(QString, name);
    QFETCH(QString, pc);
    QFETCH(int, statusNr);
    QFETCH(bool, online);
    QFETCH(QTime, onlinezeit);
    QFETCH(int, usersOnline);
    QFETCH(QByteArray, expected);
    TPresence p;
    p.User.UserName = userName;
    p.User.Name = name;
    p.User.PC = pc;
    p.User.StatusNr = statusNr;
    p.User.Onlinezeit = onlinezeit;
    p.User.UsersOnline = usersOnline;
    p.OnlineS = online;
    QCOMPARE(buildPresence(p), expected);
}

void TestProtocol::textBuilt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Anna asks Bernd") << "Anna Maier"
                                     << "Kommst du heute?"
                                     << "0041A3F2"
                                     << QByteArray("TB1|amaier|Anna Maier|R12-PC|Kommst du heute?|0041A3F2");
    QTest::newRow("The message is made safe")
        << "Anna Maier"
        << "\r\n a|b\r\nc \t"
        << "00000000" << QByteArray("TB1|amaier|Anna Maier|R12-PC|a/b\r\nc|00000000");
    QTest::newRow("Line feeds go out as CR LF")
        << "Anna Maier"
        << "Zeile1\nZeile2"
        << "0041A3F2" << QByteArray("TB1|amaier|Anna Maier|R12-PC|Zeile1\r\nZeile2|0041A3F2");
    QTest::newRow("An empty display name is replaced by the logon name")
        << ""
        << "Hallo"
        << "FFFFFFFF" << QByteArray("TB1|amaier|amaier|R12-PC|Hallo|FFFFFFFF");
    QTest::newRow("A message of blanks and line breaks is not built") << "Anna"
                                                                      << " \r\n "
                                                                      << "0041A3F2" << QByteArray();
    QTest::newRow("A lower-case ID is not built") << "Anna"
                                                  << "Hallo"
                                                  << "0041a3f2" << QByteArray();
    QTest::newRow("A short ID is not built") << "Anna"
                                             << "Hallo"
                                             << "41A3F2" << QByteArray();
}

void TestProtocol::textBuilt()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QFETCH(QString, id);
    QFETCH(QByteArray, expected);
    QCOMPARE(buildText({"amaier", name, "R12-PC", message, id}), expected);
}

void TestProtocol::ackAndCommandsBuilt_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("B07-PC acknowledges the message")
        << buildAck("B07-PC", "0041A3F2") << QByteArray("TB1|Angekommen|B07-PC|0041A3F2");
    QTest::newRow("An acknowledgement echoes a foreign ID unchanged")
        << buildAck("B07-PC", "abc") << QByteArray("TB1|Angekommen|B07-PC|abc");
    QTest::newRow("No acknowledgement without computer name") << buildAck("", "0041A3F2") << QByteArray();
    QTest::newRow("No acknowledgement without ID") << buildAck("B07-PC", "") << QByteArray();
    QTest::newRow("An ID that is not one field cannot be echoed") << buildAck("B07-PC", "a|b") << QByteArray();
    QTest::newRow("Kick") << buildCommand("kick") << QByteArray("TB1|kick");
    QTest::newRow("Hibernation") << buildCommand("ruhezustand") << QByteArray("TB1|ruhezustand");
    QTest::newRow("Update after 30 seconds") << buildUpdateCommand(30) << QByteArray("TB1|update|30");
    QTest::newRow("Update at the largest Sek") << buildUpdateCommand(999999999) << QByteArray("TB1|update|999999999");
    QTest::newRow("Update without Sek is not built") << buildCommand("update") << QByteArray();
    QTest::newRow("Update with negative Sek is not built") << buildUpdateCommand(-1) << QByteArray();
    QTest::newRow("Update with ten digits is not built") << buildUpdateCommand(1000000000) << QByteArray();
    QTest::newRow("A command word with a bar is not built") << buildCommand("kick|x") << QByteArray();
}

void TestProtocol::ackAndCommandsBuilt()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
}

void TestProtocol::roundTrips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("statusNr");
    QTest::addColumn<int>("usersOnline");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("Plain text") << "Anna Maier"
                                << "Kommst du heute?" << 0 << 7;
    QTest::newRow("Umlauts, sharp s and emoji") << "Jörg Weiß " + emoji << "Grüße " + emoji << 1 << 0;
    QTest::newRow("Line breaks and percent signs") << "100% Anna"
                                                   << "a\r\nb %s %d" << 2 << 2147483647;
    QTest::newRow("The longest message") << "Anna" << repeated("ä", MaxMessageLength) << 0 << 1;
}

void TestProtocol::roundTrips()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QFETCH(int, statusNr);
    QFETCH(int, usersOnline);

    TPresence sent;
    sent.User = {"R12-PC", "amaier", name, {}, {}, QTime(8, 15, 30), usersOnline, statusNr, 0};
    sent.OnlineS = true;
    const std::optional<QString> presenceText = decodeDatagram(buildPresence(sent));
    QVERIFY(presenceText);
    const std::optional<TPresence> got = parsePresence(*presenceText, Now);
    QVERIFY(got);
    QCOMPARE(got->User, sent.User);
    QCOMPARE(got->OnlineS, true);

    const TTextMessage msg{"amaier", name, "R12-PC", message, formatMessageId(0x41A3F2)};
    const std::optional<QString> text = decodeDatagram(buildText(msg));
    QVERIFY(text);
    const std::optional<TTextMessage> back = parseText(*text);
    QVERIFY(back);
    QCOMPARE(back->UserName, msg.UserName);
    QCOMPARE(back->Name, msg.Name);
    QCOMPARE(back->PC, msg.PC);
    QCOMPARE(back->MsgText, msg.MsgText);
    QCOMPARE(back->MsgID, msg.MsgID);

    const std::optional<QString> ackText = decodeDatagram(buildAck("B07-PC", back->MsgID));
    QVERIFY(ackText);
    const std::optional<TAck> ack = parseAck(*ackText);
    QVERIFY(ack);
    QVERIFY(ackMatches(*ack, "B07-PC", msg.MsgID));
}

void TestProtocol::payloadDecoded_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("ok");
    const QByteArray tb1("TB1|");
    QTest::newRow("A plain command") << QByteArray("TB1|kick") << true;
    QTest::newRow("Umlauts in UTF-8") << QString("TB1|Grüße").toUtf8() << true;
    QTest::newRow("A four-byte character") << tb1 + "\xF0\x9F\x98\x80" << true;
    QTest::newRow("The highest code point") << tb1 + "\xF4\x8F\xBF\xBF" << true;
    QTest::newRow("A NUL byte is a character") << tb1 + QByteArray("a\0b", 3) << true;
    QTest::newRow("Leading separators do not hide the token") << QByteArray("||TB1|kick") << true;
    QTest::newRow("Exactly 8192 bytes") << tb1 + QByteArray(8188, 'x') << true;
    QTest::newRow("8193 bytes are refused") << tb1 + QByteArray(8189, 'x') << false;
    QTest::newRow("Lower-case token is ignored") << QByteArray("tb1|kick") << false;
    QTest::newRow("Token after a blank is ignored") << QByteArray(" TB1|kick") << false;
    QTest::newRow("Token with a suffix is ignored") << QByteArray("TB12|kick") << false;
    QTest::newRow("Empty payload") << QByteArray() << false;
    QTest::newRow("8 KiB of bars") << QByteArray(8192, '|') << false;
    QTest::newRow("A byte-order mark hides the token") << QByteArray("\xEF\xBB\xBFTB1|kick") << false;
    QTest::newRow("Latin-1 umlaut") << tb1 + "Gr\xFC\xDF"
                                             "e"
                                    << false;
    QTest::newRow("Over-long slash in two bytes") << tb1 + "\xC0\xAF" << false;
    QTest::newRow("Over-long NUL in two bytes") << tb1 + "\xC0\x80" << false;
    QTest::newRow("Over-long form in three bytes") << tb1 + "\xE0\x80\xAF" << false;
    QTest::newRow("Over-long form in four bytes") << tb1 + "\xF0\x80\x80\xAF" << false;
    QTest::newRow("Encoded high surrogate") << tb1 + "\xED\xA0\x80" << false;
    QTest::newRow("Encoded low surrogate") << tb1 + "\xED\xBF\xBF" << false;
    QTest::newRow("Above U+10FFFF") << tb1 + "\xF4\x90\x80\x80" << false;
    QTest::newRow("Five-byte lead") << tb1 + "\xF8\x88\x80\x80\x80" << false;
    QTest::newRow("Stray continuation byte") << tb1 + "a\x80"
                                                      "b"
                                             << false;
    QTest::newRow("Sequence cut off at the end") << tb1 + "\xE2\x82" << false;
    static const char euro[] = "TB1|\xE2\x82\xAC";
    QTest::newRow("Sequence cut off by the payload's end, not by a NUL")
        << QByteArray::fromRawData(euro, sizeof euro - 2) << false;
    QTest::newRow("Sequence interrupted by ASCII") << tb1 + "\xE2\x82|x" << false;
}

void TestProtocol::payloadDecoded()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, ok);
    const std::optional<QString> text = decodeDatagram(payload);
    QCOMPARE(text.has_value(), ok);
    if (ok) {
        QCOMPARE(*text, QString::fromUtf8(payload));
        QVERIFY(!text->contains(QChar::ReplacementCharacter));
    }
}

void TestProtocol::presenceParsed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pc");
    QTest::addColumn<int>("statusNr");
    QTest::addColumn<bool>("online");
    QTest::addColumn<QTime>("onlinezeit");
    QTest::addColumn<int>("usersOnline");
    const QTime t(8, 15, 30);
    QTest::newRow("Anna is online") << "TB1|amaier|Anna Maier|R12-PC|0|1|08:15:30|1|7"
                                    << "amaier"
                                    << "Anna Maier"
                                    << "R12-PC" << 0 << true << t << 7;
    QTest::newRow("Anna signs off") << "TB1|amaier|Anna Maier|R12-PC|0|0|08:15:30|1|7"
                                    << "amaier"
                                    << "Anna Maier"
                                    << "R12-PC" << 0 << false << t << 7;
    QTest::newRow("Doubled separators produce no empty fields") << "||TB1||a||b||c||2||1||08:15:30||1||3||"
                                                                << "a"
                                                                << "b"
                                                                << "c" << 2 << true << t << 3;
    QTest::newRow("State 12 reads as 1") << "TB1|a|b|c|12|1|08:15:30|1|3"
                                         << "a"
                                         << "b"
                                         << "c" << 1 << true << t << 3;
    QTest::newRow("A state digit from another sender is kept") << "TB1|a|b|c|7|1|08:15:30|1|3"
                                                               << "a"
                                                               << "b"
                                                               << "c" << 7 << true << t << 3;
    QTest::newRow("A state that is not a number reads as 0") << "TB1|a|b|c|x1|1|08:15:30|1|3"
                                                             << "a"
                                                             << "b"
                                                             << "c" << 0 << true << t << 3;
    QTest::newRow("A non-ASCII digit is not a state") << QString::fromUtf16(u"TB1|a|b|c|\u0663|1|08:15:30|1|3") << "a"
                                                      << "b"
                                                      << "c" << 0 << true << t << 3;
    QTest::newRow("Online 01 is an offline announcement") << "TB1|a|b|c|0|01|08:15:30|1|3"
                                                          << "a"
                                                          << "b"
                                                          << "c" << 0 << false << t << 3;
    QTest::newRow("Online with a blank is an offline announcement") << "TB1|a|b|c|0|1 |08:15:30|1|3"
                                                                    << "a"
                                                                    << "b"
                                                                    << "c" << 0 << false << t << 3;
    QTest::newRow("A time without seconds") << "TB1|a|b|c|0|1|8:05|1|3"
                                            << "a"
                                            << "b"
                                            << "c" << 0 << true << QTime(8, 5) << 3;
    QTest::newRow("An hour of 24 is no time") << "TB1|a|b|c|0|1|24:00:00|1|3"
                                              << "a"
                                              << "b"
                                              << "c" << 0 << true << Now << 3;
    QTest::newRow("Three-digit minutes are no time") << "TB1|a|b|c|0|1|08:015:30|1|3"
                                                     << "a"
                                                     << "b"
                                                     << "c" << 0 << true << Now << 3;
    QTest::newRow("A time with another separator is no time") << "TB1|a|b|c|0|1|08.15.30|1|3"
                                                              << "a"
                                                              << "b"
                                                              << "c" << 0 << true << Now << 3;
    QTest::newRow("Missing fields after the PC take defaults") << "TB1|a|b|c"
                                                               << "a"
                                                               << "b"
                                                               << "c" << 0 << false << Now << 0;
    QTest::newRow("A count beyond 32 bits reads as 0") << "TB1|a|b|c|0|1|08:15:30|1|2147483648"
                                                       << "a"
                                                       << "b"
                                                       << "c" << 0 << true << t << 0;
    QTest::newRow("The largest 32-bit count") << "TB1|a|b|c|0|1|08:15:30|1|2147483647"
                                              << "a"
                                              << "b"
                                              << "c" << 0 << true << t << 2147483647;
    QTest::newRow("A count with letters reads as 0") << "TB1|a|b|c|0|1|08:15:30|1|7x"
                                                     << "a"
                                                     << "b"
                                                     << "c" << 0 << true << t << 0;
    QTest::newRow("Blanks around the time are skipped") << "TB1|a|b|c|0|1| 23:59:59 |1|3"
                                                        << "a"
                                                        << "b"
                                                        << "c" << 0 << true << QTime(23, 59, 59) << 3;
    QTest::newRow("A time with single digits") << "TB1|a|b|c|0|1|8:5:7|1|3"
                                               << "a"
                                               << "b"
                                               << "c" << 0 << true << QTime(8, 5, 7) << 3;
    QTest::newRow("Minute 60 is no time") << "TB1|a|b|c|0|1|10:60|1|3"
                                          << "a"
                                          << "b"
                                          << "c" << 0 << true << Now << 3;
    QTest::newRow("An hour alone is no time") << "TB1|a|b|c|0|1|8|1|3"
                                              << "a"
                                              << "b"
                                              << "c" << 0 << true << Now << 3;
    QTest::newRow("A trailing separator is no time") << "TB1|a|b|c|0|1|08:05:|1|3"
                                                     << "a"
                                                     << "b"
                                                     << "c" << 0 << true << Now << 3;
    QTest::newRow("A three-digit hour is no time") << "TB1|a|b|c|0|1|008:05|1|3"
                                                   << "a"
                                                   << "b"
                                                   << "c" << 0 << true << Now << 3;
    QTest::newRow("A blank inside the time is no time") << "TB1|a|b|c|0|1|08: 05|1|3"
                                                        << "a"
                                                        << "b"
                                                        << "c" << 0 << true << Now << 3;
    QTest::newRow("A date is no time") << "TB1|a|b|c|0|1|09.12.2026|1|3"
                                       << "a"
                                       << "b"
                                       << "c" << 0 << true << Now << 3;
    QTest::newRow("A negative count is kept") << "TB1|a|b|c|0|1|08:15:30|1|-3"
                                              << "a"
                                              << "b"
                                              << "c" << 0 << true << t << -3;
    QTest::newRow("Missing fields after the online flag take defaults") << "TB1|a|b|c|2|1"
                                                                        << "a"
                                                                        << "b"
                                                                        << "c" << 2 << true << Now << 0;
}

void TestProtocol::presenceParsed()
{
    QFETCH(QString, text);
    QFETCH(QString, userName);
    QFETCH(QString, name);
    QFETCH(QString, pc);
    QFETCH(int, statusNr);
    QFETCH(bool, online);
    QFETCH(QTime, onlinezeit);
    QFETCH(int, usersOnline);
    const std::optional<TPresence> p = parsePresence(text, Now);
    QVERIFY(p);
    QCOMPARE(p->User.UserName, userName);
    QCOMPARE(p->User.Name, name);
    QCOMPARE(p->User.PC, pc);
    QCOMPARE(p->User.StatusNr, statusNr);
    QCOMPARE(p->OnlineS, online);
    QCOMPARE(p->User.Onlinezeit, onlinezeit);
    QCOMPARE(p->User.UsersOnline, usersOnline);
    QVERIFY(p->User.Text.isEmpty());
    QVERIFY(p->User.Zeit.isNull());
    QCOMPARE(p->User.Millisek, 0u);
}

void TestProtocol::presenceRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("Without a PC it names nobody") << "TB1|amaier|Anna Maier";
    QTest::newRow("A PC of blanks names nobody") << "TB1|amaier|Anna Maier|  |0|1|08:15:30|1|7";
    QTest::newRow("A lone token") << "TB1";
    QTest::newRow("Lower-case token") << "tb1|amaier|Anna Maier|R12-PC|0|1|08:15:30|1|7";
    QTest::newRow("Token after a blank") << " TB1|amaier|Anna Maier|R12-PC|0|1|08:15:30|1|7";
    QTest::newRow("Empty text") << "";
}

void TestProtocol::presenceRefused()
{
    QFETCH(QString, text);
    QVERIFY(!parsePresence(text, Now));
}

void TestProtocol::namesAreCleaned_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("cleaned"); // empty: the datagram names nobody and is dropped

    const struct
    {
        const char* what;
        QString received;
        QString cleaned;
    } cases[] = {
        {"a CR", "An\rna", "An na"},
        {"a LF", "An\nna", "An na"},
        {"a CR LF", "An\r\nna", "An  na"},
        {"a tab", "An\tna", "An na"},
        {"an escape sequence", "An\x1b[2Jna", "An [2Jna"},
        {"a NUL", QString::fromUtf16(u"An\0na", 5), "An na"},
        {"DEL and a C1 control", QString::fromUtf16(u"An\x7f\x85na"), "An  na"},
        {"a line separator", QString::fromUtf16(u"An\u2028na"), "An na"},
        {"leading and trailing blanks", "  Anna  ", "Anna"},
        {"line breaks and tabs at the ends", "\r\n\tAnna\r\n", "Anna"},
        {"blanks inside", "Anna  Maria", "Anna  Maria"},
        {"only blanks and control characters", " \t\r\n\x01 ", ""},
    };
    for (int field = 2; field <= 4; ++field) {
        for (const auto& c : cases)
            QTest::addRow("%s in field %d", c.what, field) << field << c.received << c.cleaned;
    }
}

// Names from the network end up in log headers and file names, one line each; and a partner must
// read the same from every datagram and from the log store.
void TestProtocol::namesAreCleaned()
{
    QFETCH(int, field);
    QFETCH(QString, received);
    QFETCH(QString, cleaned);
    QStringList presence{"TB1", "amaier", "Anna Maier", "R12-PC", "0", "1", "08:15:30", "1", "7"};
    QStringList text{"TB1", "amaier", "Anna Maier", "R12-PC", "Hallo", "0041A3F2"};
    presence[field - 1] = received;
    text[field - 1] = received;
    QStringList expected{"amaier", "Anna Maier", "R12-PC"};
    expected[field - 2] = cleaned;

    const std::optional<TPresence> p = parsePresence(presence.join(u'|'), Now);
    const std::optional<TTextMessage> m = parseText(text.join(u'|'));
    QCOMPARE(p.has_value(), !cleaned.isEmpty());
    QCOMPARE(m.has_value(), !cleaned.isEmpty());
    if (cleaned.isEmpty())
        return;
    QCOMPARE((QStringList{p->User.UserName, p->User.Name, p->User.PC}), expected);
    QCOMPARE((QStringList{m->UserName, m->Name, m->PC}), expected);
    QCOMPARE(p->User.UsersOnline, 7);
    QCOMPARE(m->MsgText, QStringLiteral("Hallo"));
    QCOMPARE(m->MsgID, QStringLiteral("0041A3F2"));
}

void TestProtocol::fieldsBeyondTheCaps_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("taken"); // empty: the datagram is refused
    const QString x64(MaxFieldLength, u'x');
    const QString x65(MaxFieldLength + 1, u'x');
    const QString smiley = QString::fromUtf16(u"\U0001F600");
    for (int field : {2, 4}) {
        const char* what = field == 2 ? "user name" : "computer name";
        QTest::addRow("A %s of 64 characters is taken", what) << field << x64 << x64;
        QTest::addRow("A %s of 65 characters is refused, not cut into another partner", what) << field << x65 << "";
        QTest::addRow("A %s counts without the blanks around it", what) << field << "  " + x64 + " " << x64;
    }
    QTest::newRow("A display name of 64 characters is taken") << 3 << x64 << x64;
    QTest::newRow("A display name of 65 characters is cut to 64") << 3 << x65 << x64;
    QTest::newRow("A display name filling the datagram is cut to 64") << 3 << QString(8000, u'x') << x64;
    QTest::newRow("A cut through a surrogate pair leaves the pair out")
        << 3 << QString(63, u'x') + smiley + "y" << QString(63, u'x');
    QTest::newRow("A pair that ends at the cap stays")
        << 3 << QString(62, u'x') + smiley + "y" << QString(62, u'x') + smiley;
    QTest::newRow("A cut that ends in a blank is trimmed like every log header")
        << 3 << QString(63, u'x') + "  yy" << QString(63, u'x');
    QTest::newRow("A message of 2048 characters is taken")
        << 5 << QString(MaxMessageLength, u'm') << QString(MaxMessageLength, u'm');
    QTest::newRow("A message of 2049 characters is refused") << 5 << QString(MaxMessageLength + 1, u'm') << "";
    QTest::newRow("An ID of 64 characters is kept for the echo") << 6 << x64 << x64;
    QTest::newRow("An ID of 65 characters is refused") << 6 << x65 << "";
}

// What a stranger can make a receiver keep per user is bounded; a key is never cut, since a cut key
// could file two colleagues under one partner.
void TestProtocol::fieldsBeyondTheCaps()
{
    QFETCH(int, field);
    QFETCH(QString, received);
    QFETCH(QString, taken);
    QStringList presence{"TB1", "amaier", "Anna Maier", "R12-PC", "0", "1", "08:15:30", "1", "7"};
    QStringList text{"TB1", "amaier", "Anna Maier", "R12-PC", "Hallo", "0041A3F2"};
    text[field - 1] = received;
    const std::optional<TTextMessage> m = parseText(text.join(u'|'));
    QCOMPARE(m.has_value(), !taken.isEmpty());
    if (m) {
        const QStringList got{m->UserName, m->Name, m->PC, m->MsgText, m->MsgID};
        QCOMPARE(got.at(field - 2), taken);
    }
    if (field > 4)
        return;
    presence[field - 1] = received;
    const std::optional<TPresence> p = parsePresence(presence.join(u'|'), Now);
    QCOMPARE(p.has_value(), !taken.isEmpty());
    if (p) {
        const QStringList got{p->User.UserName, p->User.Name, p->User.PC};
        QCOMPARE(got.at(field - 2), taken);
    }
}

void TestProtocol::textParsed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("msgText");
    QTest::addColumn<QString>("msgId");
    QTest::newRow("Anna's question") << "TB1|amaier|Anna Maier|R12-PC|Kommst du heute?|0041A3F2" << true
                                     << "Kommst du heute?"
                                     << "0041A3F2";
    QTest::newRow("Doubled separators produce no empty fields")
        << "TB1||amaier||Anna||R12-PC||Hallo||0041A3F2|" << true << "Hallo"
        << "0041A3F2";
    QTest::newRow("Inner line breaks arrive") << "TB1|a|b|c|Zeile 1\r\nZeile 2|0041A3F2" << true << "Zeile 1\r\nZeile 2"
                                              << "0041A3F2";
    QTest::newRow("A foreign ID is kept unchanged for the echo") << "TB1|a|b|c|Hallo|0041a3f2" << true << "Hallo"
                                                                 << "0041a3f2";
    QTest::newRow("A missing field is refused") << "TB1|amaier|Anna Maier|R12-PC|Hallo" << false << ""
                                                << "";
    QTest::newRow("An empty display name shifts the fields and is refused")
        << "TB1|amaier||R12-PC|Hallo|0041A3F2" << false << ""
        << "";
    QTest::newRow("A bar in the message shifts the ID and is refused") << "TB1|a|b|c|x|y|0041A3F2" << false << ""
                                                                       << "";
    QTest::newRow("The wrong token is refused") << "tb1|a|b|c|Hallo|0041A3F2" << false << ""
                                                << "";
}

void TestProtocol::textParsed()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, msgText);
    QFETCH(QString, msgId);
    const std::optional<TTextMessage> m = parseText(text);
    QCOMPARE(m.has_value(), ok);
    if (ok) {
        QCOMPARE(m->MsgText, msgText);
        QCOMPARE(m->MsgID, msgId);
        QCOMPARE(m->UserName, GetFeld(text, 2));
    }
}

void TestProtocol::acknowledgement_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QString>("expectedPC");
    QTest::addColumn<QString>("expectedId");
    QTest::addColumn<bool>("matches");
    QTest::newRow("B07-PC acknowledges the awaited message") << "TB1|Angekommen|B07-PC|0041A3F2" << true << "B07-PC"
                                                             << "0041A3F2" << true;
    QTest::newRow("Letter case does not matter anywhere") << "TB1|ANGEKOMMEN|pc-a|00a1b2c3" << true << "PC-A"
                                                          << "00A1B2C3" << true;
    QTest::newRow("The right ID from another computer does not count")
        << "TB1|Angekommen|C01-PC|0041A3F2" << true << "B07-PC"
        << "0041A3F2" << false;
    QTest::newRow("Another message's acknowledgement does not count")
        << "TB1|Angekommen|B07-PC|0041A3F3" << true << "B07-PC"
        << "0041A3F2" << false;
    QTest::newRow("Nothing matches when nothing is awaited") << "TB1|Angekommen|B07-PC|0041A3F2" << true << ""
                                                             << "" << false;
    QTest::newRow("Without an ID it is no acknowledgement") << "TB1|Angekommen|B07-PC" << false << "B07-PC"
                                                            << "0041A3F2" << false;
    QTest::newRow("Another word is no acknowledgement") << "TB1|Angekommen!|B07-PC|0041A3F2" << false << "B07-PC"
                                                        << "0041A3F2" << false;
    QTest::newRow("The wrong token is no acknowledgement") << "Tb1|Angekommen|B07-PC|0041A3F2" << false << "B07-PC"
                                                           << "0041A3F2" << false;
}

void TestProtocol::acknowledgement()
{
    QFETCH(QString, text);
    QFETCH(bool, parsed);
    QFETCH(QString, expectedPC);
    QFETCH(QString, expectedId);
    QFETCH(bool, matches);
    const std::optional<TAck> ack = parseAck(text);
    QCOMPARE(ack.has_value(), parsed);
    if (ack) {
        QCOMPARE(ack->AckPC, GetFeld(text, 3));
        QCOMPARE(ack->AckID, GetFeld(text, 4));
        QCOMPARE(ackMatches(*ack, expectedPC, expectedId), matches);
    }
    // Not even a cleared expectation is met by empty fields.
    QVERIFY(!ackMatches(TAck{}, expectedPC, expectedId));
}

void TestProtocol::commandParsed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QString>("sek");
    QTest::newRow("Kick") << "TB1|kick" << true << "kick"
                          << "";
    QTest::newRow("Autostart on") << "TB1|autostartein" << true << "autostartein"
                                  << "";
    QTest::newRow("Autostart off") << "TB1|autostartaus" << true << "autostartaus"
                                   << "";
    QTest::newRow("Reload users") << "TB1|loaduser" << true << "loaduser"
                                  << "";
    QTest::newRow("Hibernate") << "TB1|ruhezustand" << true << "ruhezustand"
                               << "";
    QTest::newRow("Update after 30 seconds") << "TB1|update|30" << true << "update"
                                             << "30";
    QTest::newRow("Update with nine digits and a leading zero") << "TB1|update|012345678" << true << "update"
                                                                << "012345678";
    QTest::newRow("Kick with a capital K is ignored") << "TB1|Kick" << false << ""
                                                      << "";
    QTest::newRow("An unknown word is ignored") << "TB1|format" << false << ""
                                                << "";
    QTest::newRow("No word at all") << "TB1|||" << false << ""
                                    << "";
    QTest::newRow("Update without Sek is ignored") << "TB1|update" << false << ""
                                                   << "";
    QTest::newRow("Update with ten digits is ignored") << "TB1|update|1234567890" << false << ""
                                                       << "";
    QTest::newRow("Update with a sign is ignored") << "TB1|update|-5" << false << ""
                                                   << "";
    QTest::newRow("Update with a trailing blank is ignored") << "TB1|update|30 " << false << ""
                                                             << "";
    QTest::newRow("Update with shell text is ignored") << "TB1|update|30\" /bin/sh" << false << ""
                                                       << "";
    QTest::newRow("The wrong token is ignored") << " TB1|kick" << false << ""
                                                << "";
}

void TestProtocol::commandParsed()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, cmd);
    QFETCH(QString, sek);
    const std::optional<TCommand> c = parseCommand(text);
    QCOMPARE(c.has_value(), ok);
    if (c) {
        QCOMPARE(c->Cmd, cmd);
        QCOMPARE(c->Sek, sek);
    }
}

void TestProtocol::hostileInputIsRefusedQuietly_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<bool>("presence");
    const QByteArray tb1("TB1");
    QTest::newRow("The token followed by 8 KiB of bars") << tb1 + QByteArray(8189, '|') << true << false;
    QTest::newRow("Four thousand one-letter fields") << tb1 + QByteArray("|a").repeated(4094) << true << true;
    QTest::newRow("Huge numbers in every numeric field")
        << tb1 + "|a|b|c|" + QByteArray(2000, '9') + "|" + QByteArray(2000, '1') + "|" + QByteArray(2000, '8') + "|1|" +
               QByteArray(2000, '9')
        << true << true;
    static const char controls[] = "TB1|\x01|\x1b[2J|\x7f|\t|\r\n|\0|\b|\x0c";
    QTest::newRow("Control characters everywhere name nobody")
        << QByteArray(controls, sizeof controls - 1) << true << false;
    QTest::newRow("Invalid UTF-8 after a valid presence")
        << QByteArray("TB1|a|b|c|0|1|08:15:30|1|3|\xFF") << false << false;
    QTest::newRow("A datagram far beyond the receive size") << tb1 + QByteArray(1 << 20, 'x') << false << false;
}

void TestProtocol::hostileInputIsRefusedQuietly()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, decoded);
    QFETCH(bool, presence);
    const std::optional<QString> text = decodeDatagram(payload);
    QCOMPARE(text.has_value(), decoded);
    if (!text)
        return;
    QVERIFY(text->size() <= MaxDatagramBytes);
    const std::optional<TPresence> p = parsePresence(*text, Now);
    QCOMPARE(p.has_value(), presence);
    if (p) {
        QVERIFY(p->User.StatusNr >= 0 && p->User.StatusNr <= 9);
        QVERIFY(p->User.Onlinezeit.isValid());
    }
    // None of them is a well-formed text, acknowledgement or command.
    QVERIFY(!parseText(*text));
    QVERIFY(!parseAck(*text));
    QVERIFY(!parseCommand(*text));
}

void TestProtocol::editorFit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("fit");
    const QString full(2048, u'a');
    QTest::newRow("Exactly the limit fits") << full << qsizetype(2048);
    QTest::newRow("One more is cut") << full + "b" << qsizetype(2048);
    QTest::newRow("A line feed takes two") << QString(2047, u'a') + "\n" << qsizetype(2047);
    QTest::newRow("A line feed that fits") << QString(2046, u'a') + "\nb" << qsizetype(2047);
    QTest::newRow("CR LF from a paste is one break") << QString(2046, u'a') + "\r\n" << qsizetype(2048);
    QTest::newRow("Many short lines") << QString("a\n").repeated(1000) << qsizetype(1365);
    QTest::newRow("Never half a surrogate pair")
        << QString(2047, u'a') + QString::fromUtf16(u"\U0001F600") << qsizetype(2047);
    QTest::newRow("Short text fits whole") << QStringLiteral("Hallo\nWelt") << qsizetype(10);
}

void TestProtocol::editorFit()
{
    QFETCH(QString, text);
    QTEST(Protocol::editorFit(text), "fit");
    // What fits also travels whole.
    QFETCH(qsizetype, fit);
    const QString kept = text.left(fit);
    QCOMPARE(Protocol::prepareMessage(kept), Protocol::crLfLineBreaks(Protocol::trimMessage(kept)));
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
