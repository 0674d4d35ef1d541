// Braille through BrlAPI, the interface of BRLTTY. Without BRLTTY there is simply no braille.
#pragma once

#include "speech/socketprobe_linux.h"

#include <QTimer>
#include <memory>
#include <string>

// Where libbrlapi connects: $BRLAPI_HOST ("host:n" is TCP port 4101 + n, ":n" the local socket n), else the
// local socket 0.
ServerAddress BrlapiAddress();

// Shows a text on the braille display for a while, then hands the display back to whoever had it (the screen
// reader's own braille). The connection is opened for each such showing, only after BRLTTY has answered
// within the time-out. (libbrlapi itself has no time-outs: it waits for a reply to the opening and to the
// terminal request, and retries a read that timed out; the answer to the probe is what keeps that short.)
class BrlapiOutput
{
public:
    static constexpr int DefaultTimeoutMs = 200;
    static constexpr int DefaultShowMs = 5000;

    explicit BrlapiOutput(int timeoutMs = DefaultTimeoutMs, int showMs = DefaultShowMs);
    ~BrlapiOutput();
    BrlapiOutput(const BrlapiOutput&) = delete;
    BrlapiOutput& operator=(const BrlapiOutput&) = delete;

    // True when the display took the text.
    bool write(const std::string& text);
    bool isConnected() const { return m_connected; }

private:
    bool open();
    void close();

    std::unique_ptr<unsigned char[]> m_handle; // brlapi_handle_t, whose size only the library knows
    bool m_connected = false;
    int m_timeoutMs;
    QTimer m_showTimer;
};
