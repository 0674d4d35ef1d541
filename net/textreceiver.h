// The main-thread work of a received text datagram: store the message, then acknowledge it.
#pragma once

#include "common/clock.h"
#include "common/types.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class QByteArray;
class QHostAddress;
class TLogListe;
class UdpEndpoints;

class TTextReceiver : public QObject
{
    Q_OBJECT
public:
    // Any host on the LAN can send texts. At most this many are stored from one sender address within
    // any LimitWindowMs; the excess is neither stored nor acknowledged, so its sender reports a failure.
    static constexpr int MaxMessagesPerWindow = 60;
    static constexpr uint32_t LimitWindowMs = 60000;
    // Forged sender addresses are free, so the limit per address alone does not bound the store: every
    // partner without a conversation yet costs a log file and a row in the inbox. At most this many such
    // new partners are taken within any LimitWindowMs, from all senders together; the rest is neither
    // stored nor acknowledged. Partners with a conversation are not held back by it.
    static constexpr int MaxNewPartnersPerWindow = 60;
    // Texts handed to the store and not yet answered by it. Forged in the name of partners with a
    // conversation, from many addresses, texts can come faster than the disk flushes them; beyond this
    // many they are neither stored nor acknowledged, so the queue and its memory stay bounded. As many as
    // the window keeps while it loads the logs, which it hands over at once.
    static constexpr int MaxUnanswered = 1000;

    // Handles every text datagram of `endpoints`; acknowledges in the name of `computerName`.
    TTextReceiver(UdpEndpoints& endpoints, TLogListe& logs, const QString& computerName,
                  const IClock& clock = SystemClock::instance(), QObject* parent = nullptr);

    // While it answers true (suspending or suspended), datagrams are dropped.
    void setStandBy(std::function<bool()> standByS) { FStandByS = std::move(standByS); }

    // An invalid datagram, or one beyond its sender's limit, is dropped without reply. A valid one goes into
    // the partner's journal and the inbox, flushed off this thread; only when both were saved is it
    // acknowledged (later, from the event loop), so the sender never hears "delivered" for a message that a
    // crash could still lose. Messages are stored and acknowledged in the order they came.
    void UdpS1TextUDPRead(const QByteArray& payload, const QHostAddress& peer);

signals:
    // After a message was stored and acknowledged: partner holds the whole conversation, name is as
    // received, msgText has its line breaks as CR LF. A message that could not be stored is not reported:
    // the window shows what the store holds.
    void messageReceived(const TUserListeRec& partner, const QString& name, const QString& msgText);

private:
    // Counts one message from the sender to `partner`; false when the sender's limit, or for a new
    // partner the limit of new partners, is reached.
    bool Annehmen(const QHostAddress& peer, const TUserListeRec& partner);

    UdpEndpoints& FEndpoints;
    TLogListe& FLogs;
    QString FComputerName;
    const IClock& FClock;
    std::function<bool()> FStandByS;
    // Per IPv4 sender (0 for any other), the ticks of the messages taken within the last window, oldest first.
    QHash<quint32, QList<uint32_t>> FGenommen;
    // Senders silent for a window are swept out once the table has doubled since the last sweep.
    qsizetype FAufraeumenAb = 64;
    // Partners new to the store taken within the last window, by PC and user name, with their tick: they
    // count as known while their first message is still being stored.
    QHash<QString, uint32_t> FNeuePartner;
    int FOffen = 0;
};
