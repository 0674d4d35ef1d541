// Sound that records instead of playing.
#pragma once

#include "speech/output.h"

#include <vector>

// Records instead of playing.
class RecordingSound : public ISoundOutput
{
public:
    void Play(TSound sound) override { played.push_back(sound); }
    void Beep() override { ++beeps; }
    void PlayNotification() override { ++notifications; }
    std::vector<TSound> played;
    int beeps = 0;
    int notifications = 0;
};
