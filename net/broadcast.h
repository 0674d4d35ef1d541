// The local networks that presence announcements are sent to: one directed broadcast address per
// usable IPv4 interface, rebuilt for every presence cycle.
#pragma once

#include <QString>
#include <vector>

// One IPv4 address of one interface, as the system reports it.
struct TNetworkInterface
{
    QString AddrIP;     // dotted decimal
    QString SubnetMask; // dotted decimal
    bool IsInterfaceUp = false;
    bool BroadcastSupport = false;
    bool IsLoopback = false;
    QString MAC; // hardware address as reported ("aa:bb:cc:dd:ee:ff"); empty or all zero without an adapter
};
using TNetworkInterfaceList = std::vector<TNetworkInterface>;

// One target of the presence broadcast.
struct TBroadcastRec
{
    QString IP;
    QString SubnetMask;
    QString BroadcastIP;
    QString MAC; // "AA-BB-CC-DD-EE-FF"

    bool operator==(const TBroadcastRec& o) const
    {
        return IP == o.IP && SubnetMask == o.SubnetMask && BroadcastIP == o.BroadcastIP && MAC == o.MAC;
    }
};
using TBroadcastList = std::vector<TBroadcastRec>;

// Every IPv4 address of every interface, in the order the system reports them.
TNetworkInterfaceList GetNetworkInterfaces();

// (address AND mask) OR (NOT mask) in dotted decimal; empty when either text is not an IPv4 address.
QString DirectedBroadcast(const QString& AddrIP, const QString& SubnetMask);

// "AA-BB-CC-DD-EE-FF" from "aa:bb:cc:dd:ee:ff" (":" or "-" separated); empty when the text is not
// a hardware address or all its bytes are zero, i.e. no real adapter stands behind it.
QString FormatMac(const QString& hardwareAddress);

// The formatted MAC of the first entry whose address equals AIP ignoring letter case; empty when
// there is none or AIP is empty.
QString FindMacByIP(const QString& AIP, const TNetworkInterfaceList& AListe);

// Keeps the entries that are up, can broadcast, are not loopback and have a real hardware address,
// in reported order; unless AllowDuplicatesS, a broadcast address already taken is skipped.
TBroadcastList GetBroadcastList(const TNetworkInterfaceList& AListe, bool AllowDuplicatesS);

// The same over the system's interfaces.
TBroadcastList GetBroadcastList(bool AllowDuplicatesS);
