// A last-input time that answers whatever the test set.
#pragma once

#include "shell/lastinput.h"

#include <optional>

class FakeLastInput : public ILastInput
{
public:
    std::optional<uint32_t> lastInputTick() override { return m_tick; }
    void setLastInputTick(std::optional<uint32_t> tick) { m_tick = tick; }

private:
    std::optional<uint32_t> m_tick;
};
