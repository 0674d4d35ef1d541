// A launcher that records what would be opened or started and answers with a preset.
#pragma once

#include "shell/ilauncher.h"

#include <QList>
#include <QStringList>
#include <QUrl>

class RecordingLauncher : public ILauncher
{
public:
    struct Started
    {
        QString program;
        QStringList args;
        QString workingDirectory;
    };

    bool Open(const QUrl& url) override
    {
        opened.append(url);
        return answer;
    }
    bool Start(const QString& program, const QStringList& args, const QString& workingDirectory) override
    {
        started.append({program, args, workingDirectory});
        return answer;
    }

    bool answer = true;
    QList<QUrl> opened;
    QList<Started> started;
};
