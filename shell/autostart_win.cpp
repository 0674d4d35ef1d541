#include "shell/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

const wchar_t RunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// COM for this thread as a single-threaded apartment, undone at the end only when this call set it up.
class ComApartment
{
public:
    ComApartment()
    {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_usable = hr == S_OK || hr == S_FALSE || hr == RPC_E_CHANGED_MODE;
        m_release = hr == S_OK || hr == S_FALSE;
    }
    ~ComApartment()
    {
        if (m_release)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool usable() const { return m_usable; }

private:
    bool m_usable = false;
    bool m_release = false;
};

bool createLink(const QString& linkPath, const QString& target, const QString& arguments)
{
    // The shortcut is saved under exactly the name asked for, so that AutostartExists finds it.
    if (linkPath.isEmpty() || target.isEmpty())
        return false;
    const QString& link = linkPath;
    const QString folder = QFileInfo(target).absolutePath();

    ComApartment com;
    if (!com.usable())
        return false;
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    bool saved = false;
    IShellLinkW* shellLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            shellLink->SetPath(native(target).c_str());
            shellLink->SetArguments(arguments.toStdWString().c_str());
            shellLink->SetDescription(L"");
            shellLink->SetWorkingDirectory(native(folder).c_str());
            shellLink->SetHotkey(0);
            shellLink->SetShowCmd(SW_SHOWNORMAL);
            saved = SUCCEEDED(file->Save(native(link).c_str(), FALSE));
            file->Release();
        }
        shellLink->Release();
    }
    SetErrorMode(previousMode);
    return saved;
}

} // namespace

bool AutostartExists(const QString& linkPath)
{
    return !linkPath.isEmpty() && QFileInfo::exists(linkPath);
}

bool ProgInStartup(const QString& linkPath, bool AktivS, const QString& programPath)
{
    if (linkPath.isEmpty())
        return false;
    // A read-only shortcut can still be replaced or removed; an error here is ignored.
    SetFileAttributesW(native(linkPath).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!AktivS)
        return !QFileInfo::exists(linkPath) || QFile::remove(linkPath);
    if (programPath.isEmpty() || !QDir().mkpath(QFileInfo(linkPath).absolutePath()))
        return false;
    return createLink(linkPath, programPath, QStringLiteral("/systemstartup"));
}

bool RunKeyValueExists(const QString& valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RunKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    const bool exists =
        RegQueryValueExW(key, valueName.toStdWString().c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

void RunKeyDeleteValue(const QString& valueName)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, RunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, valueName.toStdWString().c_str());
    RegCloseKey(key);
}
