#include "platform/selection/KeyboardCopy.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <thread>
#include <vector>

namespace hb::selection {

namespace {

// Keys bound to Shift, Control, Mod1..Mod5; Lock and Num Lock are states, not held keys.
std::vector<KeyCode> modifierKeys(Display* display)
{
    std::vector<KeyCode> keys;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return keys;
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    for (int modifier = 0; modifier < 8; ++modifier) {
        if (modifier == LockMapIndex)
            continue;
        for (int k = 0; k < map->max_keypermod; ++k) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + k];
            if (code && code != numLock)
                keys.push_back(code);
        }
    }
    XFreeModifiermap(map);
    return keys;
}

std::vector<KeyCode> heldOf(Display* display, const std::vector<KeyCode>& keys)
{
    char state[32];
    XQueryKeymap(display, state);
    std::vector<KeyCode> held;
    for (KeyCode code : keys)
        if (state[code / 8] & (1 << (code % 8)))
            held.push_back(code);
    return held;
}

}  // namespace

bool KeyboardCopy::focusIsIn(XDisplay& x, Window window)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(x.display(), &focus, &revert);
    while (focus != None && focus != PointerRoot) {
        if (focus == window)
            return true;
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(x.display(), focus, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        if (parent == root)
            return false;
        focus = parent;
    }
    return false;
}

bool KeyboardCopy::answersPing(XDisplay& x, Window window, const Deadline& deadline)
{
    const Atom protocols = x.atom("WM_PROTOCOLS");
    const Atom ping = x.atom("_NET_WM_PING");
    // The answer goes to the root window, for the window manager; anyone listening there hears it.
    XWindowAttributes root{};
    XGetWindowAttributes(x.display(), x.root(), &root);
    // GTK sends it to those who listen for the root's children, Qt to those who listen for the root itself.
    XSelectInput(x.display(), x.root(), root.your_event_mask | SubstructureNotifyMask | StructureNotifyMask);
    const Time stamp = x.serverTime();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(ping);
    event.xclient.data.l[1] = static_cast<long>(stamp);
    event.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(x.display(), window, False, NoEventMask, &event);
    return x
        .waitFor(
            [&](const XEvent& e) {
                return e.type == ClientMessage && e.xclient.message_type == protocols
                       && static_cast<Atom>(e.xclient.data.l[0]) == ping
                       && static_cast<Time>(e.xclient.data.l[1]) == stamp
                       && static_cast<Window>(e.xclient.data.l[2]) == window;
            },
            deadline)
        .has_value();
}

KeyboardCopy::Outcome KeyboardCopy::send(XDisplay& x, Window window, const Deadline& releaseWait)
{
    Display* display = x.display();
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
        return Outcome::noKeyboard;
    const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    const KeyCode c = XKeysymToKeycode(display, XK_c);
    if (!control || !c)
        return Outcome::noKeyboard;

    const std::vector<KeyCode> modifiers = modifierKeys(display);
    std::vector<KeyCode> held = heldOf(display, modifiers);
    while (!held.empty() && !releaseWait.passed()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        held = heldOf(display, modifiers);
    }
    if (!focusIsIn(x, window))
        return Outcome::notFocused;
    if (!answersPing(x, window, Deadline(std::chrono::milliseconds(250))))
        return Outcome::notResponding;
    for (KeyCode code : held)
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    XTestFakeKeyEvent(display, control, True, CurrentTime);
    XTestFakeKeyEvent(display, c, True, CurrentTime);
    XTestFakeKeyEvent(display, c, False, CurrentTime);
    XTestFakeKeyEvent(display, control, False, CurrentTime);
    XFlush(display);
    return Outcome::sent;
}

}  // namespace hb::selection
