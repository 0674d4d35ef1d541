// A keyboard hook whose keys the test types; like a real one it reports nothing while inactive.
#pragma once

#include "shell/keyhook.h"

class FakeKeyHook : public IKeyHook
{
public:
    bool setActive(bool active) override
    {
        m_active = active && !refuseActivation;
        return m_active == active;
    }
    bool isActive() const override { return m_active; }

    void key(uint32_t time, bool pressed, bool ctrl)
    {
        if (m_active)
            deliver({time, pressed, ctrl});
    }

    // Activation fails, as where the system offers no hook.
    bool refuseActivation = false;

private:
    bool m_active = false;
};
