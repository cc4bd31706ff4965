#include "platform/interface/EventMonitor.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>

#include <map>
#include <vector>

namespace hb {

std::uint64_t modifierFlagsFromQt(Qt::KeyboardModifiers modifiers)
{
    std::uint64_t flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= NSEventModifierFlagShift;
    if (modifiers & Qt::ControlModifier)
        flags |= NSEventModifierFlagControl;
    if (modifiers & Qt::AltModifier)
        flags |= NSEventModifierFlagOption;
    if (modifiers & Qt::MetaModifier)
        flags |= NSEventModifierFlagCommand;
    return flags;
}

std::uint64_t currentModifierFlags()
{
    return modifierFlagsFromQt(QGuiApplication::queryKeyboardModifiers());
}

namespace {

// The flag a modifier key stands for; 0 for other keys.
std::uint64_t flagOfModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
        return NSEventModifierFlagShift;
    case Qt::Key_Control:
        return NSEventModifierFlagControl;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return NSEventModifierFlagOption;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return NSEventModifierFlagCommand;
    case Qt::Key_CapsLock:
        return NSEventModifierFlagCapsLock;
    default:
        return 0;
    }
}

struct Monitor {
    std::uint64_t mask;
    std::shared_ptr<EventMonitor::Handler> handler;
};

// Sees every key event of the application before its receiver does. Qt hands one event to the window
// and then to each widget it propagates to; only its first appearance is dispatched.
class KeyEventFilter : public QObject {
public:
    std::map<EventMonitor::Token, Monitor> monitors;
    EventMonitor::Token next = 1;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return QObject::eventFilter(watched, event);
        const auto* keyEvent = static_cast<const QKeyEvent*>(event);
        const Seen seen{keyEvent, keyEvent->timestamp(), keyEvent->type(), keyEvent->key(), keyEvent->isAutoRepeat()};
        if (seen == m_lastSeen)
            return m_lastSwallowed;
        m_lastSeen = seen;
        const std::optional<Event> converted = Event::fromQt(*event);
        m_lastSwallowed = converted && !EventMonitor::dispatch(*converted);
        return m_lastSwallowed;
    }

private:
    struct Seen {
        const QKeyEvent* event = nullptr;
        quint64 timestamp = 0;
        QEvent::Type type = QEvent::None;
        int key = 0;
        bool autoRepeat = false;
        bool operator==(const Seen&) const = default;
    };
    Seen m_lastSeen;
    bool m_lastSwallowed = false;
};

KeyEventFilter& filter()
{
    static KeyEventFilter instance;
    static QPointer<QCoreApplication> installedOn;
    QCoreApplication* app = QCoreApplication::instance();
    if (app && installedOn != app) {
        app->installEventFilter(&instance);
        installedOn = app;
    }
    return instance;
}

}  // namespace

std::optional<Event> Event::fromQt(const QEvent& event)
{
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease)
        return std::nullopt;
    const auto& keyEvent = static_cast<const QKeyEvent&>(event);
    const bool pressed = event.type() == QEvent::KeyPress;
    Event converted;
    converted.key = keyEvent.key();
    converted.modifierFlags = modifierFlagsFromQt(keyEvent.modifiers());
    // Platforms differ in whether a modifier key's own event already carries its flag; set it plainly.
    if (const std::uint64_t flag = flagOfModifierKey(keyEvent.key())) {
        converted.type = EventType::flagsChanged;
        converted.modifierFlags = pressed ? (converted.modifierFlags | flag) : (converted.modifierFlags & ~flag);
        return converted;
    }
    converted.type = pressed ? EventType::keyDown : EventType::keyUp;
    converted.characters = keyEvent.text();
    return converted;
}

EventMonitor::Token EventMonitor::addLocalMonitorForEventsMatchingMask(std::uint64_t mask, Handler handler)
{
    KeyEventFilter& installed = filter();
    const Token token = installed.next++;
    installed.monitors[token] = Monitor{mask, std::make_shared<Handler>(std::move(handler))};
    return token;
}

void EventMonitor::removeMonitor(Token token)
{
    filter().monitors.erase(token);
}

bool EventMonitor::isInstalled(Token token)
{
    return filter().monitors.count(token) > 0;
}

std::optional<Event> EventMonitor::dispatch(const Event& event)
{
    const std::uint64_t bit = 1ULL << static_cast<int>(event.type);
    // A handler may add or remove monitors: walk a copy.
    std::vector<Monitor> current;
    for (const auto& [token, monitor] : filter().monitors)
        current.push_back(monitor);
    std::optional<Event> passing = event;
    for (const Monitor& monitor : current) {
        if (!(monitor.mask & bit) || !*monitor.handler)
            continue;
        passing = (*monitor.handler)(*passing);
        if (!passing)
            return std::nullopt;
    }
    return passing;
}

}  // namespace hb
