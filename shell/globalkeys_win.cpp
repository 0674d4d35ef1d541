#include "shell/globalkeys_win.h"

#include <algorithm>
#include <utility>

#include <windows.h>

namespace {

struct KeyOfId
{
    int id;
    UINT vk;
};

const KeyOfId Keys[] = {
    {IGlobalKeys::MinimierenPageDown, VK_NEXT},
    {IGlobalKeys::MinimierenF1, VK_F1},
    {IGlobalKeys::UngelesenPageUp, VK_PRIOR},
    {IGlobalKeys::UngelesenF2, VK_F2},
};

} // namespace

WinGlobalKeys::WinGlobalKeys()
    : m_window([this](unsigned message, uintptr_t wParam, intptr_t, intptr_t& result) {
        return onMessage(message, wParam, result);
    })
{
}

WinGlobalKeys::~WinGlobalKeys()
{
    Unregister();
}

bool WinGlobalKeys::Register(KeyHandler onHotKey)
{
    Unregister();
    m_failures.clear();
    if (!m_window.handle()) {
        fail(GlobalKeyTexts::notAvailable());
        return false;
    }
    m_onHotKey = std::move(onHotKey);
    for (const KeyOfId& key : Keys) {
        if (RegisterHotKey(HWND(m_window.handle()), key.id, MOD_ALT | MOD_CONTROL, key.vk))
            m_held.push_back(key.id);
        else
            fail(GlobalKeyTexts::taken(key.id));
    }
    return m_failures.empty();
}

void WinGlobalKeys::Unregister()
{
    m_onHotKey = nullptr;
    // Ids 1 to 4 in that order, failures ignored.
    for (const KeyOfId& key : Keys) {
        if (std::find(m_held.begin(), m_held.end(), key.id) != m_held.end())
            UnregisterHotKey(HWND(m_window.handle()), key.id);
    }
    m_held.clear();
}

std::string WinGlobalKeys::failureText() const
{
    std::string text;
    for (const std::string& line : m_failures)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

void WinGlobalKeys::fail(const std::string& text)
{
    m_failures.push_back(text);
    notice(text);
}

bool WinGlobalKeys::onMessage(unsigned message, uintptr_t wParam, intptr_t& result)
{
    if (message != WM_HOTKEY)
        return false;
    const int id = int(wParam);
    // A key posted before Unregister finds the id no longer held.
    if (m_onHotKey && std::find(m_held.begin(), m_held.end(), id) != m_held.end()) {
        const KeyHandler handler = m_onHotKey; // the handler may unregister, which clears m_onHotKey
        handler(id);
    }
    result = 0;
    return true;
}
