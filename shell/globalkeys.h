// The four system-wide key combinations that work while the window waits in the tray.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class IGlobalKeys
{
public:
    // Ids as the window's hotkey handler knows them; all four with Ctrl+Alt.
    enum Key : int { MinimierenPageDown = 1, MinimierenF1 = 2, UngelesenPageUp = 3, UngelesenF2 = 4 };
    using KeyHandler = std::function<void(int id)>;
    using NoticeHandler = std::function<void(const std::string& text)>;

    virtual ~IGlobalKeys() = default;

    // Releases whatever is held, then takes the four combinations. True when all four are held; a combination
    // that could not be taken simply does nothing. `onHotKey` is called from the event loop of the thread that
    // registered, never from inside this call, and not any more once Unregister has run.
    virtual bool Register(KeyHandler onHotKey) = 0;
    virtual void Unregister() = 0;
    // Why the last Register took fewer than four, in German, one sentence a line; empty when it took all.
    virtual std::string failureText() const = 0;

    // Each failure sentence reaches this handler once in the object's life, however often Register meets it.
    void setNoticeHandler(NoticeHandler handler) { m_onNotice = std::move(handler); }

protected:
    void notice(const std::string& text);

private:
    NoticeHandler m_onNotice;
    std::set<std::string> m_noticed;
};

namespace GlobalKeyTexts {
// "Strg+Alt+BildAb" and so on; empty for an unknown id.
std::string combination(int id);
std::string notAvailable();
std::string taken(int id);
std::string noSuchKey(int id);
} // namespace GlobalKeyTexts

// For a platform without system-wide keys: nothing is ever held, and the user is told so once.
class NoGlobalKeys : public IGlobalKeys
{
public:
    bool Register(KeyHandler onHotKey) override;
    void Unregister() override {}
    std::string failureText() const override;
};
