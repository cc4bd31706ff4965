#include "platform/desktop/UserNotificationCenter.h"

#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>

namespace hb {

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString defaultActionKey = QStringLiteral("default");
constexpr int serverDecidesTimeout = -1;
}  // namespace

UserNotificationCenter& UserNotificationCenter::defaultUserNotificationCenter()
{
    static UserNotificationCenter* center = new UserNotificationCenter();
    return *center;
}

UserNotificationCenter::UserNotificationCenter(const QDBusConnection& connection, QObject* parent)
    : QObject(parent), m_connection(connection)
{
    bus();
}

QDBusConnection& UserNotificationCenter::bus()
{
    if (!m_connection)
        m_connection = QDBusConnection::sessionBus();
    if (!m_subscribed) {
        m_connection->connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                              SLOT(actionInvoked(uint, QString)));
        m_connection->connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                              SLOT(notificationClosed(uint, uint)));
        m_subscribed = true;
    }
    return *m_connection;
}

void UserNotificationCenter::scheduleNotification(const UserNotification& notification)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    QStringList actions;
    if (!notification.otherButtonTitle.isEmpty())
        actions << defaultActionKey << notification.otherButtonTitle;
    // The program's desktop entry names its icon in the theme too.
    const QString desktopEntry = QGuiApplication::desktopFileName();
    QVariantMap hints;
    if (!desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), desktopEntry);
    call << programIdentity().name << quint32(0) << desktopEntry << notification.title << notification.informativeText
         << actions << hints << serverDecidesTimeout;

    auto* watcher = new QDBusPendingCallWatcher(bus().asyncCall(call), this);
    const quint64 generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<quint32> reply = *finished;
        if (reply.isError()) {
            HBDebug() << "Notification not shown: no notification server answered on the bus:" << reply.error().name()
                      << reply.error().message();
            return;
        }
        if (generation != m_generation) {
            closeNotification(reply.value());
            return;
        }
        m_delivered << reply.value();
    });
}

void UserNotificationCenter::removeAllDeliveredNotifications()
{
    ++m_generation;
    const QList<quint32> shown = std::exchange(m_delivered, {});
    for (quint32 id : shown)
        closeNotification(id);
}

void UserNotificationCenter::closeNotification(quint32 id)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("CloseNotification"));
    call << id;
    bus().send(call);
}

void UserNotificationCenter::actionInvoked(uint id, const QString& actionKey)
{
    if (m_delivered.contains(id))
        emit didActivateNotification(id, actionKey);
}

void UserNotificationCenter::notificationClosed(uint id, uint)
{
    m_delivered.removeAll(id);
}

}  // namespace hb
