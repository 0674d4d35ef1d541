#include "speech/output.h"

bool SoundAllowed(TSound sound, bool busyS, bool userBusy, bool soundsWiedergebenS, bool soundSwitchOn)
{
    if (!soundsWiedergebenS || !soundSwitchOn)
        return false;
    if (!userBusy)
        return true;
    switch (sound) {
    case TSound::sIncoming:
    case TSound::sOnline:
    case TSound::sOffline:
    case TSound::sAway:
        return false;
    case TSound::sBusy:
        return busyS;
    default:
        return true;
    }
}
