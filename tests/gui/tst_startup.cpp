// The start with a long history: the window comes up while the logs are still being read, and a message
// that arrives in that moment is filed once, into the conversation read from disk.
#include "windowfixture.h"

#include "data/logformat.h"
#include "data/logliste.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSemaphore>
#include <QUdpSocket>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Lets a held load go on when the test ends early, so the window can wait for it.
struct Release
{
    QSemaphore& gate;
    ~Release() { gate.release(); }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void messageDuringSlowLoadIsFiledOnce_data();
    void messageDuringSlowLoadIsFiledOnce();
    void sendingWaitsForTheLogs();
};

void TestStartup::messageDuringSlowLoadIsFiledOnce_data()
{
    QTest::addColumn<bool>("hasLog");
    QTest::addColumn<bool>("unread");
    QTest::newRow("Partner with unread messages") << true << true;
    QTest::newRow("Partner in the history") << true << false;
    QTest::newRow("Partner without a log") << false << false;
}

void TestStartup::messageDuringSlowLoadIsFiledOnce()
{
    QFETCH(bool, hasLog);
    QFETCH(bool, unread);
    QSemaphore gate;
    QSemaphore loading;
    Fixture f({}, {}, [&](TMainWindowEnv& env) {
        env.logsLoading = [&] {
            loading.release();
            gate.acquire();
        };
    });
    Release release{gate};
    const QString folder = f.dir.path() + "/logs/";
    QVERIFY(QDir().mkpath(folder));

    TUserListeRec bernd;
    bernd.UserName = "bkurz";
    bernd.Name = "Bernd Kurz";
    bernd.PC = "B07-PC";
    TUserListeRec clara = bernd;
    clara.UserName = "cweiss";
    clara.Name = "Clara Weiß";
    clara.PC = "C01-PC";
    {
        TLogListe vorher(folder, f.clock);
        clara.Text = BlockNachrichtVon(clara.Name, f.clock.now().addDays(-2), "Von Clara", QString());
        QVERIFY(vorher.Add(true, clara));
        if (hasLog) {
            bernd.Text = BlockNachrichtVon(bernd.Name, f.clock.now().addDays(-1), "Alte Nachricht", QString());
            QVERIFY(vorher.Add(unread, bernd));
        }
    }
    const QString berndLog = folder + LogFileName(PartnerKey(bernd));
    const QByteArray berndVorher = readBytes(berndLog);

    QSignalSpy texts(&f.probe().endpoints(), &UdpEndpoints::textReceived);
    QSignalSpy acks(&f.probe().endpoints(), &UdpEndpoints::ackReceived);
    f.window->SetSilent(false);
    f.window->RegistryLadenSpeichern(true);
    // The window is up while the logs are still being read.
    QTRY_VERIFY(f.probe().startSequenceBegun());
    QVERIFY(loading.tryAcquire(1, 5000));
    QVERIFY(f.window->isVisible());
    QVERIFY(!f.probe().logsLoaded());
    auto* eingang = f.window->findChild<QListWidget*>("Lb1Eingang");
    QVERIFY(eingang);
    QCOMPARE(eingang->count(), 0);

    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    QVERIFY(peer.writeDatagram(QByteArray("TB1|bkurz|Bernd Kurz|B07-PC|Neue Nachricht|0041A3F2"),
                               QHostAddress::LocalHost, f.ports.Text) > 0);
    QTRY_COMPARE(texts.size(), 1);
    // Taken in, but neither filed nor acknowledged yet: the log on disk is as it was.
    QCOMPARE(acks.size(), 0);
    QCOMPARE(readBytes(berndLog), berndVorher);
    QCOMPARE(f.probe().logListe().Count(TLogListe::Eingang), 0);

    gate.release();
    QTRY_VERIFY(f.probe().startSequenceRan());
    QTRY_COMPARE(acks.size(), 1);

    TLogListe& logs = f.probe().logListe();
    const TUserListeRec gefunden = logs.Find(bernd, false);
    QCOMPARE(gefunden.Text.count("Neue Nachricht"), 1);
    QCOMPARE(gefunden.Text.contains("Alte Nachricht"), hasLog);
    QVERIFY(gefunden.Text.startsWith("Nachricht von Bernd Kurz"));
    QCOMPARE(logs.FindIndex(TLogListe::Eingang, bernd) >= 0, true);
    QCOMPARE(logs.FindIndex(TLogListe::Verlauf, bernd), -1);
    // Clara's log was read as well; both partners are unread, each once.
    QVERIFY(logs.FindIndex(TLogListe::Eingang, clara) >= 0);
    QCOMPARE(logs.Count(TLogListe::Eingang), 2);
    QTRY_COMPARE(eingang->count(), 2);
    QCOMPARE(logs.EingangSl.count(PartnerKey(bernd)), 1);
    const QString eingangDatei = QString::fromUtf8(readBytes(folder + "Eingang.txt"));
    QCOMPARE(eingangDatei.count(PartnerKey(bernd)), 1);

    // A later start reads the same conversation, its line breaks as on disk.
    TLogListe neu(folder, f.clock);
    neu.LoadLogs();
    QCOMPARE(neu.Find(bernd, false).Text, ConversationFromLog(gefunden.Text, f.clock.now().date()));
}

// A sent message is filed into the log as well: while the logs are being read, sending is refused.
void TestStartup::sendingWaitsForTheLogs()
{
    QSemaphore gate;
    QSemaphore loading;
    Fixture f({}, {}, [&](TMainWindowEnv& env) {
        env.logsLoading = [&] {
            loading.release();
            gate.acquire();
        };
    });
    Release release{gate};
    f.window->SetSilent(false);
    f.window->RegistryLadenSpeichern(true);
    QTRY_VERIFY(f.probe().startSequenceBegun());
    QVERIFY(loading.tryAcquire(1, 5000));
    // The window's own PC is a partner that is always there to write to.
    TUserListeRec selbst;
    selbst.UserName = "amaier";
    selbst.Name = "amaier";
    selbst.PC = "R12-PC";
    f.window->SetAktUserName(selbst);
    auto* text = f.window->findChild<QPlainTextEdit*>("Memo1Text");
    QVERIFY(text);
    text->setPlainText("Hallo");
    const int beepsVorher = f.sound.beeps;
    f.window->Btn1SendenClick();
    QCOMPARE(f.sound.beeps, beepsVorher + 1);
    QVERIFY(!f.window->isSending());
    QCOMPARE(text->toPlainText(), QString("Hallo"));
    gate.release();
    QTRY_VERIFY(f.probe().startSequenceRan());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
