#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace hb {

// What a desktop notification shows: a summary, a body and one button.
struct UserNotification {
    QString title;
    QString informativeText;
    QString otherButtonTitle;
};

// Desktop notifications through the org.freedesktop.Notifications server on a bus. The ids of the
// notifications this program posted are kept until the server reports them closed, so they can be
// taken down again. Without a server a notification is logged as not shown; nothing else fails.
// Main thread only.
class UserNotificationCenter : public QObject {
    Q_OBJECT
public:
    // The centre on the session bus, which it reaches only when it first has something to show.
    static UserNotificationCenter& defaultUserNotificationCenter();

    explicit UserNotificationCenter(const QDBusConnection& connection, QObject* parent = nullptr);

    // Shows the notification now.
    void scheduleNotification(const UserNotification& notification);
    // Closes every notification of this program still shown, also those whose id the server has not
    // answered yet.
    void removeAllDeliveredNotifications();
    QList<quint32> deliveredNotifications() const { return m_delivered; }

signals:
    // The user chose an action of a notification of ours ("default" is its button).
    void didActivateNotification(quint32 id, const QString& actionKey);

private slots:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    UserNotificationCenter() = default;
    QDBusConnection& bus();
    void closeNotification(quint32 id);

    std::optional<QDBusConnection> m_connection;
    bool m_subscribed = false;
    QList<quint32> m_delivered;
    // Bumped by every removal: a post answered after a removal that followed it is closed at once.
    quint64 m_generation = 0;
};

}  // namespace hb
