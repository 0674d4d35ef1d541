#include "shell/keyhook_x11.h"

#include "shell/x11connection_x11.h"

#include <utility>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

X11KeyHook::X11KeyHook(std::string displayName)
    : m_displayName(std::move(displayName))
    , m_connection(std::make_unique<X11Connection>([this](XEvent& event) { onEvent(event); }))
{
}

X11KeyHook::~X11KeyHook()
{
    setActive(false);
}

bool X11KeyHook::setActive(bool active)
{
    if (!active) {
        m_active = false;
        select(false);
        return true;
    }
    m_active = open() && select(true);
    return m_active;
}

bool X11KeyHook::open()
{
    if (m_connection->isOpen())
        return true;
    if ((m_displayName.empty() && isWaylandSession()) || !m_connection->open(m_displayName))
        return false;
    bool usable = false;
    m_connection->run([&](Display* display) {
        int event = 0;
        int error = 0;
        if (!XQueryExtension(display, "XInputExtension", &m_xiOpcode, &event, &error))
            return;
        // Since 2.1 raw events reach every client that asked for them, also while another one holds a grab.
        int major = 2;
        int minor = 2;
        usable = XIQueryVersion(display, &major, &minor) == Success && (major > 2 || (major == 2 && minor >= 1));
    });
    if (!usable)
        m_connection->close();
    return m_connection->isOpen();
}

bool X11KeyHook::select(bool active)
{
    if (!m_connection->isOpen())
        return !active;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (active) {
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
    }
    // Master devices only: each key then arrives once, not once more for the physical keyboard behind it.
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    const std::vector<int> errors =
        m_connection->run([&](Display* display) { XISelectEvents(display, DefaultRootWindow(display), &mask, 1); });
    return m_connection->isOpen() && errors.empty();
}

void X11KeyHook::onEvent(XEvent& event)
{
    XGenericEventCookie& cookie = event.xcookie;
    if (cookie.type != GenericEvent || cookie.extension != m_xiOpcode || !XGetEventData(cookie.display, &cookie))
        return;
    if (m_active && (cookie.evtype == XI_RawKeyPress || cookie.evtype == XI_RawKeyRelease)) {
        const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
        const KeyCode keycode = static_cast<KeyCode>(raw->detail);
        KeyHookEvent key;
        key.time = static_cast<uint32_t>(raw->time);
        key.pressed = cookie.evtype == XI_RawKeyPress;
        key.ctrl = keycode != 0 && (keycode == XKeysymToKeycode(cookie.display, XK_Control_L) ||
                                    keycode == XKeysymToKeycode(cookie.display, XK_Control_R));
        XFreeEventData(cookie.display, &cookie);
        deliver(key);
        return;
    }
    XFreeEventData(cookie.display, &cookie);
}
