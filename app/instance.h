// One instance per user: a lock file held for the life of the process on Linux, the named mutex on Windows.
#pragma once

#include <QString>
#include <memory>

class QLockFile;

class TInstanceGuard
{
public:
    // `lockPath` defaults to "Tobrik V1.13.lock" in the per-user runtime folder; on Windows it is the mutex
    // name, by default "Tobrik V1.13".
    explicit TInstanceGuard(const QString& lockPath = DefaultLockPath());
    ~TInstanceGuard();
    TInstanceGuard(const TInstanceGuard&) = delete;
    TInstanceGuard& operator=(const TInstanceGuard&) = delete;

    // Takes the lock unless a live process holds it; a lock left by a dead process is taken over.
    bool tryAcquire();
    bool isHeld() const;

    // Whether a live process other than this guard holds the lock.
    bool otherInstanceRunning() const;

    QString lockPath() const { return FPath; }
    static QString DefaultLockPath();

private:
    QString FPath;
#ifdef Q_OS_WIN
    void* FMutex = nullptr;
#else
    std::unique_ptr<QLockFile> FLock;
#endif
};

// A second start: when an instance really runs, ask it to come to the front ("ProgramSetFocus" = "1").
// True when the request was left for it.
bool HandOverToRunningInstance(const TInstanceGuard& guard, const QString& requestFilePath);
