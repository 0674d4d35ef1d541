// Opening files and addresses with the desktop's default program, and starting companion programs.
#pragma once

#include <QString>
#include <QStringList>

class QUrl;

class ILauncher
{
public:
    virtual ~ILauncher() = default;
    // Opens a file, folder or address (file:, mailto:, https:) with the program the desktop chose for it;
    // false when nothing could be started.
    virtual bool Open(const QUrl& url) = 0;
    // Starts a program detached, with an argument list and never through a shell, in workingDirectory
    // (empty: this process's own); false when it could not be started.
    virtual bool Start(const QString& program, const QStringList& args, const QString& workingDirectory) = 0;
};
