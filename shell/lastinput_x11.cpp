#include "shell/lastinput_x11.h"

#include "common/clock.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// Xlib ends the whole process when a connection breaks, unless both the global I/O error handler and the
// per-connection exit handler return. The global handler is shared with every other Xlib user in the
// process, so breaks on connections that are not ours go on to the handler that was there before.
std::mutex ourDisplaysMutex;
std::vector<Display*> ourDisplays;
XIOErrorHandler previousIOErrorHandler = nullptr;

bool isOurs(Display* display)
{
    std::lock_guard<std::mutex> lock(ourDisplaysMutex);
    return std::find(ourDisplays.begin(), ourDisplays.end(), display) != ourDisplays.end();
}

int onIOError(Display* display)
{
    if (isOurs(display) || !previousIOErrorHandler)
        return 0;
    return previousIOErrorHandler(display);
}

void onIOErrorExit(Display*, void* broken)
{
    *static_cast<bool*>(broken) = true;
}

void adopt(Display* display, bool* broken)
{
    static std::once_flag installed;
    std::call_once(installed, [] { previousIOErrorHandler = XSetIOErrorHandler(onIOError); });
    {
        std::lock_guard<std::mutex> lock(ourDisplaysMutex);
        ourDisplays.push_back(display);
    }
    XSetIOErrorExitHandler(display, onIOErrorExit, broken);
}

void release(Display* display)
{
    std::lock_guard<std::mutex> lock(ourDisplaysMutex);
    ourDisplays.erase(std::remove(ourDisplays.begin(), ourDisplays.end(), display), ourDisplays.end());
}

} // namespace

X11LastInput::X11LastInput(const IClock& clock, std::string displayName)
    : m_clock(clock)
    , m_displayName(std::move(displayName))
{
}

X11LastInput::~X11LastInput()
{
    close();
}

std::optional<uint32_t> X11LastInput::lastInputTick()
{
    if (!m_tried) {
        m_tried = true;
        open();
    }
    if (!m_display)
        return std::nullopt;
    XScreenSaverInfo info{};
    const Status ok = XScreenSaverQueryInfo(m_display, DefaultRootWindow(m_display), &info);
    if (m_broken) {
        close();
        return std::nullopt;
    }
    if (!ok)
        return std::nullopt;
    // Unsigned arithmetic wraps exactly like the tick count does.
    return m_clock.tickCount() - static_cast<uint32_t>(info.idle);
}

void X11LastInput::open()
{
    m_display = XOpenDisplay(m_displayName.empty() ? nullptr : m_displayName.c_str());
    if (!m_display)
        return;
    adopt(m_display, &m_broken);
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(m_display, &eventBase, &errorBase))
        close();
}

void X11LastInput::close()
{
    if (!m_display)
        return;
    // Still ours while it closes: closing a broken connection may report the break again.
    XCloseDisplay(m_display);
    release(m_display);
    m_display = nullptr;
}
