// A hidden top-level window of our own that receives what the system tells every top-level window (end of
// session, power changes) and what is addressed to a window (hotkeys, session changes). It does not depend
// on the Qt platform plugin: Qt's event loop dispatches every message of the thread, also offscreen.
#pragma once

#include <cstdint>
#include <functional>

class HiddenWindow
{
public:
    // Answers true with `result` set when it handled the message; the default handling follows otherwise.
    using Handler = std::function<bool(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t& result)>;

    explicit HiddenWindow(Handler handler);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    // The window's HWND; null when it could not be created.
    void* handle() const { return m_handle; }

private:
    friend struct HiddenWindowClass;

    Handler m_handler;
    void* m_handle = nullptr;
};
