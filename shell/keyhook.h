// Every key pressed or released anywhere on the workstation, watched without taking it from where it goes:
// the base of the double Ctrl that stops the speech while the window waits in the tray.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct KeyHookEvent
{
    // Milliseconds on the input system's own clock (wrapping past 2^32), taken when the key moved, so that
    // the gap between two keys does not depend on how soon we got to see them.
    uint32_t time = 0;
    bool pressed = false; // false: released
    bool ctrl = false;    // the left or the right Ctrl key
};

class IKeyHook
{
public:
    using Handler = std::function<void(const KeyHookEvent& event)>;
    virtual ~IKeyHook() = default;

    // Starts or stops watching. Answers whether the hook now is as asked: false when it cannot watch here.
    virtual bool setActive(bool active) = 0;
    virtual bool isActive() const = 0;

    // Called on the thread that activated the hook, from its event loop, while the hook is active.
    void setHandler(Handler handler) { m_handler = std::move(handler); }

protected:
    void deliver(const KeyHookEvent& event) const
    {
        if (m_handler)
            m_handler(event);
    }

private:
    Handler m_handler;
};
