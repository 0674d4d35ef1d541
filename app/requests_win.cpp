#include "app/requests.h"

#include <QPointer>
#include <QSettings>

// On Windows the request channel is the registry key HKEY_CURRENT_USER\Tobrik, as older versions and their
// helper programs know it. A "file path" here is such a key; tests name keys of their own.

namespace {

const QString ParametersName = QStringLiteral("ProgramParameters");
const QString SetFocusName = QStringLiteral("ProgramSetFocus");
const QString CloseName = QStringLiteral("ProgramClose");

constexpr int PollMs = 100;

// Takes one value: an empty one counts as absent and stays (it may be half of a request being written).
// False when a value that was there could not be deleted: reporting it would deliver it again and again.
bool takeValue(QSettings& key, const QString& name, QString& field, bool& found)
{
    const QString value = key.value(name).toString();
    if (value.isEmpty())
        return true;
    key.remove(name);
    key.sync();
    if (key.status() != QSettings::NoError || key.contains(name))
        return false;
    field = value;
    found = true;
    return true;
}

} // namespace

QString RequestFilePath()
{
    return QStringLiteral("HKEY_CURRENT_USER\\Tobrik");
}

bool WriteRegistrySettings(const QString& filePath, const TRegistrySettings& request)
{
    if (request.isEmpty())
        return true;
    if (filePath.isEmpty())
        return false;
    QSettings key(filePath, QSettings::NativeFormat);
    if (!request.Parameters.isEmpty())
        key.setValue(ParametersName, request.Parameters);
    if (!request.SetFocus.isEmpty())
        key.setValue(SetFocusName, request.SetFocus);
    if (!request.Close.isEmpty())
        key.setValue(CloseName, request.Close);
    key.sync();
    return key.status() == QSettings::NoError;
}

TReadResult ReadRequest(const QString& filePath, TRegistrySettings& request)
{
    request = {};
    if (filePath.isEmpty())
        return TReadResult::Failed;
    QSettings key(filePath, QSettings::NativeFormat);
    if (key.status() != QSettings::NoError)
        return TReadResult::Failed;
    bool found = false;
    const bool taken = takeValue(key, ParametersName, request.Parameters, found) &&
                       takeValue(key, SetFocusName, request.SetFocus, found) &&
                       takeValue(key, CloseName, request.Close, found);
    if (!taken) {
        request = {};
        return TReadResult::Failed;
    }
    return found ? TReadResult::Found : TReadResult::Nothing;
}

TWatchRegistrySettings::TWatchRegistrySettings(const QString& filePath, QObject* parent)
    : QObject(parent)
    , FPath(filePath)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &TWatchRegistrySettings::poll);
    TRegistrySettings stale;
    readOnce(stale);
    FTimer.start(interval());
}

int TWatchRegistrySettings::interval() const
{
    return PollMs;
}

void TWatchRegistrySettings::stop()
{
    FStopped = true;
    FTimer.stop();
}

TReadResult TWatchRegistrySettings::readOnce(TRegistrySettings& request)
{
    return ReadRequest(FPath, request);
}

void TWatchRegistrySettings::poll()
{
    bool delivered = false;
    TRegistrySettings request;
    if (readOnce(request) == TReadResult::Found) {
        const QPointer<TWatchRegistrySettings> alive(this);
        delivered = deliver(request);
        if (!alive)
            return;
    }
    if (!FStopped)
        FTimer.start(delivered ? 2 * PollMs : interval());
}
