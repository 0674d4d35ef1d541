// The main window's lifecycle where it carries behaviour: start, quit paths, end of session,
// suspend and resume. Presence goes to loopback on free ports; the window hears its own datagrams.
#include "windowfixture.h"

#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "common/clock.h"
#include "common/fields.h"
#include "data/logliste.h"
#include "loopbackports.h"
#include "net/endpoints.h"
#include "shell/power.h"
#include "shell/settings.h"
#include "shell/settingsstore.h"
#include "speech/output.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void startSequenceAnnouncesAndShows();
    void startSwitchesStartMinimised_data();
    void startSwitchesStartMinimised();
    void quitFromMenuAsksOnlyWhenConfigured_data();
    void quitFromMenuAsksOnlyWhenConfigured();
    void declinedQuitKeepsRunningAndAsksAgain();
    void quitPathsWithoutQuestion_data();
    void quitPathsWithoutQuestion();
    void endOfSessionAnnouncesOfflineOnce();
    void suspendClosesNetworkAndResumeReopensOnce();
    void silentStartForcesSoundsOff();
    void receivedMessageIsStoredAcknowledgedAndShown();
};

void TestMainWindow::startSequenceAnnouncesAndShows()
{
    Fixture f;
    f.start();
    QVERIFY(f.window->isVisible());
    QVERIFY(!f.window->inTray());
    QCOMPARE(f.window->windowTitle(), QStringLiteral("amaier (Online) - Tobrik V1.13"));
    QTRY_COMPARE(f.heard("1"), 1);
    const QString datagram = QString::fromUtf8(f.presence->first().at(0).toByteArray());
    QCOMPARE(GetFeld(datagram, 2), QStringLiteral("amaier"));
    QCOMPARE(GetFeld(datagram, 4), QStringLiteral("R12-PC"));
    QCOMPARE(GetFeld(datagram, 7), QStringLiteral("14:05:09"));
    QCOMPARE(f.sound.played.size(), size_t(1));
    QCOMPARE(f.sound.played.front(), TSound::sSignin);
}

void TestMainWindow::startSwitchesStartMinimised_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("inTray");
    QTest::addColumn<bool>("signinSound");
    QTest::newRow("No switch shows the window") << QStringList() << false << true;
    QTest::newRow("System start goes to the tray") << QStringList{"/SystemStartup"} << true << true;
    QTest::newRow("Silent goes to the tray") << QStringList{"/silent"} << true << false;
    QTest::newRow("Update start skips the sign-in sound") << QStringList{"/tbs"} << false << false;
}

void TestMainWindow::startSwitchesStartMinimised()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, inTray);
    QFETCH(bool, signinSound);
    Fixture f(arguments);
    f.window->SetSilent(arguments.contains("/silent"));
    f.window->RegistryLadenSpeichern(true);
    QTRY_VERIFY(f.window->startSequenceRan());
    QCOMPARE(f.window->inTray(), inTray);
    QCOMPARE(f.window->isVisible(), !inTray);
    // A silent start switches sounds off, so the sign-in sound is silent there too.
    QCOMPARE(!f.sound.played.empty(), signinSound);
}

void TestMainWindow::quitFromMenuAsksOnlyWhenConfigured_data()
{
    QTest::addColumn<bool>("beendenSichern");
    QTest::newRow("Confirmation switched on asks") << true;
    QTest::newRow("Confirmation switched off does not ask") << false;
}

void TestMainWindow::quitFromMenuAsksOnlyWhenConfigured()
{
    QFETCH(bool, beendenSichern);
    Fixture f;
    f.store.writeDword("BeendenSichern", beendenSichern ? 1 : 0);
    f.start();
    f.store.clearWrites();
    f.window->MenuDateiBeendenClick();
    QCOMPARE(f.dialogs.fragen.size(), beendenSichern ? 1 : 0);
    if (beendenSichern)
        QCOMPARE(f.dialogs.fragen.first(), QStringLiteral("Soll das Programm beendet werden?"));
    QTRY_COMPARE(f.ended->size(), 1);
    QVERIFY(f.window->isClosingDown());
    QTRY_COMPARE(f.heard("0"), 1);
    QVERIFY(!f.store.writes().empty());
    QCOMPARE(f.store.writes().front(), std::string("WindowState"));
}

void TestMainWindow::declinedQuitKeepsRunningAndAsksAgain()
{
    Fixture f;
    f.start();
    f.dialogs.antwort = false;
    f.window->MenuDateiBeendenClick();
    QCOMPARE(f.dialogs.fragen.size(), 1);
    QVERIFY(!f.window->standBy());
    QVERIFY(!f.window->isClosingDown());
    QCOMPARE(f.ended->size(), 0);
    // The window's own close button asks as well.
    f.window->close();
    QCOMPARE(f.dialogs.fragen.size(), 2);
    QVERIFY(f.window->isVisible());
    QTest::qWait(50);
    QCOMPARE(f.heard("0"), 0);
}

void TestMainWindow::quitPathsWithoutQuestion_data()
{
    QTest::addColumn<int>("path");
    QTest::newRow("Tray menu quits without asking") << 0;
    QTest::newRow("A close request quits without asking") << 1;
}

void TestMainWindow::quitPathsWithoutQuestion()
{
    QFETCH(int, path);
    Fixture f;
    f.start();
    if (path == 0)
        f.window->PuCtiBeendenClick();
    else
        f.window->ProgramClose();
    QVERIFY(f.dialogs.fragen.isEmpty());
    QTRY_COMPARE(f.ended->size(), 1);
    QTRY_COMPARE(f.heard("0"), 1);
}

void TestMainWindow::endOfSessionAnnouncesOfflineOnce()
{
    Fixture f;
    f.start();
    f.store.clearWrites();
    f.window->EndSession();
    f.window->EndSession();
    f.window->close();
    QVERIFY(f.dialogs.fragen.isEmpty());
    QTest::qWait(100);
    QCOMPARE(f.heard("0"), 1);
    QCOMPARE(f.ended->size(), 1);
    QCOMPARE(std::count(f.store.writes().begin(), f.store.writes().end(), std::string("Name")), 1);
}

void TestMainWindow::suspendClosesNetworkAndResumeReopensOnce()
{
    Fixture f;
    f.start();
    QTRY_COMPARE(f.heard("1"), 1);
    const int generation = f.window->udpQueueGeneration();
    f.power.triggerSuspending();
    QVERIFY(f.window->standBy());
    QCOMPARE(f.window->udpQueueGeneration(), generation + 1);
    QVERIFY(!f.window->endpoints().isOpen());
    QCOMPARE(f.speech.stops, 1);

    // Two resume events of one wake-up act once; the network comes back 6 s after the first.
    f.power.triggerResumed();
    f.power.triggerResumed();
    QCOMPARE(f.window->udpQueueGeneration(), generation + 2);
    QVERIFY(!f.window->standBy());
    QTest::qWait(5000);
    QVERIFY(!f.window->endpoints().isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(f.window->endpoints().isOpen(), 3000);
    // The presence cycle restarts 50 ms after the reopening.
    QTRY_COMPARE_WITH_TIMEOUT(f.heard("1"), 2, 1000);
}

void TestMainWindow::silentStartForcesSoundsOff()
{
    Fixture f({"/silent"});
    f.store.writeDword("SoundsWiedergeben", 1);
    f.store.writeDword("FensterWiederherstellen", 1);
    f.window->SetSilent(true);
    f.window->RegistryLadenSpeichern(true);
    QVERIFY(!f.window->settings().Einstellungen.SoundsWiedergebenS);
    QVERIFY(!f.window->settings().Einstellungen.FensterWiederherstellenS);
    QTRY_VERIFY(f.window->startSequenceRan());
    f.window->PuCtiBeendenClick();
    QCOMPARE(f.store.readDword("SoundsWiedergeben"), std::optional<uint32_t>(0));
    QCOMPARE(f.store.readDword("FensterWiederherstellen"), std::optional<uint32_t>(0));
}

void TestMainWindow::receivedMessageIsStoredAcknowledgedAndShown()
{
    Fixture f;
    f.start();
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    peer.writeDatagram(QByteArray("TB1|bkurz|Bernd Kurz|B07-PC|Kommst du heute?|0041A3F2"), QHostAddress::LocalHost,
                       f.ports.Text);
    // The acknowledgement goes to the source address, always to the acknowledgement port: that is the
    // window's own endpoint here, so look for it in the stored log instead and check the partner.
    QTRY_COMPARE(f.window->aktUserName().PC, QStringLiteral("B07-PC"));
    QVERIFY(f.window->aktUserName().Text.startsWith(
        QStringLiteral("Nachricht von Bernd Kurz (09.12.2026 14:05:09):\rKommst du heute?")));
    QVERIFY(QFile::exists(f.dir.path() + "/logs/bkurz_B07-PC.log"));
    QCOMPARE(f.window->logListe().Count(1), 1);
    QCOMPARE(f.sound.played.back(), TSound::sIncoming);
    QVERIFY(f.window->iconHint().endsWith(QStringLiteral("; Ungelesen: 1")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
