// Two quick presses of Ctrl anywhere on the workstation stop the speech while the window waits in the tray.
#pragma once

#include "shell/keyhook.h"

#include <cstdint>
#include <functional>
#include <memory>

class QObject;

class TDoubleCtrl
{
public:
    // `hook` may be null where the platform has none, and must outlive this object. `hookS` answers the window's
    // HookS. `onStop` runs from the event loop of the thread that made this object, never inside the hook.
    TDoubleCtrl(IKeyHook* hook, std::function<bool()> hookS, std::function<void()> onStop);
    ~TDoubleCtrl();
    TDoubleCtrl(const TDoubleCtrl&) = delete;
    TDoubleCtrl& operator=(const TDoubleCtrl&) = delete;

    // Forgets a first press, switches the hook off and, while HookS, on again. A hook that cannot start stays
    // off; the program then runs without the double Ctrl.
    void ResetKeyHook();
    // Switches the hook off (suspend, end of the program).
    void KeyHookOff();

    // Every key event of the hook: a second Ctrl press more than 50 and less than 500 ms after the first stops
    // the speech; releases change nothing, any other key forgets the first press.
    void KeyHookPreExecute(const KeyHookEvent& event);

private:
    IKeyHook* m_hook;
    std::function<bool()> m_hookS;
    std::function<void()> m_onStop;
    std::unique_ptr<QObject> m_mailbox;
    // 1 after a Ctrl press that may be the first of a pair, with its time.
    int m_strgCount = 0;
    uint32_t m_strgTime = 0;
};
