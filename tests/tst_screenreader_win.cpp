// The Windows screen-reader dispatcher. NVDA is our stand-in library with the controller client's entry
// points, copied to where the real one is loaded from (beside the program) and recording what it was asked;
// its window is one of the same class and title made here. JAWS is a window of its class made here plus an
// automation object of our own behind the driver's factory; without that object (Wine has none) JAWS is
// absent whatever windows exist.
#include "speech/screenreader_win.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

using Microsoft::WRL::ComPtr;

namespace {

// A top-level window of a given class and title: what the drivers look for to tell whether their screen
// reader runs.
class FakeWindow
{
public:
    FakeWindow(const wchar_t* windowClass, const wchar_t* title)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = windowClass;
        RegisterClassW(&wc);
        m_window = CreateWindowExW(0, windowClass, title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                                   nullptr);
    }
    ~FakeWindow() { close(); }
    void close()
    {
        if (m_window)
            DestroyWindow(m_window);
        m_window = nullptr;
    }
    bool exists() const { return m_window != nullptr; }

private:
    HWND m_window = nullptr;
};

// JAWS's automation object as far as the driver uses it: methods by name, each call recorded.
class FakeJawsApi : public IDispatch
{
public:
    QStringList calls;
    bool answer = true;
    HRESULT result = S_OK;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    ULONG refs() const { return m_refs; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        const QString name = QString::fromWCharArray(names[0]);
        const int id = m_methods.indexOf(name);
        if (count != 1 || id < 0)
            return DISP_E_UNKNOWNNAME;
        ids[0] = id + 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* out, EXCEPINFO*,
                                     UINT*) override
    {
        QString call = m_methods.value(id - 1);
        // Recorded first to last, as the method declares them.
        for (int i = int(params->cArgs) - 1; i >= 0; --i) {
            const VARIANT& v = params->rgvarg[i];
            if (v.vt == VT_BSTR)
                call += QLatin1Char('|') + QString::fromWCharArray(v.bstrVal, int(SysStringLen(v.bstrVal)));
            else if (v.vt == VT_BOOL)
                call += QLatin1Char('|') + QString::number(v.boolVal);
            else
                call += QStringLiteral("|?");
        }
        calls << call;
        if (out) {
            VariantInit(out);
            out->vt = VT_BOOL;
            out->boolVal = answer ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return result;
    }

private:
    ULONG m_refs = 1;
    const QStringList m_methods = {QStringLiteral("SayString"), QStringLiteral("StopSpeech"),
                                   QStringLiteral("RunFunction")};
};

// The stand-in library as loaded by the driver: the test reaches the same module through its own handle.
class StandIn
{
public:
    StandIn()
    {
        const QString source = QCoreApplication::applicationDirPath() + QStringLiteral("/nvdastandin.dll");
        const QString target = QString::fromStdWString(NvdaDriver::ClientPath());
        QFile::remove(target);
        if (!QFile::copy(source, target))
            return;
        m_module = LoadLibraryW(NvdaDriver::ClientPath().c_str());
        if (!m_module)
            return;
        m_setAnswers = reinterpret_cast<void(__stdcall*)(unsigned long, unsigned long, unsigned long)>(
            reinterpret_cast<void*>(GetProcAddress(m_module, "standIn_setAnswers")));
        m_takeLog = reinterpret_cast<int(__stdcall*)(wchar_t*, int)>(
            reinterpret_cast<void*>(GetProcAddress(m_module, "standIn_takeLog")));
    }
    ~StandIn()
    {
        if (m_module)
            FreeLibrary(m_module);
        QFile::remove(QString::fromStdWString(NvdaDriver::ClientPath()));
    }
    bool loaded() const { return m_setAnswers && m_takeLog; }
    void setAnswers(unsigned long running, unsigned long cancel, unsigned long other)
    {
        m_setAnswers(running, cancel, other);
    }
    QStringList takeLog()
    {
        wchar_t buffer[4096];
        m_takeLog(buffer, 4096);
        return QString::fromWCharArray(buffer).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    HMODULE m_module = nullptr;
    void(__stdcall* m_setAnswers)(unsigned long, unsigned long, unsigned long) = nullptr;
    int(__stdcall* m_takeLog)(wchar_t*, int) = nullptr;
};

const char* const Text = "Grüße, \"Welt\" €";
const QString TextQt = QString::fromUtf8(Text);

} // namespace

class TestScreenReaderWin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void absentClientLibraryMeansNoNvda();
    void nvdaNotRunning_data();
    void nvdaNotRunning();
    void nvdaCalls_data();
    void nvdaCalls();
    void jawsWithoutItsAutomationObjectIsAbsent();
    void jawsCallsByName_data();
    void jawsCallsByName();
    void jawsComesFirstAndClosingItFallsBackToNvda();

private:
    void verifySilent(IScreenReader& reader);
};

void TestScreenReaderWin::initTestCase()
{
    QVERIFY(QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/nvdastandin.dll")));
    // Wine without an X display makes windows only with its null graphics driver
    // (HKCU\Software\Wine\Drivers, Graphics = "null").
    QVERIFY2(FakeWindow(L"TobrikProbeClass", L"probe").exists(), "no window can be made here");
}

void TestScreenReaderWin::verifySilent(IScreenReader& reader)
{
    QVERIFY(!reader.isRunning());
    QCOMPARE(reader.name(), std::string());
    QVERIFY(!reader.speak(Text, true));
    QVERIFY(!reader.speak(Text, false));
    QVERIFY(!reader.braille(Text));
    QVERIFY(!reader.output(Text, false));
    QVERIFY(!reader.silence());
}

void TestScreenReaderWin::absentClientLibraryMeansNoNvda()
{
    QFile::remove(QString::fromStdWString(NvdaDriver::ClientPath()));
    FakeWindow nvda(L"wxWindowClassNR", L"NVDA");
    QVERIFY(nvda.exists());
    const std::unique_ptr<IScreenReader> reader = CreateScreenReader();
    verifySilent(*reader);
}

void TestScreenReaderWin::nvdaNotRunning_data()
{
    QTest::addColumn<bool>("window");
    QTest::addColumn<ulong>("testAnswer");
    QTest::newRow("the library says NVDA does not run") << true << 1ul;
    QTest::newRow("no NVDA window, though the library says it runs") << false << 0ul;
}

void TestScreenReaderWin::nvdaNotRunning()
{
    QFETCH(bool, window);
    QFETCH(ulong, testAnswer);
    StandIn standIn;
    QVERIFY(standIn.loaded());
    standIn.setAnswers(testAnswer, 0, 0);
    std::unique_ptr<FakeWindow> nvda;
    if (window)
        nvda = std::make_unique<FakeWindow>(L"wxWindowClassNR", L"NVDA");
    const std::unique_ptr<IScreenReader> reader = CreateScreenReader();
    verifySilent(*reader);
    const QStringList log = standIn.takeLog();
    QVERIFY2(log.filter(QStringLiteral("speakText")).isEmpty() && log.filter(QStringLiteral("braille")).isEmpty() &&
                 log.filter(QStringLiteral("cancel")).isEmpty(),
             qPrintable(log.join(QLatin1Char(','))));
}

void TestScreenReaderWin::nvdaCalls_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ulong>("cancelAnswer");
    QTest::addColumn<ulong>("otherAnswer");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("log");

    const QString test = QStringLiteral("testIfRunning");
    const QString speak = QStringLiteral("speakText:") + TextQt;
    const QString braille = QStringLiteral("brailleMessage:") + TextQt;
    const QString cancel = QStringLiteral("cancelSpeech");
    QTest::newRow("speak waits its turn") << "speak" << TextQt << 0ul << 0ul << true << QStringList{test, speak};
    QTest::newRow("speak with interrupt cancels first")
        << "speak-interrupt" << TextQt << 0ul << 0ul << true << QStringList{test, cancel, speak};
    QTest::newRow("a refused cancel speaks nothing")
        << "speak-interrupt" << TextQt << 5ul << 0ul << false << QStringList{test, cancel};
    QTest::newRow("refused speech is false") << "speak" << TextQt << 0ul << 5ul << false << QStringList{test, speak};
    QTest::newRow("braille") << "braille" << TextQt << 0ul << 0ul << true << QStringList{test, braille};
    QTest::newRow("output speaks and shows")
        << "output" << TextQt << 0ul << 0ul << true << QStringList{test, speak, braille};
    QTest::newRow("output refused by both is false")
        << "output" << TextQt << 0ul << 5ul << false << QStringList{test, speak, braille};
    QTest::newRow("silence") << "silence" << QString() << 0ul << 0ul << true << QStringList{test, cancel};
    QTest::newRow("refused silence is false")
        << "silence" << QString() << 5ul << 0ul << false << QStringList{test, cancel};
    QTest::newRow("an empty text makes no call") << "output" << QString() << 0ul << 0ul << false << QStringList{};
}

void TestScreenReaderWin::nvdaCalls()
{
    QFETCH(QString, call);
    QFETCH(QString, text);
    QFETCH(ulong, cancelAnswer);
    QFETCH(ulong, otherAnswer);
    QFETCH(bool, accepted);
    QFETCH(QStringList, log);

    StandIn standIn;
    QVERIFY(standIn.loaded());
    FakeWindow nvda(L"wxWindowClassNR", L"NVDA");
    const std::unique_ptr<IScreenReader> reader = CreateScreenReader();
    standIn.setAnswers(0, 0, 0);
    QCOMPARE(reader->name(), std::string("NVDA"));
    standIn.takeLog();

    standIn.setAnswers(0, cancelAnswer, otherAnswer);
    const std::string utf8 = text.toStdString();
    bool result = false;
    if (call == QLatin1String("speak"))
        result = reader->speak(utf8, false);
    else if (call == QLatin1String("speak-interrupt"))
        result = reader->speak(utf8, true);
    else if (call == QLatin1String("braille"))
        result = reader->braille(utf8);
    else if (call == QLatin1String("output"))
        result = reader->output(utf8, false);
    else if (call == QLatin1String("silence"))
        result = reader->silence();
    QCOMPARE(result, accepted);
    QCOMPARE(standIn.takeLog(), log);
}

void TestScreenReaderWin::jawsWithoutItsAutomationObjectIsAbsent()
{
    QVERIFY(!JawsDriver::CreateJawsApi());
    JawsDriver driver;
    QVERIFY(!driver.isActive());
    FakeWindow jaws(L"JFWUI2", nullptr);
    QVERIFY(jaws.exists());
    QVERIFY(!driver.isActive());
    QVERIFY(!driver.silence());

    // A JAWS that cannot be reached does not hide NVDA.
    StandIn standIn;
    QVERIFY(standIn.loaded());
    FakeWindow nvda(L"wxWindowClassNR", L"NVDA");
    QCOMPARE(CreateScreenReader()->name(), std::string("NVDA"));
}

void TestScreenReaderWin::jawsCallsByName_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("calls");

    const QString say = QStringLiteral("SayString|") + TextQt;
    const QString brailleCall = QStringLiteral("RunFunction|BrailleString(\"Grüße, 'Welt' €\")");
    QTest::newRow("speak") << "speak" << true << true << QStringList{say + QStringLiteral("|0")};
    QTest::newRow("speak with interrupt flushes")
        << "speak-interrupt" << true << true << QStringList{say + QStringLiteral("|-1")};
    QTest::newRow("speech answered false") << "speak" << false << false << QStringList{say + QStringLiteral("|0")};
    QTest::newRow("braille with its quotes turned into apostrophes")
        << "braille" << true << true << QStringList{brailleCall};
    QTest::newRow("output speaks and shows; both refused is false")
        << "output" << false << false << QStringList{say + QStringLiteral("|0"), brailleCall};
    QTest::newRow("silence") << "silence" << false << true << QStringList{QStringLiteral("StopSpeech")};
}

void TestScreenReaderWin::jawsCallsByName()
{
    QFETCH(QString, call);
    QFETCH(bool, answer);
    QFETCH(bool, accepted);
    QFETCH(QStringList, calls);

    FakeJawsApi api;
    api.answer = answer;
    FakeWindow jaws(L"JFWUI2", nullptr);
    std::vector<std::unique_ptr<IScreenReaderDriver>> drivers;
    drivers.push_back(std::make_unique<JawsDriver>([&] { return ComPtr<IDispatch>(&api); }));
    WinScreenReader reader(std::move(drivers));

    bool result = false;
    if (call == QLatin1String("speak"))
        result = reader.speak(Text, false);
    else if (call == QLatin1String("speak-interrupt"))
        result = reader.speak(Text, true);
    else if (call == QLatin1String("braille"))
        result = reader.braille(Text);
    else if (call == QLatin1String("output"))
        result = reader.output(Text, false);
    else if (call == QLatin1String("silence"))
        result = reader.silence();
    QCOMPARE(result, accepted);
    QCOMPARE(api.calls, calls);
}

void TestScreenReaderWin::jawsComesFirstAndClosingItFallsBackToNvda()
{
    StandIn standIn;
    QVERIFY(standIn.loaded());
    standIn.setAnswers(0, 0, 0);
    FakeWindow nvda(L"wxWindowClassNR", L"NVDA");
    FakeWindow jaws(L"JFWUI2", nullptr);
    FakeJawsApi api;
    {
        std::vector<std::unique_ptr<IScreenReaderDriver>> drivers;
        drivers.push_back(std::make_unique<JawsDriver>([&] { return ComPtr<IDispatch>(&api); }));
        drivers.push_back(std::make_unique<NvdaDriver>());
        WinScreenReader reader(std::move(drivers));

        QVERIFY(reader.speak(Text, false));
        QCOMPARE(api.calls.size(), 1);
        QVERIFY(standIn.takeLog().filter(QStringLiteral("speakText")).isEmpty());

        // The object is let go with the window, and NVDA takes over at the next call.
        jaws.close();
        QVERIFY(reader.speak(Text, false));
        QCOMPARE(api.calls.size(), 1);
        QCOMPARE(api.refs(), 1ul);
        QCOMPARE(standIn.takeLog().filter(QStringLiteral("speakText")).size(), 1);
        QCOMPARE(reader.name(), std::string("NVDA"));
    }
}

QTEST_GUILESS_MAIN(TestScreenReaderWin)
#include "tst_screenreader_win.moc"
