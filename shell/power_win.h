// Suspend, resume and workstation unlock as Windows tells a top-level window.
#pragma once

#include "shell/hiddenwindow_win.h"
#include "shell/power.h"

// WM_POWERBROADCAST and WM_WTSSESSION_CHANGE to a hidden window of its own, registered for the session's
// notifications with WTSRegisterSessionNotification. Each resume notification of one wake-up is passed on;
// the window acts on the first.
class WinPowerEvents : public IPowerEvents
{
public:
    WinPowerEvents();
    ~WinPowerEvents() override;
    WinPowerEvents(const WinPowerEvents&) = delete;
    WinPowerEvents& operator=(const WinPowerEvents&) = delete;

    bool isAvailable() const override { return m_window.handle() != nullptr; }
    // Whether the system took the registration for unlock notifications.
    bool watchesSession() const { return m_sessionRegistered; }
    void* windowHandle() const { return m_window.handle(); }

private:
    bool onMessage(unsigned message, uintptr_t wParam, intptr_t& result);

    HiddenWindow m_window;
    bool m_sessionRegistered = false;
};
