// A stand-in for NVDA's controller client library: the same entry points, answering what the test sets and
// recording every call, for the screen-reader test to load the way the real library is loaded.
#include <mutex>
#include <string>
#include <windows.h>

namespace {

std::mutex g_lock;
std::wstring g_log;
unsigned long g_running = 0;
unsigned long g_cancel = 0;
unsigned long g_other = 0;

unsigned long record(const wchar_t* call, const wchar_t* text, unsigned long answer)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_log += call;
    if (text) {
        g_log += L':';
        g_log += text;
    }
    g_log += L'\n';
    return answer;
}

} // namespace

extern "C" {

__declspec(dllexport) unsigned long __stdcall nvdaController_testIfRunning()
{
    return record(L"testIfRunning", nullptr, g_running);
}

__declspec(dllexport) unsigned long __stdcall nvdaController_speakText(const wchar_t* text)
{
    return record(L"speakText", text ? text : L"(null)", g_other);
}

__declspec(dllexport) unsigned long __stdcall nvdaController_cancelSpeech()
{
    return record(L"cancelSpeech", nullptr, g_cancel);
}

__declspec(dllexport) unsigned long __stdcall nvdaController_brailleMessage(const wchar_t* text)
{
    return record(L"brailleMessage", text ? text : L"(null)", g_other);
}

// The test's side: the answers to give (0 = success, as NVDA's), and the calls so far, one a line.
__declspec(dllexport) void __stdcall standIn_setAnswers(unsigned long running, unsigned long cancel,
                                                        unsigned long other)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_running = running;
    g_cancel = cancel;
    g_other = other;
}

// Copies the log (cut to fit, zero-terminated) and empties it; returns its full length.
__declspec(dllexport) int __stdcall standIn_takeLog(wchar_t* buffer, int size)
{
    std::lock_guard<std::mutex> lock(g_lock);
    const int length = int(g_log.size());
    if (buffer && size > 0) {
        const int n = length < size - 1 ? length : size - 1;
        g_log.copy(buffer, size_t(n));
        buffer[n] = L'\0';
    }
    g_log.clear();
    return length;
}
}
