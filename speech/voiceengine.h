// One speech-synthesis engine: its voices as a sorted list of descriptions, the current voice, rate and volume.
// Plain C++ so that a Windows build (SAPI 5, OneCore) needs no Qt behind it.
#pragma once

#include <memory>
#include <string>
#include <vector>

// Nothing here reports an error: an engine that failed to load, or has no voices, lists nothing, rejects every
// index, reads 0 for rate and volume and says nothing. Texts are UTF-8 and are spoken as plain text.
class IVoiceEngine
{
public:
    static constexpr int MinRate = -10;
    static constexpr int MaxRate = 10;
    static constexpr int MinVolume = 0;
    static constexpr int MaxVolume = 100;

    virtual ~IVoiceEngine() = default;

    // The voices' descriptions, sorted ignoring letter case; an index below is a position in this list.
    virtual std::vector<std::string> voices() = 0;
    // Index of the first voice whose description equals this one ignoring letter case; -1 if none.
    virtual int findVoice(const std::string& description) = 0;
    // The current voice's index, -1 without one.
    virtual int voiceIndex() = 0;
    // Makes that voice current and gives it the stored rate and volume; an index out of range changes nothing.
    virtual void selectVoice(int index) = 0;
    // The current voice's description, empty without one.
    virtual std::string voiceDescription() = 0;

    // -10..10 and 0..100. Read: the current voice's value, 0 without a voice. Write: taken (and kept for later
    // voices) only while there is a current voice; values beyond the range are held at its ends.
    virtual int rate() = 0;
    virtual void setRate(int rate) = 0;
    virtual int volume() = 0;
    virtual void setVolume(int volume) = 0;

    // Returns at once. purge: drop what is being said and what waits; otherwise the text waits its turn.
    // False when there is no current voice.
    virtual bool speak(const std::string& text, bool purge) = 0;
    // Stops the current utterance and drops the waiting ones.
    virtual void stop() = 0;
    virtual bool isSpeaking() = 0;
};

// Engine 1 or 2 of the platform (on Linux the QTextToSpeech engines "speechd" and "flite"); any other number,
// or an engine that cannot be loaded, gives an engine without voices.
std::unique_ptr<IVoiceEngine> CreateVoiceEngine(int nr);
