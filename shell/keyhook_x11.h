// The keyboard watch as XInput2 raw key events.
#pragma once

#include "shell/keyhook.h"

#include <memory>
#include <string>

class X11Connection;
union _XEvent;

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
