#include "net/broadcast.h"
#include "testenv.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <algorithm>

Q_DECLARE_METATYPE(TNetworkInterfaceList)
Q_DECLARE_METATYPE(TBroadcastList)

namespace {

TNetworkInterface nic(const QString& ip, const QString& mask, const QString& mac = "aa:bb:cc:dd:ee:01")
{
    TNetworkInterface rec;
    rec.AddrIP = ip;
    rec.SubnetMask = mask;
    rec.IsInterfaceUp = true;
    rec.BroadcastSupport = true;
    rec.MAC = mac;
    return rec;
}

TNetworkInterface loopbackNic()
{
    TNetworkInterface rec = nic("127.0.0.1", "255.0.0.0", "00:00:00:00:00:00");
    rec.BroadcastSupport = false;
    rec.IsLoopback = true;
    return rec;
}

TNetworkInterface down(TNetworkInterface rec)
{
    rec.IsInterfaceUp = false;
    return rec;
}

TNetworkInterface noBroadcast(TNetworkInterface rec)
{
    rec.BroadcastSupport = false;
    return rec;
}

} // namespace

class TestBroadcast : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void broadcastList_data();
    void broadcastList();
    void formatMac_data();
    void formatMac();
    void findMacByIP();
    void systemListIsConsistent();
};

void TestBroadcast::broadcastList_data()
{
    QTest::addColumn<TNetworkInterfaceList>("interfaces");
    QTest::addColumn<bool>("allowDuplicates");
    QTest::addColumn<TBroadcastList>("expected");

    const TNetworkInterface eth = nic("192.168.10.37", "255.255.255.0");
    const TBroadcastRec ethRec{"192.168.10.37", "255.255.255.0", "192.168.10.255", "AA-BB-CC-DD-EE-01"};
    const TNetworkInterface sameNet = nic("192.168.10.80", "255.255.255.0", "aa:bb:cc:dd:ee:02");
    const TBroadcastRec sameNetRec{"192.168.10.80", "255.255.255.0", "192.168.10.255", "AA-BB-CC-DD-EE-02"};
    const TNetworkInterface other = nic("10.1.2.3", "255.255.0.0", "02:00:00:00:00:0f");
    const TBroadcastRec otherRec{"10.1.2.3", "255.255.0.0", "10.1.255.255", "02-00-00-00-00-0F"};

    QTest::newRow("A /24 address broadcasts to .255 of its subnet")
        << TNetworkInterfaceList{loopbackNic(), eth} << false << TBroadcastList{ethRec};
    QTest::newRow("A /22 address broadcasts to the end of its whole block")
        << TNetworkInterfaceList{nic("192.168.10.37", "255.255.252.0")} << false
        << TBroadcastList{{"192.168.10.37", "255.255.252.0", "192.168.11.255", "AA-BB-CC-DD-EE-01"}};
    QTest::newRow("Only the loopback interface yields an empty list")
        << TNetworkInterfaceList{loopbackNic()} << false << TBroadcastList{};
    QTest::newRow("An interface without hardware address is skipped")
        << TNetworkInterfaceList{nic("192.168.10.37", "255.255.255.0", ""), other} << false << TBroadcastList{otherRec};
    QTest::newRow("An interface with an all-zero hardware address is skipped")
        << TNetworkInterfaceList{nic("192.168.10.37", "255.255.255.0", "00:00:00:00:00:00")} << false
        << TBroadcastList{};
    QTest::newRow("Two interfaces in one subnet yield one entry, the first")
        << TNetworkInterfaceList{eth, sameNet} << false << TBroadcastList{ethRec};
    QTest::newRow("Two interfaces in one subnet both stay when duplicates are allowed")
        << TNetworkInterfaceList{eth, sameNet} << true << TBroadcastList{ethRec, sameNetRec};
    QTest::newRow("An interface skipped for its hardware address does not hide a later one of its subnet")
        << TNetworkInterfaceList{nic("192.168.10.37", "255.255.255.0", ""), sameNet} << false
        << TBroadcastList{sameNetRec};
    QTest::newRow("A down interface is skipped")
        << TNetworkInterfaceList{down(eth), other} << false << TBroadcastList{otherRec};
    QTest::newRow("An interface that cannot broadcast is skipped")
        << TNetworkInterfaceList{noBroadcast(eth), other} << false << TBroadcastList{otherRec};
    QTest::newRow("IPv6 entries are ignored")
        << TNetworkInterfaceList{nic("fe80::1", "ffff:ffff:ffff:ffff::"), eth} << false << TBroadcastList{ethRec};
    QTest::newRow("A zero mask is skipped instead of broadcasting to 255.255.255.255")
        << TNetworkInterfaceList{nic("192.168.10.37", "0.0.0.0"), other} << false << TBroadcastList{otherRec};
    QTest::newRow("An entry without a mask is skipped")
        << TNetworkInterfaceList{nic("192.168.10.37", ""), other} << false << TBroadcastList{otherRec};
    QTest::newRow("Several subnets keep the reported order")
        << TNetworkInterfaceList{other, loopbackNic(), eth} << false << TBroadcastList{otherRec, ethRec};
}

void TestBroadcast::broadcastList()
{
    QFETCH(TNetworkInterfaceList, interfaces);
    QFETCH(bool, allowDuplicates);
    QFETCH(TBroadcastList, expected);
    const TBroadcastList actual = GetBroadcastList(interfaces, allowDuplicates);
    QCOMPARE(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        QCOMPARE(actual[i].IP, expected[i].IP);
        QCOMPARE(actual[i].SubnetMask, expected[i].SubnetMask);
        QCOMPARE(actual[i].BroadcastIP, expected[i].BroadcastIP);
        QCOMPARE(actual[i].MAC, expected[i].MAC);
    }
}

void TestBroadcast::formatMac_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Colons become dashes and letters upper case") << "0a:1b:2c:3d:4e:5f"
                                                                 << "0A-1B-2C-3D-4E-5F";
    QTest::newRow("An already formatted address stays as it is") << "AA-BB-CC-DD-EE-FF"
                                                                 << "AA-BB-CC-DD-EE-FF";
    QTest::newRow("All zero bytes mean no adapter") << "00:00:00:00:00:00"
                                                    << "";
    QTest::newRow("No address means no adapter") << ""
                                                 << "";
    QTest::newRow("A text that is not hex is refused") << "zz:00:11:22:33:44"
                                                       << "";
    QTest::newRow("A part longer than one byte is refused") << "aab:00:11:22:33:44"
                                                            << "";
}

void TestBroadcast::formatMac()
{
    QFETCH(QString, reported);
    QFETCH(QString, expected);
    QCOMPARE(FormatMac(reported), expected);
}

void TestBroadcast::findMacByIP()
{
    const TNetworkInterfaceList list{nic("10.0.0.5", "255.0.0.0", "aa:aa:aa:aa:aa:01"),
                                     nic("10.0.0.5", "255.0.0.0", "aa:aa:aa:aa:aa:02"),
                                     nic("10.0.0.6", "255.0.0.0", "aa:aa:aa:aa:aa:03")};
    QCOMPARE(FindMacByIP("10.0.0.5", list), QStringLiteral("AA-AA-AA-AA-AA-01"));
    QCOMPARE(FindMacByIP("10.0.0.6", list), QStringLiteral("AA-AA-AA-AA-AA-03"));
    QCOMPARE(FindMacByIP("10.0.0.7", list), QString());
    QCOMPARE(FindMacByIP("", list), QString());
}

// The machine's own interfaces: nothing is sent, only the list is checked against its own rules.
void TestBroadcast::systemListIsConsistent()
{
    const TNetworkInterfaceList interfaces = GetNetworkInterfaces();
    const bool hasLoopbackS = std::any_of(interfaces.begin(), interfaces.end(), [](const TNetworkInterface& rec) {
        return rec.AddrIP == "127.0.0.1" && rec.IsLoopback && rec.IsInterfaceUp;
    });
    QVERIFY2(hasLoopbackS, "the loopback interface is reported with its flags");

    const QRegularExpression macPattern("^[0-9A-F]{2}(-[0-9A-F]{2})+$");
    QSet<QString> seen;
    for (const TBroadcastRec& rec : GetBroadcastList(false)) {
        QCOMPARE(rec.BroadcastIP, DirectedBroadcast(rec.IP, rec.SubnetMask));
        QVERIFY2(!rec.IP.startsWith("127."), qPrintable(rec.IP));
        QVERIFY2(macPattern.match(rec.MAC).hasMatch(), qPrintable(rec.MAC));
        QVERIFY2(!seen.contains(rec.BroadcastIP), qPrintable(rec.BroadcastIP));
        seen.insert(rec.BroadcastIP);
    }
}

QTEST_GUILESS_MAIN(TestBroadcast)
#include "tst_broadcast.moc"
