#pragma once

#include "platform/desktop/HotKey.h"

#include <memory>

namespace hb {

// The X11 registrar: passive key grabs on the root window of its own connection to $DISPLAY, with the
// Num Lock and Caps Lock variants, reporting the release of a grabbed key (auto-repeat ignored).
std::unique_ptr<HotKeyBackend> makeX11HotKeyBackend();

// The layout-aware character of a key position from the X server's keyboard map; none without a display.
std::optional<QString> x11KeyName(std::uint16_t keyCode);

}  // namespace hb
