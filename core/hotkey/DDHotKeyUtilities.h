#pragma once

#include <QHash>
#include <QString>

#include <cstdint>

// Virtual key codes that show a fixed text instead of the character the key types.
const QHash<std::uint16_t, QString>& specialKeySymbolTable();

// The text of a combination: the modifier glyphs in the order ⌘ ⇧ ⌥ ⌃, then the key (nothing more when
// the key is itself a modifier key).
QString hotKeyDisplayString(std::uint16_t keyCode, std::uint64_t modifierFlags);
