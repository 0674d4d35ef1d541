// Speech and sound that record instead of speaking and playing.
#pragma once

#include "speech/output.h"

#include <QStringList>
#include <vector>

// Records instead of speaking.
class RecordingSpeech : public ISpeech
{
public:
    void SpeakText(const QString& text, bool merkenS) override
    {
        spoken.append(text);
        if (merkenS)
            letzteMeldung = text;
    }
    void Stop() override { ++stops; }
    void Output(const QString& text, bool) override { cues.append(text); }
    QStringList spoken;
    QStringList cues;
    QString letzteMeldung;
    int stops = 0;
};

// Records instead of playing.
class RecordingSound : public ISoundOutput
{
public:
    void Play(TSound sound) override { played.push_back(sound); }
    void Beep() override { ++beeps; }
    std::vector<TSound> played;
    int beeps = 0;
};
