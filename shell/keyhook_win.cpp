#include "shell/keyhook_win.h"

#include <QMetaObject>
#include <algorithm>
#include <vector>

#include <windows.h>

namespace {

// The active hooks; all live on threads with an event loop, touched only from there.
std::vector<WinKeyHook*> s_active;

} // namespace

WinKeyHook::WinKeyHook() = default;

WinKeyHook::~WinKeyHook()
{
    setActive(false);
}

bool WinKeyHook::translate(uint32_t time, uint32_t vkCode, uintptr_t message, KeyHookEvent& event)
{
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN && message != WM_KEYUP && message != WM_SYSKEYUP)
        return false;
    event.time = time;
    event.pressed = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    event.ctrl = vkCode == VK_LCONTROL || vkCode == VK_RCONTROL || vkCode == VK_CONTROL;
    return true;
}

intptr_t __stdcall WinKeyHook::hookProc(int code, uintptr_t wParam, intptr_t lParam)
{
    if (code == HC_ACTION && lParam) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        KeyHookEvent event;
        if (translate(key->time, key->vkCode, wParam, event)) {
            for (WinKeyHook* hook : s_active) {
                QMetaObject::invokeMethod(
                    &hook->m_context,
                    [hook, event] {
                        if (hook->isActive())
                            hook->deliver(event);
                    },
                    Qt::QueuedConnection);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool WinKeyHook::setActive(bool active)
{
    if (!active) {
        if (m_hook) {
            UnhookWindowsHookEx(HHOOK(m_hook));
            m_hook = nullptr;
            s_active.erase(std::remove(s_active.begin(), s_active.end(), this), s_active.end());
        }
        return true;
    }
    if (m_hook)
        return true;
    m_hook = SetWindowsHookExW(WH_KEYBOARD_LL, reinterpret_cast<HOOKPROC>(&WinKeyHook::hookProc),
                               GetModuleHandleW(nullptr), 0);
    if (m_hook)
        s_active.push_back(this);
    return m_hook != nullptr;
}
