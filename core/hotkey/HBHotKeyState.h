#pragma once

#include "platform/base/Error.h"

#include <QString>

#include <cstdint>
#include <optional>

// What the person is told about the global hot key: whether the combination asked for works, and why
// not when it does not.
struct HBHotKeyState {
    enum class Kind {
        none,         // nothing registered yet
        inForce,      // grabbed, or bound by the desktop, and firing
        binding,      // asked of the desktop, which has not answered yet
        taken,        // another program holds the combination
        unassigned,   // the desktop bound the shortcut to no keys
        unavailable,  // this session gives programs no global hot keys
        failed,       // refused for another reason (see error)
    };
    Kind kind = Kind::none;
    // The combination concerned.
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;
    // The desktop's own words for the keys that fire it, when it chose them (a portal).
    std::optional<QString> trigger;
    hb::Error error;

    // A combination the session refused, by the reason it gave.
    static HBHotKeyState refused(std::uint16_t keyCode, std::uint64_t modifierFlags, const hb::Error& error);

    bool operator==(const HBHotKeyState& other) const
    {
        return kind == other.kind && keyCode == other.keyCode && modifierFlags == other.modifierFlags
               && trigger == other.trigger && error == other.error;
    }
};

// The words the person reads about the hot key, in one place.
namespace HBHotKeyMessages {
// The status area's line about a hot key that does not work; empty while it works or nothing is known.
QString notice(const HBHotKeyState& state);
// The select-files pane's hint of how to come back with files: the hot key, or the tray icon where
// the session has no hot key.
QString selectFilesHint(const HBHotKeyState& state);
// The desktop notification of a combination another program holds.
QString takenTitle(const HBHotKeyState& state);
QString takenBody(const HBHotKeyState& state);
inline const QString takenButton = QStringLiteral("Open Harbrill");
// The recorder's line when the session refuses the combination typed.
QString refusal(std::uint16_t keyCode, std::uint64_t modifierFlags, const hb::Error& error);
// The recorder's lines in a session without global hot keys.
inline const QString unavailableTitle = QStringLiteral("No global hot keys in this session");
inline const QString unavailableHint = QStringLiteral("Open Harbrill from its tray icon");
}  // namespace HBHotKeyMessages
