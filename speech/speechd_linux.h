// Speech through speech-dispatcher, the server a Linux screen reader speaks through.
#pragma once

#include "speech/socketprobe_linux.h"

#include <chrono>
#include <libspeechd.h>
#include <string>

// Where libspeechd connects: $SPEECHD_ADDRESS, else the socket in the user's runtime folder.
ServerAddress SpeechdAddress();
// Whether a speech-dispatcher answers there within the time-out.
ProbeResult ProbeSpeechd(int timeoutMs);

// A connection of our own, opened at the first call and opened again at the next call after the server went
// away. Never starts a server itself: the screen reader's own one is running whenever a screen reader is.
// Texts go as plain text (SSML off) with priority "text". No call waits longer than about two time-outs.
// (libspeechd has none of its own: each connection is probed first, and its socket gets time-outs.)
class SpeechdOutput
{
public:
    static constexpr int DefaultTimeoutMs = 200;
    // After a server left the probe unanswered, no new attempt for this long.
    static constexpr int QuietAfterTimeoutMs = 2000;

    explicit SpeechdOutput(int timeoutMs = DefaultTimeoutMs);
    ~SpeechdOutput();
    SpeechdOutput(const SpeechdOutput&) = delete;
    SpeechdOutput& operator=(const SpeechdOutput&) = delete;

    // interrupt: cancel this program's speech first. True when the server took the text.
    bool speak(const std::string& text, bool interrupt);
    // Cancels this program's speech.
    bool cancel();
    bool isConnected() const { return m_connection != nullptr; }

private:
    template <class Command>
    bool run(Command command);
    bool open();
    void close();
    bool broken() const;

    SPDConnection* m_connection = nullptr;
    int m_timeoutMs;
    std::chrono::steady_clock::time_point m_quietUntil;
};
