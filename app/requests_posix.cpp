#include "app/requests.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVariant>

#include <cstdio>
#include <memory>

namespace {

const QString ParametersName = QStringLiteral("ProgramParameters");
const QString SetFocusName = QStringLiteral("ProgramSetFocus");
const QString CloseName = QStringLiteral("ProgramClose");

constexpr int PollMs = 100;
// With change notices from the file system the poll only backs them up.
constexpr int WatchedPollMs = 1000;

// QSettings serialises its own writers with this lock file; holding it keeps every writer
// out between our read and our delete, so a request written meanwhile is not lost.
QString lockPathOf(const QString& filePath)
{
    return QFileInfo(filePath).absoluteFilePath() + QStringLiteral(".lock");
}

// Another program may write "a, b" unquoted, which the ini reader turns into a list.
QString valueText(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// QSettings reads a key as the name it gives with the slashes around and between its parts
// collapsed: "/ProgramClose/", or "ProgramClose" under an empty section header, is our value.
QString normalizedKey(const QString& key)
{
    return key.split(u'/', Qt::SkipEmptyParts).join(u'/');
}

// An empty value counts as absent: it may be the first half of a value still being written.
bool takeValue(const QSettings& store, const QString& name, QString& field)
{
    if (!store.contains(name))
        return false;
    field = valueText(store.value(name));
    return !field.isEmpty();
}

// QSettings remembers what it last parsed of a path and trusts it while size and modification
// time are unchanged, but two writes within one clock tick can look alike. Parsing a copy under
// a fresh name always reads the bytes on disk.
std::unique_ptr<QTemporaryFile> snapshotOf(const QString& filePath)
{
    QFile source(filePath);
    if (!source.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = source.readAll();
    auto copy = std::make_unique<QTemporaryFile>(filePath + QStringLiteral(".XXXXXX.read"));
    if (source.error() != QFile::NoError || !copy->open() || copy->write(bytes) != bytes.size() || !copy->flush())
        return nullptr;
    return copy;
}

// Replaces the file by one holding only `rest`, while the caller holds the lock.
// QSettings cannot write the file itself here: its sync would wait for our own lock.
bool rewriteWith(const QString& filePath, const QVariantMap& rest)
{
    QTemporaryFile fresh(filePath + QStringLiteral(".XXXXXX.new"));
    if (!fresh.open())
        return false;
    const QString freshPath = fresh.fileName();
    fresh.close();
    {
        QSettings out(freshPath, QSettings::IniFormat);
        for (auto it = rest.constBegin(); it != rest.constEnd(); ++it)
            out.setValue(it.key(), it.value());
        out.sync();
        if (out.status() != QSettings::NoError)
            return false;
    }
    // Replacing in one step keeps the foreign values should anything fail.
    if (std::rename(QFile::encodeName(freshPath).constData(), QFile::encodeName(filePath).constData()) == 0)
        return true;
    return QFile::remove(filePath) && QFile::rename(freshPath, filePath);
}

struct TParsed
{
    bool readable = false;
    bool found = false;
    QVariantMap rest; // values that are not ours, to be kept
};

// Parses a snapshot of the request file. The values of a file that cannot be parsed count,
// but nothing else of it is kept once they are taken: it would block the channel for good.
TParsed parseRequest(const QString& filePath, TRegistrySettings& request)
{
    TParsed parsed;
    const std::unique_ptr<QTemporaryFile> snapshot = snapshotOf(filePath);
    if (!snapshot)
        return parsed;
    const QSettings store(snapshot->fileName(), QSettings::IniFormat);
    if (store.status() == QSettings::AccessError)
        return parsed;
    parsed.readable = true;
    parsed.found |= takeValue(store, ParametersName, request.Parameters);
    parsed.found |= takeValue(store, SetFocusName, request.SetFocus);
    parsed.found |= takeValue(store, CloseName, request.Close);
    if (store.status() == QSettings::NoError) {
        for (const QString& key : store.allKeys()) {
            // Kept under another spelling, a value of ours would be delivered again at the next read.
            const QString name = normalizedKey(key);
            if (name != ParametersName && name != SetFocusName && name != CloseName)
                parsed.rest.insert(name, store.value(key));
        }
    }
    return parsed;
}

} // namespace

QString RequestFilePath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return {};
    return config + QStringLiteral("/Tobrik/Requests.conf");
}

bool WriteRegistrySettings(const QString& filePath, const TRegistrySettings& request)
{
    if (request.isEmpty())
        return true;
    if (filePath.isEmpty() || !QDir().mkpath(QFileInfo(filePath).absolutePath()))
        return false;
    QSettings store(filePath, QSettings::IniFormat);
    if (!request.Parameters.isEmpty())
        store.setValue(ParametersName, request.Parameters);
    if (!request.SetFocus.isEmpty())
        store.setValue(SetFocusName, request.SetFocus);
    if (!request.Close.isEmpty())
        store.setValue(CloseName, request.Close);
    store.sync();
    if (store.status() != QSettings::FormatError)
        return store.status() == QSettings::NoError;
    // A file that was unparsable before keeps QSettings from reporting how the write went.
    TRegistrySettings written;
    parseRequest(filePath, written);
    return (request.Parameters.isEmpty() || written.Parameters == request.Parameters) &&
           (request.SetFocus.isEmpty() || written.SetFocus == request.SetFocus) &&
           (request.Close.isEmpty() || written.Close == request.Close);
}

TReadResult ReadRequest(const QString& filePath, TRegistrySettings& request)
{
    request = {};
    if (filePath.isEmpty())
        return TReadResult::Failed;
    if (!QFileInfo::exists(filePath))
        return TReadResult::Nothing;
    // No waiting: QLockFile retries only every 100 ms or more, which would stall the main
    // thread; a writer holds the lock for a moment, and the next poll comes soon.
    QLockFile lock(lockPathOf(filePath));
    if (!lock.tryLock(0))
        return TReadResult::Failed;
    if (!QFileInfo::exists(filePath))
        return TReadResult::Nothing;

    const TParsed parsed = parseRequest(filePath, request);
    if (!parsed.readable) {
        request = {};
        return QFileInfo::exists(filePath) ? TReadResult::Failed : TReadResult::Nothing;
    }

    // A file without a value of ours may be a request whose writer has opened it but not yet written;
    // deleting it would send the request after it into nowhere. It is read again once it changes.
    if (!parsed.found) {
        request = {};
        return TReadResult::Nothing;
    }
    const bool removed = parsed.rest.isEmpty() ? QFile::remove(filePath) || !QFileInfo::exists(filePath)
                                               : rewriteWith(filePath, parsed.rest);
    if (!removed) {
        // Reporting a request whose values stay would deliver it again and again.
        request = {};
        return TReadResult::Failed;
    }
    return TReadResult::Found;
}

bool TWatchRegistrySettings::Stamp::operator==(const Stamp& other) const
{
    return exists == other.exists && size == other.size && modified == other.modified && changed == other.changed &&
           born == other.born;
}

TWatchRegistrySettings::Stamp TWatchRegistrySettings::stampOf(const QString& filePath)
{
    const QFileInfo info(filePath);
    Stamp stamp;
    stamp.exists = info.exists();
    if (stamp.exists) {
        stamp.size = info.size();
        stamp.modified = info.lastModified();
        stamp.changed = info.metadataChangeTime();
        stamp.born = info.birthTime();
    }
    return stamp;
}

TWatchRegistrySettings::TWatchRegistrySettings(const QString& filePath, QObject* parent)
    : QObject(parent)
    , FPath(filePath)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &TWatchRegistrySettings::poll);
    TRegistrySettings stale;
    readOnce(stale);
    const QString folder = QFileInfo(FPath).absolutePath();
    QDir().mkpath(folder);
    FWatchedS = FWatcher.addPath(folder);
    // A request is written whole and renamed into place, which changes the folder.
    connect(&FWatcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!FStopped)
            FTimer.start(0);
    });
    FTimer.start(interval());
}

int TWatchRegistrySettings::interval() const
{
    return FWatchedS ? WatchedPollMs : PollMs;
}

void TWatchRegistrySettings::stop()
{
    FStopped = true;
    FTimer.stop();
    FWatcher.disconnect(this);
}

TReadResult TWatchRegistrySettings::readOnce(TRegistrySettings& request)
{
    const TReadResult result = ReadRequest(FPath, request);
    // Normally the read removes the file, and the next request creates it anew. A file that
    // stays (foreign values, nothing of ours) is not read again until it changes.
    FLastSeen = result == TReadResult::Failed ? Stamp() : stampOf(FPath);
    return result;
}

void TWatchRegistrySettings::poll()
{
    const Stamp now = stampOf(FPath);
    bool delivered = false;
    if (now.exists && !(now == FLastSeen)) {
        TRegistrySettings request;
        if (readOnce(request) == TReadResult::Found) {
            const QPointer<TWatchRegistrySettings> alive(this);
            delivered = deliver(request);
            if (!alive)
                return;
        }
    }
    if (!FStopped)
        FTimer.start(delivered ? 2 * PollMs : interval());
}
