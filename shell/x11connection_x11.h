// An Xlib connection of our own whose events are read by the Qt event loop of the thread that opened it, for
// the global keys and the keyboard hook. Xlib ends the process when a server goes away or reports an error no
// one handles; this connection instead counts as broken and closes, and errors on it are collected for the
// caller to read.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QSocketNotifier;
struct _XDisplay;
union _XEvent;

class X11Connection
{
public:
    using EventHandler = std::function<void(_XEvent& event)>;

    explicit X11Connection(EventHandler handler);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // An empty name means $DISPLAY. False when no server answers, and for good once a server has gone away.
    bool open(const std::string& displayName);
    void close();
    bool isOpen() const { return m_display != nullptr; }

    // Runs `requests` with this connection's protocol errors caught, then waits until the server has handled
    // them and answers the error codes they caused, oldest first. Every use of the display belongs in here.
    // Closes the connection when the server has gone away.
    std::vector<int> run(const std::function<void(_XDisplay* display)>& requests);

    // Runs `call` from the event loop later, unless this connection has been destroyed by then.
    void post(std::function<void()> call);

private:
    friend class X11ConnectionHandlers;

    void readEvents();
    void readSoon();
    void closeIfBroken();

    EventHandler m_handler;
    _XDisplay* m_display = nullptr;
    std::unique_ptr<QObject> m_context;
    QSocketNotifier* m_notifier = nullptr;
    std::vector<int> m_errors;
    bool m_broken = false;
};

// True when this is a Wayland session, where X11 grabs see only the keys meant for X11 windows.
bool isWaylandSession();
