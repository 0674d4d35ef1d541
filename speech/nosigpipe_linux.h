// Keeps a write to a socket whose server has died from ending the program: the libraries of speech-dispatcher
// and BrlAPI write with write(2), which raises SIGPIPE. Blocks SIGPIPE in this thread for the guard's life and
// swallows one that arrived meanwhile.
#pragma once

#include <csignal>
#include <ctime>
#include <pthread.h>

class NoSigpipe
{
public:
    NoSigpipe()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~NoSigpipe()
    {
        if (!m_wasPending) {
            sigset_t pending;
            sigemptyset(&pending);
            sigpending(&pending);
            if (sigismember(&pending, SIGPIPE) == 1) {
                const timespec now{0, 0};
                sigtimedwait(&m_pipe, nullptr, &now);
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    NoSigpipe(const NoSigpipe&) = delete;
    NoSigpipe& operator=(const NoSigpipe&) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_old;
    bool m_wasPending = false;
};
