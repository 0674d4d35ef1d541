// The last input time as Windows keeps it for the whole workstation.
#pragma once

#include "shell/lastinput.h"

class IClock;

// GetLastInputInfo's tick turned into a tick of `clock`: both count milliseconds, so the idle time is
// carried over from the system's tick count to the caller's clock.
class WinLastInput : public ILastInput
{
public:
    explicit WinLastInput(const IClock& clock);
    std::optional<uint32_t> lastInputTick() override;

private:
    const IClock& m_clock;
};
