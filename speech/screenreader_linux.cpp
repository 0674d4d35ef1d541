#include "speech/screenreader_linux.h"

LinuxScreenReader::LinuxScreenReader(const QDBusConnection& bus)
    : m_status(bus)
{
}

bool LinuxScreenReader::isRunning()
{
    return m_status.screenReaderEnabled();
}

std::string LinuxScreenReader::name()
{
    return isRunning() ? Name : std::string();
}

bool LinuxScreenReader::output(const std::string& text, bool interrupt)
{
    if (text.empty() || !isRunning())
        return false;
    const bool spoken = m_speech.speak(text, interrupt);
    const bool shown = m_braille.write(text);
    return spoken || shown;
}

bool LinuxScreenReader::speak(const std::string& text, bool interrupt)
{
    if (text.empty() || !isRunning())
        return false;
    return m_speech.speak(text, interrupt);
}

bool LinuxScreenReader::braille(const std::string& text)
{
    if (text.empty() || !isRunning())
        return false;
    return m_braille.write(text);
}

bool LinuxScreenReader::silence()
{
    return isRunning() && m_speech.cancel();
}

std::unique_ptr<IScreenReader> CreateScreenReader()
{
    return std::make_unique<LinuxScreenReader>();
}
