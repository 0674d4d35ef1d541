#include "shell/globalkeys_x11.h"

#include "shell/x11connection_x11.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

struct KeyOfId
{
    int id;
    KeySym keysym;
};

const KeyOfId Keys[] = {
    {IGlobalKeys::MinimierenPageDown, XK_Next},
    {IGlobalKeys::MinimierenF1, XK_F1},
    {IGlobalKeys::UngelesenPageUp, XK_Prior},
    {IGlobalKeys::UngelesenF2, XK_F2},
};

// The modifier bit that a key sets, 0 when the key is no modifier here.
unsigned modifierOf(Display* display, XModifierKeymap* map, KeySym keysym)
{
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (keycode == 0)
        return 0;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == keycode)
                return 1u << modifier;
        }
    }
    return 0;
}

struct Modifiers
{
    unsigned alt = Mod1Mask;
    unsigned numLock = 0;
    unsigned scrollLock = 0;
};

Modifiers modifiersOf(Display* display)
{
    Modifiers result;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return result;
    if (const unsigned alt = modifierOf(display, map, XK_Alt_L))
        result.alt = alt;
    result.numLock = modifierOf(display, map, XK_Num_Lock);
    result.scrollLock = modifierOf(display, map, XK_Scroll_Lock);
    XFreeModifiermap(map);
    return result;
}

// Every combination of the lock modifiers, since a grab matches its modifiers exactly.
std::vector<unsigned> lockVariants(const std::vector<unsigned>& locks)
{
    std::vector<unsigned> variants{0};
    for (const unsigned lock : locks) {
        if (lock == 0)
            continue;
        const size_t count = variants.size();
        for (size_t i = 0; i < count; ++i) {
            if (std::find(variants.begin(), variants.end(), variants[i] | lock) == variants.end())
                variants.push_back(variants[i] | lock);
        }
    }
    return variants;
}

} // namespace

X11GlobalKeys::X11GlobalKeys(std::string displayName)
    : m_displayName(std::move(displayName))
    , m_connection(std::make_unique<X11Connection>([this](XEvent& event) { onEvent(event); }))
{
}

X11GlobalKeys::~X11GlobalKeys()
{
    Unregister();
}

bool X11GlobalKeys::Register(KeyHandler onHotKey)
{
    Unregister();
    m_failures.clear();
    // A Wayland compositor shows an X11 client only the keys meant for X11 windows.
    if ((m_displayName.empty() && isWaylandSession()) || !m_connection->open(m_displayName)) {
        fail(GlobalKeyTexts::notAvailable());
        return false;
    }
    m_onHotKey = std::move(onHotKey);

    Modifiers modifiers;
    KeyCode keycodes[std::size(Keys)] = {};
    m_connection->run([&](Display* display) {
        modifiers = modifiersOf(display);
        for (size_t i = 0; i < std::size(Keys); ++i)
            keycodes[i] = XKeysymToKeycode(display, Keys[i].keysym);
    });
    m_lockMasks = LockMask | modifiers.numLock | modifiers.scrollLock;
    const std::vector<unsigned> variants = lockVariants({LockMask, modifiers.numLock, modifiers.scrollLock});
    const unsigned base = ControlMask | modifiers.alt;

    for (size_t i = 0; i < std::size(Keys) && m_connection->isOpen(); ++i) {
        const int id = Keys[i].id;
        if (keycodes[i] == 0) {
            fail(GlobalKeyTexts::noSuchKey(id));
            continue;
        }
        bool taken = false;
        for (const unsigned variant : variants) {
            const unsigned modifierSet = base | variant;
            // One round trip per grab, so that a refusal (BadAccess: another client holds it) is told apart.
            const std::vector<int> errors = m_connection->run([&](Display* display) {
                XGrabKey(display, keycodes[i], modifierSet, DefaultRootWindow(display), False, GrabModeAsync,
                         GrabModeAsync);
            });
            if (!errors.empty())
                taken = true;
            else
                m_grabs.push_back({id, keycodes[i], modifierSet});
        }
        if (taken)
            fail(GlobalKeyTexts::taken(id));
    }
    if (!m_connection->isOpen()) {
        // The server went away on the way.
        m_grabs.clear();
        m_onHotKey = nullptr;
        m_failures.clear();
        fail(GlobalKeyTexts::notAvailable());
        return false;
    }
    return m_failures.empty();
}

void X11GlobalKeys::Unregister()
{
    ++m_generation;
    m_onHotKey = nullptr;
    if (!m_grabs.empty()) {
        // Released before we return, so another program can have the keys at once.
        m_connection->run([this](Display* display) {
            for (const Grab& grab : m_grabs)
                XUngrabKey(display, grab.keycode, grab.modifiers, DefaultRootWindow(display));
        });
    }
    m_grabs.clear();
}

std::string X11GlobalKeys::failureText() const
{
    std::string text;
    for (const std::string& line : m_failures)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

void X11GlobalKeys::fail(const std::string& text)
{
    m_failures.push_back(text);
    notice(text);
}

void X11GlobalKeys::onEvent(XEvent& event)
{
    if (event.type != KeyPress)
        return;
    const XKeyEvent& key = event.xkey;
    const unsigned state = key.state & ~m_lockMasks;
    const auto grab = std::find_if(m_grabs.begin(), m_grabs.end(), [&](const Grab& g) {
        return g.keycode == key.keycode && (g.modifiers & ~m_lockMasks) == state;
    });
    if (grab == m_grabs.end())
        return;
    const int id = grab->id;
    const unsigned generation = m_generation;
    // Like a posted hotkey message: the handler may restore the window, which unregisters.
    m_connection->post([this, id, generation] {
        if (generation != m_generation || !m_onHotKey)
            return;
        const KeyHandler handler = m_onHotKey;
        handler(id);
    });
}
