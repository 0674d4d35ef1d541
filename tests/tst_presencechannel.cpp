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
    void addressFollowsTheLatestDatagram();
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

void TestPresenceChannel::addressFollowsTheLatestDatagram()
{
    ManualClock clock;
    TUserListe liste(clock);
    TPresenceChannel channel(liste, clock, OwnPC);
    QVERIFY(channel.Address("A1-PC").isNull());
    QVERIFY(channel.Merge(presence("anna", "A1-PC"), From1));
    QCOMPARE(channel.Address("A1-PC"), From1);
    // A PC that moved to another subnet is answered where it is now, even when nothing else changed.
    QVERIFY(channel.Merge(presence("anna", "A1-PC"), From2));
    QCOMPARE(channel.Address("A1-PC"), From2);
    QVERIFY(channel.Address("B2-PC").isNull());
}

QTEST_GUILESS_MAIN(TestPresenceChannel)
#include "tst_presencechannel.moc"
