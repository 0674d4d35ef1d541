// The window's speech layer: which announcements are made under which switches, the chosen voice, and the
// menu "Sprachsteuerung" (stop, unread count, repeat, louder, softer, faster, slower), with the screen
// reader and a voice engine that record what they were asked to say.
#include "windowfixture.h"

#include "data/logliste.h"
#include "shell/settings.h"
#include "testenv.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QUdpSocket>

namespace {

const QString Anna = QStringLiteral("Anna - Deutsch");

struct Setup
{
    QString stimme = Anna;
    bool statusLesen = true;
    bool nachrichtLesen = true;
    int rate = 1;
    int volume = 80;
};

void configure(Fixture& f, const Setup& s)
{
    f.store.writeString("Stimme", s.stimme.toStdString());
    f.store.writeDword("StatusLesen", s.statusLesen ? 1 : 0);
    f.store.writeDword("NachrichtLesen", s.nachrichtLesen ? 1 : 0);
    f.store.writeInt("VoiceRate", s.rate);
    f.store.writeInt("VoiceVolume", s.volume);
}

// What the voice engine was asked to say, in order; every announcement cuts off the one before.
QStringList spoken(const Fixture& f)
{
    QStringList out;
    if (!f.engine)
        return out;
    for (const std::string& call : f.engine->calls) {
        if (call.rfind("speak:", 0) == 0)
            out << QString::fromStdString(call.substr(6));
    }
    return out;
}

QAction* action(Fixture& f, const char* name)
{
    return f.window->findChild<QAction*>(QString::fromLatin1(name));
}

bool receiveMessage(Fixture& f, const QByteArray& datagram)
{
    QUdpSocket peer;
    const int before = f.probe().logListe().Count(TLogListe::Eingang);
    return peer.bind(QHostAddress::LocalHost, 0) &&
           peer.writeDatagram(datagram, QHostAddress::LocalHost, f.ports.Text) > 0 &&
           QTest::qWaitFor([&] { return f.probe().logListe().Count(TLogListe::Eingang) > before; }, 5000);
}

} // namespace

class TestAnnouncements : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void announcementsFollowTheirSwitches_data();
    void announcementsFollowTheirSwitches();
    void repeatSaysTheLastRememberedAnnouncement();
    void unreadCountFromMenuAndHiddenItem();
    void volumeAndRateStopAtTheirLimits_data();
    void volumeAndRateStopAtTheirLimits();
    void menuIsEnabledOnlyWithAVoice_data();
    void menuIsEnabledOnlyWithAVoice();
    void unknownVoiceSpeaksThroughTheScreenReader();
    void escapeStopsAndLogIsReadAloud();
    void trayRemindsOfUnreadMessages_data();
    void trayRemindsOfUnreadMessages();
};

void TestAnnouncements::announcementsFollowTheirSwitches_data()
{
    QTest::addColumn<QString>("stimme");
    QTest::addColumn<bool>("statusLesen");
    QTest::addColumn<bool>("nachrichtLesen");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QStringList>("expected");
    const QString online = QStringLiteral("amaier Online:purge");
    const QString busy = QStringLiteral("amaier Beschäftigt:purge");
    const QString message = QStringLiteral("Nachricht von Bernd Kurz:\r\nKommst du?:purge");
    QTest::newRow("Everything on") << Anna << true << true << QStringList() << false << QStringList{online, message};
    QTest::newRow("No voice chosen says nothing")
        << QString() << true << true << QStringList() << false << QStringList();
    QTest::newRow("States not read, message read")
        << Anna << false << true << QStringList() << false << QStringList{message};
    QTest::newRow("Messages not read") << Anna << true << false << QStringList() << false << QStringList{online};
    QTest::newRow("Started by the updater: no sign-in")
        << Anna << true << true << QStringList{"/tbs"} << false << QStringList{message};
    QTest::newRow("Busy: only the switch to busy is said")
        << Anna << true << true << QStringList() << true << QStringList{online, busy};
}

void TestAnnouncements::announcementsFollowTheirSwitches()
{
    QFETCH(QString, stimme);
    QFETCH(bool, statusLesen);
    QFETCH(bool, nachrichtLesen);
    QFETCH(QStringList, arguments);
    QFETCH(bool, busy);
    Fixture f(arguments);
    Setup s;
    s.stimme = stimme;
    s.statusLesen = statusLesen;
    s.nachrichtLesen = nachrichtLesen;
    configure(f, s);
    f.start();
    if (busy)
        action(f, "MenuStatus3Busy")->trigger();
    QVERIFY(receiveMessage(f, "TB1|bkurz|Bernd Kurz|B07-PC|Kommst du?|0041A3F2"));
    QTEST(spoken(f), "expected");
}

void TestAnnouncements::repeatSaysTheLastRememberedAnnouncement()
{
    Fixture f;
    configure(f, Setup());
    f.start();
    QVERIFY(receiveMessage(f, "TB1|bkurz|Bernd Kurz|B07-PC|Kommst du?|0041A3F2"));
    const QString said = QStringLiteral("Nachricht von Bernd Kurz:\r\nKommst du?:purge");
    QCOMPARE(spoken(f).last(), said);
    // Commands that are not remembered leave the memory as it was.
    action(f, "MenuSpracheUngelesen")->trigger();
    QCOMPARE(spoken(f).last(), QStringLiteral("Ungelesen: 1:purge"));
    QVERIFY(action(f, "MenuSpracheWiederholen")->isEnabled());
    QTest::keyClick(f.window.get(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(spoken(f).last(), said);
}

void TestAnnouncements::unreadCountFromMenuAndHiddenItem()
{
    Fixture f;
    configure(f, Setup());
    f.start();
    QVERIFY(receiveMessage(f, "TB1|bkurz|Bernd Kurz|B07-PC|Eins|0041A3F2"));
    QVERIFY(receiveMessage(f, "TB1|ckahl|Carla Kahl|C01-PC|Zwei|0041A3F3"));
    action(f, "MenuSpracheUngelesen")->trigger();
    QCOMPARE(spoken(f).last(), QStringLiteral("Ungelesen: 2:purge"));
    f.engine->calls.clear();
    action(f, "MenuSpracheUngelesenJaws")->trigger();
    QCOMPARE(spoken(f), QStringList{QStringLiteral("Ungelesen: 2:purge")});
}

void TestAnnouncements::volumeAndRateStopAtTheirLimits_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("volume");
    QTest::addColumn<int>("newRate");
    QTest::addColumn<int>("newVolume");
    QTest::addColumn<QString>("said"); // empty: a beep instead
    QTest::newRow("Louder at 100 beeps") << "MenuSpracheLauter" << 0 << 100 << 0 << 100 << "";
    QTest::newRow("Louder at 97 reaches 100") << "MenuSpracheLauter" << 0 << 97 << 0 << 100 << "Lauter sprechen";
    QTest::newRow("Softer at 0 beeps") << "MenuSpracheLeiser" << 0 << 0 << 0 << 0 << "";
    QTest::newRow("Softer at 50") << "MenuSpracheLeiser" << 0 << 50 << 0 << 45 << "Leiser sprechen";
    QTest::newRow("Faster at 10 beeps") << "MenuSpracheSchneller" << 10 << 80 << 10 << 80 << "";
    QTest::newRow("Faster at 3") << "MenuSpracheSchneller" << 3 << 80 << 4 << 80 << "Schneller sprechen";
    QTest::newRow("Slower at -10 beeps") << "MenuSpracheLangsamer" << -10 << 80 << -10 << 80 << "";
    QTest::newRow("Slower at 0") << "MenuSpracheLangsamer" << 0 << 80 << -1 << 80 << "Langsamer sprechen";
}

void TestAnnouncements::volumeAndRateStopAtTheirLimits()
{
    QFETCH(QString, item);
    QFETCH(int, rate);
    QFETCH(int, volume);
    QFETCH(QString, said);
    Fixture f;
    Setup s;
    s.statusLesen = false;
    s.rate = rate;
    s.volume = volume;
    configure(f, s);
    f.start();
    f.engine->calls.clear();
    action(f, qPrintable(item))->trigger();
    QTEST(f.window->settings().Einstellungen.VoiceRate, "newRate");
    QTEST(f.window->settings().Einstellungen.VoiceVolume, "newVolume");
    if (said.isEmpty()) {
        QCOMPARE(f.sound.beeps, 1);
        QVERIFY(spoken(f).isEmpty());
        return;
    }
    QCOMPARE(f.sound.beeps, 0);
    // Heard in the new voice: the engine has the new value before it speaks the item's caption.
    QCOMPARE(spoken(f), QStringList{said + ":purge"});
    QFETCH(int, newRate);
    QFETCH(int, newVolume);
    QCOMPARE(f.engine->rate(), newRate);
    QCOMPARE(f.engine->volume(), newVolume);
    // Kept when the program closes.
    f.window->PuCtiBeendenClick();
    QCOMPARE(f.store.readDword("VoiceVolume"), std::optional<uint32_t>(uint32_t(newVolume)));
}

void TestAnnouncements::menuIsEnabledOnlyWithAVoice_data()
{
    QTest::addColumn<QString>("stimme");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("No voice") << QString() << false;
    QTest::newRow("A voice of engine 1") << Anna << true;
    QTest::newRow("The screen reader") << TSpeech::ScreenReaderEntry << true;
}

void TestAnnouncements::menuIsEnabledOnlyWithAVoice()
{
    QFETCH(QString, stimme);
    QFETCH(bool, enabled);
    Fixture f;
    Setup s;
    s.stimme = stimme;
    s.statusLesen = false;
    configure(f, s);
    f.start();
    QMenu* menu = f.window->findChild<QMenu*>("MenuSprache");
    QVERIFY(menu);
    emit menu->aboutToShow();
    for (const char* name : {"MenuSpracheStoppen", "MenuSpracheUngelesen", "MenuSpracheUngelesenJaws",
                             "MenuSpracheLauter", "MenuSpracheLeiser", "MenuSpracheSchneller", "MenuSpracheLangsamer"})
        QVERIFY2(action(f, name)->isEnabled() == enabled, name);
    // Nothing remembered yet: nothing to repeat.
    QVERIFY(!action(f, "MenuSpracheWiederholen")->isEnabled());
    // The hidden unread key says nothing without a voice, and never fails.
    action(f, "MenuSpracheUngelesenJaws")->trigger();
    QCOMPARE(spoken(f).isEmpty() && f.tolk.calls.empty(), !enabled);
}

void TestAnnouncements::unknownVoiceSpeaksThroughTheScreenReader()
{
    Fixture f;
    Setup s;
    s.stimme = QStringLiteral("Eine entfernte Stimme");
    configure(f, s);
    f.start();
    QVERIFY(spoken(f).isEmpty());
    QVERIFY(std::find(f.tolk.calls.begin(), f.tolk.calls.end(), "speak:amaier Online:interrupt") != f.tolk.calls.end());
}

void TestAnnouncements::escapeStopsAndLogIsReadAloud()
{
    Fixture f;
    Setup s;
    s.statusLesen = false;
    configure(f, s);
    f.start();
    QVERIFY(receiveMessage(f, "TB1|bkurz|Bernd Kurz|B07-PC|Bis <b>gleich</b>|0041A3F2"));
    auto* log = f.window->findChild<QPlainTextEdit*>("Re1Log");
    QVERIFY(log);
    f.engine->calls.clear();
    f.window->PuEditLogVorlesenClick();
    // Text from the network is spoken as text, markup and all.
    QCOMPARE(spoken(f), QStringList{log->toPlainText() + ":purge"});
    QVERIFY(log->toPlainText().contains("Bis <b>gleich</b>"));
    log->setFocus();
    QTest::keyClick(log, Qt::Key_Escape);
    QCOMPARE(f.engine->calls.back(), std::string("stop"));
}

void TestAnnouncements::trayRemindsOfUnreadMessages_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("unread");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("said");
    const QStringList tray{"/systemstartup"};
    QTest::newRow("One unread, in the tray")
        << tray << 1 << false << "Es befindet sich 1 ungelesene Nachricht im Nachrichteneingang!";
    QTest::newRow("Two unread, in the tray")
        << tray << 2 << false << "Es befinden sich 2 ungelesene Nachrichten im Nachrichteneingang!";
    QTest::newRow("Busy users are not reminded") << tray << 2 << true << "";
    QTest::newRow("Nothing unread") << tray << 0 << false << "";
    QTest::newRow("The window is shown") << QStringList() << 2 << false << "";
}

void TestAnnouncements::trayRemindsOfUnreadMessages()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, unread);
    QFETCH(bool, busy);
    QFETCH(QString, said);
    Fixture f(arguments);
    Setup s;
    s.statusLesen = true;
    configure(f, s);
    for (int i = 0; i < unread; ++i) {
        TUserListeRec rec;
        rec.UserName = QStringLiteral("u%1").arg(i);
        rec.Name = rec.UserName;
        rec.PC = QStringLiteral("PC%1").arg(i);
        rec.Zeit = f.clock.now();
        rec.Text = QStringLiteral("Nachricht von %1 (09.12.2026 14:05:09):\rHallo\r").arg(rec.Name);
        QVERIFY(f.probe().logListe().Add(true, rec));
    }
    f.start();
    if (busy)
        action(f, "MenuStatus3Busy")->trigger();
    // The reminder comes with the end of the quiet phase, 2.9 s after the first presence cycle.
    QTest::qWait(3500);
    const QStringList reminders = spoken(f).filter(QStringLiteral("Nachrichteneingang!"));
    QCOMPARE(reminders, said.isEmpty() ? QStringList() : QStringList{said + ":purge"});
    // The balloon comes with the desktop's notification sound.
    QCOMPARE(f.sound.notifications, said.isEmpty() ? 0 : 1);
}

QTEST_MAIN(TestAnnouncements)
#include "tst_announcements.moc"
