// Where sound events go. The window talks to this interface only, so tests can record what would have
// been played.
#pragma once

#include "common/types.h"

// Plays one sound event; whether it may sound at all is decided by SoundAllowed beforehand.
class ISoundOutput
{
public:
    virtual ~ISoundOutput() = default;
    virtual void Play(TSound sound) = 0;
    // The system's error beep: a key that cannot act here.
    virtual void Beep() = 0;
    // The desktop's notification sound, with every balloon of the tray icon; not gated by the switches.
    virtual void PlayNotification() = 0;
};

// The gate in front of every sound: master switch, per-sound switch and the busy rule.
// userBusy: the user chose "Beschäftigt"; busyS: the caller lets sBusy sound while busy.
bool SoundAllowed(TSound sound, bool busyS, bool userBusy, bool soundsWiedergebenS, bool soundSwitchOn);

// Sounds that go nowhere, for a program without sound files.
class SilentSound : public ISoundOutput
{
public:
    void Play(TSound) override {}
    void Beep() override {}
    void PlayNotification() override {}
};
