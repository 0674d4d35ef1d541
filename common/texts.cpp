#include "common/texts.h"

namespace Texts {

QString statusText(int statusNr)
{
    switch (statusNr) {
    case StatusOnline:
        return QStringLiteral("Online");
    case StatusAbwesend:
        return QStringLiteral("Abwesend");
    default:
        return QStringLiteral("Beschäftigt");
    }
}

QString statusModeText(TStatusMode mode)
{
    switch (mode) {
    case smOnline:
        return QStringLiteral("Online");
    case smOffline:
        return QStringLiteral("Offline");
    case smAway:
        return QStringLiteral("Abwesend");
    case smBusy:
        return QStringLiteral("Beschäftigt");
    }
    return QString();
}

namespace {
struct SoundText
{
    const char* file;
    const char* label;
};
constexpr SoundText kSounds[SoundCount] = {
    {"signin.wav", "Programmstart"},
    {"incoming.wav", "Nachrichteneingang"},
    {"outgoing.wav", "Nachrichtenausgang"},
    {"typing.wav", "Tippen"},
    {"online.wav", "Online"},
    {"offline.wav", "Offline"},
    {"away.wav", "Abwesend"},
    {"busy.wav", "Beschäftigt"},
    {"click.wav", "Nächste ungelesene Nachricht"},
    {"delete.wav", "Nachricht löschen"},
    {"read.wav", "Nachricht gelesen"},
};
} // namespace

QString soundFileName(TSound sound)
{
    return QString::fromUtf8(kSounds[static_cast<int>(sound)].file);
}

QString soundLabel(TSound sound)
{
    return QString::fromUtf8(kSounds[static_cast<int>(sound)].label);
}

QString ungelesenErinnerung(int count)
{
    if (count == 1)
        return QStringLiteral("Es befindet sich %1 ungelesene Nachricht im Nachrichteneingang!").arg(count);
    return QStringLiteral("Es befinden sich %1 ungelesene Nachrichten im Nachrichteneingang!").arg(count);
}

} // namespace Texts
