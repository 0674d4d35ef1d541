#include "net/endpoints.h"

#include <QPointer>
#include <QUdpSocket>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace {

// Qt allows broadcasts on every UDP socket; the text and acknowledgement endpoints only ever address
// one host, so they are kept from sending to a broadcast address by mistake.
void forbidBroadcast(QUdpSocket* socket)
{
#ifdef Q_OS_WIN
    const BOOL off = FALSE;
    ::setsockopt(SOCKET(socket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&off),
                 sizeof off);
#else
    const int off = 0;
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &off, sizeof off);
#endif
}

} // namespace

UdpEndpoints::UdpEndpoints(const UdpPorts& ports, QObject* parent)
    : QObject(parent)
    , FPorts(ports)
{
    for (int k = 0; k < KanalAnzahl; ++k) {
        FSockets[k] = new QUdpSocket(this);
        if (k == Sender)
            continue;
        connect(FSockets[k], &QUdpSocket::readyRead, this, [this, k] { readPending(Kanal(k)); });
    }
}

UdpEndpoints::~UdpEndpoints()
{
    close();
}

bool UdpEndpoints::open()
{
    FOpenS = true;
    bool allS = true;
    for (Kanal k : {Befehl, Liste, Sender, Text, Empfang})
        allS = activate(k) && allS;
    return allS;
}

void UdpEndpoints::close()
{
    FOpenS = false;
    for (Kanal k : {Befehl, Liste, Sender, Text, Empfang})
        FSockets[k]->close();
}

bool UdpEndpoints::activate(Kanal AKanal)
{
    QUdpSocket* socket = FSockets[AKanal];
    if (socket->state() == QAbstractSocket::BoundState)
        return true;
    socket->abort();
    // Exclusive on every port. A shared unicast port would let another program take messages and
    // acknowledgements unnoticed; sharing the broadcast ports would split unicast commands the same way,
    // so a clash is reported instead.
    if (!socket->bind(FPorts.BindAdresse, localPort(AKanal), QAbstractSocket::DontShareAddress)) {
        const QString message = bindFailureText(AKanal);
        socket->abort();
        if (!FFailReportedS[AKanal]) {
            FFailReportedS[AKanal] = true;
            emit bindFailed(message);
        }
        return false;
    }
    FFailReportedS[AKanal] = false;
    if (AKanal == Text || AKanal == Empfang)
        forbidBroadcast(socket);
    return true;
}

void UdpEndpoints::readPending(Kanal AKanal)
{
    QPointer<UdpEndpoints> self(this);
    QUdpSocket* socket = FSockets[AKanal];
    // One byte more than allowed tells an oversized datagram from one that fits exactly. An oversized one
    // is dropped whole: its cut-off payload could end inside a UTF-8 sequence or a field.
    QByteArray buffer(MaxDatagramSize + 1, Qt::Uninitialized);
    for (int n = 0; n < DatagramsPerTurn; ++n) {
        if (socket->state() != QAbstractSocket::BoundState)
            return;
        // Read until a read fails rather than asking first: the socket announces the next datagram only
        // after a read, and a notification can come late, for datagrams that a queued read already took.
        QHostAddress peer;
        quint16 peerPort = 0;
        const qint64 size = socket->readDatagram(buffer.data(), buffer.size(), &peer, &peerPort);
        if (size < 0)
            return;
        if (size > MaxDatagramSize)
            continue;
        deliver(AKanal, buffer.left(int(size)), peer, peerPort);
        if (!self)
            return;
    }
    if (FNachlesenS[AKanal] || socket->state() != QAbstractSocket::BoundState || !socket->hasPendingDatagrams())
        return;
    FNachlesenS[AKanal] = true;
    QMetaObject::invokeMethod(
        this,
        [this, AKanal] {
            FNachlesenS[AKanal] = false;
            readPending(AKanal);
        },
        Qt::QueuedConnection);
}

void UdpEndpoints::deliver(Kanal AKanal, const QByteArray& payload, const QHostAddress& peer, quint16 peerPort)
{
    switch (AKanal) {
    case Befehl:
        emit commandReceived(payload, peer, peerPort);
        break;
    case Liste:
        emit presenceReceived(payload, peer, peerPort);
        break;
    case Text:
        emit textReceived(payload, peer, peerPort);
        break;
    case Empfang:
        emit ackReceived(payload, peer, peerPort);
        break;
    case Sender:
    case KanalAnzahl:
        break;
    }
}

bool UdpEndpoints::sendText(const QHostAddress& APeer, const QByteArray& AData)
{
    return send(Text, APeer, FPorts.Text, AData);
}

bool UdpEndpoints::sendCommand(const QHostAddress& APeer, const QByteArray& AData)
{
    return send(Text, APeer, FPorts.Befehl, AData);
}

bool UdpEndpoints::sendAck(const QHostAddress& APeer, const QByteArray& AData)
{
    return send(Empfang, APeer, FPorts.Empfang, AData);
}

bool UdpEndpoints::broadcastPresence(const QHostAddress& ABroadcastIP, const QByteArray& AData)
{
    return send(Sender, ABroadcastIP, FPorts.Liste, AData);
}

bool UdpEndpoints::send(Kanal AVon, const QHostAddress& APeer, quint16 APort, const QByteArray& AData)
{
    QUdpSocket* socket = FSockets[AVon];
    if (socket->state() != QAbstractSocket::BoundState || APeer.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    return socket->writeDatagram(AData, APeer, APort) == AData.size();
}

quint16 UdpEndpoints::localPort(Kanal AKanal) const
{
    switch (AKanal) {
    case Befehl:
        return FPorts.Befehl;
    case Liste:
        return FPorts.Liste;
    case Text:
        return FPorts.Text;
    case Empfang:
        return FPorts.Empfang;
    case Sender:
    case KanalAnzahl:
        break;
    }
    return 0;
}

QString UdpEndpoints::bindFailureText(Kanal AKanal) const
{
    QString was;
    switch (AKanal) {
    case Befehl:
        was = QStringLiteral("Der Empfang von Befehlen ist nicht möglich");
        break;
    case Liste:
        was = QStringLiteral("Der Empfang von Anwesenheitsmeldungen ist nicht möglich");
        break;
    case Text:
        was = QStringLiteral("Das Senden und Empfangen von Nachrichten ist nicht möglich");
        break;
    case Empfang:
        was = QStringLiteral("Das Senden und Empfangen von Empfangsbestätigungen ist nicht möglich");
        break;
    case Sender:
    case KanalAnzahl:
        return QStringLiteral("Das Senden von Anwesenheitsmeldungen ist nicht möglich.");
    }
    const quint16 port = localPort(AKanal);
    if (FSockets[AKanal]->error() == QAbstractSocket::AddressInUseError)
        return QStringLiteral("%1: Port %2 wird von einem anderen Programm belegt.").arg(was).arg(port);
    return QStringLiteral("%1: Port %2 kann nicht geöffnet werden.").arg(was).arg(port);
}
