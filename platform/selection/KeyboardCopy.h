#pragma once

#include "platform/selection/XDisplay.h"

namespace hb::selection {

// Asks a window that has the keyboard focus to copy its selection, as a person would with Ctrl+C: a
// real key press (XTest), since toolkits ignore keys sent to a window by other clients. Modifiers the
// person still holds (the hot key's) are waited for, then let go, so the window sees Ctrl+C alone.
class KeyboardCopy {
public:
    enum class Outcome { sent, notFocused, notResponding, noKeyboard };

    // Nothing is sent unless the focus is in `window` (it or a window inside it) and the window's
    // program answers a ping: a key queued for a program that hangs would copy whenever it wakes up.
    static Outcome send(XDisplay& x, Window window, const Deadline& releaseWait);

    // The window's program answers the window manager's ping (_NET_WM_PING) before `deadline`.
    static bool answersPing(XDisplay& x, Window window, const Deadline& deadline);

    static bool focusIsIn(XDisplay& x, Window window);
};

}  // namespace hb::selection
