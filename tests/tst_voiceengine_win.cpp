// The SAPI voice engines. Wine's own SAPI (one voice without any text, and a voice object whose Speak,
// SetVoice, rate and volume all answer E_NOTIMPL) shows the failures being swallowed; a voice object and
// voice tokens of our own show the list, index, rate, volume and speaking rules.
#include "speech/sapi_win.h"

#include <QTest>
#include <sphelper.h>

using Microsoft::WRL::ComPtr;

namespace {

QStringList toQt(const std::vector<std::string>& list)
{
    QStringList result;
    for (const std::string& s : list)
        result << QString::fromStdString(s);
    return result;
}

#define NOT_USED(signature)                      \
    HRESULT STDMETHODCALLTYPE signature override \
    {                                            \
        return E_NOTIMPL;                        \
    }

// A voice token as the engine reads it: an id and the texts of its description.
class FakeToken final : public ISpObjectToken
{
public:
    FakeToken(std::wstring id, std::wstring description, std::wstring languageDescription = {})
        : m_id(std::move(id))
        , m_description(std::move(description))
        , m_languageDescription(std::move(languageDescription))
    {
    }
    static ComPtr<ISpObjectToken> make(const wchar_t* key, const wchar_t* description, const wchar_t* language = L"")
    {
        ComPtr<ISpObjectToken> token;
        token.Attach(
            new FakeToken(std::wstring(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Tokens\\") + key, description, language));
        return token;
    }

    virtual ~FakeToken() = default;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_ISpObjectToken && iid != IID_ISpDataKey)
            return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR name, LPWSTR* value) override
    {
        *value = nullptr;
        wchar_t language[9];
        _ultow(GetUserDefaultUILanguage(), language, 16);
        const std::wstring& text = !name || !*name                  ? m_description
                                   : std::wstring(name) == language ? m_languageDescription
                                                                    : std::wstring();
        return text.empty() ? SPERR_NOT_FOUND : copy(text, value);
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override { return copy(m_id, id); }
    // Like Wine's: never says there are no more values.
    HRESULT STDMETHODCALLTYPE EnumValues(ULONG, LPWSTR* name) override { return copy(L"Name", name); }
    NOT_USED(SetData(LPCWSTR, ULONG, const BYTE*))
    NOT_USED(GetData(LPCWSTR, ULONG*, BYTE*))
    NOT_USED(SetStringValue(LPCWSTR, LPCWSTR))
    NOT_USED(SetDWORD(LPCWSTR, DWORD))
    NOT_USED(GetDWORD(LPCWSTR, DWORD*))
    NOT_USED(OpenKey(LPCWSTR, ISpDataKey**))
    NOT_USED(CreateKey(LPCWSTR, ISpDataKey**))
    NOT_USED(DeleteKey(LPCWSTR))
    NOT_USED(DeleteValue(LPCWSTR))
    NOT_USED(EnumKeys(ULONG, LPWSTR*))
    NOT_USED(SetId(LPCWSTR, LPCWSTR, WINBOOL))
    NOT_USED(GetCategory(ISpObjectTokenCategory**))
    NOT_USED(CreateInstance(IUnknown*, DWORD, REFIID, void**))
    NOT_USED(GetStorageFileName(REFCLSID, LPCWSTR, LPCWSTR, ULONG, LPWSTR*))
    NOT_USED(RemoveStorageFileName(REFCLSID, LPCWSTR, WINBOOL))
    NOT_USED(Remove(const CLSID*))
    NOT_USED(IsUISupported(LPCWSTR, void*, ULONG, IUnknown*, WINBOOL*))
    NOT_USED(DisplayUI(HWND, LPCWSTR, LPCWSTR, void*, ULONG, IUnknown*))
    NOT_USED(MatchesAttributes(LPCWSTR, WINBOOL*))

private:
    static HRESULT copy(const std::wstring& text, LPWSTR* out)
    {
        const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!*out)
            return E_OUTOFMEMORY;
        memcpy(*out, text.c_str(), bytes);
        return S_OK;
    }

    ULONG m_refs = 1;
    std::wstring m_id;
    std::wstring m_description;
    std::wstring m_languageDescription;
};

// A voice object that keeps what it is told and records the calls the engine makes.
class FakeVoice : public ISpVoice
{
public:
    QStringList calls;
    ComPtr<ISpObjectToken> voice;
    HRESULT speakResult = S_OK;
    long rate = 0;
    USHORT volume = 100;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_ISpVoice)
            return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetVoice(ISpObjectToken* token) override
    {
        calls << QStringLiteral("SetVoice ") + QString::fromStdString(SapiVoiceDescription(token));
        voice = token;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVoice(ISpObjectToken** token) override
    {
        *token = voice.Get();
        if (!voice)
            return SPERR_NOT_FOUND;
        voice->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Speak(LPCWSTR text, DWORD flags, ULONG* stream) override
    {
        calls << QStringLiteral("Speak %1 %2").arg(QString::fromWCharArray(text)).arg(flags);
        if (stream)
            *stream = 1;
        return speakResult;
    }
    HRESULT STDMETHODCALLTYPE SetRate(LONG value) override
    {
        calls << QStringLiteral("SetRate %1").arg(value);
        rate = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRate(LONG* value) override
    {
        *value = rate;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetVolume(USHORT value) override
    {
        calls << QStringLiteral("SetVolume %1").arg(value);
        volume = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolume(USHORT* value) override
    {
        *value = volume;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStatus(SPVOICESTATUS* status, LPWSTR*) override
    {
        *status = {};
        status->dwRunningState = SPRS_IS_SPEAKING;
        return S_OK;
    }
    NOT_USED(SetNotifySink(ISpNotifySink*))
    NOT_USED(SetNotifyWindowMessage(HWND, UINT, WPARAM, LPARAM))
    NOT_USED(SetNotifyCallbackFunction(SPNOTIFYCALLBACK*, WPARAM, LPARAM))
    NOT_USED(SetNotifyCallbackInterface(ISpNotifyCallback*, WPARAM, LPARAM))
    NOT_USED(SetNotifyWin32Event())
    NOT_USED(WaitForNotifyEvent(DWORD))
    HANDLE STDMETHODCALLTYPE GetNotifyEventHandle() override { return nullptr; }
    NOT_USED(SetInterest(ULONGLONG, ULONGLONG))
    NOT_USED(GetEvents(ULONG, SPEVENT*, ULONG*))
    NOT_USED(GetInfo(SPEVENTSOURCEINFO*))
    NOT_USED(SetOutput(IUnknown*, WINBOOL))
    NOT_USED(GetOutputObjectToken(ISpObjectToken**))
    NOT_USED(GetOutputStream(ISpStreamFormat**))
    NOT_USED(Pause())
    NOT_USED(Resume())
    NOT_USED(SpeakStream(IStream*, DWORD, ULONG*))
    NOT_USED(Skip(LPCWSTR, LONG, ULONG*))
    NOT_USED(SetPriority(SPVPRIORITY))
    NOT_USED(GetPriority(SPVPRIORITY*))
    NOT_USED(SetAlertBoundary(SPEVENTENUM))
    NOT_USED(GetAlertBoundary(SPEVENTENUM*))
    NOT_USED(WaitUntilDone(ULONG))
    NOT_USED(SetSyncSpeakTimeout(ULONG))
    NOT_USED(GetSyncSpeakTimeout(ULONG*))
    HANDLE STDMETHODCALLTYPE SpeakCompleteEvent() override { return nullptr; }
    NOT_USED(IsUISupported(LPCWSTR, void*, ULONG, WINBOOL*))
    NOT_USED(DisplayUI(HWND, LPCWSTR, LPCWSTR, void*, ULONG))

private:
    ULONG m_refs = 1;
};

// An enumerator whose Next never says it is done (so a walk relying on it would never end), and whose
// count or one item can be made to fail.
class FakeTokens : public IEnumSpObjectTokens
{
public:
    std::vector<ComPtr<ISpObjectToken>> tokens;
    HRESULT countResult = S_OK;
    ULONG failingItem = ULONG_MAX;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG, ISpObjectToken** token, ULONG* fetched) override
    {
        *token = tokens.front().Get();
        (*token)->AddRef();
        if (fetched)
            *fetched = 1;
        return S_OK;
    }
    NOT_USED(Skip(ULONG))
    NOT_USED(Reset())
    NOT_USED(Clone(IEnumSpObjectTokens**))
    HRESULT STDMETHODCALLTYPE Item(ULONG index, ISpObjectToken** token) override
    {
        *token = nullptr;
        if (index == failingItem || index >= tokens.size())
            return E_NOTIMPL;
        *token = tokens[index].Get();
        (*token)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) override
    {
        *count = ULONG(tokens.size());
        return countResult;
    }

private:
    ULONG m_refs = 1;
};

} // namespace

class TestVoiceEngineWin : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void wineListsItsOneVoice();
    void wineVoiceFailsQuietly();
    void noOneCoreVoicesAndNoEngineThree_data();
    void noOneCoreVoicesAndNoEngineThree();
    void walkStopsOnAnyFailure_data();
    void walkStopsOnAnyFailure();
    void sortedByLocaleAndFoundIgnoringCase();
    void selectionByIndex();
    void rateAndVolumeHeldInRange_data();
    void rateAndVolumeHeldInRange();
    void speakingAndStopping();
    void defaultVoiceCountsOnlyWhenOurs();

private:
    std::unique_ptr<SapiVoiceEngine> engineOn(FakeVoice& voice, bool defaultIsOurs = false);

    ComScope m_com;
    FakeTokens m_tokens;
};

// Five voices whose order is not their sorted order. "Äni" sorts first in a German or English locale, but
// last by code point; one voice has no text at all, like Wine's.
void TestVoiceEngineWin::init()
{
    m_tokens.tokens = {FakeToken::make(L"TTS_ZIRA", L"TTS Zira", L"Zira"), FakeToken::make(L"A1", L"anna"),
                       FakeToken::make(L"A2", L"Anna"), FakeToken::make(L"AE", L"Äni"),
                       FakeToken::make(L"Wine-like", L"")};
    m_tokens.countResult = S_OK;
    m_tokens.failingItem = ULONG_MAX;
}

std::unique_ptr<SapiVoiceEngine> TestVoiceEngineWin::engineOn(FakeVoice& voice, bool defaultIsOurs)
{
    return std::make_unique<SapiVoiceEngine>(
        &voice, [this](ISpVoice*) { return ComPtr<IEnumSpObjectTokens>(&m_tokens); }, defaultIsOurs);
}

void TestVoiceEngineWin::wineListsItsOneVoice()
{
    const std::unique_ptr<IVoiceEngine> engine = CreateVoiceEngine(1);
    QCOMPARE(toQt(engine->voices()), QStringList{QStringLiteral("Wine Default Voice")});
    QCOMPARE(engine->findVoice("wine default VOICE"), 0);
    QCOMPARE(engine->findVoice("Microsoft Hedda Desktop"), -1);
}

// Wine's voice is current from the start, but its voice object answers E_NOTIMPL to everything the engine
// asks: every failure ends as false or 0, and selecting changes nothing.
void TestVoiceEngineWin::wineVoiceFailsQuietly()
{
    const std::unique_ptr<IVoiceEngine> engine = CreateVoiceEngine(1);
    const int before = engine->voiceIndex();
    engine->selectVoice(0);
    QCOMPARE(engine->voiceIndex(), before);
    QVERIFY(!engine->speak("Hallo", false));
    QVERIFY(!engine->speak("Hallo", true));
    engine->stop();
    QVERIFY(!engine->isSpeaking());
    engine->setRate(5);
    engine->setVolume(50);
    QCOMPARE(engine->rate(), 0);
    QCOMPARE(engine->volume(), 0);
}

void TestVoiceEngineWin::noOneCoreVoicesAndNoEngineThree_data()
{
    QTest::addColumn<int>("nr");
    QTest::newRow("OneCore engine without OneCore voices") << 2;
    QTest::newRow("no engine three") << 3;
}

void TestVoiceEngineWin::noOneCoreVoicesAndNoEngineThree()
{
    QFETCH(int, nr);
    const std::unique_ptr<IVoiceEngine> engine = CreateVoiceEngine(nr);
    QVERIFY(engine->voices().empty());
    for (int index : {-1, 0, 1})
        engine->selectVoice(index);
    QCOMPARE(engine->voiceIndex(), -1);
    QCOMPARE(engine->voiceDescription(), std::string());
    engine->setRate(5);
    QCOMPARE(engine->rate(), 0);
    QCOMPARE(engine->volume(), 0);
    QVERIFY(!engine->speak("Hallo", false));
}

void TestVoiceEngineWin::walkStopsOnAnyFailure_data()
{
    QTest::addColumn<HRESULT>("countResult");
    QTest::addColumn<ulong>("failingItem");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("every item read in the enumerator's order")
        << S_OK << ULONG_MAX << QString::fromUtf8("Zira anna Anna Äni Wine-like").split(QLatin1Char(' '));
    QTest::newRow("count unknown") << E_NOTIMPL << ULONG_MAX << QStringList{};
    QTest::newRow("an item fails: no half list") << S_OK << 2ul << QStringList{};
}

// The language's own text wins over the default text, and a voice without either is listed by its key.
void TestVoiceEngineWin::walkStopsOnAnyFailure()
{
    QFETCH(HRESULT, countResult);
    QFETCH(ulong, failingItem);
    QFETCH(QStringList, listed);
    m_tokens.countResult = countResult;
    m_tokens.failingItem = failingItem;
    QStringList descriptions;
    for (const SapiVoice& voice : ReadSapiVoices(&m_tokens))
        descriptions << QString::fromStdString(voice.description);
    QCOMPARE(descriptions, listed);
}

void TestVoiceEngineWin::sortedByLocaleAndFoundIgnoringCase()
{
    FakeVoice voice;
    const auto engine = engineOn(voice);
    QCOMPARE(toQt(engine->voices()), QString::fromUtf8("Äni anna Anna Wine-like Zira").split(QLatin1Char(' ')));
    QCOMPARE(engine->findVoice("ANNA"), 1);
    QCOMPARE(engine->findVoice("äNI"), 0);
    QCOMPARE(engine->findVoice("zira"), 4);
    QCOMPARE(engine->findVoice(""), -1);
    QCOMPARE(engine->findVoice("Zir"), -1);
}

void TestVoiceEngineWin::selectionByIndex()
{
    FakeVoice voice;
    const auto engine = engineOn(voice);
    // No current voice yet: writes are not taken and nothing is spoken.
    QCOMPARE(engine->voiceIndex(), -1);
    engine->setRate(5);
    QVERIFY(!engine->speak("Hallo", false));
    QVERIFY(voice.calls.isEmpty());

    engine->selectVoice(4);
    QCOMPARE(voice.calls, QStringList({"SetVoice Zira", "SetRate 0", "SetVolume 80"}));
    QCOMPARE(engine->voiceIndex(), 4);
    QCOMPARE(engine->voiceDescription(), std::string("Zira"));
    voice.calls.clear();
    for (int index : {-1, 5, 100})
        engine->selectVoice(index);
    QVERIFY(voice.calls.isEmpty());
    QCOMPARE(engine->voiceIndex(), 4);
    engine->selectVoice(2);
    QCOMPARE(engine->voiceDescription(), std::string("Anna"));
    QCOMPARE(engine->voiceIndex(), 1); // the first of the two that differ in letter case only
}

void TestVoiceEngineWin::rateAndVolumeHeldInRange_data()
{
    QTest::addColumn<bool>("isRate");
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("taken");
    QTest::newRow("rate within") << true << -3 << -3;
    QTest::newRow("rate above") << true << 15 << 10;
    QTest::newRow("rate below") << true << -11 << -10;
    QTest::newRow("volume within") << false << 42 << 42;
    QTest::newRow("volume above") << false << 101 << 100;
    QTest::newRow("volume below") << false << -5 << 0;
}

void TestVoiceEngineWin::rateAndVolumeHeldInRange()
{
    QFETCH(bool, isRate);
    QFETCH(int, written);
    QFETCH(int, taken);
    FakeVoice voice;
    const auto engine = engineOn(voice);
    engine->selectVoice(0);
    isRate ? engine->setRate(written) : engine->setVolume(written);
    QCOMPARE(isRate ? engine->rate() : engine->volume(), taken);
    // Kept for the next voice.
    voice.calls.clear();
    engine->selectVoice(3);
    QCOMPARE(voice.calls.at(isRate ? 1 : 2), QString::fromLatin1(isRate ? "SetRate %1" : "SetVolume %1").arg(taken));
}

void TestVoiceEngineWin::speakingAndStopping()
{
    const DWORD async = SPF_ASYNC | SPF_IS_NOT_XML;
    const QString stop = QStringLiteral("Speak  %1").arg(SPF_ASYNC | SPF_PURGEBEFORESPEAK);
    FakeVoice voice;
    {
        const auto engine = engineOn(voice);
        engine->selectVoice(0);
        voice.calls.clear();
        QVERIFY(engine->speak("Grüße <b>", false));
        QVERIFY(engine->speak("Zwei", true));
        QVERIFY(!engine->speak("", true));
        engine->stop();
        QVERIFY(engine->isSpeaking());
        voice.speakResult = E_NOTIMPL;
        QVERIFY(!engine->speak("Drei", false));
        voice.speakResult = S_OK;
        QCOMPARE(voice.calls, QStringList({QString::fromUtf8("Speak Grüße <b> %1").arg(async),
                                           QStringLiteral("Speak Zwei %1").arg(async | SPF_PURGEBEFORESPEAK), stop,
                                           QStringLiteral("Speak Drei %1").arg(async)}));
        voice.calls.clear();
    }
    // Going away stops what it says.
    QCOMPARE(voice.calls, QStringList{stop});
}

// The classic voice object standing in for the OneCore one starts with a classic voice, not one of ours;
// a voice object of the engine's own family starts with one of its voices.
void TestVoiceEngineWin::defaultVoiceCountsOnlyWhenOurs()
{
    FakeVoice classic;
    classic.voice = FakeToken::make(L"Classic", L"Hedda");
    const auto standIn = engineOn(classic);
    QCOMPARE(standIn->voiceIndex(), -1);
    QCOMPARE(standIn->voiceDescription(), std::string());
    QCOMPARE(standIn->rate(), 0);
    QVERIFY(!standIn->speak("Hallo", false));

    FakeVoice own;
    own.voice = FakeToken::make(L"AE", L"Äni");
    QCOMPARE(engineOn(own)->voiceIndex(), 0);

    FakeVoice sameFamily;
    sameFamily.voice = FakeToken::make(L"Classic", L"Hedda");
    const auto engine = engineOn(sameFamily, true);
    QCOMPARE(engine->voiceDescription(), std::string("Hedda"));
    QVERIFY(engine->speak("Hallo", false));
}

QTEST_GUILESS_MAIN(TestVoiceEngineWin)
#include "tst_voiceengine_win.moc"
