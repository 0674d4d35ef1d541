#include "app/paths.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#include <vector>
#endif

namespace {

QString withSlash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

#ifdef Q_OS_UNIX
QString passwordEntryName()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_name)
        return {};
    return QString::fromLocal8Bit(found->pw_name);
}
#endif

} // namespace

QString WinUserName()
{
#ifdef Q_OS_UNIX
    const QString name = passwordEntryName();
    if (!name.isEmpty())
        return name;
    return qEnvironmentVariable("USER");
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

QString ComputerName()
{
    const QString host = QSysInfo::machineHostName();
    return host.section(QLatin1Char('.'), 0, 0).toUpper();
}

QString LogFolderPath()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    return withSlash(data) + QStringLiteral("tobrik/");
}

QString ProgramFolderPath()
{
    // Without an application object Qt cannot tell where the program lives.
    if (!QCoreApplication::instance())
        return {};
    return withSlash(QCoreApplication::applicationDirPath());
}

QString UserFilePath()
{
    const QString folder = ProgramFolderPath();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("User.txt");
}

QString SoundsFolderPath()
{
    const QString folder = ProgramFolderPath();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("sounds/");
}

QString StartupLinkPath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return {};
    return withSlash(config) + QStringLiteral("autostart/tobrik.desktop");
}
