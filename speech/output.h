// Where announcements and sound events go. The window talks to these interfaces only, so tests
// can record what would have been said or played.
#pragma once

#include "common/types.h"

#include <QString>
#include <QStringList>
#include <vector>

// Spoken announcements; the one entry point is SpeakText.
class ISpeech
{
public:
    virtual ~ISpeech() = default;
    // merkenS: remember the text so that "repeat last announcement" can say it again.
    virtual void SpeakText(const QString& text, bool merkenS) = 0;
    virtual void Stop() = 0;
    // A short cue for the running screen reader (the name of a focused list); never remembered.
    virtual void Output(const QString& text, bool interrupt) = 0;
};

// Plays one sound event; whether it may sound at all is decided by SoundAllowed beforehand.
class ISoundOutput
{
public:
    virtual ~ISoundOutput() = default;
    virtual void Play(TSound sound) = 0;
    // The system's error beep: a key that cannot act here.
    virtual void Beep() = 0;
};

// The gate in front of every sound: master switch, per-sound switch and the busy rule.
// userBusy: the user chose "Beschäftigt"; busyS: the caller lets sBusy sound while busy.
bool SoundAllowed(TSound sound, bool busyS, bool userBusy, bool soundsWiedergebenS, bool soundSwitchOn);

// Until a voice and sound files are attached, announcements and sounds go nowhere.
class SilentSpeech : public ISpeech
{
public:
    void SpeakText(const QString&, bool) override {}
    void Stop() override {}
    void Output(const QString&, bool) override {}
};

class SilentSound : public ISoundOutput
{
public:
    void Play(TSound) override {}
    void Beep() override {}
};
