#pragma once

#include "platform/selection/XDisplay.h"

namespace hb::selection {

// Asks a window that has the keyboard focus to copy its selection, as a person would with Ctrl+C: a
// real key press (XTest), since toolkits ignore keys sent to a window by other clients. Modifiers the
// person still holds (the hot key's) are waited for, then let go, so the window sees Ctrl+C alone.
class KeyboardCopy {
public:
    enum class Outcome { sent, notFocused, noKeyboard };

    // Nothing is sent unless the focus is in `window` (it or a window inside it).
    static Outcome send(XDisplay& x, Window window, const Deadline& releaseWait);

    static bool focusIsIn(XDisplay& x, Window window);
};

}  // namespace hb::selection
