#include "net/messaging.h"

QHostAddress IPv4Adresse(const QHostAddress& address)
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
        return address;
    bool okS = false;
    const quint32 v4 = address.toIPv4Address(&okS);
    return okS ? QHostAddress(v4) : QHostAddress();
}
