// Suspend, resume and workstation unlock, behind one interface so the window can be tested with a fake.
#pragma once

#include <functional>

class IPowerEvents
{
public:
    using Handler = std::function<void()>;
    virtual ~IPowerEvents() = default;

    // False while nothing can report these events; the handlers are then simply never called.
    virtual bool isAvailable() const = 0;

    // The machine is about to sleep; the network is still up while this runs.
    void setSuspendingHandler(Handler handler) { m_suspending = std::move(handler); }
    void setResumedHandler(Handler handler) { m_resumed = std::move(handler); }
    // Handlers should tolerate a repeated call: the platform may report one unlock twice.
    void setUnlockedHandler(Handler handler) { m_unlocked = std::move(handler); }

protected:
    void notifySuspending() const { call(m_suspending); }
    void notifyResumed() const { call(m_resumed); }
    void notifyUnlocked() const { call(m_unlocked); }

private:
    static void call(const Handler& handler)
    {
        if (handler)
            handler();
    }
    Handler m_suspending;
    Handler m_resumed;
    Handler m_unlocked;
};
