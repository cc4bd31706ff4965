#pragma once

#include <QHash>
#include <QString>

#include <cstdint>

// Virtual key codes that show a fixed text instead of the character the key types.
const QHash<std::uint16_t, QString>& specialKeySymbolTable();

// The text of a combination: the modifiers in the order Super, Shift, Alt, Ctrl, then the key, joined by
// "+" ("Super+1", "Alt+Ctrl" for a modifier key alone).
QString hotKeyDisplayString(std::uint16_t keyCode, std::uint64_t modifierFlags);
