// What the Windows speech files share: COM for the calling thread, and UTF-8 texts as Windows' UTF-16.
#pragma once

#include <objbase.h>
#include <string>
#include <windows.h>

// COM for the lifetime of one object, balanced per thread. Single-threaded apartment, as Qt's window
// platform sets up the main thread (OleInitialize): a multithreaded one first would break Qt's clipboard and
// drag and drop, and the JAWS automation object is apartment-threaded anyway.
class ComScope
{
public:
    ComScope()
        : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))
    {
    }
    ~ComScope()
    {
        // S_FALSE (already initialised here) counts too; a thread in the other model is left alone.
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_result;
};

// Invalid UTF-8 becomes U+FFFD rather than an empty text.
inline std::wstring ToWide(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), size);
    return wide;
}

inline std::string ToUtf8(const wchar_t* text, int length = -1)
{
    if (!text || length == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string utf8(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    if (length < 0)
        utf8.pop_back(); // the terminating zero was converted too
    return utf8;
}

inline std::string ToUtf8(const std::wstring& text)
{
    return ToUtf8(text.data(), int(text.size()));
}
