#include "shell/hiddenwindow_win.h"

#include <windows.h>

struct HiddenWindowClass
{
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<HiddenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        intptr_t result = 0;
        if (self && self->m_handler && self->m_handler(message, wParam, lParam, result))
            return LRESULT(result);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    // Registered once per process; the name is ours alone.
    static const wchar_t* name()
    {
        static const bool registered = [] {
            WNDCLASSEXW cls = {};
            cls.cbSize = sizeof cls;
            cls.lpfnWndProc = proc;
            cls.hInstance = GetModuleHandleW(nullptr);
            cls.lpszClassName = L"TobrikHiddenWindow";
            return RegisterClassExW(&cls) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }();
        return registered ? L"TobrikHiddenWindow" : nullptr;
    }
};

HiddenWindow::HiddenWindow(Handler handler)
    : m_handler(std::move(handler))
{
    const wchar_t* cls = HiddenWindowClass::name();
    if (!cls)
        return;
    // A top-level window (not a message-only one): only those receive the system's broadcasts.
    m_handle = CreateWindowExW(WS_EX_TOOLWINDOW, cls, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), this);
}

HiddenWindow::~HiddenWindow()
{
    if (!m_handle)
        return;
    SetWindowLongPtrW(HWND(m_handle), GWLP_USERDATA, 0);
    DestroyWindow(HWND(m_handle));
}
