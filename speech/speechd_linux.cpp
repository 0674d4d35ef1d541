#include "speech/speechd_linux.h"

#include "speech/nosigpipe_linux.h"

#include <cctype>
#include <cstdlib>

ServerAddress SpeechdAddress()
{
    ServerAddress result;
    char* error = nullptr;
    SPDConnectionAddress* address = spd_get_default_address(&error);
    std::free(error);
    if (!address)
        return result;
    if (address->method == SPD_METHOD_UNIX_SOCKET && address->unix_socket_name) {
        result.unixPath = address->unix_socket_name;
    } else if (address->method == SPD_METHOD_INET_SOCKET) {
        result.host = address->inet_socket_host ? address->inet_socket_host : "";
        result.port = address->inet_socket_port;
    }
    SPDConnectionAddress__free(address);
    return result;
}

ProbeResult ProbeSpeechd(int timeoutMs)
{
    const ServerAddress address = SpeechdAddress();
    if (address.unixPath.empty() && address.port <= 0)
        return ProbeResult::Absent;
    std::string answer;
    const ProbeResult result = ProbeServer(address, "QUIT\r\n", timeoutMs, &answer);
    // Only a server that speaks SSIP (three digits, then a space or a dash) is trusted to libspeechd, which
    // ends the program on a reply it cannot read.
    const bool ssip = answer.size() >= 4 && std::isdigit(static_cast<unsigned char>(answer[0])) &&
                      std::isdigit(static_cast<unsigned char>(answer[1])) &&
                      std::isdigit(static_cast<unsigned char>(answer[2])) && (answer[3] == ' ' || answer[3] == '-');
    if (result == ProbeResult::Answered && !ssip)
        return ProbeResult::Absent;
    return result;
}

SpeechdOutput::SpeechdOutput(int timeoutMs)
    : m_timeoutMs(timeoutMs)
{
}

SpeechdOutput::~SpeechdOutput()
{
    close();
}

bool SpeechdOutput::open()
{
    if (m_connection)
        return true;
    if (std::chrono::steady_clock::now() < m_quietUntil)
        return false;
    const ProbeResult probe = ProbeSpeechd(m_timeoutMs);
    if (probe == ProbeResult::Silent)
        m_quietUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(QuietAfterTimeoutMs);
    if (probe != ProbeResult::Answered)
        return false;
    char* error = nullptr;
    m_connection = spd_open2("tobrik", "main", nullptr, SPD_MODE_SINGLE, nullptr, 0, &error);
    std::free(error);
    if (!m_connection)
        return false;
    SetSocketTimeouts(m_connection->socket, m_timeoutMs);
    if (broken() || spd_set_data_mode(m_connection, SPD_DATA_TEXT) != 0) {
        close();
        return false;
    }
    return true;
}

// libspeechd closes the stream when a reply cannot be read (server gone, time-out); the socket is then
// closed already.
bool SpeechdOutput::broken() const
{
    return m_connection && !m_connection->stream;
}

void SpeechdOutput::close()
{
    if (!m_connection)
        return;
    // Closing the stream closed the socket too; spd_close would close the number again, by then perhaps
    // somebody else's descriptor.
    if (broken())
        m_connection->socket = -1;
    spd_close(m_connection);
    m_connection = nullptr;
}

// A connection that worked before may have lost its server since: after a failure on it, one fresh attempt.
template <class Command>
bool SpeechdOutput::run(Command command)
{
    NoSigpipe noSigpipe;
    const bool wasOpen = m_connection != nullptr;
    if (!open())
        return false;
    if (command())
        return true;
    if (!broken())
        return false;
    close();
    if (!wasOpen || !open())
        return false;
    if (command())
        return true;
    if (broken())
        close();
    return false;
}

bool SpeechdOutput::speak(const std::string& text, bool interrupt)
{
    if (text.empty())
        return false;
    return run([&] {
        if (interrupt && spd_cancel(m_connection) != 0)
            return false;
        // "Message" texts wait their turn; a "text" one would replace whatever is being said, so a focus cue
        // would swallow the message that moved the focus.
        return spd_say(m_connection, SPD_MESSAGE, text.c_str()) >= 0;
    });
}

bool SpeechdOutput::cancel()
{
    return run([&] { return spd_cancel(m_connection) == 0; });
}
