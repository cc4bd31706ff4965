#pragma once

#include "platform/desktop/HotKey.h"

#include <QDBusConnection>
#include <QString>

#include <memory>

namespace hb {

// Global hot keys through the desktop portal (org.freedesktop.portal.GlobalShortcuts on the bus): each
// registration is a portal session with one shortcut, bound with the combination as its preferred
// trigger; the desktop may keep or change the keys and settles the registration once it answers. A
// bus without the portal settles every registration as refused (HotKeyError::noHotKeys). The portal's
// Activated signal is the release; its activation token goes to the application for the window it
// brings forward.
std::unique_ptr<HotKeyBackend> makePortalHotKeyBackend(const QDBusConnection& bus);

namespace PortalShortcuts {
// The shortcut's trigger as the freedesktop shortcuts format writes it ("LOGO+ALT+h", "CTRL+SHIFT+F1"):
// the modifiers, then the key's keysym name on the default keyboard layout; empty for a key position
// the table does not know.
QString preferredTrigger(std::uint16_t keyCode, std::uint64_t modifierFlags);
// The shortcut's id: the same combination keeps the same id, so what the person set for it in the
// desktop's shortcut settings holds from one run to the next.
QString shortcutId(std::uint16_t keyCode, std::uint64_t modifierFlags);
}  // namespace PortalShortcuts

}  // namespace hb
