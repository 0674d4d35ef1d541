// The offscreen platform with one screen as large as a desktop's. Call before QApplication exists.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Qt reads the platform's options up to the next ':', so on Windows, where the temporary folder begins with a
// drive letter, the file lies below the current folder and is named relative to it.
inline bool UseDesktopSizedScreen(QTemporaryDir& dir)
{
#ifdef Q_OS_WIN
    QTemporaryDir here(QDir::currentPath() + QStringLiteral("/screen-XXXXXX"));
    dir.swap(here);
#endif
    if (!dir.isValid())
        return false;
    QString config = dir.filePath("screen.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "Desktop", "x": 0, "y": 0, "width": 1920, "height": 1080}]})") < 0)
        return false;
    file.close();
#ifdef Q_OS_WIN
    config = QDir::current().relativeFilePath(config);
#endif
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QFile::encodeName(config));
    return true;
}
