#pragma once

#include <QString>

class QWindow;

namespace hb::XdgActivation {

// Hands the compositor an activation token the desktop gave out (xdg-activation), so the window takes
// the focus although the program was not in front; a window not on screen yet is activated once it
// is. False when the program is no Wayland client, the token is empty or the compositor offers no
// xdg-activation (the window then comes forward as the compositor decides).
bool activate(QWindow* window, const QString& token);

}  // namespace hb::XdgActivation
