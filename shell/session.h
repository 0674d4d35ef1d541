// The end of the logon session as a Qt signal. On Linux SIGTERM, SIGHUP and SIGINT become `sessionEnding()`;
// on Windows WM_QUERYENDSESSION and WM_ENDSESSION to a hidden top-level window of the watcher's own.
// The window also connects QGuiApplication::commitDataRequest to the same path itself.
#pragma once

#include <QObject>
#ifndef Q_OS_WIN
#include <signal.h>
#endif

class QSocketNotifier;

class SessionEndWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SessionEndWatcher(QObject* parent = nullptr);
    // Puts back the handlers that were installed before this watcher.
    ~SessionEndWatcher() override;

    // False when the handlers could not be installed, for example while another watcher holds them.
    bool isActive() const { return m_active; }

signals:
    // Emitted on the watcher's thread, at most once per watcher however many signals arrive.
    void sessionEnding();

#ifdef Q_OS_WIN
public:
    // The HiddenWindow that the system tells of the session's end; null while inactive.
    void* hiddenWindow() const
    {
        return m_window;
    }
#endif

private:
    bool install();
    void uninstall();
#ifdef Q_OS_WIN
    void ending();

    void* m_window = nullptr;
#else
    void onWakeUp();

    static constexpr int SignalCount = 3;
    struct sigaction m_previous[SignalCount] = {};
    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
#endif
    bool m_active = false;
    bool m_emitted = false;
};
