// Suspend, resume and unlock as logind reports them on the system bus.
#pragma once

#include "shell/power.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// logind on the system bus: PrepareForSleep of the manager, Unlock and LockedHint of this session.
// Holds a sleep-delay inhibitor lock while awake, so that the suspending handler runs before the machine
// sleeps. Every call is asynchronous: without a bus or without logind the watcher stays silent.
class LogindPowerEvents : public QObject, public IPowerEvents
{
    Q_OBJECT
public:
    explicit LogindPowerEvents(const QDBusConnection& bus = QDBusConnection::systemBus(), QObject* parent = nullptr);
    ~LogindPowerEvents() override;

    // True once logind has answered a call.
    bool isAvailable() const override { return m_available; }
    bool holdsSleepLock() const { return m_lockFd >= 0; }
    // The object path of the watched logon session, empty until logind has named it.
    QString sessionPath() const { return m_sessionPath; }

private slots:
    void onPrepareForSleep(bool sleeping);
    void onSessionUnlock();
    void onSessionPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                    const QStringList& invalidated);

private:
    void takeSleepLock();
    void releaseSleepLock();
    void onInhibitReply(QDBusPendingCallWatcher* call);
    void lookUpSession();
    void onSessionReply(QDBusPendingCallWatcher* call, bool byPid);
    void watchSession(const QString& path);

    QDBusConnection m_bus;
    QString m_sessionPath;
    int m_lockFd = -1;
    bool m_lockRequested = false;
    bool m_sleeping = false;
    bool m_available = false;
    bool m_unlockAnnounced = false;
};
