#include "core/hotkey/DDHotKeyUtilities.h"

#include "platform/desktop/HotKey.h"

#include <QStringList>

namespace {
constexpr std::uint16_t kCommandKey = 55;
constexpr std::uint16_t kShiftKey = 56;
constexpr std::uint16_t kOptionKey = 58;
constexpr std::uint16_t kControlKey = 59;
// The modifier keys by the names Linux desktops print on them and show in their shortcuts.
const QString superName = QStringLiteral("Super");
const QString shiftName = QStringLiteral("Shift");
const QString altName = QStringLiteral("Alt");
const QString ctrlName = QStringLiteral("Ctrl");
}  // namespace

const QHash<std::uint16_t, QString>& specialKeySymbolTable()
{
    static const QHash<std::uint16_t, QString> table{
        {36, QStringLiteral("\u21A9")},
        {48, QStringLiteral("\u21E5")},
        {49, QStringLiteral("\u23B5")},
        {51, QStringLiteral("\u232B")},
        {53, QStringLiteral("\u238B")},
        {55, superName},
        {56, shiftName},
        {57, QStringLiteral("Caps Lock")},
        {58, altName},
        {59, ctrlName},
        {117, QStringLiteral("\u2326")},
        {115, QStringLiteral("\u2196")},
        {119, QStringLiteral("\u2198")},
        {116, QStringLiteral("\u21DE")},
        {121, QStringLiteral("\u21DF")},
        {126, QStringLiteral("\u2191")},
        {60, shiftName},
        {61, altName},
        {62, ctrlName},
        {63, superName},
        {72, QStringLiteral("\U0001F50A")},
        {73, QStringLiteral("\U0001F508")},
        {74, QStringLiteral("\U0001F507")},
        {122, QStringLiteral("F1")},
        {120, QStringLiteral("F2")},
        {99, QStringLiteral("F3")},
        {118, QStringLiteral("F4")},
        {96, QStringLiteral("F5")},
        {97, QStringLiteral("F6")},
        {98, QStringLiteral("F7")},
        {100, QStringLiteral("F8")},
        {101, QStringLiteral("F9")},
        {109, QStringLiteral("F10")},
        {103, QStringLiteral("F11")},
        {111, QStringLiteral("F12")},
        {105, QStringLiteral("F13")},
        {107, QStringLiteral("F14")},
        {113, QStringLiteral("F15")},
        {106, QStringLiteral("F16")},
        {64, QStringLiteral("F17")},
        {79, QStringLiteral("F18")},
        {80, QStringLiteral("F19")},
        {90, QStringLiteral("F20")},
        {123, QStringLiteral("\u2190")},
        {124, QStringLiteral("\u2192")},
        {125, QStringLiteral("\u2193")},
    };
    return table;
}

QString hotKeyDisplayString(std::uint16_t keyCode, std::uint64_t modifierFlags)
{
    const QHash<std::uint16_t, QString>& symbols = specialKeySymbolTable();
    const std::pair<std::uint64_t, std::uint16_t> prefix[] = {
        {hb::ModifierFlag::Command, kCommandKey},
        {hb::ModifierFlag::Shift, kShiftKey},
        {hb::ModifierFlag::Option, kOptionKey},
        {hb::ModifierFlag::Control, kControlKey},
    };
    QStringList parts;
    for (const auto& [flag, modifierKey] : prefix)
        if (modifierFlags & flag)
            parts << symbols.value(modifierKey);
    if (keyCode == kCommandKey || keyCode == kShiftKey || keyCode == kOptionKey || keyCode == kControlKey)
        return parts.join(QLatin1Char('+'));
    const QString key = symbols.contains(keyCode) ? symbols.value(keyCode) : hb::HotKeys::keyName(keyCode);
    if (!key.isEmpty())
        parts << key;
    return parts.join(QLatin1Char('+'));
}
