#include "mainwindow/status/HBHotKeyNotification.h"

#include "core/hotkey/HBHotKeyManage.h"
#include "platform/desktop/UserNotificationCenter.h"

#include <QDBusConnection>

HBHotKeyNotification::HBHotKeyNotification(std::function<void()> bringForward, QObject* parent)
    : QObject(parent), m_bringForward(std::move(bringForward))
{
    connect(&HBHotKeyManage::sharedInstance(), &HBHotKeyManage::stateChanged, this, [this] { stateChanged(); });
}

void HBHotKeyNotification::setCenter(hb::UserNotificationCenter* center)
{
    if (m_center)
        disconnect(m_center, nullptr, this, nullptr);
    m_center = center;
    if (m_center)
        connect(m_center, &hb::UserNotificationCenter::didActivateNotification, this, [this] {
            if (m_bringForward)
                m_bringForward();
        });
}

hb::UserNotificationCenter& HBHotKeyNotification::center()
{
    if (!m_center)
        setCenter(new hb::UserNotificationCenter(QDBusConnection::sessionBus(), this));
    return *m_center;
}

void HBHotKeyNotification::stateChanged()
{
    const HBHotKeyState& state = HBHotKeyManage::sharedInstance().state();
    if (state.kind == HBHotKeyState::Kind::taken) {
        const std::pair<std::uint16_t, std::uint64_t> combination{state.keyCode, state.modifierFlags};
        if (m_shownFor == combination)
            return;
        center().removeAllDeliveredNotifications();
        center().scheduleNotification(
            {HBHotKeyMessages::takenTitle(state), HBHotKeyMessages::takenBody(state), HBHotKeyMessages::takenButton});
        m_shownFor = combination;
    } else if (m_shownFor && state.kind == HBHotKeyState::Kind::inForce) {
        center().removeAllDeliveredNotifications();
        m_shownFor.reset();
    }
}
