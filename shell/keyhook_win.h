// The keyboard watch as a Windows low-level keyboard hook.
#pragma once

#include "shell/keyhook.h"

#include <QObject>

// SetWindowsHookExW(WH_KEYBOARD_LL): the system calls the hook for every key of the workstation from the
// event loop of the thread that set it. Each key is passed on, never swallowed; the handler runs a moment
// later from the same event loop, so that the system never waits for it.
class WinKeyHook : public IKeyHook
{
public:
    WinKeyHook();
    ~WinKeyHook() override;
    WinKeyHook(const WinKeyHook&) = delete;
    WinKeyHook& operator=(const WinKeyHook&) = delete;

    bool setActive(bool active) override;
    bool isActive() const override { return m_hook != nullptr; }

    // What the hook makes of one key as the system reports it (a KBDLLHOOKSTRUCT's time and key, and the
    // window message); false for messages that are no key.
    static bool translate(uint32_t time, uint32_t vkCode, uintptr_t message, KeyHookEvent& event);

private:
    static intptr_t __stdcall hookProc(int code, uintptr_t wParam, intptr_t lParam);

    void* m_hook = nullptr;
    QObject m_context;
};
