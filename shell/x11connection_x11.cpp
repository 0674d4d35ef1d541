#include "shell/x11connection_x11.h"

#include <QObject>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include <X11/Xlib.h>

class X11ConnectionHandlers
{
public:
    // The I/O error handler is global and is installed once: replacing it later could make two handlers call
    // each other. Breaks on connections that are not ours go on to the handler that was there before.
    static void adopt(X11Connection* connection)
    {
        static std::once_flag installed;
        std::call_once(installed, [] { s_previousIOError = XSetIOErrorHandler(onIOError); });
        std::lock_guard<std::mutex> lock(s_mutex);
        s_ours.push_back(connection->m_display);
    }

    static void release(Display* display)
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        s_ours.erase(std::remove(s_ours.begin(), s_ours.end(), display), s_ours.end());
    }

    static void onExit(Display*, void* connection) { static_cast<X11Connection*>(connection)->m_broken = true; }

    // Protocol errors are only ever reported while Xlib reads from the connection, and we read only inside a
    // trap. Taking the handler for just that long keeps whoever set one after us (Qt's xcb, say) in charge of
    // its own connections.
    class Trap
    {
    public:
        explicit Trap(X11Connection* connection)
            : m_outerConnection(s_trapped)
            , m_outerHandler(s_forward)
        {
            s_trapped = connection;
            s_forward = XSetErrorHandler(onError);
            if (s_forward == onError)
                s_forward = m_outerHandler;
        }
        ~Trap()
        {
            XSetErrorHandler(m_outerConnection ? onError : s_forward);
            s_trapped = m_outerConnection;
            s_forward = m_outerHandler;
        }
        Trap(const Trap&) = delete;
        Trap& operator=(const Trap&) = delete;

    private:
        X11Connection* m_outerConnection;
        XErrorHandler m_outerHandler;
    };

private:
    static bool isOurs(Display* display)
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        return std::find(s_ours.begin(), s_ours.end(), display) != s_ours.end();
    }

    static int onIOError(Display* display)
    {
        // Returning lets the connection's exit handler run, which marks it broken instead of ending the process.
        if (isOurs(display) || !s_previousIOError)
            return 0;
        return s_previousIOError(display);
    }

    static int onError(Display* display, XErrorEvent* error)
    {
        if (s_trapped && s_trapped->m_display == display) {
            s_trapped->m_errors.push_back(error->error_code);
            return 0;
        }
        return s_forward ? s_forward(display, error) : 0;
    }

    static inline std::mutex s_mutex;
    static inline std::vector<Display*> s_ours;
    static inline XIOErrorHandler s_previousIOError = nullptr;
    // Traps are used on the main thread only.
    static inline X11Connection* s_trapped = nullptr;
    static inline XErrorHandler s_forward = nullptr;
};

X11Connection::X11Connection(EventHandler handler)
    : m_handler(std::move(handler))
    , m_context(std::make_unique<QObject>())
{
}

X11Connection::~X11Connection()
{
    close();
}

bool X11Connection::open(const std::string& displayName)
{
    if (m_display)
        return true;
    // By now the display's name may belong to another server.
    if (m_broken)
        return false;
    m_display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!m_display)
        return false;
    m_errors.clear();
    X11ConnectionHandlers::adopt(this);
    XSetIOErrorExitHandler(m_display, X11ConnectionHandlers::onExit, this);
    m_notifier = new QSocketNotifier(ConnectionNumber(m_display), QSocketNotifier::Read, m_context.get());
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_context.get(), [this] { readEvents(); });
    return true;
}

void X11Connection::close()
{
    if (!m_display)
        return;
    if (m_notifier) {
        // We may be inside its own signal.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    {
        // Still ours while it closes: closing a broken connection may report the break again.
        X11ConnectionHandlers::Trap trap(this);
        XCloseDisplay(m_display);
    }
    X11ConnectionHandlers::release(m_display);
    m_display = nullptr;
    m_errors.clear();
}

std::vector<int> X11Connection::run(const std::function<void(Display*)>& requests)
{
    if (!m_display)
        return {};
    {
        X11ConnectionHandlers::Trap trap(this);
        m_errors.clear();
        requests(m_display);
        XSync(m_display, False);
    }
    std::vector<int> errors;
    errors.swap(m_errors);
    closeIfBroken();
    readSoon();
    return errors;
}

void X11Connection::readSoon()
{
    // Xlib may have read events into its queue while we waited, where the socket notifier never sees them.
    post([this] { readEvents(); });
}

void X11Connection::post(std::function<void()> call)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(call), Qt::QueuedConnection);
}

void X11Connection::readEvents()
{
    {
        X11ConnectionHandlers::Trap trap(this);
        // The handler may close the connection.
        while (m_display && !m_broken && XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == MappingNotify)
                XRefreshKeyboardMapping(&event.xmapping);
            m_handler(event);
        }
    }
    // Errors read here belong to requests whose callers did not wait for them.
    m_errors.clear();
    closeIfBroken();
}

void X11Connection::closeIfBroken()
{
    if (m_broken)
        close();
}

bool isWaylandSession()
{
    const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
    const char* sessionType = std::getenv("XDG_SESSION_TYPE");
    return (waylandDisplay && *waylandDisplay) || (sessionType && std::strcmp(sessionType, "wayland") == 0);
}
