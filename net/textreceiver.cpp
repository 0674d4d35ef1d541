#include "net/textreceiver.h"

#include "data/logformat.h"
#include "data/logliste.h"
#include "net/endpoints.h"
#include "net/messaging.h"
#include "net/protocol.h"

#include <algorithm>
#include <iterator>

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
    if (FOffen >= MaxUnanswered)
        return;
    TUserListeRec partner;
    partner.PC = msg->PC;
    partner.UserName = msg->UserName;
    partner.Name = msg->Name;
    if (!Annehmen(peer, partner))
        return;

    // Another sender may break lines with LF alone; the conversation knows one form.
    const QString msgText = Protocol::crLfLineBreaks(msg->MsgText);
    partner.Zeit = FClock.now();
    const QString block = BlockNachrichtVon(msg->Name, partner.Zeit, msgText, QString());
    const QByteArray ack = Protocol::buildAck(FComputerName, msg->MsgID);
    const QHostAddress ziel = IPv4Adresse(peer);
    const QString name = msg->Name;
    // The writer flushes the message to disk; the acknowledgement waits for that, the window does not.
    ++FOffen;
    FLogs.AddMessage(true, partner, block, this,
                     [this, ack, ziel, name, msgText](bool gespeichertS, const TUserListeRec& eintrag) {
                         --FOffen;
                         if (!gespeichertS)
                             return;
                         // A lost acknowledgement only makes the sender report a failure; nothing to do here.
                         if (!ack.isEmpty() && !ziel.isNull())
                             FEndpoints.sendAck(ziel, ack);
                         emit messageReceived(eintrag, name, msgText);
                     });
}

bool TTextReceiver::Annehmen(const QHostAddress& peer, const TUserListeRec& partner)
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
    const quint32 absender = v4.isNull() ? 0 : v4.toIPv4Address();
    QList<uint32_t>& ticks = FGenommen[absender];
    while (!ticks.isEmpty() && abgelaufen(ticks.constFirst()))
        ticks.removeFirst();
    if (ticks.size() >= MaxMessagesPerWindow)
        return false;
    const QString key = partner.PC + u'\n' + partner.UserName;
    const bool bekanntS = FNeuePartner.contains(key) || FLogs.FindIndex(TLogListe::Eingang, partner) >= 0 ||
                          FLogs.FindIndex(TLogListe::Verlauf, partner) >= 0;
    if (!bekanntS) {
        for (auto it = FNeuePartner.begin(); it != FNeuePartner.end();)
            it = abgelaufen(it.value()) ? FNeuePartner.erase(it) : std::next(it);
        if (FNeuePartner.size() >= MaxNewPartnersPerWindow) {
            // A refused forger leaves no trace: its addresses would fill the table.
            if (ticks.isEmpty())
                FGenommen.remove(absender);
            return false;
        }
        FNeuePartner.insert(key, now);
    }
    ticks.append(now);
    return true;
}
