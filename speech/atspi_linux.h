// Whether a screen reader runs, as AT-SPI reports it: the property ScreenReaderEnabled of org.a11y.Status on
// the service org.a11y.Bus (/org/a11y/bus) of the session bus. Orca sets it while it runs.
#pragma once

#include <QDBusConnection>
#include <QDeadlineTimer>

class AtSpiStatus
{
public:
    // A local bus answers in well under a millisecond; a service that takes longer is stuck.
    static constexpr int DefaultTimeoutMs = 200;
    // After a service left a question unanswered, the answer is "no" for this long without asking again.
    static constexpr int QuietAfterTimeoutMs = 2000;

    explicit AtSpiStatus(const QDBusConnection& bus = QDBusConnection::sessionBus(), int timeoutMs = DefaultTimeoutMs);

    // Asks the bus each time (the answer changes when the screen reader starts or stops); false without a
    // bus, without the service, on any error and when no answer comes within the time-out.
    bool screenReaderEnabled();

private:
    QDBusConnection m_bus;
    int m_timeoutMs;
    QDeadlineTimer m_quiet;
};
