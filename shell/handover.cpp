#include "shell/handover.h"

#include "data/ansi.h"
#include "shell/ilauncher.h"
#include "shell/launcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

QString oneLine(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

QString withSlash(const QString& folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

QByteArray HandOverBytes(const THandOver& data)
{
    const QStringList lines{oneLine(data.product), oneLine(data.caption), oneLine(data.programPath),
                            oneLine(data.settingsKey),
                            oneLine(QStringLiteral("%1 %2").arg(QString::number(data.fontSizePt), data.fontName))};
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return EncodeAnsi(text);
}

bool IsPrivateFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return false;
#ifdef Q_OS_UNIX
    constexpr auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return info.ownerId() == uint(geteuid()) && !(info.permissions() & others);
#else
    return true; // the per-user temporary folder
#endif
}

QString PrivateRuntimeFolder()
{
#ifdef Q_OS_WIN
    const QString folder = QDir::tempPath();
#else
    // Qt checks XDG_RUNTIME_DIR and falls back to a folder of its own; what it hands out is checked again here.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
    return IsPrivateFolder(folder) ? withSlash(folder) : QString();
}

bool WriteFileReplacing(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return false;
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + u'/' + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return false;
    if (file.write(bytes) != bytes.size() || !file.flush())
        return false;
#ifdef Q_OS_WIN
    // Qt renames its open temporary file itself; rename() and MoveFileExW failed on it under Wine, closed or not.
    // Neither replaces an existing file, so the old one goes first.
    QFile::remove(path);
    if (!file.rename(path))
        return false;
#else
    const QString written = file.fileName();
    file.close();
    // rename() replaces the name itself: a link there is swapped for our file, its target stays untouched.
    if (std::rename(QFile::encodeName(written).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
#endif
    // The temporary name is gone; a later file of that name is not ours to remove.
    file.setAutoRemove(false);
    return true;
}

QString UpdaterPath(const QString& programFolder)
{
    return FindCompanion(HandOver::UpdaterName, programFolder);
}

TUpdateOutcome StartUpdate(const THandOver& data, const QString& folder, const QString& programFolder,
                           ILauncher& launcher)
{
    const QString updater = UpdaterPath(programFolder);
    if (updater.isEmpty())
        return {TUpdateOutcome::UpdaterNotStarted, withSlash(programFolder) + HandOver::UpdaterName};
    if (folder.isEmpty())
        return {TUpdateOutcome::FileNotSaved, HandOver::FileName};
    const QString path = QDir(folder).filePath(HandOver::FileName);
    if (!WriteFileReplacing(path, HandOverBytes(data)))
        return {TUpdateOutcome::FileNotSaved, path};
    if (!launcher.Start(updater, {HandOver::FileName}, folder))
        return {TUpdateOutcome::UpdaterNotStarted, updater};
    return {TUpdateOutcome::Started, path};
}

QString UpdateErrorText(const TUpdateOutcome& outcome)
{
    switch (outcome.result) {
    case TUpdateOutcome::FileNotSaved:
        return QStringLiteral("Es ist ein Fehler beim Aktualisieren aufgetreten!\r\n"
                              "Die Datei \"%1\" konnte nicht gespeichert werden.")
            .arg(outcome.path);
    case TUpdateOutcome::UpdaterNotStarted:
        return QStringLiteral("Es ist ein Fehler beim Aktualisieren aufgetreten!\r\n"
                              "Das Programm \"%1\" konnte nicht gestartet werden.")
            .arg(outcome.path);
    case TUpdateOutcome::Started:
        break;
    }
    return {};
}
