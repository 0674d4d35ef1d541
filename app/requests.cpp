// The parts of the request channel that are the same whatever carries the requests.
#include "app/requests.h"

bool ReadRegistrySettings(const QString& filePath, TRegistrySettings& request)
{
    return ReadRequest(filePath, request) == TReadResult::Found;
}

bool TWatchRegistrySettings::deliver(const TRegistrySettings& request)
{
    const QString parameters = request.Parameters.trimmed();
    if (!parameters.isEmpty())
        emit parametersRequested(parameters);
    else if (!request.SetFocus.isEmpty())
        emit setFocusRequested();
    else if (!request.Close.isEmpty())
        emit closeRequested();
    else
        return false;
    return true;
}
