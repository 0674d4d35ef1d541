// Work after events that come in bursts: done at once when it was last done a pause ago or longer,
// otherwise once at the end of that pause for everything that came meanwhile, so neither the processor
// nor a screen reader is flooded.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

class TPausedWork
{
public:
    TPausedWork(QObject* parent, qint64 pauseMs, std::function<void()> work)
        : m_timer(new QTimer(parent))
        , m_pauseMs(pauseMs)
    {
        m_timer->setSingleShot(true);
        QObject::connect(m_timer, &QTimer::timeout, parent, std::move(work));
    }

    // True when the caller is to do the work now; otherwise it is done at the end of the pause.
    bool Now()
    {
        if (m_timer->isActive())
            return false;
        const qint64 since = m_last.isValid() ? m_last.elapsed() : m_pauseMs;
        if (since >= m_pauseMs)
            return true;
        m_timer->start(int(m_pauseMs - since));
        return false;
    }
    // The work was done: the pause starts from here.
    void Done()
    {
        m_timer->stop();
        m_last.start();
    }
    bool Pending() const { return m_timer->isActive(); }
    void SetPause(qint64 ms) { m_pauseMs = ms; }

private:
    QTimer* m_timer;
    QElapsedTimer m_last;
    qint64 m_pauseMs;
};
