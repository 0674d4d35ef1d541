// The desktop's launcher: files and addresses open with the program the desktop chose for them
// (xdg-open on Linux), companion programs start detached with an argument list.
#pragma once

#include "shell/ilauncher.h"

class DesktopLauncher : public ILauncher
{
public:
    bool Open(const QUrl& url) override;
    bool Start(const QString& program, const QStringList& args, const QString& workingDirectory) override;
};
