#include "net/textreceiver.h"

#include "data/logformat.h"
#include "data/logliste.h"
#include "net/endpoints.h"
#include "net/messaging.h"
#include "net/protocol.h"

#include <algorithm>

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
    if (!msg || !Annehmen(peer))
        return;

    // Another sender may break lines with LF alone; the conversation knows one form.
    const QString msgText = Protocol::crLfLineBreaks(msg->MsgText);
    TUserListeRec partner;
    partner.PC = msg->PC;
    partner.UserName = msg->UserName;
    partner.Name = msg->Name;
    partner.Zeit = FClock.now();
    const QString block = BlockNachrichtVon(msg->Name, partner.Zeit, msgText, QString());
    const QByteArray ack = Protocol::buildAck(FComputerName, msg->MsgID);
    const QHostAddress ziel = IPv4Adresse(peer);
    const QString name = msg->Name;
    // The writer flushes the message to disk; the acknowledgement waits for that, the window does not.
    FLogs.AddMessage(true, partner, block, this,
                     [this, ack, ziel, name, msgText](bool gespeichertS, const TUserListeRec& eintrag) {
                         if (!gespeichertS)
                             return;
                         // A lost acknowledgement only makes the sender report a failure; nothing to do here.
                         if (!ack.isEmpty() && !ziel.isNull())
                             FEndpoints.sendAck(ziel, ack);
                         emit messageReceived(eintrag, name, msgText);
                     });
}

bool TTextReceiver::Annehmen(const QHostAddress& peer)
{
    const uint32_t now = FClock.tickCount();
    // Unsigned differences: a tick count that wrapped past 2^32 still gives the true age.
    const auto abgelaufen = [now](uint32_t tick) { return now - tick >= LimitWindowMs; };
    if (FGenommen.size() >= FAufraeumenAb) {
        for (auto it = FGenommen.begin(); it != FGenommen.end();) {
            if (abgelaufen(it->constLast()))
                it = FGenommen.erase(it);
            else
                ++it;
        }
        FAufraeumenAb = std::max<qsizetype>(64, 2 * FGenommen.size());
    }
    const QHostAddress v4 = IPv4Adresse(peer);
    QList<uint32_t>& ticks = FGenommen[v4.isNull() ? 0 : v4.toIPv4Address()];
    while (!ticks.isEmpty() && abgelaufen(ticks.constFirst()))
        ticks.removeFirst();
    if (ticks.size() >= MaxMessagesPerWindow)
        return false;
    ticks.append(now);
    return true;
}
