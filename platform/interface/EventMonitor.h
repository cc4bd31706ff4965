#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QEvent;

namespace hb {

// Keyboard event types and their mask bits (a mask bit is 1 << type).
enum class EventType : int { keyDown = 10, keyUp = 11, flagsChanged = 12 };
inline constexpr std::uint64_t NSEventMaskKeyDown = 1ULL << 10;
inline constexpr std::uint64_t NSEventMaskKeyUp = 1ULL << 11;
inline constexpr std::uint64_t NSEventMaskFlagsChanged = 1ULL << 12;  // 4096

// Modifier flags as the program stores and compares them. Alt is Option, Super (Meta) is Command.
inline constexpr std::uint64_t NSEventModifierFlagCapsLock = 0x10000;
inline constexpr std::uint64_t NSEventModifierFlagShift = 0x20000;
inline constexpr std::uint64_t NSEventModifierFlagControl = 0x40000;
inline constexpr std::uint64_t NSEventModifierFlagOption = 0x80000;
inline constexpr std::uint64_t NSEventModifierFlagCommand = 0x100000;
std::uint64_t modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);
// The modifier keys held now, asked of the window system: also those pressed while the program did not
// have the keyboard focus, whose presses it never saw.
std::uint64_t currentModifierFlags();

// A keyboard event as local monitors see it. A flags change carries the modifiers after the change.
struct Event {
    EventType type = EventType::keyDown;
    std::uint64_t modifierFlags = 0;
    int key = 0;  // Qt::Key
    QString characters;

    // The event of a Qt key press or release (a modifier key gives a flags change); none for others.
    static std::optional<Event> fromQt(const QEvent& event);
};

// Local event monitors: handlers that see the application's key events of the types in their mask
// before the focused widget does. A handler answers the event to let it go on, or none to swallow it.
// GUI thread only; handlers run in the order they were added.
class EventMonitor {
public:
    using Token = std::uint64_t;
    using Handler = std::function<std::optional<Event>(const Event&)>;

    static Token addLocalMonitorForEventsMatchingMask(std::uint64_t mask, Handler handler);
    static void removeMonitor(Token token);  // an unknown token does nothing
    static bool isInstalled(Token token);

    // Runs an event through the installed monitors as the application does; none when one swallowed it.
    static std::optional<Event> dispatch(const Event& event);
};

}  // namespace hb
