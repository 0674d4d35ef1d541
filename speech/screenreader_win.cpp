#include "speech/screenreader_win.h"

#include <oleauto.h>

using Microsoft::WRL::ComPtr;

namespace {

// JAWS's main window exists exactly while JAWS runs; it has no title to look for.
bool JawsWindowExists()
{
    return FindWindowW(L"JFWUI2", nullptr) != nullptr;
}

bool NvdaWindowExists()
{
    return FindWindowW(L"wxWindowClassNR", L"NVDA") != nullptr;
}

} // namespace

ComPtr<IDispatch> JawsDriver::CreateJawsApi()
{
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"FreedomSci.JawsApi", &clsid)))
        return nullptr;
    ComPtr<IDispatch> api;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(api.GetAddressOf()))))
        return nullptr;
    return api;
}

JawsDriver::JawsDriver(Factory factory)
    : m_factory(std::move(factory))
{
}

// Connects while the window is there and lets go when it is gone, so a JAWS restarted meanwhile gets a
// fresh object.
bool JawsDriver::isActive()
{
    if (!JawsWindowExists()) {
        m_api.Reset();
        return false;
    }
    if (!m_api && m_factory)
        m_api = m_factory();
    return m_api != nullptr;
}

bool JawsDriver::call(const wchar_t* method, const std::wstring* text, const bool* flag, bool checkAnswer)
{
    if (!m_api)
        return false;
    DISPID id;
    LPOLESTR name = const_cast<LPOLESTR>(method);
    if (FAILED(m_api->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)))
        return false;
    // Arguments go in last to first.
    VARIANT args[2];
    UINT count = 0;
    if (flag) {
        VariantInit(&args[count]);
        args[count].vt = VT_BOOL;
        args[count].boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
        ++count;
    }
    if (text) {
        VariantInit(&args[count]);
        args[count].vt = VT_BSTR;
        args[count].bstrVal = SysAllocStringLen(text->data(), UINT(text->size()));
        if (!args[count].bstrVal)
            return false;
        ++count;
    }
    DISPPARAMS params = {args, nullptr, count, 0};
    VARIANT answer;
    VariantInit(&answer);
    const HRESULT hr =
        m_api->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &answer, nullptr, nullptr);
    for (UINT i = 0; i < count; ++i)
        VariantClear(&args[i]);
    bool accepted = SUCCEEDED(hr);
    if (accepted && checkAnswer)
        accepted = SUCCEEDED(VariantChangeType(&answer, &answer, 0, VT_BOOL)) && answer.boolVal != VARIANT_FALSE;
    VariantClear(&answer);
    return accepted;
}

bool JawsDriver::speak(const std::wstring& text, bool interrupt)
{
    return call(L"SayString", &text, &interrupt, true);
}

// JAWS shows braille through its own script function; a double quote would end the quoted argument early.
bool JawsDriver::braille(const std::wstring& text)
{
    std::wstring quoted = text;
    for (wchar_t& c : quoted)
        if (c == L'"')
            c = L'\'';
    const std::wstring function = L"BrailleString(\"" + quoted + L"\")";
    return call(L"RunFunction", &function, nullptr, true);
}

bool JawsDriver::silence()
{
    return call(L"StopSpeech", nullptr, nullptr, false);
}

std::wstring NvdaDriver::ClientPath()
{
#ifdef _WIN64
    const wchar_t* const library = L"nvdaControllerClient64.dll";
#else
    const wchar_t* const library = L"nvdaControllerClient32.dll";
#endif
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return {};
    return path.substr(0, slash + 1) + library;
}

NvdaDriver::NvdaDriver(const std::wstring& libraryPath)
{
    if (libraryPath.empty() || GetFileAttributesW(libraryPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    // No error box for a damaged or foreign library: NVDA is then simply not there.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    m_library = LoadLibraryExW(libraryPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    SetErrorMode(oldMode);
    if (!m_library)
        return;
    const auto entry = [this](const char* name) { return GetProcAddress(m_library, name); };
    m_testIfRunning = reinterpret_cast<PlainCall>(reinterpret_cast<void*>(entry("nvdaController_testIfRunning")));
    m_speakText = reinterpret_cast<TextCall>(reinterpret_cast<void*>(entry("nvdaController_speakText")));
    m_cancelSpeech = reinterpret_cast<PlainCall>(reinterpret_cast<void*>(entry("nvdaController_cancelSpeech")));
    m_brailleMessage = reinterpret_cast<TextCall>(reinterpret_cast<void*>(entry("nvdaController_brailleMessage")));
}

NvdaDriver::~NvdaDriver()
{
    if (m_library)
        FreeLibrary(m_library);
}

bool NvdaDriver::isActive()
{
    return m_testIfRunning && NvdaWindowExists() && m_testIfRunning() == 0;
}

// An interrupt that NVDA refused would leave the new text queued behind the old one: not spoken at all.
bool NvdaDriver::speak(const std::wstring& text, bool interrupt)
{
    if (interrupt && !silence())
        return false;
    return m_speakText && m_speakText(text.c_str()) == 0;
}

bool NvdaDriver::braille(const std::wstring& text)
{
    return m_brailleMessage && m_brailleMessage(text.c_str()) == 0;
}

bool NvdaDriver::silence()
{
    return m_cancelSpeech && m_cancelSpeech() == 0;
}

WinScreenReader::WinScreenReader(std::vector<std::unique_ptr<IScreenReaderDriver>> drivers)
    : m_drivers(std::move(drivers))
{
}

IScreenReaderDriver* WinScreenReader::detect()
{
    for (const auto& driver : m_drivers)
        if (driver && driver->isActive())
            return driver.get();
    return nullptr;
}

bool WinScreenReader::isRunning()
{
    return detect() != nullptr;
}

std::string WinScreenReader::name()
{
    IScreenReaderDriver* driver = detect();
    return driver ? driver->name() : std::string();
}

bool WinScreenReader::output(const std::string& text, bool interrupt)
{
    if (text.empty())
        return false;
    IScreenReaderDriver* driver = detect();
    if (!driver)
        return false;
    const std::wstring wide = ToWide(text);
    const bool spoken = driver->speak(wide, interrupt);
    const bool shown = driver->braille(wide);
    return spoken || shown;
}

bool WinScreenReader::speak(const std::string& text, bool interrupt)
{
    if (text.empty())
        return false;
    IScreenReaderDriver* driver = detect();
    return driver && driver->speak(ToWide(text), interrupt);
}

bool WinScreenReader::braille(const std::string& text)
{
    if (text.empty())
        return false;
    IScreenReaderDriver* driver = detect();
    return driver && driver->braille(ToWide(text));
}

bool WinScreenReader::silence()
{
    IScreenReaderDriver* driver = detect();
    return driver && driver->silence();
}

std::unique_ptr<IScreenReader> CreateScreenReader()
{
    std::vector<std::unique_ptr<IScreenReaderDriver>> drivers;
    drivers.push_back(std::make_unique<JawsDriver>());
    drivers.push_back(std::make_unique<NvdaDriver>());
    return std::make_unique<WinScreenReader>(std::move(drivers));
}
