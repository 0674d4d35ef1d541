#include "shell/doublectrl.h"
#include "shell/globalkeys_x11.h"
#include "shell/keyhook_x11.h"

#include "testenv.h"
#include "xserver.h"

#include <QTest>
#include <memory>
#include <set>
#include <vector>

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// Another program on the same display: a window that has the input focus and notes every key pressed in it,
// as "Prior+ctrl+alt". It can also grab a combination before we do.
class OtherClient
{
public:
    explicit OtherClient(const std::string& displayName)
        : m_display(XOpenDisplay(displayName.c_str()))
    {
    }
    ~OtherClient()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    bool showFocusedWindow()
    {
        if (!m_display)
            return false;
        const Window root = DefaultRootWindow(m_display);
        m_window = XCreateSimpleWindow(m_display, root, 0, 0, 200, 100, 0, 0, 0);
        XSelectInput(m_display, m_window, KeyPressMask | StructureNotifyMask);
        XMapWindow(m_display, m_window);
        // Only a viewable window can take the focus.
        XEvent event;
        do {
            XNextEvent(m_display, &event);
        } while (event.type != MapNotify);
        XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
        XSync(m_display, False);
        return true;
    }

    void grab(KeySym keysym, unsigned modifiers)
    {
        XGrabKey(m_display, XKeysymToKeycode(m_display, keysym), modifiers, DefaultRootWindow(m_display), False,
                 GrabModeAsync, GrabModeAsync);
        XSync(m_display, False);
    }

    unsigned keycode(KeySym keysym) const { return XKeysymToKeycode(m_display, keysym); }

    // Stock keymaps switch the virtual console on Ctrl+Alt+F1..F12 inside the server, before any program can see
    // the key; a key that only means itself reaches grabs like any other.
    void withoutConsoleSwitching(KeySym functionKey)
    {
        KeySym plain = functionKey;
        XChangeKeyboardMapping(m_display, static_cast<int>(keycode(functionKey)), 1, &plain, 1);
        XSync(m_display, False);
    }

    QStringList presses()
    {
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type != KeyPress)
                continue;
            QString text = QString::fromLatin1(XKeysymToString(XLookupKeysym(&event.xkey, 0)));
            if (event.xkey.state & ControlMask)
                text += QStringLiteral("+ctrl");
            if (event.xkey.state & Mod1Mask)
                text += QStringLiteral("+alt");
            m_presses << text;
        }
        return m_presses;
    }

private:
    Display* m_display;
    Window m_window = 0;
    QStringList m_presses;
};

// What the window would see of the global keys.
struct KeysProbe
{
    std::vector<int> ids;
    std::vector<std::string> notices;

    IGlobalKeys::KeyHandler handler()
    {
        return [this](int id) { ids.push_back(id); };
    }
    void watch(IGlobalKeys& keys)
    {
        keys.setNoticeHandler([this](const std::string& text) { notices.push_back(text); });
    }
};

} // namespace

class TestGlobalKeys : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { requirePrivateHome(); }
    void init();
    void cleanup() { m_server.reset(); }

    void unavailableSessionIsToldOnce_data();
    void unavailableSessionIsToldOnce();
    void combinationReachesUsWhateverHasTheFocus_data();
    void combinationReachesUsWhateverHasTheFocus();
    void unregisterHandsTheKeysBack();
    void takenCombinationIsToldOnceAndTheOthersWork();
    void doubleCtrlFromRawKeys_data();
    void doubleCtrlFromRawKeys();
    void serverGoingAwayIsSurvived();

private:
    std::unique_ptr<PrivateXServer> m_server;
};

void TestGlobalKeys::init()
{
    if (!PrivateXServer::available())
        QSKIP("Xvfb or xdotool is not installed");
    m_server = std::make_unique<PrivateXServer>();
    QVERIFY(m_server->start());
}

void TestGlobalKeys::unavailableSessionIsToldOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("No DISPLAY") << "nodisplay";
    QTest::newRow("A display nobody serves") << "unserved";
    QTest::newRow("Wayland session with XWayland (WAYLAND_DISPLAY)") << "waylanddisplay";
    QTest::newRow("Wayland session with XWayland (XDG_SESSION_TYPE)") << "sessiontype";
    QTest::newRow("A platform without system-wide keys") << "none";
}

void TestGlobalKeys::unavailableSessionIsToldOnce()
{
    QFETCH(QString, kind);
    // The Wayland rows have a working X server at DISPLAY, so only the session type can refuse.
    ScopedVariable display("DISPLAY", kind == "nodisplay" ? nullptr : m_server->displayVariable().constData());
    ScopedVariable wayland("WAYLAND_DISPLAY", kind == "waylanddisplay" ? "wayland-0" : nullptr);
    ScopedVariable sessionType("XDG_SESSION_TYPE", kind == "sessiontype" ? "wayland" : "x11");
    const std::string name = kind == "unserved" ? unservedDisplayName() : std::string();

    std::unique_ptr<IGlobalKeys> keys;
    if (kind == "none")
        keys = std::make_unique<NoGlobalKeys>();
    else
        keys = std::make_unique<X11GlobalKeys>(name);
    KeysProbe probe;
    probe.watch(*keys);

    QVERIFY(!keys->Register(probe.handler()));
    QVERIFY(!keys->Register(probe.handler()));
    keys->Unregister();
    QCOMPARE(keys->failureText(), GlobalKeyTexts::notAvailable());
    QCOMPARE(probe.notices, std::vector<std::string>{GlobalKeyTexts::notAvailable()});

    if (kind != "none") {
        X11KeyHook hook(name);
        QVERIFY(!hook.setActive(true));
        QVERIFY(!hook.isActive());
    }
    // Nothing was grabbed on the working server either.
    if (kind.startsWith("wayland") || kind == "sessiontype") {
        OtherClient other(m_server->name());
        QVERIFY(other.showFocusedWindow());
        QVERIFY(m_server->xdotool({"key", "ctrl+alt+Prior"}));
        QTRY_VERIFY(other.presses().contains("Prior+ctrl+alt"));
    }
}

void TestGlobalKeys::combinationReachesUsWhateverHasTheFocus_data()
{
    QTest::addColumn<QString>("lock");
    QTest::addColumn<QString>("combination");
    QTest::addColumn<int>("id");
    QTest::newRow("Ctrl+Alt+PageDown") << ""
                                       << "ctrl+alt+Next" << 1;
    QTest::newRow("Ctrl+Alt+F1") << ""
                                 << "ctrl+alt+F1" << 2;
    QTest::newRow("Ctrl+Alt+PageUp") << ""
                                     << "ctrl+alt+Prior" << 3;
    QTest::newRow("Ctrl+Alt+F2") << ""
                                 << "ctrl+alt+F2" << 4;
    QTest::newRow("Ctrl+Alt+PageDown with NumLock on") << "Num_Lock"
                                                       << "ctrl+alt+Next" << 1;
    QTest::newRow("Ctrl+Alt+F2 with CapsLock on") << "Caps_Lock"
                                                  << "ctrl+alt+F2" << 4;
}

void TestGlobalKeys::combinationReachesUsWhateverHasTheFocus()
{
    QFETCH(QString, lock);
    QFETCH(QString, combination);
    QFETCH(int, id);
    OtherClient other(m_server->name());
    QVERIFY(other.showFocusedWindow());
    other.withoutConsoleSwitching(XK_F1);
    other.withoutConsoleSwitching(XK_F2);
    X11GlobalKeys keys(m_server->name());
    KeysProbe probe;
    probe.watch(keys);
    QVERIFY(keys.Register(probe.handler()));
    QCOMPARE(keys.failureText(), std::string());
    if (!lock.isEmpty())
        QVERIFY(m_server->xdotool({"key", lock}));

    QVERIFY(m_server->xdotool({"key", combination}));
    QTRY_COMPARE(probe.ids, std::vector<int>{id});
    // Taken from the focused window, as a system-wide key is; what was typed before still arrived there.
    const QString key = combination.section('+', -1);
    QVERIFY2(!other.presses().join(' ').contains(key), qPrintable(other.presses().join(' ')));
    if (!lock.isEmpty())
        QVERIFY(other.presses().contains(lock));
    QVERIFY(probe.notices.empty());
}

void TestGlobalKeys::unregisterHandsTheKeysBack()
{
    OtherClient other(m_server->name());
    QVERIFY(other.showFocusedWindow());
    X11GlobalKeys keys(m_server->name());
    KeysProbe probe;
    QVERIFY(keys.Register(probe.handler()));
    keys.Unregister();

    QVERIFY(m_server->xdotool({"key", "ctrl+alt+Prior", "ctrl+alt+Next"}));
    QTRY_VERIFY(other.presses().contains("Next+ctrl+alt"));
    QVERIFY(other.presses().contains("Prior+ctrl+alt"));
    QTest::qWait(100);
    QVERIFY(probe.ids.empty());

    // And taken again by the next registration.
    QVERIFY(keys.Register(probe.handler()));
    QVERIFY(m_server->xdotool({"key", "ctrl+alt+Next"}));
    QTRY_COMPARE(probe.ids, std::vector<int>{1});
}

void TestGlobalKeys::takenCombinationIsToldOnceAndTheOthersWork()
{
    OtherClient other(m_server->name());
    QVERIFY(other.showFocusedWindow());
    other.withoutConsoleSwitching(XK_F1);
    other.withoutConsoleSwitching(XK_F2);
    other.grab(XK_Prior, ControlMask | Mod1Mask);
    X11GlobalKeys keys(m_server->name());
    KeysProbe probe;
    probe.watch(keys);

    QVERIFY(!keys.Register(probe.handler()));
    QVERIFY(!keys.Register(probe.handler()));
    QCOMPARE(keys.failureText(), GlobalKeyTexts::taken(IGlobalKeys::UngelesenPageUp));
    QCOMPARE(probe.notices, std::vector<std::string>{GlobalKeyTexts::taken(IGlobalKeys::UngelesenPageUp)});
    QCOMPARE(QString::fromStdString(probe.notices.front()),
             QStringLiteral("Die Tastenkombination Strg+Alt+BildAuf ist bereits von einem anderen Programm belegt."));

    QVERIFY(m_server->xdotool({"key", "ctrl+alt+Next", "ctrl+alt+Prior", "ctrl+alt+F1", "ctrl+alt+F2"}));
    QTRY_COMPARE(probe.ids, (std::vector<int>{1, 2, 4}));
}

void TestGlobalKeys::doubleCtrlFromRawKeys_data()
{
    QTest::addColumn<bool>("hookS");
    QTest::addColumn<QString>("gap");
    QTest::addColumn<int>("stops");
    QTest::newRow("In the tray, 200 ms apart: stop") << true << "0.2" << 1;
    QTest::newRow("In the tray, 600 ms apart: no stop") << true << "0.6" << 0;
    QTest::newRow("Window shown, hook off: no stop") << false << "0.2" << 0;
}

void TestGlobalKeys::doubleCtrlFromRawKeys()
{
    QFETCH(bool, hookS);
    QFETCH(QString, gap);
    QFETCH(int, stops);
    OtherClient other(m_server->name());
    QVERIFY(other.showFocusedWindow());
    X11KeyHook hook(m_server->name());
    int stopped = 0;
    // HookS stays true for the rules, so that only the hook being off can keep the stop away.
    TDoubleCtrl doubleCtrl(
        &hook, [] { return true; }, [&stopped] { ++stopped; });
    QVERIFY(hook.setActive(true));
    if (!hookS) {
        hook.setActive(false);
        QVERIFY(!hook.isActive());
    }

    // The right Ctrl by its key code: by name xdotool would press the left one with it.
    const QString rightCtrl = QString::number(other.keycode(XK_Control_R));
    QVERIFY(m_server->xdotool({"key", "Control_L", "sleep", gap, "key", rightCtrl, "key", "a"}));
    // The keys still reach the window that has the focus, unchanged.
    QTRY_COMPARE(other.presses(), (QStringList{"Control_L", "Control_R", "a"}));
    // The server sent us the raw keys no later than the window's; give the event loop time to read them.
    QTest::qWait(200);
    QCOMPARE(stopped, stops);
}

void TestGlobalKeys::serverGoingAwayIsSurvived()
{
    X11GlobalKeys keys(m_server->name());
    X11KeyHook hook(m_server->name());
    KeysProbe probe;
    probe.watch(keys);
    QVERIFY(keys.Register(probe.handler()));
    QVERIFY(hook.setActive(true));

    // Xlib's default would end this process as soon as either connection notices.
    m_server.reset();
    QTest::qWait(300);
    QVERIFY(!keys.Register(probe.handler()));
    QCOMPARE(probe.notices, std::vector<std::string>{GlobalKeyTexts::notAvailable()});
    keys.Unregister();
    QVERIFY(hook.setActive(false));
    QVERIFY(!hook.setActive(true));
}

QTEST_GUILESS_MAIN(TestGlobalKeys)
#include "tst_globalkeys.moc"
