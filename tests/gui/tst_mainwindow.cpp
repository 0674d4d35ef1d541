// The main window's lifecycle where it carries behaviour: start, quit paths, end of session,
// suspend and resume. Presence goes to loopback on free ports; the window hears its own datagrams.
#include "doubles/settingsstore.h"
#include "windowfixture.h"

#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "common/clock.h"
#include "common/fields.h"
#include "data/logliste.h"
#include "data/userliste.h"
#include "desktopscreen.h"
#include "loopbackports.h"
#include "net/endpoints.h"
#include "shell/power.h"
#include "shell/settings.h"
#include "shell/settingsstore.h"
#include "speech/output.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
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
    void portInUseIsReportedOnce();
    void quietPhaseAfterResumeWaitsForTheNetwork();
    void enabledCommandsAllAct();
    void savedSizeSurvivesRestarts();
    void optionsAreAppliedOnlyOnOk_data();
    void optionsAreAppliedOnlyOnOk();
    void fontDialogResizesTheWindowAndIsSaved();
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
    QTRY_VERIFY(f.probe().startSequenceRan());
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
    f.store.writeString("Stimme", "Anna - Deutsch");
    f.start();
    QTRY_COMPARE(f.heard("1"), 1);
    const int generation = f.probe().udpQueueGeneration();
    f.power.triggerSuspending();
    QVERIFY(f.window->standBy());
    QCOMPARE(f.probe().udpQueueGeneration(), generation + 1);
    QVERIFY(!f.probe().endpoints().isOpen());
    QCOMPARE(std::count(f.engine->calls.begin(), f.engine->calls.end(), std::string("stop")), 1);

    // Two resume events of one wake-up act once; the network comes back 6 s after the first.
    f.power.triggerResumed();
    f.power.triggerResumed();
    QCOMPARE(f.probe().udpQueueGeneration(), generation + 2);
    QVERIFY(!f.window->standBy());
    QTest::qWait(5000);
    QVERIFY(!f.probe().endpoints().isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(f.probe().endpoints().isOpen(), 3000);
    // The presence cycle restarts 50 ms after the reopening.
    QTRY_COMPARE_WITH_TIMEOUT(f.heard("1"), 2, 1000);
}

void TestMainWindow::portInUseIsReportedOnce()
{
    QUdpSocket holder;
    Fixture f({}, [&holder](const UdpPorts& ports) { QVERIFY(holder.bind(ports.BindAdresse, ports.Text)); });
    f.start();
    const QString notice = QStringLiteral("Das Senden und Empfangen von Nachrichten ist nicht möglich");
    QCOMPARE(f.dialogs.infos.size(), 1);
    QVERIFY2(f.dialogs.infos.first().startsWith(notice), qPrintable(f.dialogs.infos.first()));
    // The port is still taken after a resume: the user was told already.
    f.power.triggerSuspending();
    f.power.triggerResumed();
    QTRY_VERIFY_WITH_TIMEOUT(f.probe().endpoints().isOpen(), 8000);
    QCOMPARE(f.dialogs.infos.size(), 1);
}

void TestMainWindow::quietPhaseAfterResumeWaitsForTheNetwork()
{
    Fixture f;
    f.start();
    // Asleep and awake again within the quiet phase of the start: its end must not count.
    f.power.triggerSuspending();
    f.power.triggerResumed();
    QTRY_VERIFY_WITH_TIMEOUT(f.probe().endpoints().isOpen(), 8000);
    f.sound.played.clear();
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    peer.writeDatagram(QByteArray("TB1|bkurz|Bernd Kurz|B07-PC|0|1|09:00:00|1|3"), QHostAddress::LocalHost,
                       f.ports.Liste);
    QTRY_COMPARE(f.probe().userListe().OnlineCount(), 2);
    QCOMPARE(f.sound.played.size(), size_t(0));
    // 2.9 s after the network is back, changes sound again.
    QTest::qWait(3000);
    peer.writeDatagram(QByteArray("TB1|ckahl|Carla Kahl|C01-PC|0|1|09:00:00|1|3"), QHostAddress::LocalHost,
                       f.ports.Liste);
    QTRY_VERIFY(!f.sound.played.empty());
    QCOMPARE(f.sound.played.back(), TSound::sOnline);
}

namespace {

// How many listen to a signal: the count is protected, its member pointer is not.
struct SignalPeek : QObject
{
    using QObject::receivers;
};

int receiverCount(const QObject* o, const char* signal)
{
    return (o->*(&SignalPeek::receivers))(signal);
}

// Every menu an action is in listens to it for its own bookkeeping; a handler is one more.
bool hasHandler(const QAction* a)
{
    int menus = 0;
    for (const QObject* o : a->associatedObjects())
        menus += qobject_cast<const QMenu*>(o) ? 1 : 0;
    return receiverCount(a, SIGNAL(triggered(bool))) > menus;
}

} // namespace

// A screen-reader user tries what is offered: nothing enabled may be without a handler.
void TestMainWindow::enabledCommandsAllAct()
{
    Fixture f;
    f.start();
    QStringList idle;
    for (QAction* a : f.window->findChildren<QAction*>()) {
        if (a->menu() || a->isSeparator() || !a->isVisible() || a->objectName().isEmpty())
            continue;
        if (a->isEnabled() && !hasHandler(a))
            idle.append(a->objectName());
    }
    for (QPushButton* b : f.window->findChildren<QPushButton*>()) {
        if (b->isEnabled() && receiverCount(b, SIGNAL(clicked(bool))) == 0)
            idle.append(b->objectName());
    }
    QVERIFY2(idle.isEmpty(), qPrintable(idle.join(", ")));
    // The disabled ones are still there for their names and keys: no mail address is configured here.
    QVERIFY(f.window->findChild<QAction*>("MenuHilfeMail"));
    QVERIFY(!f.window->findChild<QAction*>("MenuHilfeMail")->isEnabled());
}

// The stored size is the outer one; applied as the inner size it would grow by the frame at every start.
void TestMainWindow::savedSizeSurvivesRestarts()
{
    MemorySettingsStore store;
    store.writeDword("Width", 1300);
    store.writeDword("Height", 950);
    for (int start = 0; start < 3; ++start) {
        Fixture f;
        f.frame = QMargins(8, 30, 8, 8);
        f.store = store;
        f.start();
        QCOMPARE(f.window->size(), QSize(1284, 912));
        f.window->PuCtiBeendenClick();
        QCOMPARE(f.store.readDword("Width"), std::optional<uint32_t>(1300));
        QCOMPARE(f.store.readDword("Height"), std::optional<uint32_t>(950));
        store = f.store;
    }
}

void TestMainWindow::optionsAreAppliedOnlyOnOk_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK applies, saves and announces") << true;
    QTest::newRow("Cancel changes nothing") << false;
}

void TestMainWindow::optionsAreAppliedOnlyOnOk()
{
    QFETCH(bool, ok);
    Fixture f;
    f.start();
    QTRY_COMPARE(f.heard("1"), 1);
    f.store.clearWrites();
    const int heardBefore = int(f.presence->size());
    bool shown = false;
    // The dialog is modal: the user acts in it from the event loop.
    QTimer::singleShot(0, f.window.get(), [&] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        shown = dlg->windowTitle() == QStringLiteral("Optionen einstellen");
        if (auto* name = dlg->findChild<QLineEdit*>("Le1Name"))
            name->setText(QStringLiteral("  Anton Maier "));
        if (auto* lesen = dlg->findChild<QCheckBox*>("Cb1NachrichtLesen"))
            lesen->setChecked(true);
        if (auto* stimmen = dlg->findChild<QTreeWidget*>("Lv1Stimmen")) {
            const QList<QTreeWidgetItem*> anna = stimmen->findItems(QStringLiteral("Anna - Deutsch"), Qt::MatchExactly);
            if (!anna.isEmpty())
                stimmen->setCurrentItem(anna.first());
        }
        ok ? dlg->accept() : dlg->reject();
    });
    QTest::keyClick(f.window.get(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(shown);
    const TEinstellungen& e = f.window->settings().Einstellungen;
    if (!ok) {
        QCOMPARE(e.Name, QStringLiteral("amaier"));
        QVERIFY(f.store.writes().empty());
        QCOMPARE(int(f.presence->size()), heardBefore);
        return;
    }
    QCOMPARE(e.Name, QStringLiteral("Anton Maier"));
    QVERIFY(e.NachrichtLesenS);
    QCOMPARE(e.Stimme, QStringLiteral("Anna - Deutsch"));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Anton Maier (Online) - Tobrik V1.13"));
    QCOMPARE(f.store.readString("Name"), std::optional<std::string>("Anton Maier"));
    // The colleagues hear the new name at once, not at the next cycle.
    QTRY_VERIFY_WITH_TIMEOUT(int(f.presence->size()) > heardBefore, 1000);
    QCOMPARE(GetFeld(QString::fromUtf8(f.presence->last().at(0).toByteArray()), 3), QStringLiteral("Anton Maier"));
    // The chosen voice speaks from now on.
    QVERIFY(f.window->findChild<QAction*>("MenuSpracheStoppen")->isEnabled());
}

void TestMainWindow::fontDialogResizesTheWindowAndIsSaved()
{
    Fixture f;
    f.start();
    auto* liste = f.window->findChild<QWidget*>("Lb1Liste");
    QVERIFY(liste);
    const int rowHeightBefore = QFontMetrics(liste->font()).height();
    bool shown = false;
    QTimer::singleShot(0, f.window.get(), [&] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        shown = true;
        if (auto* size = dlg->findChild<QSpinBox*>("UpDown1"))
            size->setValue(24);
        dlg->accept();
    });
    f.window->findChild<QAction*>("MenuAnsSchrifteinstellungen")->trigger();
    QVERIFY(shown);
    QCOMPARE(f.window->settings().GlobalFont.sizePt, 24);
    QCOMPARE(liste->font().pointSize(), 24);
    QVERIFY(QFontMetrics(liste->font()).height() > rowHeightBefore);
    QCOMPARE(f.store.readDword("FontSize"), std::optional<uint32_t>(24));
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
    QTRY_VERIFY(f.probe().startSequenceRan());
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
    QTRY_COMPARE(f.probe().aktUserName().PC, QStringLiteral("B07-PC"));
    QVERIFY(f.probe().aktUserName().Text.startsWith(
        QStringLiteral("Nachricht von Bernd Kurz (09.12.2026 14:05:09):\rKommst du heute?")));
    QVERIFY(QFile::exists(f.dir.path() + "/logs/bkurz_B07-PC.log"));
    QCOMPARE(f.probe().logListe().Count(1), 1);
    QCOMPARE(f.sound.played.back(), TSound::sIncoming);
    QVERIFY(f.probe().iconHint().endsWith(QStringLiteral("; Ungelesen: 1")));
}

// A screen as large as a desktop's, so stored window sizes are not cut to the small default screen.
int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!UseDesktopSizedScreen(dir))
        return 1;
    QApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow.moc"
