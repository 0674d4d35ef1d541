// The system-wide keys as Windows hotkeys.
#pragma once

#include "shell/globalkeys.h"
#include "shell/hiddenwindow_win.h"

#include <string>
#include <vector>

// RegisterHotKey with Ctrl+Alt on a hidden window of its own; WM_HOTKEY is posted to it, so the handler runs
// from the event loop.
class WinGlobalKeys : public IGlobalKeys
{
public:
    WinGlobalKeys();
    ~WinGlobalKeys() override;
    WinGlobalKeys(const WinGlobalKeys&) = delete;
    WinGlobalKeys& operator=(const WinGlobalKeys&) = delete;

    bool Register(KeyHandler onHotKey) override;
    void Unregister() override;
    std::string failureText() const override;

    // The ids held now, for the tests.
    const std::vector<int>& heldIds() const { return m_held; }
    void* windowHandle() const { return m_window.handle(); }

private:
    void fail(const std::string& text);
    bool onMessage(unsigned message, uintptr_t wParam, intptr_t& result);

    HiddenWindow m_window;
    std::vector<int> m_held;
    KeyHandler m_onHotKey;
    std::vector<std::string> m_failures;
};
