#include "platform/desktop/HotKeyX11.h"

#include "platform/base/Log.h"

#include <QAbstractEventDispatcher>
#include <QObject>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <vector>

namespace hb {

namespace {

Error hotKeyError(int code, const QString& description)
{
    return Error{NSPOSIXErrorDomain, code, {{NSLocalizedDescriptionKey, description}}};
}

Display* openDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    return XOpenDisplay(nullptr);
}

// Collects X errors of one display while requests are checked with XSync; errors of other
// connections go on to the handler that was installed before.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display)
    {
        s_display = display;
        s_failed = false;
        m_previous = XSetErrorHandler(&ErrorTrap::handle);
        s_previous = m_previous;
    }
    ~ErrorTrap()
    {
        XSetErrorHandler(m_previous);
        s_display = nullptr;
    }
    bool sync()
    {
        XSync(s_display, False);
        return !s_failed;
    }
    void reset() { s_failed = false; }

private:
    static int handle(Display* display, XErrorEvent* event)
    {
        if (display == s_display) {
            s_failed = true;
            return 0;
        }
        return s_previous ? s_previous(display, event) : 0;
    }
    using Handler = int (*)(Display*, XErrorEvent*);
    Handler m_previous;
    static inline Display* s_display = nullptr;
    static inline bool s_failed = false;
    static inline Handler s_previous = nullptr;
};

unsigned int numLockMask(Display* display)
{
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    unsigned int mask = 0;
    for (int modifier = 0; map && numLock && modifier < 8; ++modifier)
        for (int k = 0; k < map->max_keypermod; ++k)
            if (map->modifiermap[modifier * map->max_keypermod + k] == numLock)
                mask = 1u << modifier;
    if (map)
        XFreeModifiermap(map);
    return mask;
}

class X11HotKeyBackend final : public HotKeyBackend {
public:
    ~X11HotKeyBackend() override
    {
        if (!m_display)
            return;
        m_notifier.reset();
        if (!m_dead) {
            for (const Grab& grab : m_grabs)
                ungrab(grab);
            XCloseDisplay(m_display);
        }
    }

    std::optional<Ref> registerHotKey(std::uint16_t keyCode, std::uint64_t modifierFlags, std::uint32_t id,
                                      Error* error) override
    {
        const auto fail = [&](Error e) -> std::optional<Ref> {
            qCWarning(hbLog).noquote() << "Hot key not registered:" << e.localizedDescription();
            if (error)
                *error = std::move(e);
            return std::nullopt;
        };
        if (!connect())
            return fail(hotKeyError(HotKeyError::noDisplay,
                                    QStringLiteral("There is no X display to grab global hot keys on.")));
        const std::optional<int> evdev = KeyCodes::evdevCodeForVirtualKeyCode(keyCode);
        int minKeyCode = 0, maxKeyCode = 0;
        XDisplayKeycodes(m_display, &minKeyCode, &maxKeyCode);
        if (!evdev || *evdev + 8 < minKeyCode || *evdev + 8 > maxKeyCode)
            return fail(hotKeyError(EINVAL, QStringLiteral("The key %1 has no place on this keyboard.").arg(keyCode)));

        const Grab grab{m_nextRef, id, KeyCode(*evdev + 8), KeyCodes::x11ModifiersFromFlags(modifierFlags), keyCode};
        ErrorTrap trap(m_display);
        for (unsigned int variant : variants(grab))
            XGrabKey(m_display, grab.keycode, grab.modifiers | variant, root(), False, GrabModeAsync, GrabModeAsync);
        if (!trap.sync()) {
            ungrab(grab);
            trap.sync();
            return fail(hotKeyError(HotKeyError::taken,
                                    QStringLiteral("Another application already uses this key combination.")));
        }
        if (grabsSuspended()) {
            ungrab(grab);
            XFlush(m_display);
        }
        m_grabs.push_back(grab);
        return m_nextRef++;
    }

    void setGrabsSuspended(bool suspended) override
    {
        if (suspended == grabsSuspended())
            return;
        HotKeyBackend::setGrabsSuspended(suspended);
        if (!m_display || m_dead)
            return;
        ErrorTrap trap(m_display);
        std::vector<Ref> lost;
        for (Grab& grab : m_grabs) {
            grab.pressed = false;
            if (suspended) {
                ungrab(grab);
                continue;
            }
            for (unsigned int variant : variants(grab))
                XGrabKey(m_display, grab.keycode, grab.modifiers | variant, root(), False, GrabModeAsync,
                         GrabModeAsync);
            // Another client may have taken the combination meanwhile: that grab is lost.
            if (!trap.sync()) {
                ungrab(grab);
                trap.sync();
                trap.reset();
                lost.push_back(grab.ref);
            }
        }
        trap.sync();
        for (Ref ref : lost) {
            std::erase_if(m_grabs, [ref](const Grab& grab) { return grab.ref == ref; });
            qCWarning(hbLog) << "A hot key could not be grabbed again after recording: another application took it.";
            settled(ref, {hotKeyError(HotKeyError::taken,
                                      QStringLiteral("Another application already uses this key combination.")),
                          {}});
        }
    }

    void unregisterHotKey(Ref ref) override
    {
        for (auto it = m_grabs.begin(); it != m_grabs.end(); ++it) {
            if (it->ref != ref)
                continue;
            if (!m_dead) {
                ungrab(*it);
                XFlush(m_display);
            }
            m_grabs.erase(it);
            return;
        }
    }

private:
    struct Grab {
        Ref ref;
        std::uint32_t id;
        KeyCode keycode;
        unsigned int modifiers;
        std::uint16_t keyCode;
        bool pressed = false;
    };

    static constexpr unsigned int kCombinationModifiers = ShiftMask | LockMask | ControlMask | Mod1Mask | Mod4Mask;

    bool connect()
    {
        if (m_display)
            return !m_dead;
        m_display = openDisplay();
        if (!m_display)
            return false;
        Bool supported = False;
        m_detectableRepeat = XkbSetDetectableAutoRepeat(m_display, True, &supported) && supported;
        m_numLock = numLockMask(m_display);
        XSetIOErrorExitHandler(m_display, &X11HotKeyBackend::connectionLost, this);
        m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
        // Xlib may already hold events read along with a reply; the socket would not wake us for them.
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, m_notifier.get(),
                             [this] { readEvents(); });
        return true;
    }

    static void connectionLost(Display*, void* self)
    {
        auto* backend = static_cast<X11HotKeyBackend*>(self);
        backend->m_dead = true;
        qCWarning(hbLog) << "The X display went away; global hot keys stop.";
    }

    Window root() const { return DefaultRootWindow(m_display); }

    std::vector<unsigned int> variants(const Grab& grab) const
    {
        std::vector<unsigned int> list{0};
        if (m_numLock)
            list.push_back(m_numLock);
        if (!(grab.modifiers & LockMask)) {
            list.push_back(LockMask);
            if (m_numLock)
                list.push_back(LockMask | m_numLock);
        }
        return list;
    }

    void ungrab(const Grab& grab)
    {
        for (unsigned int variant : variants(grab))
            XUngrabKey(m_display, grab.keycode, grab.modifiers | variant, root());
    }

    bool matches(const Grab& grab, const XKeyEvent& key) const
    {
        const unsigned int ignored = m_numLock | ((grab.modifiers & LockMask) ? 0 : LockMask);
        return key.keycode == grab.keycode && (key.state & kCombinationModifiers & ~ignored) == grab.modifiers;
    }

    // Without detectable auto-repeat a held key sends release/press pairs with one time stamp.
    bool isRepeatedRelease(const XKeyEvent& key)
    {
        if (m_detectableRepeat || !XEventsQueued(m_display, QueuedAfterReading))
            return false;
        XEvent next;
        XPeekEvent(m_display, &next);
        return next.type == KeyPress && next.xkey.keycode == key.keycode && next.xkey.time == key.time;
    }

    void readEvents()
    {
        while (!m_dead && XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == KeyPress) {
                for (Grab& grab : m_grabs)
                    if (matches(grab, event.xkey))
                        grab.pressed = true;
            } else if (event.type == KeyRelease && !isRepeatedRelease(event.xkey)) {
                releaseKey(event.xkey);
            }
        }
        if (m_dead)
            m_notifier->setEnabled(false);
    }

    void releaseKey(const XKeyEvent& key)
    {
        std::vector<std::pair<std::uint32_t, std::uint16_t>> fired;  // id, virtual key code
        for (Grab& grab : m_grabs) {
            if (grab.keycode == key.keycode && grab.pressed) {
                grab.pressed = false;
                fired.emplace_back(grab.id, grab.keyCode);
            }
        }
        for (const auto& [id, keyCode] : fired)
            released(id, KeyEvent{KeyEvent::Type::keyUp, keyCode, KeyCodes::flagsFromX11Modifiers(key.state),
                                  std::uint64_t(key.time), false});
    }

    Display* m_display = nullptr;
    bool m_dead = false;
    bool m_detectableRepeat = false;
    unsigned int m_numLock = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<Grab> m_grabs;
    Ref m_nextRef = 1;
};

bool isLatinLetter(KeySym sym)
{
    return sym >= XK_a && sym <= XK_z;
}

}  // namespace

std::unique_ptr<HotKeyBackend> makeX11HotKeyBackend()
{
    return std::make_unique<X11HotKeyBackend>();
}

std::optional<QString> x11KeyName(std::uint16_t keyCode)
{
    const std::optional<int> evdev = KeyCodes::evdevCodeForVirtualKeyCode(keyCode);
    if (!evdev)
        return std::nullopt;
    Display* display = openDisplay();
    if (!display)
        return std::nullopt;
    const KeyCode keycode = KeyCode(*evdev + 8);
    const KeyCode letterA = 38;  // the position of A, to tell whether a group types ASCII letters
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    int group = state.group;
    if (!isLatinLetter(XkbKeycodeToKeysym(display, letterA, group, 0))) {
        for (int candidate = 0; candidate < XkbNumKbdGroups; ++candidate) {
            if (isLatinLetter(XkbKeycodeToKeysym(display, letterA, candidate, 0))) {
                group = candidate;
                break;
            }
        }
    }
    const KeySym sym = XkbKeycodeToKeysym(display, keycode, group, 0);
    XCloseDisplay(display);
    char text[64] = {};
    if (sym == NoSymbol || xkb_keysym_to_utf8(xkb_keysym_t(sym), text, sizeof text) <= 0)
        return QString();
    const QString name = QString::fromUtf8(text);
    return name.size() == 1 && !name.at(0).isPrint() ? QString() : name;
}

}  // namespace hb
