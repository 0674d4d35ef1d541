#include "speech/soundsystem.h"

#include <QStandardPaths>

namespace {

// Windows sound aliases and the freedesktop.org sound-naming events that mean the same.
QString freedesktopEvent(const QString& alias)
{
    static const struct
    {
        const char* alias;
        const char* event;
    } kEvents[] = {
        {"SystemNotification", "dialog-information"}, {"SystemAsterisk", "dialog-information"},
        {"SystemExclamation", "dialog-warning"},      {"SystemHand", "dialog-error"},
        {"SystemQuestion", "dialog-question"},        {"SystemDefault", "bell"},
    };
    for (const auto& e : kEvents)
        if (alias.compare(QLatin1String(e.alias), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(e.event);
    return {};
}

} // namespace

TSystemSound FindSystemSound(const QString& alias)
{
    const QString event = freedesktopEvent(alias);
    if (event.isEmpty())
        return {};
    TSystemSound sound;
    // libcanberra's player knows the user's theme and whether event sounds are switched off.
    sound.program = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    if (!sound.program.isEmpty()) {
        sound.arguments = {QStringLiteral("--id"), event, QStringLiteral("--description"), QStringLiteral("Tobrik")};
        return sound;
    }
    // Without it, the fallback theme's file, if it ships one as a wave (Debian's ships Ogg only).
    sound.waveFile = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                            QStringLiteral("sounds/freedesktop/stereo/%1.wav").arg(event));
    return sound;
}
