// The request channel: any local process may ask the running instance to take over a
// command line, to come to the front or to quit, by leaving a value in a per-user
// key-value file (on Windows the registry key HKEY_CURRENT_USER\Tobrik). A value exists only while its
// request is pending.
#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// One request; a field is empty when absent.
struct TRegistrySettings
{
    QString Parameters; // "ProgramParameters": command-line text for the running instance
    QString SetFocus;   // "ProgramSetFocus": non-empty brings the running window to the front
    QString Close;      // "ProgramClose": non-empty quits

    bool isEmpty() const { return Parameters.isEmpty() && SetFocus.isEmpty() && Close.isEmpty(); }
};

// "<per-user configuration folder>/Tobrik/Requests.conf"; empty when that folder is unknown. On Windows
// "HKEY_CURRENT_USER\Tobrik", and every "file path" below is a registry key.
QString RequestFilePath();

// Writes the non-empty fields. True when nothing had to be written or the writing succeeded.
bool WriteRegistrySettings(const QString& filePath, const TRegistrySettings& request);

// Fills `request` with the pending request and removes it; the file goes when nothing else is in it.
// A file that holds none of the values (empty ones count as absent) is left alone: its writer may
// not have finished. True when at least one value was found; failures yield false.
bool ReadRegistrySettings(const QString& filePath, TRegistrySettings& request);

enum class TReadResult { Found, Nothing, Failed };

// As ReadRegistrySettings, telling "nothing pending" from "could not look" (lock busy, unreadable).
TReadResult ReadRequest(const QString& filePath, TRegistrySettings& request);

// Polls the request file every 100 ms and emits one signal per request found.
//
// It runs on the main thread from a timer, not in a thread of its own: one poll is a stat()
// of a small file and, rarely, a short read, so nothing blocks the event loop, and the
// requests reach their receivers on the main thread without any hand-over.
class TWatchRegistrySettings : public QObject
{
    Q_OBJECT
public:
    // Drops a request left over from earlier, then watches the file's folder for the next request (and
    // polls as well, slowly when the folder is watched).
    explicit TWatchRegistrySettings(const QString& filePath, QObject* parent = nullptr);

    void stop();

signals:
    // Exactly one per request, in this order of priority: the command line (trimmed; a blank one
    // counts as absent), the focus request, the close request. The others of that request are dropped.
    void parametersRequested(const QString& parameters);
    void setFocusRequested();
    void closeRequested();

private:
    struct Stamp
    {
        bool exists = false;
        qint64 size = -1;
        QDateTime modified;
        QDateTime changed;
        QDateTime born;
        bool operator==(const Stamp& other) const;
    };

    static Stamp stampOf(const QString& filePath);
    TReadResult readOnce(TRegistrySettings& request);
    void poll();
    int interval() const;
    bool deliver(const TRegistrySettings& request);

    QString FPath;
    QTimer FTimer;
    QFileSystemWatcher FWatcher;
    bool FWatchedS = false;
    // The file as it was left after the last complete read; unchanged means nothing new to read.
    Stamp FLastSeen;
    bool FStopped = false;
};
