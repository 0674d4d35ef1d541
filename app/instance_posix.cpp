#include "app/instance.h"

#include "common/texts.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <signal.h>
#endif

namespace {

// Follows QLockFile's own test, so that "running" and "cannot be taken over" agree:
// the owner's PID exists and, where its program file is known, it is the one named in the lock.
bool ownerAlive(qint64 pid, const QString& appName)
{
    if (pid <= 0)
        return false;
#ifdef Q_OS_UNIX
    if (::kill(pid_t(pid), 0) == -1 && errno == ESRCH)
        return false;
#endif
#ifdef Q_OS_LINUX
    QString program = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    // A program file replaced while running (an update) still names the same program.
    const QLatin1String deleted(" (deleted)");
    if (program.endsWith(deleted))
        program.chop(deleted.size());
    if (!program.isEmpty() && !appName.isEmpty() && QFileInfo(program).fileName() != QFileInfo(appName).fileName())
        return false;
#else
    Q_UNUSED(appName);
#endif
    return true;
}

} // namespace

QString TInstanceGuard::DefaultLockPath()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    return runtime + QLatin1Char('/') + Texts::ProgrammName + QStringLiteral(".lock");
}

TInstanceGuard::TInstanceGuard(const QString& lockPath)
    : FPath(lockPath)
{
}

TInstanceGuard::~TInstanceGuard() = default;

bool TInstanceGuard::tryAcquire()
{
    if (isHeld())
        return true;
    if (FPath.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(FPath).absolutePath());
    auto lock = std::make_unique<QLockFile>(FPath);
    // The lock lives as long as the program: its age never makes it stale, only a dead owner does.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    FLock = std::move(lock);
    return true;
}

bool TInstanceGuard::isHeld() const
{
    return FLock && FLock->isLocked();
}

bool TInstanceGuard::otherInstanceRunning() const
{
    if (isHeld() || FPath.isEmpty())
        return false;
    const QLockFile probe(FPath);
    qint64 pid = 0;
    QString hostName;
    QString appName;
    if (!probe.getLockInfo(&pid, &hostName, &appName))
        return false;
    return ownerAlive(pid, appName);
}
