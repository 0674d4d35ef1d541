// Every key pressed or released anywhere on the workstation, watched without taking it from where it goes:
// the base of the double Ctrl that stops the speech while the window waits in the tray.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class X11Connection;
union _XEvent;

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

// XInput2 raw key events selected on the root window over a connection of its own: they arrive whichever
// window has the focus and whatever holds a grab, and nothing is grabbed or swallowed. The connection is
// opened on the first activation; without a display, without XInput 2.1, in a Wayland session (unless a
// display is named explicitly) or once the server has gone away, the hook cannot be activated.
class X11KeyHook : public IKeyHook
{
public:
    // An empty display name means $DISPLAY.
    explicit X11KeyHook(std::string displayName = {});
    ~X11KeyHook() override;
    X11KeyHook(const X11KeyHook&) = delete;
    X11KeyHook& operator=(const X11KeyHook&) = delete;

    bool setActive(bool active) override;
    bool isActive() const override { return m_active; }

private:
    bool open();
    bool select(bool active);
    void onEvent(_XEvent& event);

    std::string m_displayName;
    std::unique_ptr<X11Connection> m_connection;
    int m_xiOpcode = -1;
    bool m_active = false;
};
