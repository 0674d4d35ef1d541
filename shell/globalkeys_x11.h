// The system-wide keys as X11 key grabs.
#pragma once

#include "shell/globalkeys.h"

#include <memory>
#include <string>
#include <vector>

class X11Connection;
union _XEvent;

// XGrabKey on the root window over a connection of its own, in every state of NumLock, CapsLock and ScrollLock.
// The connection is opened at the first Register; without a display, in a Wayland session (unless a display is
// named explicitly) or once the server has gone away, Register holds nothing and says so.
class X11GlobalKeys : public IGlobalKeys
{
public:
    // An empty display name means $DISPLAY.
    explicit X11GlobalKeys(std::string displayName = {});
    ~X11GlobalKeys() override;
    X11GlobalKeys(const X11GlobalKeys&) = delete;
    X11GlobalKeys& operator=(const X11GlobalKeys&) = delete;

    bool Register(KeyHandler onHotKey) override;
    void Unregister() override;
    std::string failureText() const override;

private:
    struct Grab
    {
        int id;
        unsigned keycode;
        unsigned modifiers;
    };
    void fail(const std::string& text);
    void onEvent(_XEvent& event);

    std::string m_displayName;
    std::unique_ptr<X11Connection> m_connection;
    std::vector<Grab> m_grabs;
    unsigned m_lockMasks = 0;
    KeyHandler m_onHotKey;
    // Tells a key posted before Unregister from one posted after the next Register.
    unsigned m_generation = 0;
    std::vector<std::string> m_failures;
};
