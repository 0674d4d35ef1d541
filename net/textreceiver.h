// The main-thread work of a received text datagram: store the message, then acknowledge it.
#pragma once

#include "common/clock.h"
#include "common/types.h"

#include <QObject>
#include <QString>
#include <functional>

class QByteArray;
class QHostAddress;
class TLogListe;
class UdpEndpoints;

class TTextReceiver : public QObject
{
    Q_OBJECT
public:
    // Handles every text datagram of `endpoints`; acknowledges in the name of `computerName`.
    TTextReceiver(UdpEndpoints& endpoints, TLogListe& logs, const QString& computerName,
                  const IClock& clock = SystemClock::instance(), QObject* parent = nullptr);

    // While it answers true (suspending or suspended), datagrams are dropped.
    void setStandBy(std::function<bool()> standByS) { FStandByS = std::move(standByS); }

    // An invalid datagram is dropped without reply. A valid one goes into the inbox and the partner's log;
    // only when both were saved is it acknowledged, so the sender never hears "delivered" for a message
    // that a crash could still lose.
    void UdpS1TextUDPRead(const QByteArray& payload, const QHostAddress& peer);

signals:
    // After storing, saved or not: partner holds the whole conversation, name is as received, msgText has
    // its line breaks as CR LF.
    void messageReceived(const TUserListeRec& partner, const QString& name, const QString& msgText);

private:
    UdpEndpoints& FEndpoints;
    TLogListe& FLogs;
    QString FComputerName;
    const IClock& FClock;
    std::function<bool()> FStandByS;
};
