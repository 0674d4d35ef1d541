// Asks a local speech or braille server whether it answers, without ever waiting longer than a time-out:
// the client libraries have no time-outs of their own, so a server that accepts and then hangs would
// otherwise hold the program.
#pragma once

#include <string>

struct ServerAddress
{
    std::string unixPath; // used when not empty
    std::string host;
    int port = 0;
};

enum class ProbeResult {
    Answered, // the server sent something back in time
    Absent,   // nothing listens there, or it hung up
    Silent,   // it listens but did not answer in time
};

// Connects, sends `greeting` (nothing when empty) and waits for the first bytes of an answer, which end up in
// `answer` when given; the whole within timeoutMs.
ProbeResult ProbeServer(const ServerAddress& address, const std::string& greeting, int timeoutMs,
                        std::string* answer = nullptr);

// Send and receive time-outs for a connected socket, so that no later call on it can hang.
void SetSocketTimeouts(int fd, int timeoutMs);
