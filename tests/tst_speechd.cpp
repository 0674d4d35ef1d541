// The screen-reader path with real parts: a private speech-dispatcher whose output module writes every text
// into a file, a private session bus on which the test plays AT-SPI, and servers that never answer.
#include "speech/atspi_linux.h"
#include "speech/brlapi_linux.h"
#include "speech/privatespeechd.h"
#include "speech/screenreader_linux.h"
#include "speech/speechd_linux.h"
#include "testenv.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A server that takes connections (the kernel queues them) and never says a word.
class SilentServer
{
public:
    // A local socket at `path`.
    explicit SilentServer(const QString& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = path.toUtf8();
        qstrncpy(addr.sun_path, p.constData(), sizeof(addr.sun_path));
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && ::listen(m_fd, 8) == 0;
    }
    // A loopback TCP port at or above `from`.
    explicit SilentServer(int from)
    {
        for (int port = from; port < from + 200 && !m_ok; ++port) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(static_cast<uint16_t>(port));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && ::listen(m_fd, 8) == 0;
            m_port = port;
        }
    }
    ~SilentServer()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_ok; }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
    bool m_ok = false;
};

qint64 median(QList<qint64> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

const QString A11yService = QStringLiteral("org.a11y.Bus");

// Loopback ports for servers that never answer; BrlAPI's "host:n" means TCP port 4101 + n.
constexpr int SilentPortsFrom = 24101;
QByteArray brlapiHost(int port)
{
    return "127.0.0.1:" + QByteArray::number(port - 4101);
}

} // namespace

// The part of AT-SPI's bus service that the detection asks. It lives in a thread of its own: the detection
// blocks the thread it asks from.
class FakeA11yStatus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.a11y.Status")
    Q_PROPERTY(bool IsEnabled READ isEnabled)
    Q_PROPERTY(bool ScreenReaderEnabled READ screenReaderEnabled)
public:
    bool isEnabled() const { return true; }
    bool screenReaderEnabled() const
    {
        if (stuck)
            QThread::msleep(1000);
        return enabled;
    }
    std::atomic<bool> enabled{false};
    std::atomic<bool> stuck{false};
};

class TestSpeechd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void textArrivesAsGiven_data();
    void textArrivesAsGiven();
    void timeToReachTheServer();
    void reconnectsToARestartedServer();
    void noServerMeansNoSpeechPromptly_data();
    void noServerMeansNoSpeechPromptly();

    void atSpiDetection_data();
    void atSpiDetection();
    void screenReaderSpeaksOnlyWhileAtSpiSaysSo();
    void noBrailleWithoutBrltty_data();
    void noBrailleWithoutBrltty();

private:
    void setA11y(const QString& state);

    std::unique_ptr<PrivateSpeechd> m_speechd;
    QTemporaryDir m_dir;
    QProcess m_bus;
    QString m_busAddress;
    QThread m_serviceThread;
    FakeA11yStatus* m_a11y = nullptr;
};

void TestSpeechd::initTestCase()
{
    requirePrivateHome();
    if (!PrivateSpeechd::installed())
        QSKIP("speech-dispatcher is not installed");
    m_speechd = std::make_unique<PrivateSpeechd>();
    QVERIFY(m_speechd->start());

    m_bus.start("dbus-daemon",
                {"--session", "--nofork", "--print-address", "--address=unix:path=" + m_dir.filePath("bus")});
    QVERIFY(m_bus.waitForStarted(5000));
    while (!m_bus.canReadLine() && m_bus.waitForReadyRead(5000)) {
    }
    m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_busAddress.isEmpty());
    m_a11y = new FakeA11yStatus;
    m_a11y->moveToThread(&m_serviceThread);
    m_serviceThread.start();
    QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, "a11y-service");
    QVERIFY(service.registerObject("/org/a11y/bus", m_a11y, QDBusConnection::ExportAllProperties));
}

void TestSpeechd::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus("a11y-service");
    QDBusConnection::disconnectFromBus("a11y-client");
    m_serviceThread.quit();
    m_serviceThread.wait();
    delete m_a11y;
    m_bus.terminate();
    if (!m_bus.waitForFinished(3000))
        m_bus.kill();
    m_speechd.reset();
}

void TestSpeechd::init()
{
    qputenv("SPEECHD_ADDRESS", m_speechd->address().toUtf8());
    // A port nothing listens on: no BRLTTY of this machine gets a word from these tests.
    qputenv("BRLAPI_HOST", brlapiHost(SilentServer(SilentPortsFrom).port()));
}

void TestSpeechd::textArrivesAsGiven_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("interrupt");
    QTest::newRow("An announcement") << "Nachricht von Anna: Hallo" << false;
    QTest::newRow("Cutting off what was said before") << "Ungelesen: 3" << true;
    QTest::newRow("Markup is text, not SSML") << "Das ist <b>fett</b> & <speak>kein</speak> Befehl" << false;
    QTest::newRow("Umlauts") << QString::fromUtf8("Grüße von Jörg: Straße") << false;
}

void TestSpeechd::textArrivesAsGiven()
{
    QFETCH(QString, text);
    QFETCH(bool, interrupt);
    SpeechdOutput output;
    QVERIFY(output.speak(text.toStdString(), interrupt));
    QVERIFY(m_speechd->waitForSpoken(text) >= 0);
}

void TestSpeechd::timeToReachTheServer()
{
    SpeechdOutput output;
    QList<qint64> times;
    for (int i = 0; i < 7; ++i) {
        const QString text = QStringLiteral("Nachricht %1").arg(i);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(output.speak(text.toStdString(), true));
        QVERIFY(m_speechd->waitForSpoken(text) >= 0);
        times << timer.elapsed();
    }
    qInfo("speak to file: median %lld ms of %lld", median(times), qint64(times.size()));
}

void TestSpeechd::reconnectsToARestartedServer()
{
    SpeechdOutput output;
    QVERIFY(output.speak("Vorher", false));
    QVERIFY(m_speechd->waitForSpoken("Vorher") >= 0);

    m_speechd->kill();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!output.speak("Niemand hört zu", false)); // and no SIGPIPE ends the test
    const qint64 downMs = timer.elapsed();
    QVERIFY(!output.isConnected());

    QVERIFY(m_speechd->start());
    timer.restart();
    QVERIFY(output.speak("Nachher", true));
    const qint64 reconnectMs = timer.elapsed();
    QVERIFY(m_speechd->waitForSpoken("Nachher") >= 0);
    QVERIFY(!m_speechd->spoken().contains("Niemand hört zu"));
    qInfo("server killed: speak answered in %lld ms; after the restart the next speak took %lld ms", downMs,
          reconnectMs);
}

void TestSpeechd::noServerMeansNoSpeechPromptly_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("Nothing listens") << false;
    QTest::newRow("A server that never answers") << true;
}

void TestSpeechd::noServerMeansNoSpeechPromptly()
{
    QFETCH(bool, listening);
    const QString path = m_dir.filePath(listening ? "silent.sock" : "nothing.sock");
    std::unique_ptr<SilentServer> server;
    if (listening) {
        server = std::make_unique<SilentServer>(path);
        QVERIFY(server->ok());
    }
    qputenv("SPEECHD_ADDRESS", ("unix_socket:" + path).toUtf8());
    SpeechdOutput output;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!output.speak("Hallo", true));
    const qint64 firstMs = timer.elapsed();
    timer.restart();
    QVERIFY(!output.cancel());
    qInfo("%s: speak answered false in %lld ms, the cancel after it in %lld ms", QTest::currentDataTag(), firstMs,
          timer.elapsed());
    QVERIFY(!output.isConnected());
}

void TestSpeechd::setA11y(const QString& state)
{
    QDBusConnection service("a11y-service");
    m_a11y->enabled = state == "on";
    m_a11y->stuck = state == "stuck";
    if (state == "absent")
        service.unregisterService(A11yService);
    else
        QVERIFY(service.registerService(A11yService) || service.interface()->isServiceRegistered(A11yService));
}

void TestSpeechd::atSpiDetection_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("running");
    QTest::newRow("AT-SPI reports a screen reader") << "on" << true;
    QTest::newRow("AT-SPI reports none") << "off" << false;
    QTest::newRow("No AT-SPI on the bus") << "absent" << false;
    QTest::newRow("AT-SPI does not answer") << "stuck" << false;
}

void TestSpeechd::atSpiDetection()
{
    QFETCH(QString, state);
    setA11y(state);
    AtSpiStatus status(QDBusConnection::connectToBus(m_busAddress, "a11y-client"));
    QList<qint64> times;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        QTEST(status.screenReaderEnabled(), "running");
        times << timer.nsecsElapsed() / 1000;
    }
    qInfo("%s: first call %lld us, median of 5 calls %lld us", QTest::currentDataTag(), times.first(), median(times));
    // a stuck service holds its thread a while longer: wait for it before the next test asks
    m_a11y->stuck = false;
    AtSpiStatus(QDBusConnection("a11y-client"), 5000).screenReaderEnabled();
}

void TestSpeechd::screenReaderSpeaksOnlyWhileAtSpiSaysSo()
{
    LinuxScreenReader screenReader(QDBusConnection::connectToBus(m_busAddress, "a11y-client"));
    setA11y("on");
    QVERIFY(screenReader.isRunning());
    QCOMPARE(screenReader.name(), std::string("AT-SPI"));
    QVERIFY(screenReader.speak("Nachricht von Anna: Hallo", true));
    QVERIFY(m_speechd->waitForSpoken("Nachricht von Anna: Hallo") >= 0);
    QVERIFY(screenReader.output("Eingang", false)); // spoken, though no braille display
    QVERIFY(m_speechd->waitForSpoken("Eingang") >= 0);
    QVERIFY(!screenReader.braille("Eingang"));
    QVERIFY(!screenReader.output("", false));
    QVERIFY(screenReader.silence());

    setA11y("off");
    QVERIFY(!screenReader.isRunning());
    QCOMPARE(screenReader.name(), std::string());
    QVERIFY(!screenReader.speak("Verlauf", false));
    QVERIFY(!screenReader.output("Verlauf", false));
    QVERIFY(!screenReader.silence());
    // the file's last line is still the one from before
    QVERIFY(m_speechd->waitForSpoken("Eingang", 300) >= 0);
}

void TestSpeechd::noBrailleWithoutBrltty_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("No BRLTTY") << false;
    QTest::newRow("A BRLTTY that never answers") << true;
}

void TestSpeechd::noBrailleWithoutBrltty()
{
    QFETCH(bool, listening);
    auto server = std::make_unique<SilentServer>(SilentPortsFrom);
    QVERIFY(server->ok());
    if (!listening)
        server.reset(); // nothing listens on that port any more
    qputenv("BRLAPI_HOST", brlapiHost(server ? server->port() : SilentPortsFrom));
    BrlapiOutput braille;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!braille.write("Online"));
    qInfo("%s: braille answered false in %lld ms", QTest::currentDataTag(), timer.elapsed());
    QVERIFY(!braille.isConnected());
}

QTEST_GUILESS_MAIN(TestSpeechd)
#include "tst_speechd.moc"
