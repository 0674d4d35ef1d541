// One instance per user: a lock file held for the life of the process.
#pragma once

#include <QString>
#include <memory>

class QLockFile;

class TInstanceGuard
{
public:
    // `lockPath` defaults to "Tobrik V1.13.lock" in the per-user runtime folder.
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
    std::unique_ptr<QLockFile> FLock;
};

// A second start: when an instance really runs, ask it to come to the front ("ProgramSetFocus" = "1").
// True when the request was left for it.
bool HandOverToRunningInstance(const TInstanceGuard& guard, const QString& requestFilePath);
