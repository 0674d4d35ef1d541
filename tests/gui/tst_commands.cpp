// Remote commands reaching the window over loopback, and the hibernation command sent from the online
// list's popup.
#include "windowfixture.h"

#include "data/pcliste.h"
#include "shell/settings.h"

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QUdpSocket>

class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void commandsAreObeyedExactly_data();
    void commandsAreObeyedExactly();
    void loaduserReadsTheDirectoryAgain();
    void commandsWhileSuspendedAreDropped();
    void hibernateItemSendsToTheSelectedPc();
};

namespace {

void sendTo(quint16 port, const QByteArray& datagram)
{
    QUdpSocket s;
    s.writeDatagram(datagram, QHostAddress::LocalHost, port);
}

} // namespace

void TestCommands::commandsAreObeyedExactly_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<int>("hibernations");
    QTest::newRow("kick quits although the quit question is on") << QByteArray("TB1|kick") << true << 0;
    QTest::newRow("Kick with a capital K is ignored") << QByteArray("TB1|Kick") << false << 0;
    QTest::newRow("a wrong token is ignored") << QByteArray("TB2|kick") << false << 0;
    QTest::newRow("ruhezustand hibernates") << QByteArray("TB1|ruhezustand") << false << 1;
    QTest::newRow("update without a starter keeps running") << QByteArray("TB1|update|30") << false << 0;
    QTest::newRow("update with a non-number is ignored") << QByteArray("TB1|update|30;rm") << false << 0;
    QTest::newRow("an unknown word is ignored") << QByteArray("TB1|format") << false << 0;
}

void TestCommands::commandsAreObeyedExactly()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, ends);
    QFETCH(int, hibernations);
    Fixture f;
    f.start();
    f.window->settings().Einstellungen.BeendenSichernS = true;
    sendTo(f.ports.Befehl, datagram);
    // A kick follows at once; give anything else the same time to go wrong.
    if (ends)
        QTRY_COMPARE(f.ended->count(), 1);
    else
        QTest::qWait(300);
    QCOMPARE(f.ended->count(), ends ? 1 : 0);
    QCOMPARE(f.hibernations, hibernations);
    QVERIFY(f.dialogs.fragen.isEmpty());
}

void TestCommands::loaduserReadsTheDirectoryAgain()
{
    Fixture f;
    f.start();
    QVERIFY(f.probe().pcListe().GetPCUserAbteilungListe().isEmpty());
    QFile user(f.dir.path() + "/User.txt");
    QVERIFY(user.open(QIODevice::WriteOnly));
    user.write("amaier|R12-PC|Verwaltung\r\n");
    user.close();
    sendTo(f.ports.Befehl, "TB1|loaduser");
    QTRY_COMPARE(f.probe().pcListe().GetPCUserAbteilungListe().size(), 1);
    QCOMPARE(f.probe().pcListe().GetPCUserAbteilungListe().first().Abteilung, QStringLiteral("Verwaltung"));
}

void TestCommands::commandsWhileSuspendedAreDropped()
{
    Fixture f;
    f.start();
    f.power.triggerSuspending();
    sendTo(f.ports.Befehl, "TB1|kick");
    QTest::qWait(300);
    QCOMPARE(f.ended->count(), 0);
}

void TestCommands::hibernateItemSendsToTheSelectedPc()
{
    Fixture f;
    f.store.writeDword("Ruhezustand", 1);
    f.start();
    // The colleague's presence comes from loopback, so the command goes back to this window's own
    // command port, where it shows that it left with the right words.
    sendTo(f.ports.Liste, "TB1|bkurz|Bernd Kurz|B07-PC|0|1|08:15:00|1|2");
    auto* liste = f.window->findChild<QListWidget*>("Lb1Liste");
    auto rowOfBernd = [liste] {
        for (int i = 0; i < liste->count(); ++i)
            if (liste->item(i)->text().startsWith(QStringLiteral("Bernd Kurz auf B07-PC")))
                return i;
        return -1;
    };
    QTRY_VERIFY(rowOfBernd() >= 0);
    liste->setCurrentRow(rowOfBernd());

    auto* popup = f.window->findChild<QMenu*>("PuLb1");
    auto* item = f.window->findChild<QAction*>("PuLb1Ruhezustand");
    emit popup->aboutToShow();
    QVERIFY(item->isVisible());
    QVERIFY(item->isEnabled());
    item->trigger();
    QCOMPARE(f.dialogs.infos, QStringList{QStringLiteral("\"Bernd Kurz\" wird in den Ruhezustand versetzt!")});
    QTRY_COMPARE(f.hibernations, 1);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
