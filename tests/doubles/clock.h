// A clock that stands still until a test moves it.
#pragma once

#include "common/clock.h"

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
