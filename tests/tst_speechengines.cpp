// The voice engines on QTextToSpeech: "speechd" against a private speech-dispatcher whose output module
// writes every text into a file, and "flite", which needs no server (and no sound device: it only logs that
// there is none).
#include "speech/privatespeechd.h"
#include "speech/qtvoice_linux.h"
#include "testenv.h"

#include <QTest>
#include <QTextToSpeech>
#include <algorithm>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString FilelogVoice = QStringLiteral("filelog-de - Deutsch");

QStringList toQt(const std::vector<std::string>& list)
{
    QStringList result;
    for (const std::string& s : list)
        result << QString::fromStdString(s);
    return result;
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

} // namespace

class TestSpeechEngines : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void speechdListsTheServersVoices();
    void speechdSpeaksIntoTheFile();
    void textsWaitTheirTurnUnlessPurged();
    void speechdComesBackAfterItsServerRestarted_data();
    void speechdComesBackAfterItsServerRestarted();
    void speechdThatDoesNotAnswerHasNoVoices();
    void fliteListsItsVoices();
    void rateAndVolumeWithinTheirRanges_data();
    void rateAndVolumeWithinTheirRanges();
    void unknownEngineIsEmpty();

private:
    std::unique_ptr<QtVoiceEngine> speechdWithFilelogVoice();

    std::unique_ptr<PrivateSpeechd> m_speechd;
};

void TestSpeechEngines::initTestCase()
{
    requirePrivateHome();
    if (!PrivateSpeechd::installed())
        QSKIP("speech-dispatcher is not installed");
    m_speechd = std::make_unique<PrivateSpeechd>();
    QVERIFY(m_speechd->start());
    qInfo() << "QTextToSpeech engines:" << QTextToSpeech::availableEngines();
}

void TestSpeechEngines::cleanupTestCase()
{
    m_speechd.reset();
}

void TestSpeechEngines::init()
{
    qputenv("SPEECHD_ADDRESS", m_speechd->address().toUtf8());
}

std::unique_ptr<QtVoiceEngine> TestSpeechEngines::speechdWithFilelogVoice()
{
    auto engine = std::make_unique<QtVoiceEngine>("speechd");
    const int index = engine->findVoice(FilelogVoice.toStdString());
    if (index >= 0)
        engine->selectVoice(index);
    return engine;
}

void TestSpeechEngines::speechdListsTheServersVoices()
{
    QtVoiceEngine engine("speechd");
    const QStringList voices = toQt(engine.voices());
    qInfo() << "speechd voices:" << voices;
    // speech-dispatcher lists the voices of one language at a time, none for the C locale the tests run in
    QVERIFY2(voices.contains(FilelogVoice), qPrintable(voices.join(", ")));
    const int index = engine.findVoice("FILELOG-DE - deutsch");
    QCOMPARE(index, voices.indexOf(FilelogVoice));
    engine.selectVoice(index);
    QCOMPARE(engine.voiceIndex(), index);
    QCOMPARE(QString::fromStdString(engine.voiceDescription()), FilelogVoice);
}

void TestSpeechEngines::speechdSpeaksIntoTheFile()
{
    auto engine = speechdWithFilelogVoice();
    QList<qint64> times;
    for (int i = 0; i < 5; ++i) {
        const QString text = QStringLiteral("Stimme %1: <b>Hallo</b>").arg(i);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(engine->speak(text.toStdString(), true));
        QVERIFY(m_speechd->waitForSpoken(text) >= 0);
        times << timer.elapsed();
    }
    qInfo("speechd engine, speak to file: median %lld ms of %lld", median(times), qint64(times.size()));
}

void TestSpeechEngines::textsWaitTheirTurnUnlessPurged()
{
    auto engine = speechdWithFilelogVoice();
    QVERIFY(engine->speak("Erste", false));
    QVERIFY(engine->speak("Zweite", false));
    QVERIFY(engine->speak("Dritte", false));
    QVERIFY(m_speechd->waitForSpoken("Dritte") >= 0);
    const QStringList spoken = m_speechd->spoken();
    QCOMPARE(spoken.mid(spoken.size() - 3), (QStringList{"Erste", "Zweite", "Dritte"}));

    // a purge drops what waits: only the last text is sure to be heard, and nothing after it
    QVERIFY(engine->speak("Vierte", false));
    QVERIFY(engine->speak("Fünfte", false));
    QVERIFY(engine->speak("Sechste", true));
    QVERIFY(m_speechd->waitForSpoken("Sechste") >= 0);
    QTest::qWait(300);
    QCOMPARE(m_speechd->spoken().constLast(), QStringLiteral("Sechste"));
    QVERIFY(!engine->isSpeaking());
}

void TestSpeechEngines::speechdComesBackAfterItsServerRestarted_data()
{
    QTest::addColumn<bool>("speakWhileDown");
    QTest::newRow("Restarted before the next text") << false;
    QTest::newRow("A text while it was down") << true;
}

void TestSpeechEngines::speechdComesBackAfterItsServerRestarted()
{
    QFETCH(bool, speakWhileDown);
    auto engine = speechdWithFilelogVoice();
    engine->setRate(4);
    QVERIFY(engine->speak("Vorher", true));
    QVERIFY(m_speechd->waitForSpoken("Vorher") >= 0);
    m_speechd->kill();
    if (speakWhileDown) {
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!engine->speak("Ins Leere", true));
        qInfo("speechd engine without its server: speak answered false in %lld ms", timer.elapsed());
        QVERIFY(engine->voices().empty());
    }
    QVERIFY(m_speechd->start());
    if (speakWhileDown)
        QTest::qWait(QtVoiceEngine::RetryAfterMs);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(engine->speak("Nachher", true));
    qInfo("speechd engine after its server restarted: speak took %lld ms", timer.elapsed());
    QVERIFY(m_speechd->waitForSpoken("Nachher") >= 0);
    QCOMPARE(QString::fromStdString(engine->voiceDescription()), FilelogVoice);
    QCOMPARE(engine->rate(), 4);
}

void TestSpeechEngines::speechdThatDoesNotAnswerHasNoVoices()
{
    // a socket that takes connections and never answers
    QTemporaryDir dir;
    const QByteArray path = dir.filePath("silent.sock").toUtf8();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    qstrncpy(addr.sun_path, path.constData(), sizeof(addr.sun_path));
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && ::listen(fd, 8) == 0);
    qputenv("SPEECHD_ADDRESS", "unix_socket:" + path);
    QElapsedTimer timer;
    timer.start();
    QtVoiceEngine engine("speechd");
    qInfo("speechd engine with a server that never answers: ready in %lld ms", timer.elapsed());
    ::close(fd);
    QVERIFY(engine.voices().empty());
    QVERIFY(!engine.speak("Hallo", true));
}

void TestSpeechEngines::fliteListsItsVoices()
{
    if (!QTextToSpeech::availableEngines().contains("flite"))
        QSKIP("the flite plugin of QTextToSpeech is not installed");
    QtVoiceEngine engine("flite");
    const QStringList voices = toQt(engine.voices());
    qInfo() << "flite voices:" << voices;
    QVERIFY(!voices.isEmpty());
    QVERIFY(std::is_sorted(voices.cbegin(), voices.cend(),
                           [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; }));
    const int last = static_cast<int>(voices.size()) - 1;
    engine.selectVoice(last);
    QCOMPARE(engine.voiceIndex(), last);
    QCOMPARE(QString::fromStdString(engine.voiceDescription()), voices.constLast());
    engine.selectVoice(last + 1); // out of range: no change
    QCOMPARE(engine.voiceIndex(), last);
    engine.speak("Hello", true); // whether it sounds depends on a sound device; it must not fail or hang
    engine.stop();
}

void TestSpeechEngines::rateAndVolumeWithinTheirRanges_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("volume");
    QTest::addColumn<int>("rateRead");
    QTest::addColumn<int>("volumeRead");
    for (const QString engine : {"speechd", "flite"}) {
        QTest::addRow("%s: values within the ranges", qPrintable(engine)) << engine << -3 << 55 << -3 << 55;
        QTest::addRow("%s: the ends of the ranges", qPrintable(engine)) << engine << 10 << 0 << 10 << 0;
        QTest::addRow("%s: above the ranges", qPrintable(engine)) << engine << 15 << 120 << 10 << 100;
        QTest::addRow("%s: below the ranges", qPrintable(engine)) << engine << -11 << -5 << -10 << 0;
    }
}

void TestSpeechEngines::rateAndVolumeWithinTheirRanges()
{
    QFETCH(QString, engine);
    QFETCH(int, rate);
    QFETCH(int, volume);
    if (!QTextToSpeech::availableEngines().contains(engine))
        QSKIP("this QTextToSpeech plugin is not installed");
    QtVoiceEngine voices(engine);
    QVERIFY(!voices.voices().empty());
    voices.selectVoice(0);
    voices.setRate(rate);
    voices.setVolume(volume);
    QTEST(voices.rate(), "rateRead");
    QTEST(voices.volume(), "volumeRead");
    // a voice selected later gets the same values
    voices.selectVoice(static_cast<int>(voices.voices().size()) - 1);
    QTEST(voices.rate(), "rateRead");
    QTEST(voices.volume(), "volumeRead");
}

void TestSpeechEngines::unknownEngineIsEmpty()
{
    auto engine = CreateVoiceEngine(3);
    QVERIFY(engine->voices().empty());
    engine->selectVoice(0);
    QCOMPARE(engine->voiceIndex(), -1);
    QCOMPARE(engine->voiceDescription(), std::string());
    engine->setRate(5);
    QCOMPARE(engine->rate(), 0);
    QCOMPARE(engine->volume(), 0);
    QVERIFY(!engine->speak("Hallo", true));
    QVERIFY(!engine->isSpeaking());
}

QTEST_GUILESS_MAIN(TestSpeechEngines)
#include "tst_speechengines.moc"
