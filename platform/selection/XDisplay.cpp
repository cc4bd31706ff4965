#include "platform/selection/XDisplay.h"

#include <X11/Xatom.h>

#include <atomic>
#include <poll.h>

namespace hb::selection {

namespace {
std::atomic<int> errors{0};

int countError(Display*, XErrorEvent*)
{
    ++errors;
    return 0;
}
}  // namespace

std::unique_ptr<XDisplay> XDisplay::open()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    XSetErrorHandler(&countError);
    return std::unique_ptr<XDisplay>(new XDisplay(display));
}

XDisplay::XDisplay(Display* display) : m_display(display)
{
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    m_window = XCreateWindow(m_display, root(), -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                             CWEventMask, &attributes);
}

XDisplay::~XDisplay()
{
    XDestroyWindow(m_display, m_window);
    XCloseDisplay(m_display);
}

int XDisplay::errorCount() const
{
    return errors.load();
}

std::optional<XEvent> XDisplay::waitFor(const std::function<bool(const XEvent&)>& matches, const Deadline& deadline)
{
    struct Context {
        const std::function<bool(const XEvent&)>* matches;
    } context{&matches};
    const auto predicate = [](Display*, XEvent* event, XPointer arg) -> Bool {
        return (*reinterpret_cast<Context*>(arg)->matches)(*event) ? True : False;
    };
    XFlush(m_display);
    for (;;) {
        XEvent event;
        if (XCheckIfEvent(m_display, &event, predicate, reinterpret_cast<XPointer>(&context)))
            return event;
        if (deadline.passed())
            return std::nullopt;
        pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
        if (poll(&fd, 1, deadline.remainingMs()) > 0)
            XEventsQueued(m_display, QueuedAfterReading);  // reads what arrived into the queue
    }
}

Time XDisplay::serverTime()
{
    const Atom property = atom("HARBRILL_TIME");
    XChangeProperty(m_display, m_window, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    const auto event = waitFor(
        [&](const XEvent& e) {
            return e.type == PropertyNotify && e.xproperty.window == m_window && e.xproperty.atom == property;
        },
        Deadline(std::chrono::milliseconds(500)));
    return event ? event->xproperty.time : CurrentTime;
}

}  // namespace hb::selection
