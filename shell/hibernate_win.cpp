#include "shell/launcher.h"

#include <windows.h>

#include <powrprof.h>

bool SystemHibernate()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    const bool enabled = LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
                         AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                         GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    if (!enabled)
        return false;
    return SetSuspendState(TRUE, FALSE, FALSE) != FALSE;
}
