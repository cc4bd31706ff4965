#include "core/hotkey/HBHotKeyState.h"

#include "core/hotkey/DDHotKeyUtilities.h"
#include "platform/desktop/HotKey.h"

namespace {
QString keys(const HBHotKeyState& state)
{
    return hotKeyDisplayString(state.keyCode, state.modifierFlags).toUpper();
}
}  // namespace

HBHotKeyState HBHotKeyState::refused(std::uint16_t keyCode, std::uint64_t modifierFlags, const hb::Error& error)
{
    Kind kind = Kind::failed;
    if (error.domain == hb::NSPOSIXErrorDomain && error.code == hb::HotKeyError::taken)
        kind = Kind::taken;
    else if (error.domain == hb::NSPOSIXErrorDomain
             && (error.code == hb::HotKeyError::noHotKeys || error.code == hb::HotKeyError::noDisplay))
        kind = Kind::unavailable;
    return {kind, keyCode, modifierFlags, std::nullopt, kind == Kind::failed ? error : hb::Error{}};
}

namespace HBHotKeyMessages {

QString notice(const HBHotKeyState& state)
{
    using Kind = HBHotKeyState::Kind;
    switch (state.kind) {
    case Kind::taken:
        return QStringLiteral("%1 is taken by another program: click it to record another hot key.").arg(keys(state));
    case Kind::unavailable:
        return QStringLiteral("No global hot key in this session: open Harbrill from its tray icon.");
    case Kind::unassigned:
        return QStringLiteral("The desktop gave Harbrill's hot key no keys: set them in its shortcut settings, or "
                              "click the hot key to record one.");
    case Kind::failed:
        return QStringLiteral("The hot key %1 does not work: %2 Click it to record another.")
            .arg(keys(state), state.error.localizedDescription());
    case Kind::none:
    case Kind::inForce:
    case Kind::binding:
        break;
    }
    return {};
}

QString selectFilesHint(const HBHotKeyState& state)
{
    return state.kind == HBHotKeyState::Kind::unavailable
               ? QStringLiteral("then click the tray icon, or pick recent files")
               : QStringLiteral("then press the hot key, or pick recent files");
}

QString takenTitle(const HBHotKeyState& state)
{
    return QStringLiteral("Hot key %1 is taken").arg(keys(state));
}

QString takenBody(const HBHotKeyState& state)
{
    return QStringLiteral("Another program already uses %1, so it cannot open Harbrill. Click the hot key in "
                          "Harbrill's window to record another.")
        .arg(keys(state));
}

QString refusal(std::uint16_t keyCode, std::uint64_t modifierFlags, const hb::Error& error)
{
    const HBHotKeyState state = HBHotKeyState::refused(keyCode, modifierFlags, error);
    if (state.kind == HBHotKeyState::Kind::taken)
        return QStringLiteral("%1 is taken by another program: type another").arg(keys(state));
    return QStringLiteral("%1 cannot be the hot key: %2").arg(keys(state), error.localizedDescription());
}

}  // namespace HBHotKeyMessages
