#include "app/paths.h"

#include <QStandardPaths>
#include <QSysInfo>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

QString withSlash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

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

} // namespace

QString WinUserName()
{
    const QString name = passwordEntryName();
    if (!name.isEmpty())
        return name;
    return qEnvironmentVariable("USER");
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

QString StartupLinkPath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return {};
    return withSlash(config) + QStringLiteral("autostart/tobrik.desktop");
}
