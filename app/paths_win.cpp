#include "app/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace {

// A known folder of the current user with Qt's separators and a trailing "/"; empty when the system has none.
QString knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path)
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(path));
    CoTaskMemFree(path);
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

} // namespace

QString WinUserName()
{
    wchar_t name[257]; // UNLEN + 1
    DWORD size = DWORD(std::size(name));
    if (!GetUserNameW(name, &size) || size == 0)
        return {};
    return QString::fromWCharArray(name, int(size) - 1); // the size counts the terminating null
}

QString ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = DWORD(std::size(name));
    if (!GetComputerNameW(name, &size))
        return {};
    return QString::fromWCharArray(name, int(size)).toUpper();
}

QString LogFolderPath()
{
    const QString data = knownFolder(FOLDERID_RoamingAppData);
    return data.isEmpty() ? QString() : data + QStringLiteral("tobrik/");
}

QString StartupLinkPath()
{
    // Named after the program file: "Tobrik.exe" gets "Tobrik.lnk".
    const QString startup = knownFolder(FOLDERID_Startup);
    if (startup.isEmpty())
        return {};
    const QString program = QCoreApplication::instance()
                                ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                                : QStringLiteral("Tobrik");
    return startup + program + QStringLiteral(".lnk");
}
