#include "net/textreceiver.h"

#include "data/logformat.h"
#include "data/logliste.h"
#include "net/endpoints.h"
#include "net/messaging.h"
#include "net/protocol.h"

TTextReceiver::TTextReceiver(UdpEndpoints& endpoints, TLogListe& logs, const QString& computerName, const IClock& clock,
                             QObject* parent)
    : QObject(parent)
    , FEndpoints(endpoints)
    , FLogs(logs)
    , FComputerName(computerName)
    , FClock(clock)
{
    connect(&FEndpoints, &UdpEndpoints::textReceived, this, &TTextReceiver::UdpS1TextUDPRead);
}

void TTextReceiver::UdpS1TextUDPRead(const QByteArray& payload, const QHostAddress& peer)
{
    if (FStandByS && FStandByS())
        return;
    const std::optional<QString> text = Protocol::decodeDatagram(payload);
    const std::optional<Protocol::TTextMessage> msg = text ? Protocol::parseText(*text) : std::nullopt;
    if (!msg)
        return;

    // Another sender may break lines with LF alone; the conversation knows one form.
    const QString msgText = Protocol::crLfLineBreaks(msg->MsgText);
    TUserListeRec partner;
    partner.PC = msg->PC;
    partner.UserName = msg->UserName;
    partner.Name = msg->Name;
    partner.Zeit = FClock.now();
    const QString bisher = FLogs.Find(partner, false).Text;
    partner.Text = BlockNachrichtVon(msg->Name, partner.Zeit, msgText, bisher);

    if (FLogs.Add(true, partner)) {
        const QByteArray ack = Protocol::buildAck(FComputerName, msg->MsgID);
        const QHostAddress ziel = IPv4Adresse(peer);
        // A lost acknowledgement only makes the sender report a failure; nothing to do here.
        if (!ack.isEmpty() && !ziel.isNull())
            FEndpoints.sendAck(ziel, ack);
    }
    emit messageReceived(partner, msg->Name, msgText);
}
