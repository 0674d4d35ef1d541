#include "data/logformat.h"
#include "data/logliste.h"
#include "data/userliste.h"
#include "doubles/clock.h"
#include "loopbackports.h"
#include "net/endpoints.h"
#include "net/messaging.h"
#include "net/presencechannel.h"
#include "net/protocol.h"
#include "shell/launcher.h"
#include "testenv.h"
#include "win/recorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <array>
#include <memory>

namespace {

const QHostAddress loopback(QHostAddress::LocalHost);
const QString OwnPC = QStringLiteral("A01-PC");
const QString PartnerPC = QStringLiteral("B07-PC");
const uint32_t Ticks = 0x0041A3F2;
const QString Id = QStringLiteral("0041A3F2");
// ManualClock's fixed "now".
const QString Jetzt = QStringLiteral("09.12.2026 14:05:09");

TUserListeRec partner(const QString& pc = PartnerPC)
{
    TUserListeRec r;
    r.PC = pc;
    r.UserName = QStringLiteral("bmueller");
    r.Name = QStringLiteral("Bernd Müller");
    return r;
}

struct Finished
{
    bool ok;
    TUserListeRec rec;
    QString text;
};

} // namespace

class TestMessaging : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void receivedMessageIsStoredThenAcknowledged();
    void repeatedDatagramIsStoredTwiceNewestFirst();
    void failedSaveSendsNoAcknowledgement();
    void invalidDatagramsAreDroppedSilently_data();
    void invalidDatagramsAreDroppedSilently();
    void textsAreDroppedWhileSuspended();
    void receivedLineBreaksAreOneBreakEach_data();
    void receivedLineBreaksAreOneBreakEach();
    void namesFromTheNetworkKeepOneLogAcrossRestarts_data();
    void namesFromTheNetworkKeepOneLogAcrossRestarts();
    void storedMessagesAreLimitedPerSender_data();
    void storedMessagesAreLimitedPerSender();
    void textsAreLimitedOverall_data();
    void textsAreLimitedOverall();

    void acknowledgedSendIsLoggedAsSent();
    void unmatchedAcknowledgementFailsAfterTimeout_data();
    void unmatchedAcknowledgementFailsAfterTimeout();
    void lineBreaksTravelAsCrLf_data();
    void lineBreaksTravelAsCrLf();
    void sendToOwnComputerNeedsNoNetwork();
    void secondSendDuringWaitIsRefused();
    void abortEndsTheWaitAsFailure();
    void refusedAndSilentSends_data();
    void refusedAndSilentSends();
    void unknownAddressIsResolvedByName();
    void unresolvableNameOrSocketErrorFails_data();
    void unresolvableNameOrSocketErrorFails();
    void forgedPresenceDoesNotRedirectAMessage_data();
    void forgedPresenceDoesNotRedirectAMessage();

    void commands_data();
    void commands();
    void commandsAreDroppedWhileSuspended();
    void commandsArriveFromTheNetwork();
    void defaultsHibernateAndLookForTheStarterBesideTheProgram();

private:
    void sendTextFromPeer(const QByteArray& payload);
    void sendAckFromPeer(const QByteArray& payload);
    // Sends a marker to the acknowledgement port and waits for it, so every earlier acknowledgement is in.
    void flushAcks(QSignalSpy& ackSpy);
    // Waits until the store has flushed every message handed to it and answered.
    static void settle(TLogListe& logs);
    // The steps of the limit tables that are not texts: "wait MS" moves the clock, "settle" lets the store
    // answer. False for any other step.
    bool timeStep(const QStringList& w);
    std::unique_ptr<TTextSender> makeSender();
    QStringList logFiles() const;
    QByteArray logBytes(const TUserListeRec& rec) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_logFolder;
    ManualClock m_clock;
    UdpPorts m_ports;
    std::unique_ptr<UdpEndpoints> m_ep;
    std::unique_ptr<TLogListe> m_logs;
    QUdpSocket m_peer;
    QStringList m_lookups;
    QVector<Finished> m_finished;
};

void TestMessaging::initTestCase()
{
    requirePrivateHome();
    // No test may ever reach the real hibernation.
    qputenv("TOBRIK_HIBERNATE_COMMAND", "/nonexistent/tobrik-test-hibernate");
    QVERIFY(m_peer.bind(loopback, 0));
}

void TestMessaging::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_logFolder = m_dir->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(m_logFolder));
    m_clock = ManualClock();
    m_clock.setTickCount(Ticks);
    m_ports = freeLoopbackPorts();
    m_ep = std::make_unique<UdpEndpoints>(m_ports);
    QVERIFY(m_ep->open());
    m_logs = std::make_unique<TLogListe>(m_logFolder, m_clock);
    m_lookups.clear();
    m_finished.clear();
}

void TestMessaging::cleanup()
{
    m_ep.reset();
    m_logs.reset();
    m_dir.reset();
}

void TestMessaging::sendTextFromPeer(const QByteArray& payload)
{
    QCOMPARE(m_peer.writeDatagram(payload, loopback, m_ports.Text), qint64(payload.size()));
}

void TestMessaging::sendAckFromPeer(const QByteArray& payload)
{
    QCOMPARE(m_peer.writeDatagram(payload, loopback, m_ports.Empfang), qint64(payload.size()));
}

void TestMessaging::settle(TLogListe& logs)
{
    logs.Sync();
    QCoreApplication::processEvents();
}

bool TestMessaging::timeStep(const QStringList& w)
{
    if (w[0] == "wait")
        m_clock.advance(w[1].toUInt());
    else if (w[0] == "settle")
        settle(*m_logs);
    else
        return false;
    return true;
}

void TestMessaging::flushAcks(QSignalSpy& ackSpy)
{
    const QByteArray marker("marker");
    const int before = int(ackSpy.count());
    sendAckFromPeer(marker);
    QTRY_VERIFY(ackSpy.count() > before && ackSpy.last().at(0).toByteArray() == marker);
    ackSpy.removeLast();
}

QStringList TestMessaging::logFiles() const
{
    return QDir(m_logFolder).entryList(QDir::Files);
}

QByteArray TestMessaging::logBytes(const TUserListeRec& rec) const
{
    QFile file(m_logs->LogFilePath(rec));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::unique_ptr<TTextSender> TestMessaging::makeSender()
{
    auto sender = std::make_unique<TTextSender>(*m_ep, *m_logs, QStringLiteral("amaier"), OwnPC, m_clock);
    sender->setDisplayName([] { return QStringLiteral("Anna Maier"); });
    sender->setAddressLookup([this](const QString& pc) {
        m_lookups << pc;
        return pc == PartnerPC ? loopback : QHostAddress();
    });
    connect(sender.get(), &TTextSender::sendFinished, this,
            [this](bool ok, const TUserListeRec& rec, const QString& text) {
                m_finished.append({ok, rec, text});
            });
    return sender;
}

// ---- Receiving

void TestMessaging::receivedMessageIsStoredThenAcknowledged()
{
    TTextReceiver receiver(*m_ep, *m_logs, QStringLiteral("B07-PC"), m_clock);
    QSignalSpy received(&receiver, &TTextReceiver::messageReceived);
    QSignalSpy acks(m_ep.get(), &UdpEndpoints::ackReceived);
    sendTextFromPeer(QStringLiteral("TB1|amaier|Anna Maier|R12-PC|Grüße\r\nzurück|0041a3f2").toUtf8());

    QTRY_COMPARE(acks.count(), 1);
    // The ID is echoed as sent; the answer leaves from the acknowledgement endpoint to its port at the peer.
    QCOMPARE(acks.at(0).at(0).toByteArray(), QByteArray("TB1|Angekommen|B07-PC|0041a3f2"));
    QCOMPARE(acks.at(0).at(1).value<QHostAddress>(), loopback);
    QCOMPARE(acks.at(0).at(2).value<quint16>(), m_ports.Empfang);

    QCOMPARE(received.count(), 1);
    const auto rec = received.at(0).at(0).value<TUserListeRec>();
    QCOMPARE(rec.PC, QStringLiteral("R12-PC"));
    QCOMPARE(rec.UserName, QStringLiteral("amaier"));
    QCOMPARE(rec.Name, QStringLiteral("Anna Maier"));
    QCOMPARE(rec.Zeit, m_clock.now());
    QCOMPARE(rec.Text, QStringLiteral("Nachricht von Anna Maier (%1):\rGrüße\r\nzurück\r").arg(Jetzt));
    QCOMPARE(received.at(0).at(1).toString(), QStringLiteral("Anna Maier"));
    QCOMPARE(received.at(0).at(2).toString(), QStringLiteral("Grüße\r\nzurück"));

    // Written to disk: a fresh store finds the partner in the inbox.
    TLogListe reloaded(m_logFolder, m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 1);
    const TUserListeRec stored = reloaded.Get(TLogListe::Eingang, 0);
    QCOMPARE(stored.PC, QStringLiteral("R12-PC"));
    QVERIFY(stored.Text.contains(QStringLiteral("Nachricht von Anna Maier (%1):").arg(Jetzt)));
    QVERIFY(stored.Text.contains(QStringLiteral("zurück")));
}

void TestMessaging::repeatedDatagramIsStoredTwiceNewestFirst()
{
    TTextReceiver receiver(*m_ep, *m_logs, QStringLiteral("B07-PC"), m_clock);
    QSignalSpy received(&receiver, &TTextReceiver::messageReceived);
    QSignalSpy acks(m_ep.get(), &UdpEndpoints::ackReceived);
    sendTextFromPeer("TB1|amaier|Anna Maier|R12-PC|Erste|00000001");
    QTRY_COMPARE(received.count(), 1);
    m_clock.advance(61000);
    sendTextFromPeer("TB1|amaier|Anna Maier|R12-PC|Erste|00000001");
    QTRY_COMPARE(received.count(), 2);
    QTRY_COMPARE(acks.count(), 2);

    TUserListeRec anna;
    anna.PC = QStringLiteral("R12-PC");
    anna.UserName = QStringLiteral("amaier");
    QCOMPARE(m_logs->Find(anna, false).Text,
             QStringLiteral("Nachricht von Anna Maier (09.12.2026 14:06:10):\rErste\r"
                            "Nachricht von Anna Maier (09.12.2026 14:05:09):\rErste\r"));
    QCOMPARE(m_logs->Count(TLogListe::Eingang), 1);
}

void TestMessaging::failedSaveSendsNoAcknowledgement()
{
    // A file where the folder should be: nothing can be saved.
    const QString blocked = m_dir->filePath(QStringLiteral("blocked"));
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    TLogListe logs(blocked, m_clock);
    TTextReceiver receiver(*m_ep, logs, QStringLiteral("B07-PC"), m_clock);
    QSignalSpy received(&receiver, &TTextReceiver::messageReceived);
    QSignalSpy acks(m_ep.get(), &UdpEndpoints::ackReceived);

    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);
    sendTextFromPeer("TB1|amaier|Anna Maier|R12-PC|Hallo|00000001");
    QTRY_COMPARE(texts.count(), 1);
    settle(logs);
    flushAcks(acks);
    QCOMPARE(acks.count(), 0);
    // Nothing was stored, so nothing is reported or listed.
    QCOMPARE(received.count(), 0);
    QCOMPARE(logs.Count(TLogListe::Eingang), 0);
    QVERIFY(logs.EingangSl.isEmpty());
}

void TestMessaging::invalidDatagramsAreDroppedSilently_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("The message ID is missing") << QByteArray("TB1|amaier|Anna Maier|R12-PC|Hallo");
    QTest::newRow("Only the token") << QByteArray("TB1");
    QTest::newRow("A stray | shifts the ID into a seventh field")
        << QByteArray("TB1|amaier|Anna Maier|R12-PC|a|b|00000001");
    QTest::newRow("The token in lower case") << QByteArray("tb1|amaier|Anna Maier|R12-PC|Hallo|00000001");
    QTest::newRow("A blank before the token") << QByteArray(" TB1|amaier|Anna Maier|R12-PC|Hallo|00000001");
    QTest::newRow("Invalid UTF-8 in the message") << QByteArray("TB1|amaier|Anna Maier|R12-PC|\xC3\x28|00000001");
    QTest::newRow("8 KiB of separators") << QByteArray(8192, '|');
    QTest::newRow("The token followed by separators only") << QByteArray("TB1") + QByteArray(8189, '|');
    QTest::newRow("An empty datagram") << QByteArray();
}

void TestMessaging::invalidDatagramsAreDroppedSilently()
{
    QFETCH(QByteArray, payload);
    TTextReceiver receiver(*m_ep, *m_logs, QStringLiteral("B07-PC"), m_clock);
    QSignalSpy received(&receiver, &TTextReceiver::messageReceived);
    QSignalSpy acks(m_ep.get(), &UdpEndpoints::ackReceived);
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);

    sendTextFromPeer(payload);
    QTRY_COMPARE(texts.count(), 1);
    QCOMPARE(received.count(), 0);
    flushAcks(acks);
    QCOMPARE(acks.count(), 0);
    QVERIFY(logFiles().isEmpty());
    QCOMPARE(m_logs->Count(TLogListe::Eingang), 0);
}

void TestMessaging::textsAreDroppedWhileSuspended()
{
    bool standByS = true;
    TTextReceiver receiver(*m_ep, *m_logs, QStringLiteral("B07-PC"), m_clock);
    receiver.setStandBy([&standByS] { return standByS; });
    QSignalSpy received(&receiver, &TTextReceiver::messageReceived);
    QSignalSpy acks(m_ep.get(), &UdpEndpoints::ackReceived);
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);

    sendTextFromPeer("TB1|amaier|Anna Maier|R12-PC|Hallo|00000001");
    QTRY_COMPARE(texts.count(), 1);
    flushAcks(acks);
    QCOMPARE(acks.count(), 0);
    QCOMPARE(received.count(), 0);
    QVERIFY(logFiles().isEmpty());

    standByS = false;
    sendTextFromPeer("TB1|amaier|Anna Maier|R12-PC|Hallo|00000002");
    QTRY_COMPARE(received.count(), 1);
    QTRY_COMPARE(acks.count(), 1);
}

void TestMessaging::receivedLineBreaksAreOneBreakEach_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("Line feeds only") << QByteArray("Zeile1\nZeile2\n\nZeile4");
    QTest::newRow("CR LF") << QByteArray("Zeile1\r\nZeile2\r\n\r\nZeile4");
    QTest::newRow("Lone CRs") << QByteArray("Zeile1\rZeile2\r\rZeile4");
}

void TestMessaging::receivedLineBreaksAreOneBreakEach()
{
    QFETCH(QByteArray, sent);
    TTextReceiver receiver(*m_ep, *m_logs, QStringLiteral("B07-PC"), m_clock);
    QSignalSpy received(&receiver, &TTextReceiver::messageReceived);
    receiver.UdpS1TextUDPRead("TB1|amaier|Anna Maier|R12-PC|" + sent + "|00000001", loopback);
    QTRY_COMPARE(received.count(), 1);
    QVERIFY(m_logs->Sync(true));

    const QString message = QStringLiteral("Zeile1\r\nZeile2\r\n\r\nZeile4");
    QCOMPARE(received.at(0).at(2).toString(), message);
    const auto partner = received.at(0).at(0).value<TUserListeRec>();
    QCOMPARE(partner.Text, QStringLiteral("Nachricht von Anna Maier (%1):\r%2\r").arg(Jetzt, message));
    QCOMPARE(logBytes(partner), QStringLiteral("\uFEFFamaier|Anna Maier|R12-PC\r\n"
                                               "Nachricht von Anna Maier (%1):\r\n%2\r\n")
                                    .arg(Jetzt, message)
                                    .toUtf8());
}

void TestMessaging::namesFromTheNetworkKeepOneLogAcrossRestarts_data()
{
    QTest::addColumn<QStringList>("received"); // user name, display name, PC as they travel
    QTest::addColumn<QStringList>("cleaned");
    QTest::newRow("A CR in the display name")
        << QStringList{"bmueller", "Bernd\rMüller", "B07-PC"} << QStringList{"bmueller", "Bernd Müller", "B07-PC"};
    QTest::newRow("A LF in the user name")
        << QStringList{"bmu\neller", "Bernd Müller", "B07-PC"} << QStringList{"bmu eller", "Bernd Müller", "B07-PC"};
    QTest::newRow("A CR LF at the end of the PC name")
        << QStringList{"bmueller", "Bernd Müller", "B07-PC\r\n"} << QStringList{"bmueller", "Bernd Müller", "B07-PC"};
    QTest::newRow("Tabs and other control characters")
        << QStringList{"bmu\teller", QString::fromUtf16(u"Bernd\x1b\x85Müller"), "B07\x7f-PC"}
        << QStringList{"bmu eller", "Bernd  Müller", "B07 -PC"};
    QTest::newRow("Blanks around every name") << QStringList{" bmueller ", "  Bernd Müller ", " B07-PC  "}
                                              << QStringList{"bmueller", "Bernd Müller", "B07-PC"};
}

// The partner is met in a presence datagram and written to, then restarts bring the log back from
// disk while a text datagram with the same names arrives: one partner, one file, nothing set aside.
void TestMessaging::namesFromTheNetworkKeepOneLogAcrossRestarts()
{
    QFETCH(QStringList, received);
    QFETCH(QStringList, cleaned);
    const auto names = [](const TUserListeRec& r) { return QStringList{r.UserName, r.Name, r.PC}; };

    const std::optional<Protocol::TPresence> presence = Protocol::parsePresence(
        QStringList{"TB1", received[0], received[1], received[2], "0", "1", "08:15:30", "1", "3"}.join(u'|'),
        m_clock.now().time());
    QVERIFY(presence);
    QCOMPARE(names(presence->User), cleaned);
    TUserListeRec gesendet = presence->User;
    gesendet.Zeit = m_clock.now();
    gesendet.Text = BlockNachrichtAn(gesendet.Name, gesendet.Zeit, QStringLiteral("Hallo"), QString());
    QVERIFY(m_logs->Add(false, gesendet));

    QStringList files{"Eingang.txt", LogFileName(PartnerKey(cleaned[0], cleaned[2]))};
    files.sort(Qt::CaseInsensitive); // as logFiles() lists them
    TLogListe neustart(m_logFolder, m_clock);
    neustart.LoadLogs();
    QCOMPARE(logFiles(), files);
    QCOMPARE(neustart.Count(TLogListe::Verlauf), 1);
    QCOMPARE(names(neustart.Get(TLogListe::Verlauf, 0)), cleaned);

    TTextReceiver receiver(*m_ep, neustart, QStringLiteral("A01-PC"), m_clock);
    QSignalSpy spy(&receiver, &TTextReceiver::messageReceived);
    m_clock.advance(1000);
    receiver.UdpS1TextUDPRead(
        QStringList{"TB1", received[0], received[1], received[2], "Antwort", "00000001"}.join(u'|').toUtf8(), loopback);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(neustart.Count(TLogListe::Eingang), 1);
    QCOMPARE(neustart.Count(TLogListe::Verlauf), 0);
    QVERIFY(neustart.Sync(true));

    TLogListe zweiterNeustart(m_logFolder, m_clock);
    zweiterNeustart.LoadLogs();
    QCOMPARE(logFiles(), files);
    QCOMPARE(zweiterNeustart.Count(TLogListe::Eingang), 1);
    QCOMPARE(zweiterNeustart.Count(TLogListe::Verlauf), 0);
    const TUserListeRec partner = zweiterNeustart.Get(TLogListe::Eingang, 0);
    QCOMPARE(names(partner), cleaned);
    QVERIFY(partner.Text.startsWith(QStringLiteral("Nachricht von %1 (").arg(cleaned[1])));
    QVERIFY(partner.Text.contains(QStringLiteral("\r\nAntwort\r\nNachricht an %1 (").arg(cleaned[1])));
}

void TestMessaging::storedMessagesAreLimitedPerSender_data()
{
    // "N from address" hands N text datagrams to the receiver, "wait MS" moves the clock.
    QTest::addColumn<uint>("start");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("acked"); // of those from 127.0.0.1, the only ones that come back here
    QTest::newRow("Sixty within a minute are all stored and acknowledged")
        << 0u << QStringList{"60 from 127.0.0.1"} << 60 << 60;
    QTest::newRow("The sixty-first within the minute is neither stored nor acknowledged")
        << 0u << QStringList{"60 from 127.0.0.1", "wait 59999", "1 from 127.0.0.1"} << 60 << 60;
    QTest::newRow("The window slides: only what left it makes room")
        << 0u << QStringList{"30 from 127.0.0.1", "wait 30000", "30 from 127.0.0.1", "wait 30000", "31 from 127.0.0.1"}
        << 90 << 90;
    QTest::newRow("Another sender is not held back by the first")
        << 0u << QStringList{"60 from 127.0.0.1", "5 from 127.0.0.2", "1 from 127.0.0.1"} << 65 << 60;
    QTest::newRow("Refused messages do not count against the sender")
        << 0u << QStringList{"60 from 127.0.0.1", "wait 30000", "10 from 127.0.0.1", "wait 30000", "60 from 127.0.0.1"}
        << 120 << 120;
    QTest::newRow("A tick count wrapping past 2^32 holds nobody back")
        << 0xFFFFFF00u << QStringList{"60 from 127.0.0.1", "wait 60000", "60 from 127.0.0.1"} << 120 << 120;
}

// Any host can send texts; one sender cannot fill the inbox and the disk faster than the limit, and
// what it sends beyond it is not acknowledged, so the sending colleague sees the failure.
void TestMessaging::storedMessagesAreLimitedPerSender()
{
    QFETCH(uint, start);
    QFETCH(QStringList, steps);
    m_clock.setTickCount(start);
    TTextReceiver receiver(*m_ep, *m_logs, QStringLiteral("B07-PC"), m_clock);
    QSignalSpy received(&receiver, &TTextReceiver::messageReceived);
    QSignalSpy acks(m_ep.get(), &UdpEndpoints::ackReceived);
    int n = 0;
    for (const QString& step : steps) {
        const QStringList w = step.split(u' ');
        if (timeStep(w))
            continue;
        for (int i = 0; i < w[0].toInt(); ++i, ++n) {
            receiver.UdpS1TextUDPRead(QStringLiteral("TB1|amaier|Anna Maier|R12-PC|Nachricht %1|%2")
                                          .arg(n)
                                          .arg(n, 8, 10, QLatin1Char('0'))
                                          .toUtf8(),
                                      QHostAddress(w[2]));
        }
    }
    settle(*m_logs);
    flushAcks(acks);
    QTEST(int(received.count()), "stored");
    QTEST(int(acks.count()), "acked");
    TUserListeRec anna;
    anna.PC = QStringLiteral("R12-PC");
    anna.UserName = QStringLiteral("amaier");
    QTEST(int(m_logs->Find(anna, false).Text.count(QStringLiteral("Nachricht von"))), "stored");
}

void TestMessaging::textsAreLimitedOverall_data()
{
    // "N new": N texts, each from a partner without a conversation and an address of its own;
    // "N from K": N texts of the K-th new partner (from 0) from its address; "N known": N texts of a
    // partner with a conversation, from one more address; "wait MS" moves the clock.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("stored");
    QTest::newRow("Sixty new partners within a minute are all taken") << QStringList{"60 new"} << 60;
    QTest::newRow("The sixty-first within the minute is refused, whatever its address")
        << QStringList{"60 new", "wait 59999", "1 new"} << 60;
    QTest::newRow("A partner with a conversation is not held back") << QStringList{"60 new", "1 new", "5 known"} << 65;
    QTest::newRow("A new partner's next messages do not count as new, stored yet or not")
        << QStringList{"1 new", "5 from 0", "59 new", "5 from 0"} << 70;
    QTest::newRow("The window slides") << QStringList{"60 new", "wait 60000", "60 new"} << 120;
    // "N forged": N texts of the partner with a conversation, each from an address of its own, all handed
    // over before the store answers any; "settle" lets the store answer.
    QTest::newRow("Texts beyond those the store has not answered yet are refused")
        << QStringList{"1005 forged"} << TTextReceiver::MaxUnanswered;
    QTest::newRow("Answered texts make room again")
        << QStringList{"1005 forged", "settle", "3 forged"} << TTextReceiver::MaxUnanswered + 3;
}

// Forged addresses are free, so a forger could start a conversation (a log file, an inbox row) with
// every text; the number of new partners a minute bounds what a flood can make the program keep.
void TestMessaging::textsAreLimitedOverall()
{
    QFETCH(QStringList, steps);
    TUserListeRec anna;
    anna.PC = QStringLiteral("R12-PC");
    anna.UserName = QStringLiteral("amaier");
    anna.Name = QStringLiteral("Anna Maier");
    m_logs->Add(TLogListe::Verlauf, anna);
    TTextReceiver receiver(*m_ep, *m_logs, QStringLiteral("B07-PC"), m_clock);
    QSignalSpy received(&receiver, &TTextReceiver::messageReceived);
    int n = 0;
    int partners = 0;
    const auto text = [&](const QString& user, const QString& pc, int address) {
        receiver.UdpS1TextUDPRead(QStringLiteral("TB1|%1|%1|%2|Nachricht %3|%4")
                                      .arg(user, pc)
                                      .arg(n)
                                      .arg(n, 8, 10, QLatin1Char('0'))
                                      .toUtf8(),
                                  QHostAddress(quint32(0x7F000100u + quint32(address))));
        ++n;
    };
    for (const QString& step : steps) {
        const QStringList w = step.split(u' ');
        if (timeStep(w))
            continue;
        for (int i = 0; i < w[0].toInt(); ++i) {
            if (w[1] == "new") {
                text(QStringLiteral("f%1").arg(partners), QStringLiteral("F%1-PC").arg(partners), partners + 1);
                ++partners;
            } else if (w[1] == "from") {
                text(QStringLiteral("f%1").arg(w[2]), QStringLiteral("F%1-PC").arg(w[2]), w[2].toInt() + 1);
            } else if (w[1] == "forged") {
                text(anna.UserName, anna.PC, 1000 + n);
            } else {
                text(anna.UserName, anna.PC, 250);
            }
        }
    }
    settle(*m_logs);
    QTEST(int(received.count()), "stored");
    int kept = 0;
    for (const int nr : {TLogListe::Eingang, TLogListe::Verlauf}) {
        for (int i = 0; i < m_logs->Count(nr); ++i)
            kept += int(m_logs->Get(nr, i).Text.count(QStringLiteral("Nachricht von")));
    }
    QTEST(kept, "stored");
}

// ---- Sending

void TestMessaging::lineBreaksTravelAsCrLf_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::newRow("A line feed from the editor goes out as CR LF") << "Zeile1\nZeile2"
                                                                   << "Zeile1\r\nZeile2";
    QTest::newRow("CR LF and lone CR go out as CR LF") << "a\r\nb\rc"
                                                       << "a\r\nb\r\nc";
    QTest::newRow("A full editor whose line breaks grow beyond 2048 is cut as it travels")
        << QString(2040, u'x') + "\n" + QString(7, u'y') << QString(2040, u'x') + "\r\n" + QString(6, u'y');
    QTest::newRow("A text beyond 2048 goes out cut and is logged as it went")
        << QString(Protocol::MaxMessageLength + 1, u'x') << QString(Protocol::MaxMessageLength, u'x');
}

void TestMessaging::lineBreaksTravelAsCrLf()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    auto sender = makeSender();
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);
    connect(m_ep.get(), &UdpEndpoints::textReceived, this,
            [this] { sendAckFromPeer(QStringLiteral("TB1|Angekommen|B07-PC|%1").arg(Id).toUtf8()); });

    QVERIFY(sender->send(partner(), typed));
    QTRY_COMPARE(m_finished.size(), 1);
    QVERIFY(m_finished.first().ok);
    QCOMPARE(texts.count(), 1);
    QCOMPARE(texts.at(0).at(0).toByteArray(),
             QStringLiteral("TB1|amaier|Anna Maier|A01-PC|%1|%2").arg(sent, Id).toUtf8());

    // The log holds what the partner got, with the line breaks of the log format.
    QCOMPARE(m_finished.first().text, sent);
    QCOMPARE(m_finished.first().rec.Text, QStringLiteral("Nachricht an Bernd Müller (%1):\r%2\r").arg(Jetzt, sent));
    QVERIFY(m_logs->Sync(true));
    QCOMPARE(logBytes(partner()), QStringLiteral("\uFEFFbmueller|Bernd Müller|B07-PC\r\n"
                                                 "Nachricht an Bernd Müller (%1):\r\n%2\r\n")
                                      .arg(Jetzt, sent)
                                      .toUtf8());
}

void TestMessaging::acknowledgedSendIsLoggedAsSent()
{
    // An earlier unread message from the partner: sending moves the partner to the history.
    TUserListeRec earlier = partner();
    earlier.Text = QStringLiteral("Nachricht von Bernd Müller (08.12.2026 10:00:00):\rFrüher\r");
    QVERIFY(m_logs->Add(true, earlier));

    auto sender = makeSender();
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);
    // The peer answers in other letter case.
    connect(m_ep.get(), &UdpEndpoints::textReceived, this, [this](const QByteArray& payload) {
        const QString id = payload.mid(payload.lastIndexOf('|') + 1).toLower();
        sendAckFromPeer("TB1|ANGEKOMMEN|b07-pc|" + id.toUtf8());
    });

    QVERIFY(sender->send(partner(), QStringLiteral("  Hallo a|b\r\n")));
    QVERIFY(sender->isSending());
    QVERIFY(m_finished.isEmpty());
    QTRY_COMPARE(m_finished.size(), 1);
    QVERIFY(!sender->isSending());

    QCOMPARE(m_lookups, QStringList{PartnerPC});
    QCOMPARE(texts.count(), 1);
    QCOMPARE(texts.at(0).at(0).toByteArray(),
             QStringLiteral("TB1|amaier|Anna Maier|A01-PC|Hallo a/b|%1").arg(Id).toUtf8());
    QCOMPARE(texts.at(0).at(2).value<quint16>(), m_ports.Text);

    const Finished f = m_finished.first();
    QVERIFY(f.ok);
    QCOMPARE(f.text, QStringLiteral("Hallo a|b"));
    const QString expected = QStringLiteral("Nachricht an Bernd Müller (%1):\rHallo a|b\r").arg(Jetzt) + earlier.Text;
    QCOMPARE(f.rec.Text, expected);
    QCOMPARE(f.rec.Zeit, m_clock.now());
    QCOMPARE(m_logs->Count(TLogListe::Eingang), 0);
    QCOMPARE(m_logs->Count(TLogListe::Verlauf), 1);
    QCOMPARE(m_logs->Get(TLogListe::Verlauf, 0).Text, expected);

    TLogListe reloaded(m_logFolder, m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 0);
    QCOMPARE(reloaded.Count(TLogListe::Verlauf), 1);
    QVERIFY(reloaded.Get(TLogListe::Verlauf, 0).Text.startsWith(QStringLiteral("Nachricht an Bernd Müller")));
}

void TestMessaging::unmatchedAcknowledgementFailsAfterTimeout_data()
{
    QTest::addColumn<QString>("ack");
    QTest::newRow("The right ID from another computer") << QStringLiteral("TB1|Angekommen|C01-PC|%1").arg(Id);
    QTest::newRow("The right computer with another ID") << QStringLiteral("TB1|Angekommen|B07-PC|0041A3F3");
    QTest::newRow("Another word than Angekommen") << QStringLiteral("TB1|Empfangen|B07-PC|%1").arg(Id);
}

void TestMessaging::unmatchedAcknowledgementFailsAfterTimeout()
{
    QFETCH(QString, ack);
    auto sender = makeSender();
    QSignalSpy acks(m_ep.get(), &UdpEndpoints::ackReceived);
    connect(m_ep.get(), &UdpEndpoints::textReceived, this, [this, ack] { sendAckFromPeer(ack.toUtf8()); });

    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(sender->send(partner(), QStringLiteral("Hallo")));
    QTRY_COMPARE(acks.count(), 1);
    QVERIFY(m_finished.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(m_finished.size(), 1, 4000);
    QVERIFY(elapsed.elapsed() >= TTextSender::AckTimeoutMs - 50);
    QVERIFY(!m_finished.first().ok);
    QCOMPARE(m_finished.first().rec, partner());
    QVERIFY(logFiles().isEmpty());
    QCOMPARE(m_logs->Count(TLogListe::Verlauf), 0);

    // The right acknowledgement after the time-out changes nothing.
    sendAckFromPeer(QStringLiteral("TB1|Angekommen|B07-PC|%1").arg(Id).toUtf8());
    QTRY_COMPARE(acks.count(), 2);
    QCOMPARE(m_finished.size(), 1);
    QVERIFY(logFiles().isEmpty());
}

void TestMessaging::sendToOwnComputerNeedsNoNetwork()
{
    m_ep->close(); // any network use would fail the send
    auto sender = makeSender();
    TUserListeRec self = partner(OwnPC);
    self.UserName = QStringLiteral("amaier");
    self.Name = QStringLiteral("Anna Maier");

    QVERIFY(sender->send(self, QStringLiteral("Notiz")));
    QTRY_COMPARE(m_finished.size(), 1);
    QVERIFY(m_finished.first().ok);
    QVERIFY(m_lookups.isEmpty());
    const QString expected = QStringLiteral("Nachricht von Anna Maier (%1):\rNotiz\r"
                                            "Nachricht an Anna Maier (%1):\rNotiz\r")
                                 .arg(Jetzt);
    QCOMPARE(m_finished.first().rec.Text, expected);
    QCOMPARE(m_logs->Count(TLogListe::Eingang), 1);
    QCOMPARE(m_logs->Get(TLogListe::Eingang, 0).Text, expected);

    TLogListe reloaded(m_logFolder, m_clock);
    reloaded.LoadLogs();
    QCOMPARE(reloaded.Count(TLogListe::Eingang), 1);
    QCOMPARE(reloaded.EingangSl, QStringList{QStringLiteral("amaier_A01-PC")});
}

void TestMessaging::secondSendDuringWaitIsRefused()
{
    auto sender = makeSender();
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);
    QVERIFY(sender->send(partner(), QStringLiteral("Erste")));
    QVERIFY(!sender->send(partner(), QStringLiteral("Zweite")));
    QTRY_COMPARE(texts.count(), 1);
    QVERIFY(!sender->send(partner(), QStringLiteral("Dritte")));
    QVERIFY(!sender->send(partner(OwnPC), QStringLiteral("Vierte")));

    sendAckFromPeer(QStringLiteral("TB1|Angekommen|B07-PC|%1").arg(Id).toUtf8());
    QTRY_COMPARE(m_finished.size(), 1);
    QVERIFY(m_finished.first().ok);
    QCOMPARE(m_finished.first().text, QStringLiteral("Erste"));
    QCOMPARE(texts.count(), 1);
    // Idle again: the next send is taken.
    QVERIFY(sender->send(partner(OwnPC), QStringLiteral("Danach")));
    QTRY_COMPARE(m_finished.size(), 2);
}

void TestMessaging::abortEndsTheWaitAsFailure()
{
    auto sender = makeSender();
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);
    QSignalSpy acks(m_ep.get(), &UdpEndpoints::ackReceived);
    sender->abort(); // idle: nothing to end
    QVERIFY(sender->send(partner(), QStringLiteral("Hallo")));
    QTRY_COMPARE(texts.count(), 1);
    QVERIFY(m_finished.isEmpty());

    sender->abort();
    QCOMPARE(m_finished.size(), 1);
    QVERIFY(!m_finished.first().ok);
    QVERIFY(!sender->isSending());

    sendAckFromPeer(QStringLiteral("TB1|Angekommen|B07-PC|%1").arg(Id).toUtf8());
    QTRY_COMPARE(acks.count(), 1);
    QTest::qWait(TTextSender::AckTimeoutMs + 200);
    QCOMPARE(m_finished.size(), 1);
    QVERIFY(logFiles().isEmpty());
}

void TestMessaging::refusedAndSilentSends_data()
{
    QTest::addColumn<QString>("pc");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("standByS");
    QTest::addColumn<bool>("closingS");
    QTest::addColumn<bool>("result");
    QTest::newRow("Only blanks and line breaks beep")
        << PartnerPC << QStringLiteral(" \r\n\t \r\n") << false << false << false;
    QTest::newRow("No partner beeps") << QString() << QStringLiteral("Hallo") << false << false << false;
    QTest::newRow("While suspended nothing happens, silently")
        << PartnerPC << QStringLiteral("Hallo") << true << false << true;
    QTest::newRow("While closing nothing happens, silently")
        << PartnerPC << QStringLiteral("Hallo") << false << true << true;
}

void TestMessaging::refusedAndSilentSends()
{
    QFETCH(QString, pc);
    QFETCH(QString, text);
    QFETCH(bool, standByS);
    QFETCH(bool, closingS);
    QFETCH(bool, result);
    auto sender = makeSender();
    sender->setStandBy([standByS] { return standByS; });
    sender->setClosing([closingS] { return closingS; });
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);

    QCOMPARE(sender->send(partner(pc), text), result);
    QVERIFY(!sender->isSending());
    QTest::qWait(100);
    QVERIFY(m_finished.isEmpty());
    QCOMPARE(texts.count(), 0);
    QVERIFY(m_lookups.isEmpty());
}

void TestMessaging::unknownAddressIsResolvedByName()
{
    // "localhost" comes from the hosts file, so the look-up stays on this machine.
    auto sender = makeSender();
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);
    connect(m_ep.get(), &UdpEndpoints::textReceived, this,
            [this] { sendAckFromPeer(QStringLiteral("TB1|Angekommen|LOCALHOST|%1").arg(Id).toUtf8()); });
    QVERIFY(sender->send(partner(QStringLiteral("localhost")), QStringLiteral("Hallo")));
    QTRY_COMPARE(m_finished.size(), 1);
    QCOMPARE(m_lookups, QStringList{QStringLiteral("localhost")});
    QCOMPARE(texts.count(), 1);
    QCOMPARE(texts.at(0).at(1).value<QHostAddress>(), loopback);
    QVERIFY(m_finished.first().ok);
    QCOMPARE(m_logs->Count(TLogListe::Verlauf), 1);
}

void TestMessaging::unresolvableNameOrSocketErrorFails_data()
{
    QTest::addColumn<QString>("pc");
    QTest::addColumn<bool>("endpointsOpenS");
    // Not a valid host name: refused before any resolver is asked.
    QTest::newRow("A name that cannot be resolved") << QStringLiteral("bad name") << true;
    QTest::newRow("The text endpoint is closed") << PartnerPC << false;
}

void TestMessaging::unresolvableNameOrSocketErrorFails()
{
    QFETCH(QString, pc);
    QFETCH(bool, endpointsOpenS);
    if (!endpointsOpenS)
        m_ep->close();
    auto sender = makeSender();
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(sender->send(partner(pc), QStringLiteral("Hallo")));
    QTRY_COMPARE(m_finished.size(), 1);
    QVERIFY(elapsed.elapsed() < TTextSender::AckTimeoutMs);
    QVERIFY(!m_finished.first().ok);
    QVERIFY(!sender->isSending());
    QVERIFY(logFiles().isEmpty());
}

void TestMessaging::forgedPresenceDoesNotRedirectAMessage_data()
{
    // The partner's presence, then others claiming its PC: "on|off from address".
    QTest::addColumn<QString>("pc");
    QTest::addColumn<QStringList>("claims");
    QTest::addColumn<bool>("ok");
    // "bad name" cannot be resolved and is refused before any resolver is asked; "localhost" resolves
    // to the partner's address from the hosts file.
    QTest::newRow("Heard from one address: sent there without resolving the name")
        << "bad name" << QStringList{"on from 127.0.0.1"} << true;
    QTest::newRow("A second address claims the PC: the name is resolved and the message reaches the partner")
        << "localhost" << QStringList{"on from 127.0.0.1", "on from 127.0.0.2"} << true;
    QTest::newRow("A forged sign-off and sign-on from the second address: still resolved by name")
        << "localhost" << QStringList{"on from 127.0.0.1", "off from 127.0.0.2", "on from 127.0.0.2"} << true;
    QTest::newRow("A contested PC whose name does not resolve fails rather than go to the newcomer")
        << "bad name" << QStringList{"on from 127.0.0.1", "on from 127.0.0.2"} << false;
}

// The window's sender asks the presence channel where a PC is; a forger at 127.0.0.2 listens for texts.
void TestMessaging::forgedPresenceDoesNotRedirectAMessage()
{
#ifdef Q_OS_WIN
    QSKIP("Windows keeps the text port to the endpoint alone: no second host can be played on loopback");
#endif
    QFETCH(QString, pc);
    QFETCH(QStringList, claims);
    QFETCH(bool, ok);
    const QHostAddress forgerAddress(QStringLiteral("127.0.0.2"));
    QUdpSocket forger;
    QVERIFY(forger.bind(forgerAddress, m_ports.Text));
    TUserListe liste(m_clock);
    TPresenceChannel channel(liste, m_clock, OwnPC);
    for (const QString& claim : claims) {
        const QByteArray presence =
            QStringList{"TB1", "bmueller", "Bernd Müller", pc, "0", claim.startsWith("on") ? "1" : "0", "08:15:30",
                        "1",   "3"}
                .join(u'|')
                .toUtf8();
        QVERIFY(channel.Merge(presence, QHostAddress(claim.section(u' ', 2))));
    }
    auto sender = makeSender();
    sender->setAddressLookup([&channel](const QString& target) { return channel.Address(target); });
    QSignalSpy texts(m_ep.get(), &UdpEndpoints::textReceived);
    connect(m_ep.get(), &UdpEndpoints::textReceived, this,
            [this, pc] { sendAckFromPeer(QStringLiteral("TB1|Angekommen|%1|%2").arg(pc, Id).toUtf8()); });

    QVERIFY(sender->send(partner(pc), QStringLiteral("Hallo")));
    QTRY_COMPARE_WITH_TIMEOUT(m_finished.size(), 1, 4000);
    QTEST(m_finished.first().ok, "ok");
    QCOMPARE(int(texts.count()), ok ? 1 : 0);
    // Sent on loopback, so it would already be queued there.
    QVERIFY(!forger.hasPendingDatagrams());
}

// ---- Commands

namespace {

struct Recorder
{
    QStringList calls;
    bool inTrayS = false;
    bool starterExistsS = true;
    bool starterStartsS = true;

    TCommandActions actions()
    {
        TCommandActions a;
        a.quit = [this] { calls << QStringLiteral("quit"); };
        a.setAutostart = [this](bool on) { calls << (on ? QStringLiteral("autostart on") : "autostart off"); };
        a.reloadUsers = [this] { calls << QStringLiteral("reload"); };
        a.hibernate = [this] {
            calls << QStringLiteral("hibernate");
            return true;
        };
        a.inTray = [this] { return inTrayS; };
        a.findStarter = [this] { return starterExistsS ? QStringLiteral("/opt/tobrik/TobrikStarter") : QString(); };
        a.startDetached = [this](const QString& program, const QStringList& args) {
            calls << QStringLiteral("start %1 [%2]").arg(program, args.join(u','));
            return starterStartsS;
        };
        a.programPath = QStringLiteral("/opt/tobrik/Tobrik Messenger");
        return a;
    }
};

} // namespace

void TestMessaging::commands_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("inTrayS");
    QTest::addColumn<bool>("starterExistsS");
    QTest::addColumn<bool>("starterStartsS");
    QTest::addColumn<QStringList>("calls");
    const QString start = QStringLiteral("start /opt/tobrik/TobrikStarter [30,/opt/tobrik/Tobrik Messenger,/tbs%1]");
    const QStringList none;

    QTest::newRow("kick quits") << QByteArray("TB1|kick") << false << true << true << QStringList{"quit"};
    QTest::newRow("Kick with a capital K is ignored") << QByteArray("TB1|Kick") << false << true << true << none;
    QTest::newRow("autostartein switches autostart on")
        << QByteArray("TB1|autostartein") << false << true << true << QStringList{"autostart on"};
    QTest::newRow("autostartaus switches autostart off")
        << QByteArray("TB1|autostartaus") << false << true << true << QStringList{"autostart off"};
    QTest::newRow("loaduser reloads the directory")
        << QByteArray("TB1|loaduser") << false << true << true << QStringList{"reload"};
    QTest::newRow("ruhezustand hibernates")
        << QByteArray("TB1|ruhezustand") << false << true << true << QStringList{"hibernate"};
    QTest::newRow("update from the tray starts the starter minimised, then quits")
        << QByteArray("TB1|update|30") << true << true << true
        << QStringList{start.arg(QStringLiteral(",/systemstartup")), "quit"};
    QTest::newRow("update from the open window starts the starter, then quits")
        << QByteArray("TB1|update|30") << false << true << true << QStringList{start.arg(QString()), "quit"};
    QTest::newRow("update without Sek is ignored") << QByteArray("TB1|update") << false << true << true << none;
    QTest::newRow("update with a Sek that is no number is ignored")
        << QByteArray("TB1|update|30 /x") << false << true << true << none;
    QTest::newRow("update with a negative Sek is ignored")
        << QByteArray("TB1|update|-5") << false << true << true << none;
    QTest::newRow("update without the starter leaves the program running")
        << QByteArray("TB1|update|30") << false << false << true << none;
    QTest::newRow("update whose starter does not start leaves the program running")
        << QByteArray("TB1|update|30") << false << true << false << QStringList{start.arg(QString())};
    QTest::newRow("An unknown word is ignored") << QByteArray("TB1|shutdown") << false << true << true << none;
    QTest::newRow("The token in lower case is ignored") << QByteArray("tb1|kick") << false << true << true << none;
    QTest::newRow("Invalid UTF-8 is ignored") << QByteArray("TB1|kick\xFF") << false << true << true << none;
}

void TestMessaging::commands()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, inTrayS);
    QFETCH(bool, starterExistsS);
    QFETCH(bool, starterStartsS);
    QFETCH(QStringList, calls);
    Recorder rec;
    rec.inTrayS = inTrayS;
    rec.starterExistsS = starterExistsS;
    rec.starterStartsS = starterStartsS;
    TCommandHandler handler(rec.actions());
    handler.UdpS1BefehlUDPRead(payload);
    QCOMPARE(rec.calls, calls);
}

void TestMessaging::commandsAreDroppedWhileSuspended()
{
    Recorder rec;
    TCommandHandler handler(rec.actions());
    bool standByS = true;
    handler.setStandBy([&standByS] { return standByS; });
    for (const char* cmd : {"TB1|kick", "TB1|ruhezustand", "TB1|update|30", "TB1|loaduser"})
        handler.UdpS1BefehlUDPRead(cmd);
    QVERIFY(rec.calls.isEmpty());
    standByS = false;
    handler.UdpS1BefehlUDPRead("TB1|loaduser");
    QCOMPARE(rec.calls, QStringList{"reload"});
}

void TestMessaging::commandsArriveFromTheNetwork()
{
    Recorder rec;
    TCommandHandler handler(rec.actions());
    connect(m_ep.get(), &UdpEndpoints::commandReceived, &handler, &TCommandHandler::UdpS1BefehlUDPRead);
    const QByteArray kick("TB1|kick");
    QCOMPARE(m_peer.writeDatagram(kick, loopback, m_ports.Befehl), qint64(kick.size()));
    QTRY_COMPARE(rec.calls, QStringList{"quit"});
}

void TestMessaging::defaultsHibernateAndLookForTheStarterBesideTheProgram()
{
#ifdef Q_OS_WIN
    // The recorder leaves args.txt beside itself.
    const QString marker = m_dir->filePath(QStringLiteral("args.txt"));
    const QString recorder = CopyRecorder(m_dir->path());
    QVERIFY(!recorder.isEmpty());
    qputenv("TOBRIK_HIBERNATE_COMMAND", QStringLiteral("\"%1\" /H").arg(recorder).toUtf8());
#else
    const QString marker = m_dir->filePath(QStringLiteral("hibernated"));
    qputenv("TOBRIK_HIBERNATE_COMMAND", QStringLiteral("/usr/bin/touch \"%1\"").arg(marker).toUtf8());
#endif
    QStringList calls;
    TCommandActions actions;
    actions.quit = [&calls] { calls << QStringLiteral("quit"); };
    TCommandHandler handler(actions);

    handler.UdpS1BefehlUDPRead("TB1|ruhezustand");
    QTRY_VERIFY(QFile::exists(marker));
    qputenv("TOBRIK_HIBERNATE_COMMAND", "/nonexistent/tobrik-test-hibernate");

    // There is no starter beside the test program.
    QVERIFY(FindCompanion(QStringLiteral("TobrikStarter")).isEmpty());
    handler.UdpS1BefehlUDPRead("TB1|update|30");
    QVERIFY(calls.isEmpty());
}

QTEST_GUILESS_MAIN(TestMessaging)
#include "tst_messaging.moc"
