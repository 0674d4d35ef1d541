// The Linux screen reader: running while AT-SPI says so, speaking through speech-dispatcher and showing
// braille through BrlAPI.
#pragma once

#include "speech/atspi_linux.h"
#include "speech/brlapi_linux.h"
#include "speech/screenreader.h"
#include "speech/speechd_linux.h"

class LinuxScreenReader : public IScreenReader
{
public:
    // AT-SPI does not tell which screen reader runs; this is the name reported while one does.
    static constexpr const char* Name = "AT-SPI";

    explicit LinuxScreenReader(const QDBusConnection& bus = QDBusConnection::sessionBus());

    bool isRunning() override;
    std::string name() override;
    bool output(const std::string& text, bool interrupt) override;
    bool speak(const std::string& text, bool interrupt) override;
    bool braille(const std::string& text) override;
    bool silence() override;

private:
    AtSpiStatus m_status;
    SpeechdOutput m_speech;
    BrlapiOutput m_braille;
};
