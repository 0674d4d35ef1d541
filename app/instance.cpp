#include "app/instance.h"

#include "app/requests.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

bool HandOverToRunningInstance(const TInstanceGuard& guard, const QString& requestFilePath)
{
    if (!guard.otherInstanceRunning())
        return false;
#ifdef Q_OS_WIN
    // The running instance may bring itself to the front only when the program in front allows it.
    AllowSetForegroundWindow(ASFW_ANY);
#endif
    TRegistrySettings request;
    request.SetFocus = QStringLiteral("1");
    return WriteRegistrySettings(requestFilePath, request);
}
