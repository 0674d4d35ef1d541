#include "speech/brlapi_linux.h"

#include "speech/nosigpipe_linux.h"

#include <brlapi.h>
#include <cstdlib>

namespace {

brlapi_handle_t* handleOf(const std::unique_ptr<unsigned char[]>& storage)
{
    return reinterpret_cast<brlapi_handle_t*>(storage.get());
}

// The library's default handler ends the program; a failed write only means no braille.
void BRLAPI_STDCALL ignoreException(brlapi_handle_t*, int, brlapi_packetType_t, const void*, size_t) {}

// Control characters (a line break in a message) would show as odd cells.
std::string printable(const std::string& text, int& characters)
{
    std::string result = text;
    characters = 0;
    for (char& c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            c = ' ';
        if ((byte & 0xc0) != 0x80)
            ++characters;
    }
    return result;
}

} // namespace

ServerAddress BrlapiAddress()
{
    const char* env = std::getenv("BRLAPI_HOST");
    const std::string host = env && *env ? env : ":0";
    const size_t colon = host.rfind(':');
    const std::string name = colon == std::string::npos ? host : host.substr(0, colon);
    const int number = colon == std::string::npos ? 0 : std::atoi(host.c_str() + colon + 1);
    ServerAddress address;
    if (name.empty()) {
        address.unixPath = std::string(BRLAPI_SOCKETPATH) + "/" + std::to_string(number);
    } else {
        address.host = name;
        address.port = BRLAPI_SOCKETPORTNUM + number;
    }
    return address;
}

BrlapiOutput::BrlapiOutput(int timeoutMs, int showMs)
    : m_handle(new unsigned char[brlapi_getHandleSize()])
    , m_timeoutMs(timeoutMs)
{
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(showMs);
    QObject::connect(&m_showTimer, &QTimer::timeout, &m_showTimer, [this] { close(); });
}

BrlapiOutput::~BrlapiOutput()
{
    close();
}

bool BrlapiOutput::open()
{
    if (m_connected)
        return true;
    // BRLTTY greets every new client with its protocol version.
    if (ProbeServer(BrlapiAddress(), std::string(), m_timeoutMs) != ProbeResult::Answered)
        return false;
    NoSigpipe noSigpipe;
    brlapi_handle_t* handle = handleOf(m_handle);
    if (brlapi__openConnection(handle, nullptr, nullptr) == BRLAPI_INVALID_FILE_DESCRIPTOR)
        return false;
    m_connected = true;
    brlapi__setExceptionHandler(handle, ignoreException);
    // The terminal this session runs on (from WINDOWPATH or XDG_VTNR): where the screen reader shows too.
    if (brlapi__enterTtyModeWithPath(handle, nullptr, 0, nullptr) < 0) {
        close();
        return false;
    }
    return true;
}

void BrlapiOutput::close()
{
    m_showTimer.stop();
    if (!m_connected)
        return;
    NoSigpipe noSigpipe;
    brlapi__closeConnection(handleOf(m_handle));
    m_connected = false;
}

bool BrlapiOutput::write(const std::string& text)
{
    if (text.empty() || !open())
        return false;
    int characters = 0;
    const std::string shown = printable(text, characters);
    brlapi_writeArguments_t arguments;
    arguments.displayNumber = BRLAPI_DISPLAY_DEFAULT;
    arguments.regionBegin = 1;
    arguments.regionSize = -characters; // the rest of the display is cleared
    arguments.text = shown.c_str();
    arguments.textSize = static_cast<int>(shown.size());
    arguments.andMask = nullptr;
    arguments.orMask = nullptr;
    arguments.cursor = BRLAPI_CURSOR_OFF;
    arguments.charset = "UTF-8";
    NoSigpipe noSigpipe;
    if (brlapi__write(handleOf(m_handle), &arguments) < 0) {
        close();
        return false;
    }
    m_showTimer.start();
    return true;
}
