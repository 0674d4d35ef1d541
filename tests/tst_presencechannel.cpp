// Presence datagrams merged into the online list: what a merge reports for sound, speech and the own
// start time, and where each PC was last heard from.
#include "common/clock.h"
#include "data/userliste.h"
#include "doubles/clock.h"
#include "net/presencechannel.h"

#include <QTest>

namespace {

const QString OwnPC = QStringLiteral("R12-PC");

QByteArray presence(const QString& user, const QString& pc, int state = 0, bool online = true,
                    const QString& name = QString())
{
    return QStringList{
        "TB1", user, name.isEmpty() ? user : name, pc, QString::number(state), online ? "1" : "0", "08:15:30", "1", "3"}
        .join(u'|')
        .toUtf8();
}

const QHostAddress From1(QStringLiteral("10.0.0.7"));
const QHostAddress From2(QStringLiteral("10.0.1.7"));

} // namespace

Q_DECLARE_METATYPE(std::optional<TSound>)

class TestPresenceChannel : public QObject
{
    Q_OBJECT
private slots:
    void mergeReportsOneSoundAndTheSpokenChange_data();
    void mergeReportsOneSoundAndTheSpokenChange();
    void ownStateRestartsTheStartTimeOnly_data();
    void ownStateRestartsTheStartTimeOnly();
    void notPresenceIsRefusedAndNotRemembered_data();
    void notPresenceIsRefusedAndNotRemembered();
    void addressOfAPc_data();
    void addressOfAPc();
    void fullListTakesNoNewcomerButTheOwnPc();
};

void TestPresenceChannel::mergeReportsOneSoundAndTheSpokenChange_data()
{
    QTest::addColumn<QList<QByteArray>>("before");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<std::optional<TSound>>("sound");
    QTest::addColumn<QString>("spoken");
    const QByteArray anna = presence("anna", "A1-PC");
    QTest::newRow("A new user comes online")
        << QList<QByteArray>{} << anna << true << std::optional<TSound>(TSound::sOnline) << "anna Online";
    QTest::newRow("The same datagram again changes nothing")
        << QList<QByteArray>{anna} << anna << false << std::optional<TSound>() << "";
    QTest::newRow("Going away") << QList<QByteArray>{anna} << presence("anna", "A1-PC", 1) << true
                                << std::optional<TSound>(TSound::sAway) << "anna Abwesend";
    QTest::newRow("Going busy") << QList<QByteArray>{anna} << presence("anna", "A1-PC", 2) << true
                                << std::optional<TSound>(TSound::sBusy) << "anna Beschäftigt";
    QTest::newRow("Signing off") << QList<QByteArray>{anna} << presence("anna", "A1-PC", 0, false) << true
                                 << std::optional<TSound>(TSound::sOffline) << "anna Offline";
    QTest::newRow("A new display name is drawn but neither sounds nor is spoken")
        << QList<QByteArray>{anna} << presence("anna", "A1-PC", 0, true, "Anna M.") << true << std::optional<TSound>()
        << "";
}

void TestPresenceChannel::mergeReportsOneSoundAndTheSpokenChange()
{
    QFETCH(QList<QByteArray>, before);
    QFETCH(QByteArray, datagram);
    ManualClock clock;
    TUserListe liste(clock);
    TPresenceChannel channel(liste, clock, OwnPC);
    for (const QByteArray& d : before)
        QVERIFY(channel.Merge(d, From1));
    liste.ChangeS = false; // as after the window's redraw
    const std::optional<TPresenceChannel::TMerge> merge = channel.Merge(datagram, From1);
    QVERIFY(merge);
    QTEST(merge->changedS, "changed");
    QTEST(merge->sound, "sound");
    QTEST(merge->statusText, "spoken");
    QVERIFY(!merge->eigenerStatusS);
}

void TestPresenceChannel::ownStateRestartsTheStartTimeOnly_data()
{
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("restart");
    QTest::newRow("Own PC coming online") << false << presence("amaier", OwnPC) << true;
    QTest::newRow("Own PC going away") << true << presence("amaier", OwnPC, 1) << true;
    QTest::newRow("Own PC with a new display name") << true << presence("amaier", OwnPC, 0, true, "Anton") << false;
    QTest::newRow("Own PC signing off") << true << presence("amaier", OwnPC, 0, false) << false;
    QTest::newRow("Another PC changing state") << true << presence("anna", "A1-PC", 1) << false;
}

void TestPresenceChannel::ownStateRestartsTheStartTimeOnly()
{
    QFETCH(bool, listed);
    QFETCH(QByteArray, datagram);
    ManualClock clock;
    TUserListe liste(clock);
    TPresenceChannel channel(liste, clock, OwnPC);
    if (listed) {
        QVERIFY(channel.Merge(presence("amaier", OwnPC), From1));
        QVERIFY(channel.Merge(presence("anna", "A1-PC"), From1));
        liste.ChangeS = false;
    }
    const std::optional<TPresenceChannel::TMerge> merge = channel.Merge(datagram, From1);
    QVERIFY(merge);
    QTEST(merge->eigenerStatusS, "restart");
}

void TestPresenceChannel::notPresenceIsRefusedAndNotRemembered_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("Another program's datagram") << QByteArray("XY1|anna|Anna|A1-PC|0|1");
    QTest::newRow("No PC field") << QByteArray("TB1|anna|Anna");
    QTest::newRow("Not UTF-8") << QByteArray("TB1|anna|\xff\xfe|A1-PC|0|1");
    QTest::newRow("Empty") << QByteArray();
}

void TestPresenceChannel::notPresenceIsRefusedAndNotRemembered()
{
    QFETCH(QByteArray, datagram);
    ManualClock clock;
    TUserListe liste(clock);
    TPresenceChannel channel(liste, clock, OwnPC);
    QVERIFY(!channel.Merge(datagram, From1));
    QCOMPARE(liste.OnlineCount(), 0);
    QVERIFY(channel.Address("A1-PC").isNull());
}

void TestPresenceChannel::addressOfAPc_data()
{
    // "on|off user@PC from address" merges a datagram, "wait MS" moves the clock.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("address"); // of A1-PC; empty: none, the sender resolves the name
    const QString on1 = "on anna@A1-PC from 10.0.0.1";
    const QString on2 = "on anna@A1-PC from 10.0.0.2";
    QTest::newRow("Never heard") << QStringList{} << "";
    QTest::newRow("Heard from one address") << QStringList{on1} << "10.0.0.1";
    QTest::newRow("Heard again from that address") << QStringList{on1, on1, on1} << "10.0.0.1";
    QTest::newRow("A second address claims the listed PC: none, so a forger cannot redirect")
        << QStringList{on1, on2} << "";
    QTest::newRow("The first address speaking again does not settle the claim") << QStringList{on1, on2, on1} << "";
    QTest::newRow("Signed off from its own address the PC is forgotten, the next first address counts")
        << QStringList{on1, "off anna@A1-PC from 10.0.0.1", on2} << "10.0.0.2";
    QTest::newRow("Dropped out the PC is forgotten, the next first address counts")
        << QStringList{on1, "wait 30001", "on bernd@B2-PC from 10.0.0.3", on2} << "10.0.0.2";
    QTest::newRow("A sign-off from another address does not hand the PC over")
        << QStringList{on1, "off anna@A1-PC from 10.0.0.2", on2} << "";
    QTest::newRow("Nor does a sign-off from the first address once the PC is contested")
        << QStringList{on1, on2, "off anna@A1-PC from 10.0.0.1", on2} << "";
    QTest::newRow("After a forged sign-off the user heard again stays contested")
        << QStringList{on1, "off anna@A1-PC from 10.0.0.2", on1} << "";
    QTest::newRow("A forged sign-off is forgotten once nobody has been heard for the drop-out time")
        << QStringList{on1, "off anna@A1-PC from 10.0.0.2", "wait 30001", on2} << "10.0.0.2";
    QTest::newRow("A second user of the PC keeps the address listed when the first signs off")
        << QStringList{on1, "on bert@A1-PC from 10.0.0.1", "off anna@A1-PC from 10.0.0.1"} << "10.0.0.1";
}

// The sender asks Address() where to send; whoever announced a listed PC first keeps it.
void TestPresenceChannel::addressOfAPc()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, address);
    ManualClock clock;
    TUserListe liste(clock);
    TPresenceChannel channel(liste, clock, OwnPC);
    for (const QString& step : steps) {
        const QStringList w = step.split(u' ');
        if (w[0] == "wait") {
            clock.advance(w[1].toUInt());
            continue;
        }
        const QByteArray d = presence(w[1].section(u'@', 0, 0), w[1].section(u'@', 1), 0, w[0] == "on");
        QVERIFY(channel.Merge(d, QHostAddress(w[3])));
    }
    QCOMPARE(channel.Address("A1-PC"), address.isEmpty() ? QHostAddress() : QHostAddress(address));
}

void TestPresenceChannel::fullListTakesNoNewcomerButTheOwnPc()
{
    ManualClock clock;
    TUserListe liste(clock);
    TPresenceChannel channel(liste, clock, OwnPC);
    for (int i = 0; i < TUserListe::MaxUsers; ++i)
        QVERIFY(channel.Merge(presence(QStringLiteral("u%1").arg(i), QStringLiteral("F-%1").arg(i)), From1));
    liste.ChangeS = false;

    const std::optional<TPresenceChannel::TMerge> fremd = channel.Merge(presence("anna", "A1-PC"), From2);
    QVERIFY(fremd);
    QVERIFY(!fremd->changedS);
    QVERIFY(!fremd->sound);
    QVERIFY(channel.Address("A1-PC").isNull());

    const std::optional<TPresenceChannel::TMerge> eigen = channel.Merge(presence("amaier", OwnPC), From2);
    QVERIFY(eigen);
    QVERIFY(eigen->changedS);
    QVERIFY(eigen->eigenerStatusS);
    QCOMPARE(liste.OnlineCount(), TUserListe::MaxUsers + 1);
    QCOMPARE(channel.Address(OwnPC), From2);
}

QTEST_GUILESS_MAIN(TestPresenceChannel)
#include "tst_presencechannel.moc"
