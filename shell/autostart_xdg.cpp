#include "shell/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool AutostartExists(const QString& linkPath)
{
    return !linkPath.isEmpty() && QFileInfo::exists(linkPath);
}

QString DesktopExecArgument(const QString& path)
{
    // Inside double quotes the Exec key needs ", `, $ and \ escaped; the key's own escaping then
    // doubles every backslash once more.
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    return u'"' + quoted + u'"';
}

bool ProgInStartup(const QString& linkPath, bool AktivS, const QString& programPath)
{
    if (linkPath.isEmpty())
        return false;
    // A write-protected entry can still be replaced or removed.
    if (QFileInfo::exists(linkPath))
        QFile::setPermissions(linkPath, QFile::permissions(linkPath) | QFileDevice::WriteOwner);
    if (!AktivS)
        return !QFileInfo::exists(linkPath) || QFile::remove(linkPath);
    if (programPath.isEmpty() || !QDir().mkpath(QFileInfo(linkPath).absolutePath()))
        return false;
    QSaveFile file(linkPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Tobrik\n"
                                         "Comment=Messenger im lokalen Netz\n"
                                         "Exec=%1 /systemstartup\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(DesktopExecArgument(programPath));
    file.write(entry.toUtf8());
    return file.commit();
}

bool RunKeyValueExists(const QString&)
{
    return false;
}

void RunKeyDeleteValue(const QString&) {}
