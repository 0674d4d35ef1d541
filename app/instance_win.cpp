#include "app/instance.h"

#include "common/texts.h"

#include <windows.h>

namespace {

// A backslash in a kernel object name separates a namespace ("Local\"); any other one is taken literally.
std::wstring mutexName(const QString& name)
{
    return name.toStdWString();
}

} // namespace

QString TInstanceGuard::DefaultLockPath()
{
    return Texts::ProgrammName;
}

TInstanceGuard::TInstanceGuard(const QString& lockPath)
    : FPath(lockPath)
{
}

TInstanceGuard::~TInstanceGuard()
{
    if (FMutex)
        CloseHandle(FMutex);
}

bool TInstanceGuard::tryAcquire()
{
    if (isHeld())
        return true;
    if (FPath.isEmpty())
        return false;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName(FPath).c_str());
    if (!mutex)
        return false;
    // The mutex lives as long as one of its handles: an existing one belongs to a running instance, and a
    // crashed instance's handle is gone with its process.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    FMutex = mutex;
    return true;
}

bool TInstanceGuard::isHeld() const
{
    return FMutex != nullptr;
}

bool TInstanceGuard::otherInstanceRunning() const
{
    if (isHeld() || FPath.isEmpty())
        return false;
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, mutexName(FPath).c_str());
    if (!mutex)
        return false;
    CloseHandle(mutex);
    return true;
}
