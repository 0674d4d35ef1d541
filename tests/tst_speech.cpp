// The speech facade on test doubles: where speech goes, how a stored voice is found again, what a selection
// reads back, and how rate and volume travel; and the sorted voice list the engines share.
#include "doubles/speechdoubles.h"
#include "speech/speech.h"
#include "speech/voicelist.h"

#include <QTest>

Q_DECLARE_METATYPE(TNrIndex)

namespace {

using Calls = std::vector<std::string>;

// Engine 1 lists two voices whose descriptions differ only in letter case, engine 2 shares one voice with it.
const Calls Engine1Voices{"Zoe - Deutsch", "anna - Deutsch", "Bernd - Deutsch", "Anna - Deutsch"};
const Calls Engine2Voices{"Carl - English", "Bernd - Deutsch"};

char* describe(const TNrIndex& v)
{
    return qstrdup(QStringLiteral("{%1, %2}").arg(v.Nr).arg(v.Index).toUtf8().constData());
}

} // namespace

namespace QTest {
template <>
char* toString(const TNrIndex& v)
{
    return describe(v);
}
template <>
char* toString(const Calls& calls)
{
    QStringList all;
    for (const std::string& c : calls)
        all << QString::fromStdString(c);
    return qstrdup(("[" + all.join(", ") + "]").toUtf8().constData());
}
} // namespace QTest

class TestSpeech : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void voiceListSortsAndFinds_data();
    void voiceListSortsAndFinds();
    void voiceListMapsIndexToEnginePosition();

    void routing_data();
    void routing();
    void lookUp_data();
    void lookUp();
    void unknownStoredVoiceSpeaksThroughTheScreenReader();
    void tokensListEveryEngine();
    void selection_data();
    void selection();
    void missingEngineHasNoVoices();
    void rateAndVolume_data();
    void rateAndVolume();

private:
    void clearCalls();

    RecordingScreenReader m_screenReader;
    RecordingVoiceEngine* m_engine1 = nullptr;
    RecordingVoiceEngine* m_engine2 = nullptr;
    std::unique_ptr<TSpeech> m_speech;
};

void TestSpeech::init()
{
    m_screenReader = RecordingScreenReader();
    auto engine1 = std::make_unique<RecordingVoiceEngine>(Engine1Voices);
    auto engine2 = std::make_unique<RecordingVoiceEngine>(Engine2Voices);
    m_engine1 = engine1.get();
    m_engine2 = engine2.get();
    m_speech = std::make_unique<TSpeech>(m_screenReader, std::move(engine1), std::move(engine2));
}

void TestSpeech::cleanup()
{
    m_speech.reset();
}

void TestSpeech::clearCalls()
{
    m_screenReader.calls.clear();
    m_engine1->calls.clear();
    m_engine2->calls.clear();
}

void TestSpeech::voiceListSortsAndFinds_data()
{
    QTest::addColumn<QStringList>("voices");
    QTest::addColumn<QStringList>("sorted");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("index");

    const QStringList mixed{"Zoe", "anna", "Bernd", "Anna"};
    QTest::newRow("Sorted ignoring case; equal descriptions keep the engine's order")
        << mixed << QStringList{"anna", "Anna", "Bernd", "Zoe"} << "Zoe" << 3;
    QTest::newRow("Any mix of case finds the first of two voices that differ only in case")
        << mixed << QStringList{"anna", "Anna", "Bernd", "Zoe"} << "ANNA" << 0;
    QTest::newRow("Umlauts sort by letter, not by code")
        << QStringList{"Zora", "Äneas", "Bea"} << QStringList{"Äneas", "Bea", "Zora"} << "äneas" << 0;
    QTest::newRow("An absent description is not found")
        << mixed << QStringList{"anna", "Anna", "Bernd", "Zoe"} << "Carl" << -1;
    QTest::newRow("The empty description is never found") << QStringList{""} << QStringList{""} << "" << -1;
    QTest::newRow("No voices") << QStringList{} << QStringList{} << "anna" << -1;
}

void TestSpeech::voiceListSortsAndFinds()
{
    QFETCH(QStringList, voices);
    QFETCH(QStringList, sorted);
    QFETCH(QString, description);
    QFETCH(int, index);
    std::vector<std::string> list;
    for (const QString& v : voices)
        list.push_back(v.toStdString());
    const VoiceList voiceList(list);
    QStringList got;
    for (const std::string& d : voiceList.descriptions())
        got << QString::fromStdString(d);
    QCOMPARE(got, sorted);
    QCOMPARE(voiceList.find(description.toStdString()), index);
}

void TestSpeech::voiceListMapsIndexToEnginePosition()
{
    const VoiceList list(Engine1Voices);
    const QList<int> positions{list.position(-1), list.position(0), list.position(1),
                               list.position(2),  list.position(3), list.position(4)};
    // sorted: anna (1), Anna (3), Bernd (2), Zoe (0)
    QCOMPARE(positions, (QList<int>{-1, 1, 3, 2, 0, -1}));
}

void TestSpeech::routing_data()
{
    QTest::addColumn<TNrIndex>("selection");
    QTest::addColumn<bool>("stopS");
    QTest::addColumn<Calls>("screenReader");
    QTest::addColumn<Calls>("engine1");
    QTest::addColumn<Calls>("engine2");

    QTest::newRow("Screen reader, cutting off what it says")
        << MakeNrIndex(0, -1) << true << Calls{"speak:Hallo:interrupt", "silence"} << Calls{} << Calls{};
    QTest::newRow("Screen reader, without cutting off")
        << MakeNrIndex(0, -1) << false << Calls{"speak:Hallo", "silence"} << Calls{} << Calls{};
    QTest::newRow("Engine 1 drops what it says and what waits")
        << MakeNrIndex(1, 0) << true << Calls{} << Calls{"speak:Hallo:purge", "stop"} << Calls{};
    QTest::newRow("Engine 1 queues the text behind the current one")
        << MakeNrIndex(1, 0) << false << Calls{} << Calls{"speak:Hallo", "stop"} << Calls{};
    QTest::newRow("Engine 2") << MakeNrIndex(2, 1) << true << Calls{} << Calls{} << Calls{"speak:Hallo:purge", "stop"};
    QTest::newRow("No output says nothing") << MakeNrIndex(-1, -1) << true << Calls{} << Calls{} << Calls{};
    QTest::newRow("An engine number out of range says nothing")
        << MakeNrIndex(7, 3) << true << Calls{} << Calls{} << Calls{};
}

void TestSpeech::routing()
{
    QFETCH(TNrIndex, selection);
    QFETCH(bool, stopS);
    m_speech->SetTokenNrIndex(selection);
    clearCalls();
    m_speech->Speak("Hallo", stopS);
    m_speech->Stop();
    QTEST(m_screenReader.calls, "screenReader");
    QTEST(m_engine1->calls, "engine1");
    QTEST(m_engine2->calls, "engine2");
}

void TestSpeech::lookUp_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<TNrIndex>("expected");

    QTest::newRow("Empty: the screen reader") << "" << MakeNrIndex(0, -1);
    QTest::newRow("The screen-reader entry in lower case") << "screenreader (jaws/nvda)" << MakeNrIndex(0, -1);
    QTest::newRow("A voice of engine 1 by its sorted index") << "Zoe - Deutsch" << MakeNrIndex(1, 3);
    QTest::newRow("Letter case does not matter") << "ZOE - DEUTSCH" << MakeNrIndex(1, 3);
    QTest::newRow("Two voices differing only in case: the first in sorted order")
        << "ANNA - deutsch" << MakeNrIndex(1, 0);
    QTest::newRow("A voice of engine 2") << "Carl - English" << MakeNrIndex(2, 1);
    QTest::newRow("A voice both engines list: engine 1") << "Bernd - Deutsch" << MakeNrIndex(1, 2);
    QTest::newRow("A voice no engine knows: the screen reader") << "Hedda - Deutsch" << MakeNrIndex(0, -1);
}

void TestSpeech::lookUp()
{
    QFETCH(QString, description);
    QTEST(m_speech->FindDescriptionInTokensNrIndex(description), "expected");
    // looking up applies nothing
    QCOMPARE(m_speech->TokenNrIndex(), MakeNrIndex(-1, -1));
}

void TestSpeech::unknownStoredVoiceSpeaksThroughTheScreenReader()
{
    m_speech->SetTokenNrIndex(m_speech->FindDescriptionInTokensNrIndex("Uninstalled - Deutsch"));
    clearCalls();
    m_speech->Speak("Nachricht von Anna:\r\nHallo", true);
    QCOMPARE(m_screenReader.calls, Calls{"speak:Nachricht von Anna:\r\nHallo:interrupt"});
    QCOMPARE(m_engine1->calls, Calls{});
    QCOMPARE(m_speech->TokenDescription(), TSpeech::ScreenReaderEntry);
}

void TestSpeech::tokensListEveryEngine()
{
    m_screenReader.running = false;
    const QStringList expected{
        "ScreenReader (JAWS/NVDA)", "anna - Deutsch", "Anna - Deutsch", "Bernd - Deutsch", "Zoe - Deutsch",
        "Bernd - Deutsch",          "Carl - English"};
    QCOMPARE(m_speech->Tokens(), expected);
    QCOMPARE(m_speech->Tokens(), expected); // rebuilt, not appended to
}

void TestSpeech::selection_data()
{
    QTest::addColumn<TNrIndex>("before");
    QTest::addColumn<TNrIndex>("selection");
    QTest::addColumn<TNrIndex>("readBack");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("reapplied");

    const TNrIndex none = MakeNrIndex(-1, -1);
    QTest::newRow("The screen reader has no voice index")
        << none << MakeNrIndex(0, 5) << MakeNrIndex(0, -1) << "ScreenReader (JAWS/NVDA)" << false;
    QTest::newRow("A voice of engine 1") << none << MakeNrIndex(1, 3) << MakeNrIndex(1, 3) << "Zoe - Deutsch" << true;
    QTest::newRow("A voice of engine 2") << none << MakeNrIndex(2, 0) << MakeNrIndex(2, 0) << "Bernd - Deutsch" << true;
    QTest::newRow("An index out of range keeps the voice in use")
        << MakeNrIndex(1, 2) << MakeNrIndex(1, 99) << MakeNrIndex(1, 2) << "Bernd - Deutsch" << true;
    QTest::newRow("An index out of range without a voice in use reads back -1")
        << none << MakeNrIndex(1, 99) << MakeNrIndex(1, -1) << "" << true;
    QTest::newRow("Index -1 selects nothing") << none << MakeNrIndex(2, -1) << MakeNrIndex(2, -1) << "" << true;
    QTest::newRow("An engine number out of range means no output")
        << MakeNrIndex(1, 0) << MakeNrIndex(7, 3) << none << "" << false;
    QTest::newRow("No output") << MakeNrIndex(0, -1) << MakeNrIndex(-1, 4) << none << "" << false;
}

void TestSpeech::selection()
{
    QFETCH(TNrIndex, before);
    QFETCH(TNrIndex, selection);
    QFETCH(bool, reapplied);
    m_speech->SetTokenNrIndex(before);
    clearCalls();
    m_speech->SetTokenNrIndex(selection);
    QTEST(m_speech->TokenNrIndex(), "readBack");
    QTEST(m_speech->TokenDescription(), "description");
    // rate and volume go to both engines again after a selection of either
    const Calls again{"rate:0", "volume:80"};
    const auto tail = [](const Calls& calls) {
        return calls.size() >= 2 ? Calls(calls.end() - 2, calls.end()) : calls;
    };
    QCOMPARE(tail(m_engine2->calls) == again, reapplied);
    QCOMPARE(tail(m_engine1->calls) == again, reapplied);
}

void TestSpeech::missingEngineHasNoVoices()
{
    TSpeech speech(m_screenReader, nullptr, std::make_unique<RecordingVoiceEngine>(Engine2Voices));
    QCOMPARE(speech.Tokens(), (QStringList{"ScreenReader (JAWS/NVDA)", "Bernd - Deutsch", "Carl - English"}));
    QCOMPARE(speech.FindDescriptionInTokensNrIndex("Bernd - Deutsch"), MakeNrIndex(2, 0));
    speech.SetTokenNrIndex(MakeNrIndex(1, 0));
    QCOMPARE(speech.TokenNrIndex(), MakeNrIndex(1, -1));
    QCOMPARE(speech.TokenDescription(), QString());
    speech.SetRate(3);
    QCOMPARE(speech.Rate(), 0);
    speech.Speak("Hallo", true);
    speech.Stop();
    QCOMPARE(m_screenReader.calls, Calls{});
}

void TestSpeech::rateAndVolume_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("volume");
    QTest::addColumn<TNrIndex>("selection");
    QTest::addColumn<int>("rateRead");
    QTest::addColumn<int>("volumeRead");

    QTest::newRow("Set before any selection, applied by a later one") << 5 << 30 << MakeNrIndex(1, 0) << 5 << 30;
    QTest::newRow("The selected engine's own values are read, not the ones stored here")
        << 15 << -5 << MakeNrIndex(2, 1) << 10 << 0;
    QTest::newRow("The screen reader reads 0, not the stored values") << 5 << 30 << MakeNrIndex(0, -1) << 0 << 0;
    QTest::newRow("No output reads 0") << 5 << 30 << MakeNrIndex(-1, -1) << 0 << 0;
}

void TestSpeech::rateAndVolume()
{
    QFETCH(int, rate);
    QFETCH(int, volume);
    QFETCH(TNrIndex, selection);
    m_speech->SetRate(rate);
    m_speech->SetVolume(volume);
    // no clamping in the facade: both engines get the values as given
    const Calls given{"rate:" + std::to_string(rate), "volume:" + std::to_string(volume)};
    QCOMPARE(m_engine1->calls, given);
    QCOMPARE(m_engine2->calls, given);
    m_speech->SetTokenNrIndex(selection);
    QTEST(m_speech->Rate(), "rateRead");
    QTEST(m_speech->Volume(), "volumeRead");
}

QTEST_GUILESS_MAIN(TestSpeech)
#include "tst_speech.moc"
