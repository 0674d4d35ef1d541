#include "shell/doublectrl.h"

#include <QObject>
#include <utility>

TDoubleCtrl::TDoubleCtrl(IKeyHook* hook, std::function<bool()> hookS, std::function<void()> onStop)
    : m_hook(hook)
    , m_hookS(std::move(hookS))
    , m_onStop(std::move(onStop))
    , m_mailbox(std::make_unique<QObject>())
{
    if (m_hook)
        m_hook->setHandler([this](const KeyHookEvent& event) { KeyHookPreExecute(event); });
}

TDoubleCtrl::~TDoubleCtrl()
{
    KeyHookOff();
    if (m_hook)
        m_hook->setHandler(nullptr);
}

void TDoubleCtrl::ResetKeyHook()
{
    m_strgCount = 0;
    m_strgTime = 0;
    if (!m_hook)
        return;
    m_hook->setActive(false);
    if (m_hookS && m_hookS())
        m_hook->setActive(true);
}

void TDoubleCtrl::KeyHookOff()
{
    if (m_hook)
        m_hook->setActive(false);
}

void TDoubleCtrl::KeyHookPreExecute(const KeyHookEvent& event)
{
    if (!event.pressed || !m_hookS || !m_hookS())
        return;
    if (!event.ctrl) {
        m_strgCount = 0;
        m_strgTime = 0;
        return;
    }
    // Unsigned, so that a clock wrapping past 2^32 between the two presses still gives the right gap.
    const uint32_t elapsed = event.time - m_strgTime;
    if (m_strgCount != 0 && elapsed > 50 && elapsed < 500) {
        m_strgCount = 0;
        m_strgTime = 0;
        // Posted, so that the hook returns at once and the key goes on its way.
        QMetaObject::invokeMethod(
            m_mailbox.get(),
            [this] {
                if (m_onStop)
                    m_onStop();
            },
            Qt::QueuedConnection);
        return;
    }
    m_strgCount = 1;
    m_strgTime = event.time;
}
