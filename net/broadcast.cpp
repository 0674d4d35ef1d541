#include "net/broadcast.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QSet>
#include <QStringList>

namespace {

bool parseIPv4(const QString& text, quint32& out)
{
    const QHostAddress address(text);
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    out = address.toIPv4Address();
    return true;
}

} // namespace

TNetworkInterfaceList GetNetworkInterfaces()
{
    TNetworkInterfaceList result;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& nic : interfaces) {
        const auto flags = nic.flags();
        const auto entries = nic.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            TNetworkInterface rec;
            rec.AddrIP = entry.ip().toString();
            rec.SubnetMask = entry.netmask().toString();
            rec.IsInterfaceUp = flags.testFlag(QNetworkInterface::IsUp);
            rec.BroadcastSupport = flags.testFlag(QNetworkInterface::CanBroadcast);
            rec.IsLoopback = flags.testFlag(QNetworkInterface::IsLoopBack);
            rec.MAC = nic.hardwareAddress();
            result.push_back(rec);
        }
    }
    return result;
}

QString DirectedBroadcast(const QString& AddrIP, const QString& SubnetMask)
{
    quint32 address = 0;
    quint32 mask = 0;
    if (!parseIPv4(AddrIP, address) || !parseIPv4(SubnetMask, mask))
        return QString();
    return QHostAddress((address & mask) | ~mask).toString();
}

QString FormatMac(const QString& hardwareAddress)
{
    const QStringList parts = QString(hardwareAddress).replace(QLatin1Char(':'), QLatin1Char('-')).split('-');
    QStringList bytes;
    bool anyNonZero = false;
    for (const QString& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2 || value > 0xFF)
            return QString();
        anyNonZero = anyNonZero || value != 0;
        bytes << QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    }
    return anyNonZero ? bytes.join('-') : QString();
}

QString FindMacByIP(const QString& AIP, const TNetworkInterfaceList& AListe)
{
    if (AIP.isEmpty())
        return QString();
    for (const TNetworkInterface& rec : AListe) {
        if (rec.AddrIP.compare(AIP, Qt::CaseInsensitive) == 0)
            return FormatMac(rec.MAC);
    }
    return QString();
}

TBroadcastList GetBroadcastList(const TNetworkInterfaceList& AListe, bool AllowDuplicatesS)
{
    static const QString limitedBroadcast = QStringLiteral("255.255.255.255");
    TBroadcastList result;
    QSet<QString> taken;
    for (const TNetworkInterface& rec : AListe) {
        if (!rec.IsInterfaceUp || !rec.BroadcastSupport || rec.IsLoopback)
            continue;
        const QString b = DirectedBroadcast(rec.AddrIP, rec.SubnetMask);
        // A zero mask would turn the directed broadcast into the limited one, which is never used.
        if (b.isEmpty() || b == limitedBroadcast)
            continue;
        if (!AllowDuplicatesS && taken.contains(b))
            continue;
        const QString mac = FormatMac(rec.MAC);
        if (mac.isEmpty())
            continue;
        result.push_back({rec.AddrIP, rec.SubnetMask, b, mac});
        taken.insert(b);
    }
    return result;
}

TBroadcastList GetBroadcastList(bool AllowDuplicatesS)
{
    return GetBroadcastList(GetNetworkInterfaces(), AllowDuplicatesS);
}
