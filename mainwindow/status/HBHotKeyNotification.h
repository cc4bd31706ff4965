#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace hb {
class UserNotificationCenter;
}

// Tells the person at once, in a desktop notification, that another program holds the hot key's
// combination (the hot key then never fires, so nothing else would show it): which combination, and
// that a click on the hot key in the window records another. The notification goes once a combination
// is in force again; its button brings the window forward.
class HBHotKeyNotification : public QObject {
    Q_OBJECT
public:
    explicit HBHotKeyNotification(std::function<void()> bringForward, QObject* parent = nullptr);

    // Where notifications go: a centre of its own on the session bus unless one is given (so the
    // Desktop reminder, which takes its own notifications down, leaves this one alone).
    void setCenter(hb::UserNotificationCenter* center);

private:
    hb::UserNotificationCenter& center();
    void stateChanged();

    std::function<void()> m_bringForward;
    QPointer<hb::UserNotificationCenter> m_center;
    // The combination the notification on screen is about.
    std::optional<std::pair<std::uint16_t, std::uint64_t>> m_shownFor;
};
