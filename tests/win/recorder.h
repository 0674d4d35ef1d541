// The Windows tests' recorder (recordargs.exe, built beside the tests), copied into a folder of the test's own.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>

// The copy's path, empty when it could not be made. It writes args.txt and cwd.txt beside itself.
inline QString CopyRecorder(const QString& folder)
{
    const QString source = QCoreApplication::applicationDirPath() + QStringLiteral("/recordargs.exe");
    const QString target = QDir(folder).filePath(QStringLiteral("recorder.exe"));
    return QFile::copy(source, target) ? target : QString();
}
