// System-wide keys that the test presses; registrations and releases are counted.
#pragma once

#include "shell/globalkeys.h"

#include <set>
#include <utility>

class FakeGlobalKeys : public IGlobalKeys
{
public:
    bool Register(KeyHandler onHotKey) override
    {
        Unregister();
        ++registrations;
        m_onHotKey = std::move(onHotKey);
        for (const int id : taken)
            notice(GlobalKeyTexts::taken(id));
        return taken.empty();
    }
    void Unregister() override
    {
        if (m_onHotKey)
            ++releases;
        m_onHotKey = nullptr;
    }
    std::string failureText() const override
    {
        std::string text;
        for (const int id : taken)
            text += (text.empty() ? "" : "\n") + GlobalKeyTexts::taken(id);
        return text;
    }

    bool isRegistered() const { return bool(m_onHotKey); }
    // The user presses a combination: it arrives only while registered and not taken by another program.
    void press(int id)
    {
        if (m_onHotKey && !taken.count(id))
            m_onHotKey(id);
    }

    std::set<int> taken;
    int registrations = 0;
    int releases = 0;

private:
    KeyHandler m_onHotKey;
};
