#include "shell/session.h"

#include "shell/hiddenwindow_win.h"

#include <windows.h>

// One watcher at a time, like the signal handlers on Linux.
namespace {
bool s_installed = false;
}

SessionEndWatcher::SessionEndWatcher(QObject* parent)
    : QObject(parent)
{
    m_active = install();
}

SessionEndWatcher::~SessionEndWatcher()
{
    if (m_active)
        uninstall();
}

bool SessionEndWatcher::install()
{
    if (s_installed)
        return false;
    auto* window = new HiddenWindow([this](unsigned message, uintptr_t wParam, intptr_t, intptr_t& result) {
        // The session may end: the answer lets it. It ends only when WM_ENDSESSION says so.
        if (message == WM_QUERYENDSESSION) {
            result = TRUE;
            return true;
        }
        if (message == WM_ENDSESSION) {
            if (wParam)
                ending();
            result = 0;
            return true;
        }
        return false;
    });
    if (!window->handle()) {
        delete window;
        return false;
    }
    m_window = window;
    s_installed = true;
    return true;
}

void SessionEndWatcher::uninstall()
{
    delete static_cast<HiddenWindow*>(m_window);
    m_window = nullptr;
    s_installed = false;
}

void SessionEndWatcher::ending()
{
    if (m_emitted)
        return;
    // set before emitting, so a slot that spins the event loop cannot cause a second emission
    m_emitted = true;
    emit sessionEnding();
}
