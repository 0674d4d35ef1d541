#include "shell/power_win.h"

#include <windows.h>

#include <wtsapi32.h>

WinPowerEvents::WinPowerEvents()
    : m_window([this](unsigned message, uintptr_t wParam, intptr_t, intptr_t& result) {
        return onMessage(message, wParam, result);
    })
{
    if (m_window.handle())
        m_sessionRegistered = WTSRegisterSessionNotification(HWND(m_window.handle()), NOTIFY_FOR_THIS_SESSION);
}

WinPowerEvents::~WinPowerEvents()
{
    if (m_sessionRegistered)
        WTSUnRegisterSessionNotification(HWND(m_window.handle()));
}

bool WinPowerEvents::onMessage(unsigned message, uintptr_t wParam, intptr_t& result)
{
    if (message == WM_POWERBROADCAST) {
        switch (wParam) {
        case PBT_APMSUSPEND:
        case PBT_APMSTANDBY:
            notifySuspending();
            break;
        case PBT_APMRESUMECRITICAL:
        case PBT_APMRESUMESUSPEND:
        case PBT_APMRESUMESTANDBY:
        case PBT_APMRESUMEAUTOMATIC:
            notifyResumed();
            break;
        default:
            return false;
        }
        result = TRUE;
        return true;
    }
    if (message == WM_WTSSESSION_CHANGE) {
        if (wParam == WTS_SESSION_UNLOCK)
            notifyUnlocked();
        result = 0;
        return true;
    }
    return false;
}
