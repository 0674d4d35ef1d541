// Power events that happen when a test says so.
#pragma once

#include "shell/power.h"

class FakePowerEvents : public IPowerEvents
{
public:
    bool isAvailable() const override { return m_available; }
    void setAvailable(bool available) { m_available = available; }
    void triggerSuspending() const { notifySuspending(); }
    void triggerResumed() const { notifyResumed(); }
    void triggerUnlocked() const { notifyUnlocked(); }

private:
    bool m_available = true;
};
