// When the user last touched keyboard or mouse anywhere on the workstation, for the automatic away state.
#pragma once

#include <cstdint>
#include <optional>

class ILastInput
{
public:
    virtual ~ILastInput() = default;
    // Tick (on the caller's clock) of the last keyboard or mouse input; nullopt when the system cannot tell.
    virtual std::optional<uint32_t> lastInputTick() = 0;
};
