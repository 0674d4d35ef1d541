// One datagram as any of the four channels receives it: decoded, then split by every parser, then
// handed to the command handler. What a parser accepts must build back into the same datagram fields.
#include "fuzzing.h"

#include "common/fields.h"
#include "data/textfile.h"
#include "net/commands.h"
#include "net/protocol.h"

#include <QStringList>

namespace {

bool isCleanName(const QString& name)
{
    return !name.isEmpty() && name == CleanFeld(name) && !name.contains(u'|');
}

void checkPresence(const QString& text)
{
    // Whole seconds: the wire carries no milliseconds, so the round trip below can be exact.
    const QTime now(10, 20, 30);
    const auto p = Protocol::parsePresence(text, now);
    if (!p)
        return;
    FUZZ_CHECK(isCleanName(p->User.UserName) && isCleanName(p->User.Name) && isCleanName(p->User.PC));
    FUZZ_CHECK(p->User.StatusNr >= 0 && p->User.StatusNr <= 9);
    FUZZ_CHECK(p->User.Onlinezeit.isValid());
    const QByteArray built = Protocol::buildPresence(*p);
    if (built.isEmpty())
        return;
    const auto again = Protocol::parsePresence(*Protocol::decodeDatagram(built), QTime(1, 2, 3));
    FUZZ_CHECK(again && again->User == p->User && again->OnlineS == p->OnlineS);
}

void checkText(const QString& text)
{
    const auto m = Protocol::parseText(text);
    if (!m)
        return;
    FUZZ_CHECK(isCleanName(m->UserName) && isCleanName(m->Name) && isCleanName(m->PC));
    FUZZ_CHECK(!m->MsgText.isEmpty() && !m->MsgID.isEmpty());
    Protocol::TTextMessage reply = *m;
    if (!Protocol::isMessageId(reply.MsgID))
        reply.MsgID = QStringLiteral("0041A3F2");
    const QByteArray built = Protocol::buildText(reply);
    if (built.isEmpty())
        return;
    const auto again = Protocol::parseText(*Protocol::decodeDatagram(built));
    FUZZ_CHECK(again && again->UserName == m->UserName && again->Name == m->Name && again->PC == m->PC);
    FUZZ_CHECK(again->MsgText == Protocol::makeMessageSafe(m->MsgText) && again->MsgID == reply.MsgID);
    FUZZ_CHECK(again->MsgText.size() <= Protocol::MaxMessageLength);

    // The acknowledgement echoes the ID as received and must match it at the sender.
    const QByteArray ack = Protocol::buildAck(QStringLiteral("B07-PC"), m->MsgID);
    FUZZ_CHECK(!ack.isEmpty());
    const auto parsedAck = Protocol::parseAck(*Protocol::decodeDatagram(ack));
    FUZZ_CHECK(parsedAck && Protocol::ackMatches(*parsedAck, QStringLiteral("b07-pc"), m->MsgID));
}

void checkAck(const QString& text)
{
    const auto a = Protocol::parseAck(text);
    if (!a)
        return;
    FUZZ_CHECK(!a->AckPC.isEmpty() && !a->AckID.isEmpty());
    FUZZ_CHECK(Protocol::ackMatches(*a, a->AckPC, a->AckID));
    FUZZ_CHECK(!Protocol::ackMatches(*a, QString(), a->AckID));
}

void checkCommand(const QByteArray& payload, const QString* text)
{
    const auto c = text ? Protocol::parseCommand(*text) : std::nullopt;
    if (c && c->Cmd == Protocol::CmdUpdate)
        FUZZ_CHECK(Protocol::isValidSek(c->Sek));

    // The handler with every action recorded: nothing reaches the system.
    int actions = 0;
    QStringList starterArgs;
    TCommandActions a;
    a.quit = [&] { ++actions; };
    a.setAutostart = [&](bool) { ++actions; };
    a.reloadUsers = [&] { ++actions; };
    a.hibernate = [&] {
        ++actions;
        return true;
    };
    a.inTray = [] { return false; };
    a.findStarter = [] { return QStringLiteral("/nonexistent/TobrikStarter"); };
    a.startDetached = [&](const QString&, const QStringList& args) {
        starterArgs = args;
        return false;
    };
    a.programPath = QStringLiteral("/nonexistent/tobrik");
    TCommandHandler handler(std::move(a));
    handler.UdpS1BefehlUDPRead(payload);
    FUZZ_CHECK((actions > 0 || !starterArgs.isEmpty()) == c.has_value());
    // The starter gets Sek on its command line: only ever a plain number.
    if (!starterArgs.isEmpty())
        FUZZ_CHECK(c->Cmd == Protocol::CmdUpdate && Protocol::isValidSek(starterArgs.first()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzzing::initApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray payload = fuzzing::bytesOf(data, size);

    // The datagram decoder and the file reader's UTF-8 check must agree, and agree with Qt on valid text.
    const auto strict = Protocol::decodeUtf8Strict(payload);
    FUZZ_CHECK(strict.has_value() == IsUtf8Stream(payload));
    if (strict)
        FUZZ_CHECK(*strict == fuzzing::fromUtf8Whole(payload));

    const auto text = Protocol::decodeDatagram(payload);
    if (text) {
        FUZZ_CHECK(payload.size() <= Protocol::MaxDatagramBytes && GetFeld(*text, 1) == Protocol::Token);
        FUZZ_CHECK(GetFelder(*text).size() == FeldAnzahl(*text));
        checkPresence(*text);
        checkText(*text);
        checkAck(*text);
    }
    checkCommand(payload, text ? &*text : nullptr);

    // The parsers check the token themselves and are safe on any text, decoded or not.
    const QString loose = QString::fromUtf8(payload);
    checkPresence(loose);
    checkText(loose);
    checkAck(loose);
    return 0;
}
