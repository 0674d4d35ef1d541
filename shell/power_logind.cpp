#include "shell/power_logind.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString Service = QStringLiteral("org.freedesktop.login1");
const QString ManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString ManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// Long enough for a busy logind, short enough that a stuck bus never keeps a request around for long.
constexpr int CallTimeoutMs = 5000;

} // namespace

LogindPowerEvents::LogindPowerEvents(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(Service, ManagerPath, ManagerInterface, QStringLiteral("PrepareForSleep"), this,
                  SLOT(onPrepareForSleep(bool)));
    takeSleepLock();
    lookUpSession();
}

LogindPowerEvents::~LogindPowerEvents()
{
    releaseSleepLock();
}

void LogindPowerEvents::takeSleepLock()
{
    if (m_lockFd >= 0 || m_lockRequested || m_sleeping)
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(Service, ManagerPath, ManagerInterface, "Inhibit");
    message << QStringLiteral("sleep") << QStringLiteral("Tobrik") << QStringLiteral("Abmeldung im Netzwerk")
            << QStringLiteral("delay");
    m_lockRequested = true;
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, CallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &LogindPowerEvents::onInhibitReply);
}

void LogindPowerEvents::onInhibitReply(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    m_lockRequested = false;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    if (reply.isError())
        return;
    m_available = true;
    const QDBusUnixFileDescriptor lock = reply.value();
    if (!lock.isValid())
        return;
    // Our own descriptor, so that releasing the lock does not depend on when Qt frees the reply.
    const int fd = ::fcntl(lock.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (m_sleeping) {
        // The machine is already on its way to sleep; holding the lock now would only delay it.
        ::close(fd);
        return;
    }
    m_lockFd = fd;
}

void LogindPowerEvents::releaseSleepLock()
{
    if (m_lockFd < 0)
        return;
    ::close(m_lockFd);
    m_lockFd = -1;
}

void LogindPowerEvents::onPrepareForSleep(bool sleeping)
{
    m_available = true;
    if (sleeping) {
        m_sleeping = true;
        notifySuspending();
        releaseSleepLock();
    } else {
        m_sleeping = false;
        takeSleepLock();
        notifyResumed();
    }
}

void LogindPowerEvents::lookUpSession()
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, ManagerPath, ManagerInterface, "GetSessionByPID");
    message << static_cast<uint>(::getpid());
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message, CallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* c) { onSessionReply(c, true); });
}

void LogindPowerEvents::onSessionReply(QDBusPendingCallWatcher* call, bool byPid)
{
    call->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    if (!reply.isError()) {
        m_available = true;
        watchSession(reply.value().path());
        return;
    }
    if (!byPid || reply.error().type() == QDBusError::ServiceUnknown)
        return;
    // Not started inside a session (for example by a user service): logind's choice of the user's
    // session. Signals carry the real object path, never the "auto" alias, so resolve it first.
    QDBusMessage message = QDBusMessage::createMethodCall(Service, ManagerPath, ManagerInterface, "GetSession");
    message << QStringLiteral("auto");
    auto* next = new QDBusPendingCallWatcher(m_bus.asyncCall(message, CallTimeoutMs), this);
    connect(next, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* c) { onSessionReply(c, false); });
}

void LogindPowerEvents::watchSession(const QString& path)
{
    if (path.isEmpty() || !m_sessionPath.isEmpty())
        return;
    m_sessionPath = path;
    // QtDBus offers only the string form of connect for bus signals.
    m_bus.connect(Service, path, SessionInterface, QStringLiteral("Unlock"), this, SLOT(onSessionUnlock()));
    m_bus.connect(Service, path, PropertiesInterface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(onSessionPropertiesChanged(QString, QVariantMap, QStringList)));
}

// Unlock is logind's request to the screen locker (loginctl unlock-session); LockedHint turning false is
// how a desktop's own lock screen reports that the user unlocked. Together they cover both, once each.
void LogindPowerEvents::onSessionUnlock()
{
    m_unlockAnnounced = true;
    notifyUnlocked();
}

void LogindPowerEvents::onSessionPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                                   const QStringList&)
{
    const auto hint = changed.constFind(QStringLiteral("LockedHint"));
    if (interfaceName != SessionInterface || hint == changed.constEnd())
        return;
    const bool locked = hint->toBool();
    const bool alreadyAnnounced = m_unlockAnnounced;
    m_unlockAnnounced = false;
    if (!locked && !alreadyAnnounced)
        notifyUnlocked();
}
