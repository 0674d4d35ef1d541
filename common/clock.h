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

// Test double: time stands still until a test moves it.
class ManualClock : public IClock
{
public:
    uint32_t tickCount() const override { return m_ticks; }
    QDateTime now() const override { return m_now; }
    void setTickCount(uint32_t ticks) { m_ticks = ticks; }
    void advance(uint32_t ms)
    {
        m_ticks += ms;
        m_now = m_now.addMSecs(ms);
    }
    void setNow(const QDateTime& now) { m_now = now; }

private:
    uint32_t m_ticks = 0;
    QDateTime m_now = QDateTime(QDate(2026, 12, 9), QTime(14, 5, 9));
};
