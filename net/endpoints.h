// The four receiving UDP endpoints and the presence sender. Datagrams are read on the main thread
// and handed on as signals, in arrival order per endpoint.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <array>

class QUdpSocket;

// Local ports of the receiving endpoints, also the target ports on the peers, and the local address all
// endpoints bind to. Tests choose free ports and loopback.
struct UdpPorts
{
    QHostAddress BindAdresse = QHostAddress(QHostAddress::AnyIPv4);
    quint16 Befehl = 18180;
    quint16 Liste = 18181;
    quint16 Text = 18182;
    quint16 Empfang = 18183;
};

class UdpEndpoints : public QObject
{
    Q_OBJECT
public:
    // A receiving endpoint reads at most this many bytes of one datagram.
    static constexpr int MaxDatagramSize = 8192;
    // An endpoint hands on at most this many datagrams at a time and queues the read of the rest for a
    // later turn of the event loop, so under a flood timers, input and repaints still get their turns.
    // A turn takes at most two such slices per endpoint: one queued, one on the socket's notification.
    static constexpr int DatagramsPerTurn = 64;

    explicit UdpEndpoints(const UdpPorts& ports = UdpPorts(), QObject* parent = nullptr);
    ~UdpEndpoints() override;

    // Activates command, list receiver, list sender, text and acknowledgement endpoints in this order.
    // An endpoint that is already bound stays as it is; one that failed is tried again. Returns true
    // when all five are bound.
    bool open();
    // Deactivates them in the same order.
    void close();
    // Between open() and close(), even when a port could not be bound.
    bool isOpen() const { return FOpenS; }

    const UdpPorts& ports() const { return FPorts; }

    // Each returns false when the endpoint is not bound or the datagram could not be sent.
    bool sendText(const QHostAddress& APeer, const QByteArray& AData);
    bool sendCommand(const QHostAddress& APeer, const QByteArray& AData);
    bool sendAck(const QHostAddress& APeer, const QByteArray& AData);
    bool broadcastPresence(const QHostAddress& ABroadcastIP, const QByteArray& AData);

signals:
    // Payload and source of one datagram; slots may leave out the port.
    void commandReceived(const QByteArray& payload, const QHostAddress& peer, quint16 peerPort);
    void presenceReceived(const QByteArray& payload, const QHostAddress& peer, quint16 peerPort);
    void textReceived(const QByteArray& payload, const QHostAddress& peer, quint16 peerPort);
    void ackReceived(const QByteArray& payload, const QHostAddress& peer, quint16 peerPort);
    // Which channel cannot work, in German for the user; once per channel until it binds again.
    void bindFailed(const QString& message);

private:
    enum Kanal { Befehl, Liste, Sender, Text, Empfang, KanalAnzahl };

    bool activate(Kanal AKanal);
    void readPending(Kanal AKanal);
    void deliver(Kanal AKanal, const QByteArray& payload, const QHostAddress& peer, quint16 peerPort);
    bool send(Kanal AVon, const QHostAddress& APeer, quint16 APort, const QByteArray& AData);
    quint16 localPort(Kanal AKanal) const;
    QString bindFailureText(Kanal AKanal) const;

    UdpPorts FPorts;
    std::array<QUdpSocket*, KanalAnzahl> FSockets{};
    std::array<bool, KanalAnzahl> FFailReportedS{};
    // A read of the rest is queued for the next turn.
    std::array<bool, KanalAnzahl> FNachlesenS{};
    bool FOpenS = false;
};
