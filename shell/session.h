// The end of the logon session as a Qt signal: SIGTERM, SIGHUP and SIGINT become `sessionEnding()`.
// The window also connects QGuiApplication::commitDataRequest to the same path itself.
#pragma once

#include <QObject>
#include <signal.h>

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

private:
    void onWakeUp();
    bool install();
    void uninstall();

    static constexpr int SignalCount = 3;
    struct sigaction m_previous[SignalCount] = {};
    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    bool m_active = false;
    bool m_emitted = false;
};
