#include "net/textsender.h"

#include "data/logformat.h"
#include "data/logliste.h"
#include "net/endpoints.h"
#include "net/messaging.h"
#include "net/protocol.h"

#include <QHostInfo>

TTextSender::TTextSender(UdpEndpoints& endpoints, TLogListe& logs, const QString& winUserName,
                         const QString& computerName, const IClock& clock, QObject* parent)
    : QObject(parent)
    , FEndpoints(endpoints)
    , FLogs(logs)
    , FWinUserName(winUserName)
    , FComputerName(computerName)
    , FClock(clock)
{
    FTimer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, and the partner is owed the full time.
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, [this] { finish(false); });
    connect(&FEndpoints, &UdpEndpoints::ackReceived, this, &TTextSender::onAck);
}

bool TTextSender::blockedS() const
{
    return (FStandByS && FStandByS()) || (FClosingS && FClosingS());
}

bool TTextSender::send(const TUserListeRec& recipient, const QString& editorText)
{
    if (FPhase != Phase::Idle)
        return false;
    if (blockedS())
        return true;
    // Logged exactly as it travels, so the log never shows more than the partner got.
    const QString text = Protocol::prepareMessage(editorText);
    if (text.isEmpty() || recipient.PC.isEmpty())
        return false;
    FRecipient = recipient;
    FText = text;
    FPhase = Phase::Starting;
    // The caller sees the send in progress before any outcome arrives.
    QMetaObject::invokeMethod(this, &TTextSender::start, Qt::QueuedConnection);
    return true;
}

void TTextSender::start()
{
    if (FPhase != Phase::Starting)
        return;
    if (FRecipient.PC == FComputerName) {
        finish(true);
        return;
    }
    FErwarteterAckPC = FRecipient.PC;
    FErwarteteAckID = Protocol::formatMessageId(FClock.tickCount());
    const QString name = FDisplayName ? FDisplayName() : FWinUserName;
    FDatagram = Protocol::buildText({FWinUserName, name, FComputerName, FText, FErwarteteAckID});
    if (FDatagram.isEmpty()) {
        finish(false);
        return;
    }
    const QHostAddress bekannt = FLookup ? IPv4Adresse(FLookup(FRecipient.PC)) : QHostAddress();
    if (!bekannt.isNull()) {
        transmit(bekannt);
        return;
    }
    // The resolver may hang on an unknown name; the same limit as for the acknowledgement bounds it.
    FPhase = Phase::Resolving;
    FTimer.start(AckTimeoutMs);
    FLookupId = QHostInfo::lookupHost(FRecipient.PC, this, [this](const QHostInfo& info) { onLookup(info); });
}

void TTextSender::onLookup(const QHostInfo& info)
{
    if (FPhase != Phase::Resolving || info.lookupId() != FLookupId)
        return;
    FLookupId = -1;
    for (const QHostAddress& address : info.addresses()) {
        const QHostAddress v4 = IPv4Adresse(address);
        if (!v4.isNull()) {
            transmit(v4);
            return;
        }
    }
    finish(false);
}

void TTextSender::transmit(const QHostAddress& target)
{
    FTimer.stop();
    if (!FEndpoints.sendText(target, FDatagram) || blockedS()) {
        finish(false);
        return;
    }
    FPhase = Phase::Waiting;
    FTimer.start(AckTimeoutMs);
}

void TTextSender::onAck(const QByteArray& payload)
{
    if (FPhase != Phase::Waiting || blockedS())
        return;
    const std::optional<QString> text = Protocol::decodeDatagram(payload);
    const std::optional<Protocol::TAck> ack = text ? Protocol::parseAck(*text) : std::nullopt;
    if (ack && Protocol::ackMatches(*ack, FErwarteterAckPC, FErwarteteAckID))
        finish(true);
}

void TTextSender::abort()
{
    // A message being stored was delivered; its outcome follows from the store.
    if (FPhase != Phase::Idle && FPhase != Phase::Storing)
        finish(false);
}

void TTextSender::finish(bool ok)
{
    FTimer.stop();
    if (FPhase == Phase::Resolving && FLookupId >= 0)
        QHostInfo::abortHostLookup(FLookupId);
    FLookupId = -1;
    FErwarteterAckPC.clear();
    FErwarteteAckID.clear();
    FDatagram.clear();
    if (!ok) {
        FPhase = Phase::Idle;
        emit sendFinished(false, FRecipient, FText);
        return;
    }
    FPhase = Phase::Storing;
    logSent();
}

void TTextSender::logSent()
{
    const bool eigenerS = FRecipient.PC == FComputerName;
    TUserListeRec rec = FRecipient;
    rec.Zeit = FClock.now();
    QString block = BlockNachrichtAn(rec.Name, rec.Zeit, FText, QString());
    if (eigenerS)
        block = BlockNachrichtVon(rec.Name, rec.Zeit, FText, block);
    FLogs.AddMessage(eigenerS, rec, block, this, [this, eigenerS](bool gespeichertS, const TUserListeRec& eintrag) {
        FPhase = Phase::Idle;
        // To the own computer the stored log is the whole delivery; remotely the partner already has it.
        const bool ok = gespeichertS || !eigenerS;
        emit sendFinished(ok, ok ? eintrag : FRecipient, FText);
    });
}
