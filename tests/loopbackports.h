// Ports the system reports free at the moment, on loopback, so concurrent test runs do not clash.
#pragma once

#include "net/endpoints.h"

#include <QUdpSocket>
#include <array>

inline UdpPorts freeLoopbackPorts()
{
    const QHostAddress loopback(QHostAddress::LocalHost);
    std::array<QUdpSocket, 4> probes;
    for (QUdpSocket& probe : probes)
        probe.bind(loopback, 0, QAbstractSocket::DontShareAddress);
    UdpPorts ports;
    ports.BindAdresse = loopback;
    ports.Befehl = probes[0].localPort();
    ports.Liste = probes[1].localPort();
    ports.Text = probes[2].localPort();
    ports.Empfang = probes[3].localPort();
    return ports;
}
