#include "platform/desktop/KeyCodes.h"

#include <X11/X.h>

#include <array>

namespace hb::KeyCodes {

namespace {

struct KeyPosition {
    std::uint16_t keyCode;
    int evdev;
    const char* us;  // UTF-8, empty when the key types nothing printable
};

// Virtual key codes of the Apple extended keyboard, by position.
constexpr KeyPosition kPositions[] = {
    {0, 30, "a"},   {1, 31, "s"},   {2, 32, "d"},   {3, 33, "f"},   {4, 35, "h"},   {5, 34, "g"},   {6, 44, "z"},
    {7, 45, "x"},   {8, 46, "c"},   {9, 47, "v"},   {10, 86, "<"},  {11, 48, "b"},  {12, 16, "q"},  {13, 17, "w"},
    {14, 18, "e"},  {15, 19, "r"},  {16, 21, "y"},  {17, 20, "t"},  {18, 2, "1"},   {19, 3, "2"},   {20, 4, "3"},
    {21, 5, "4"},   {22, 7, "6"},   {23, 6, "5"},   {24, 13, "="},  {25, 10, "9"},  {26, 8, "7"},   {27, 12, "-"},
    {28, 9, "8"},   {29, 11, "0"},  {30, 27, "]"},  {31, 24, "o"},  {32, 22, "u"},  {33, 26, "["},  {34, 23, "i"},
    {35, 25, "p"},  {36, 28, ""},   {37, 38, "l"},  {38, 36, "j"},  {39, 40, "'"},  {40, 37, "k"},  {41, 39, ";"},
    {42, 43, "\\"}, {43, 51, ","},  {44, 53, "/"},  {45, 49, "n"},  {46, 50, "m"},  {47, 52, "."},  {48, 15, ""},
    {49, 57, ""},   {50, 41, "`"},  {51, 14, ""},   {53, 1, ""},    {54, 126, ""},  {55, 125, ""},  {56, 42, ""},
    {57, 58, ""},   {58, 56, ""},   {59, 29, ""},   {60, 54, ""},   {61, 100, ""},  {62, 97, ""},   {64, 187, ""},
    {65, 83, "."},  {67, 55, "*"},  {69, 78, "+"},  {71, 69, ""},   {72, 115, ""},  {73, 114, ""},  {74, 113, ""},
    {75, 98, "/"},  {76, 96, ""},   {78, 74, "-"},  {79, 188, ""},  {80, 189, ""},  {81, 117, "="}, {82, 82, "0"},
    {83, 79, "1"},  {84, 80, "2"},  {85, 81, "3"},  {86, 75, "4"},  {87, 76, "5"},  {88, 77, "6"},  {89, 71, "7"},
    {90, 190, ""},  {91, 72, "8"},  {92, 73, "9"},  {93, 124, ""},  {94, 89, ""},   {95, 95, ","},  {96, 63, ""},
    {97, 64, ""},   {98, 65, ""},   {99, 61, ""},   {100, 66, ""},  {101, 67, ""},  {103, 87, ""},  {105, 183, ""},
    {106, 186, ""}, {107, 184, ""}, {109, 68, ""},  {111, 88, ""},  {113, 185, ""}, {114, 110, ""}, {115, 102, ""},
    {116, 104, ""}, {117, 111, ""}, {118, 62, ""},  {119, 107, ""}, {120, 60, ""},  {121, 109, ""}, {122, 59, ""},
    {123, 105, ""}, {124, 106, ""}, {125, 108, ""}, {126, 103, ""},
};

const KeyPosition* byKeyCode(std::uint16_t keyCode)
{
    for (const KeyPosition& p : kPositions)
        if (p.keyCode == keyCode)
            return &p;
    return nullptr;
}

struct ModifierBit {
    std::uint64_t flag;
    unsigned int x11;
};

constexpr std::array<ModifierBit, 5> kModifiers{{
    {ModifierFlag::Shift, ShiftMask},
    {ModifierFlag::CapsLock, LockMask},
    {ModifierFlag::Control, ControlMask},
    {ModifierFlag::Option, Mod1Mask},
    {ModifierFlag::Command, Mod4Mask},
}};

}  // namespace

std::optional<int> evdevCodeForVirtualKeyCode(std::uint16_t keyCode)
{
    if (const KeyPosition* p = byKeyCode(keyCode))
        return p->evdev;
    return std::nullopt;
}

std::optional<std::uint16_t> virtualKeyCodeForEvdevCode(int evdevCode)
{
    for (const KeyPosition& p : kPositions)
        if (p.evdev == evdevCode)
            return p.keyCode;
    return std::nullopt;
}

QString usLayoutCharacter(std::uint16_t keyCode)
{
    const KeyPosition* p = byKeyCode(keyCode);
    return p ? QString::fromUtf8(p->us) : QString();
}

unsigned int x11ModifiersFromFlags(std::uint64_t modifierFlags)
{
    unsigned int state = 0;
    for (const ModifierBit& m : kModifiers)
        if (modifierFlags & m.flag)
            state |= m.x11;
    return state;
}

std::uint64_t flagsFromX11Modifiers(unsigned int state)
{
    std::uint64_t flags = 0;
    for (const ModifierBit& m : kModifiers)
        if (state & m.x11)
            flags |= m.flag;
    return flags;
}

}  // namespace hb::KeyCodes
