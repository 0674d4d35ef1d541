// The screen reader the user already listens to: the program hands it texts to speak and to show in braille.
// Plain C++ so that a Windows build (JAWS, NVDA) needs no Qt behind it.
#pragma once

#include <memory>
#include <string>

// Every operation looks again whether a screen reader runs, so one started or stopped while the program runs
// is picked up at the next call. Without one, every operation does nothing and answers false (or empty).
// Texts are UTF-8 and are spoken as plain text, never as markup.
class IScreenReader
{
public:
    virtual ~IScreenReader() = default;

    virtual bool isRunning() = 0;
    // The running screen reader's name; empty when none runs.
    virtual std::string name() = 0;

    // Speech and braille; true when either accepted the text. Focus cues use this with interrupt false.
    virtual bool output(const std::string& text, bool interrupt) = 0;
    // interrupt: cut off whatever the screen reader is saying first.
    virtual bool speak(const std::string& text, bool interrupt) = 0;
    virtual bool braille(const std::string& text) = 0;
    // Stops the speech; true when the screen reader accepted that.
    virtual bool silence() = 0;
};

// The platform's dispatcher; on Linux the screen reader that AT-SPI reports, reached through
// speech-dispatcher and BrlAPI.
std::unique_ptr<IScreenReader> CreateScreenReader();
