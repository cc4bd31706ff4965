#pragma once

#include <QMetaType>
#include <QString>

#include <cstdint>
#include <optional>

namespace hb {

// Modifier masks as the program stores them (the "HotKey" record keeps these bits).
namespace ModifierFlag {
inline constexpr std::uint64_t CapsLock = 1ull << 16;
inline constexpr std::uint64_t Shift = 1ull << 17;
inline constexpr std::uint64_t Control = 1ull << 18;
inline constexpr std::uint64_t Option = 1ull << 19;
inline constexpr std::uint64_t Command = 1ull << 20;
}  // namespace ModifierFlag

// A key event as the program sees it: a virtual key code of the key's position and a modifier mask.
struct KeyEvent {
    enum class Type { keyDown, keyUp };
    Type type = Type::keyUp;
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;
    std::uint64_t timestamp = 0;  // milliseconds, the X server's clock
    bool isARepeat = false;
};

// The fixed table between virtual key codes (key positions of the program's stored records) and
// Linux input event codes; the X key code of a position is its input code + 8.
namespace KeyCodes {
std::optional<int> evdevCodeForVirtualKeyCode(std::uint16_t keyCode);
std::optional<std::uint16_t> virtualKeyCodeForEvdevCode(int evdevCode);
// What the key types on a US layout without modifiers; empty for keys that type nothing printable.
QString usLayoutCharacter(std::uint16_t keyCode);
// X11 modifier state bits (ShiftMask, LockMask, ControlMask, Mod1Mask, Mod4Mask) for a modifier mask;
// other bits are dropped.
unsigned int x11ModifiersFromFlags(std::uint64_t modifierFlags);
std::uint64_t flagsFromX11Modifiers(unsigned int state);
}  // namespace KeyCodes

}  // namespace hb

Q_DECLARE_METATYPE(hb::KeyEvent)
