// Time sources behind one interface, so tests can set the tick count and the wall clock.
#pragma once

#include <QDateTime>
#include <cstdint>

class IClock
{
public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary start, wrapping past 2^32 like a Windows tick count.
    virtual uint32_t tickCount() const = 0;
    // Local date and time.
    virtual QDateTime now() const = 0;
};

class SystemClock : public IClock
{
public:
    uint32_t tickCount() const override;
    QDateTime now() const override;
    // One shared instance for callers that do not inject a clock.
    static SystemClock& instance();
};
