#include "speech/soundsystem_win.h"

#include "speech/soundsystem.h"

#include <QDir>
#include <QFileInfo>
#include <string>

namespace {

// Scheme entries may name a file of Windows' own sound folder without its path.
QString MediaFolder()
{
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return QDir::fromNativeSeparators(QString::fromWCharArray(windows, int(length))) + QStringLiteral("/Media/");
}

} // namespace

QString SchemeWaveFile(HKEY schemes, const QString& alias)
{
    // A backslash would reach into other events' keys.
    if (!schemes || alias.isEmpty() || alias.contains(QLatin1Char('\\')))
        return {};
    const std::wstring subkey = (alias + QStringLiteral("\\.Current")).toStdWString();
    DWORD bytes = 0;
    // Takes REG_EXPAND_SZ entries ("%SystemRoot%\media\...") too, and expands them.
    const DWORD types = RRF_RT_REG_SZ;
    if (RegGetValueW(schemes, subkey.c_str(), nullptr, types, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes < sizeof(wchar_t))
        return {};
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(schemes, subkey.c_str(), nullptr, types, nullptr, value.data(), &bytes) != ERROR_SUCCESS)
        return {};
    value.resize(wcsnlen(value.c_str(), value.size()));
    QString file = QDir::fromNativeSeparators(QString::fromStdWString(value).trimmed());
    if (file.isEmpty())
        return {};
    if (QFileInfo(file).isRelative())
        file = MediaFolder() + file;
    return QFileInfo(file).isFile() ? file : QString();
}

TSystemSound FindSystemSound(const QString& alias)
{
    HKEY schemes = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"AppEvents\\Schemes\\Apps\\.Default", 0, KEY_READ, &schemes) != ERROR_SUCCESS)
        return {};
    TSystemSound sound;
    sound.waveFile = SchemeWaveFile(schemes, alias);
    RegCloseKey(schemes);
    return sound;
}
