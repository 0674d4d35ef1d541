// Whether a Windows test runs under Wine, for the few places where Wine differs from Windows itself.
#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>

inline bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#else
inline bool RunningUnderWine()
{
    return false;
}
#endif
