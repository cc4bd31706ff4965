#pragma once

#include "platform/selection/Deadline.h"

#include <X11/Xlib.h>

#include <functional>
#include <memory>
#include <optional>

namespace hb::selection {

// One connection to the X server with a window of our own to receive selection data on. X errors
// (a window that went away meanwhile) are counted, never fatal.
class XDisplay {
public:
    // None when there is no X server to talk to.
    static std::unique_ptr<XDisplay> open();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    Display* display() const { return m_display; }
    Window root() const { return DefaultRootWindow(m_display); }
    // Unmapped, listening for property changes (needed for incremental transfers).
    Window window() const { return m_window; }
    Atom atom(const char* name) const { return XInternAtom(m_display, name, False); }

    // The next event that `matches`, from the queue or the connection, else none once `deadline` passed.
    // Events that do not match stay queued.
    std::optional<XEvent> waitFor(const std::function<bool(const XEvent&)>& matches, const Deadline& deadline);

    // A current server time for selection ownership (from a property change on our window).
    Time serverTime();

    // Number of X errors this connection has seen.
    int errorCount() const;

private:
    explicit XDisplay(Display* display);
    Display* m_display;
    Window m_window;
};

}  // namespace hb::selection
