#include "shell/lastinput_win.h"

#include "common/clock.h"

#include <windows.h>

WinLastInput::WinLastInput(const IClock& clock)
    : m_clock(clock)
{
}

std::optional<uint32_t> WinLastInput::lastInputTick()
{
    LASTINPUTINFO info = {};
    info.cbSize = sizeof info;
    if (!GetLastInputInfo(&info))
        return std::nullopt;
    // Unsigned arithmetic wraps exactly like the tick counts do.
    const uint32_t idle = uint32_t(GetTickCount()) - uint32_t(info.dwTime);
    return m_clock.tickCount() - idle;
}
