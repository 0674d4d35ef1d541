#include "shell/gui/desktoplauncher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

bool DesktopLauncher::Open(const QUrl& url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopLauncher::Start(const QString& program, const QStringList& args, const QString& workingDirectory)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, args, workingDirectory);
}
