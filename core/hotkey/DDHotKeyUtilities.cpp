#include "core/hotkey/DDHotKeyUtilities.h"

#include "platform/desktop/HotKey.h"

namespace {
constexpr std::uint16_t kCommandKey = 55;
constexpr std::uint16_t kShiftKey = 56;
constexpr std::uint16_t kOptionKey = 58;
constexpr std::uint16_t kControlKey = 59;
}  // namespace

const QHash<std::uint16_t, QString>& specialKeySymbolTable()
{
    static const QHash<std::uint16_t, QString> table{
        {36, QStringLiteral("\u21A9")},  {48, QStringLiteral("\u21E5")},  {49, QStringLiteral("\u23B5")},
        {51, QStringLiteral("\u232B")},  {53, QStringLiteral("\u238B")},  {55, QStringLiteral("\u2318")},
        {56, QStringLiteral("\u21E7")},  {57, QStringLiteral("\u21EA")},  {58, QStringLiteral("\u2325")},
        {59, QStringLiteral("\u2303")},  {117, QStringLiteral("\u2326")}, {115, QStringLiteral("\u2196")},
        {119, QStringLiteral("\u2198")}, {116, QStringLiteral("\u21DE")}, {121, QStringLiteral("\u21DF")},
        {126, QStringLiteral("\u2191")}, {60, QStringLiteral("\u21E7")},  {61, QStringLiteral("\u2325")},
        {62, QStringLiteral("\u2303")},  {63, QStringLiteral("\u2318")},  {72, QStringLiteral("\U0001F50A")},
        {73, QStringLiteral("\U0001F508")}, {74, QStringLiteral("\U0001F507")}, {122, QStringLiteral("F1")},
        {120, QStringLiteral("F2")},     {99, QStringLiteral("F3")},      {118, QStringLiteral("F4")},
        {96, QStringLiteral("F5")},      {97, QStringLiteral("F6")},      {98, QStringLiteral("F7")},
        {100, QStringLiteral("F8")},     {101, QStringLiteral("F9")},     {109, QStringLiteral("F10")},
        {103, QStringLiteral("F11")},    {111, QStringLiteral("F12")},    {105, QStringLiteral("F13")},
        {107, QStringLiteral("F14")},    {113, QStringLiteral("F15")},    {106, QStringLiteral("F16")},
        {64, QStringLiteral("F17")},     {79, QStringLiteral("F18")},     {80, QStringLiteral("F19")},
        {90, QStringLiteral("F20")},     {123, QStringLiteral("\u2190")}, {124, QStringLiteral("\u2192")},
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
    QString text;
    for (const auto& [flag, modifierKey] : prefix)
        if (modifierFlags & flag)
            text += symbols.value(modifierKey);
    if (keyCode == kCommandKey || keyCode == kShiftKey || keyCode == kOptionKey || keyCode == kControlKey)
        return text;
    if (symbols.contains(keyCode))
        return text + symbols.value(keyCode);
    return text + hb::HotKeys::keyName(keyCode);
}
