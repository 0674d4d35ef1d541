// JAWS and NVDA on Windows, behind one dispatcher that asks on every call which of them runs, JAWS first.
#pragma once

#include "speech/com_win.h"
#include "speech/screenreader.h"

#include <functional>
#include <oaidl.h>
#include <vector>
#include <wrl/client.h>

class IScreenReaderDriver
{
public:
    virtual ~IScreenReaderDriver() = default;
    virtual std::string name() const = 0;
    // Runs now and can be reached.
    virtual bool isActive() = 0;
    // Each true when the screen reader accepted the call; texts are never empty here.
    virtual bool speak(const std::wstring& text, bool interrupt) = 0;
    virtual bool braille(const std::wstring& text) = 0;
    virtual bool silence() = 0;
};

// JAWS while its main window exists, through its automation object, bound late by method name.
class JawsDriver : public IScreenReaderDriver
{
public:
    using Factory = std::function<Microsoft::WRL::ComPtr<IDispatch>()>;
    // The registered automation object "FreedomSci.JawsApi", or nothing.
    static Microsoft::WRL::ComPtr<IDispatch> CreateJawsApi();

    explicit JawsDriver(Factory factory = CreateJawsApi);

    std::string name() const override { return "JAWS"; }
    bool isActive() override;
    bool speak(const std::wstring& text, bool interrupt) override;
    bool braille(const std::wstring& text) override;
    bool silence() override;

private:
    // The method's result code is fine and, where it answers, it answered true.
    bool call(const wchar_t* method, const std::wstring* text, const bool* flag, bool checkAnswer);

    ComScope m_com;
    Factory m_factory;
    Microsoft::WRL::ComPtr<IDispatch> m_api;
};

// NVDA through its controller client library, loaded from a fixed path only (never the DLL search order).
class NvdaDriver : public IScreenReaderDriver
{
public:
    // The client library beside the program: nvdaControllerClient64.dll, or ...32.dll in a 32-bit build.
    static std::wstring ClientPath();

    explicit NvdaDriver(const std::wstring& libraryPath = ClientPath());
    ~NvdaDriver() override;
    NvdaDriver(const NvdaDriver&) = delete;
    NvdaDriver& operator=(const NvdaDriver&) = delete;

    std::string name() const override { return "NVDA"; }
    bool isActive() override;
    bool speak(const std::wstring& text, bool interrupt) override;
    bool braille(const std::wstring& text) override;
    bool silence() override;

private:
    using TextCall = unsigned long(__stdcall*)(const wchar_t*);
    using PlainCall = unsigned long(__stdcall*)();

    HMODULE m_library = nullptr;
    PlainCall m_testIfRunning = nullptr;
    TextCall m_speakText = nullptr;
    PlainCall m_cancelSpeech = nullptr;
    TextCall m_brailleMessage = nullptr;
};

class WinScreenReader : public IScreenReader
{
public:
    // Drivers in their order of precedence.
    explicit WinScreenReader(std::vector<std::unique_ptr<IScreenReaderDriver>> drivers);

    bool isRunning() override;
    std::string name() override;
    bool output(const std::string& text, bool interrupt) override;
    bool speak(const std::string& text, bool interrupt) override;
    bool braille(const std::string& text) override;
    bool silence() override;

private:
    IScreenReaderDriver* detect();

    std::vector<std::unique_ptr<IScreenReaderDriver>> m_drivers;
};
