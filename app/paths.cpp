#include "app/paths.h"

#include <QCoreApplication>

namespace {

QString withSlash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

} // namespace

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
