// Sending one text message and waiting for its acknowledgement, without blocking the event loop.
#pragma once

#include "common/clock.h"
#include "common/types.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QHostInfo;
class TLogListe;
class UdpEndpoints;

class TTextSender : public QObject
{
    Q_OBJECT
public:
    static constexpr int AckTimeoutMs = 2500;

    // The address from which the PC's presence was last heard, or a null address when none is known.
    using AddressLookup = std::function<QHostAddress(const QString& pc)>;

    // Takes the acknowledgements of `endpoints`; sends as `winUserName` on `computerName`.
    TTextSender(UdpEndpoints& endpoints, TLogListe& logs, const QString& winUserName, const QString& computerName,
                const IClock& clock = SystemClock::instance(), QObject* parent = nullptr);

    void setDisplayName(std::function<QString()> name) { FDisplayName = std::move(name); }
    void setAddressLookup(AddressLookup lookup) { FLookup = std::move(lookup); }
    void setStandBy(std::function<bool()> standByS) { FStandByS = std::move(standByS); }
    void setClosing(std::function<bool()> closingS) { FClosingS = std::move(closingS); }

    // Starts sending the editor text, as Protocol::prepareMessage makes it travel (line breaks as CR LF, cut
    // to the longest message), to the recipient; sendFinished follows once, never from within this call.
    // False when the caller should beep: a send is already in progress, the text is empty or the recipient
    // has no PC. While suspending or closing nothing starts and true is returned, since that case stays silent.
    bool send(const TUserListeRec& recipient, const QString& editorText);
    bool isSending() const { return FPhase != Phase::Idle; }

    // One acknowledgement datagram; only the one expected by the current wait counts.
    void onAck(const QByteArray& payload);
    // Ends a send in progress as a failure at once (suspend, end of session, quit); one already
    // acknowledged and being stored ends when the store answers.
    void abort();

signals:
    // ok: acknowledged, or delivered to the own computer and stored. On success recipient is the stored
    // partner record (conversation and time updated, without the message when it could not be stored);
    // on failure nothing is logged. Sent after the store's flush, which runs off this thread.
    // text is the message as it travelled, with its "|" as typed.
    void sendFinished(bool ok, const TUserListeRec& recipient, const QString& text);

private:
    enum class Phase { Idle, Starting, Resolving, Waiting, Storing };

    bool blockedS() const;
    void start();
    void onLookup(const QHostInfo& info);
    void transmit(const QHostAddress& target);
    void finish(bool ok);
    void logSent();

    UdpEndpoints& FEndpoints;
    TLogListe& FLogs;
    QString FWinUserName;
    QString FComputerName;
    const IClock& FClock;
    std::function<QString()> FDisplayName;
    AddressLookup FLookup;
    std::function<bool()> FStandByS;
    std::function<bool()> FClosingS;

    Phase FPhase = Phase::Idle;
    QTimer FTimer;
    int FLookupId = -1;
    TUserListeRec FRecipient;
    QString FText;
    QByteArray FDatagram;
    QString FErwarteterAckPC;
    QString FErwarteteAckID;
};
