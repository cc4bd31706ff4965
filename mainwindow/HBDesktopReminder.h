#pragma once

#include <QObject>
#include <QPointer>

class QTimer;
namespace hb {
class UserNotificationCenter;
}

// Reminds of a cluttered Desktop every three days, counted from the last check ("checkDesktop"), with a
// notification while "notificationsActive" is on. One pending one-shot timer: each check schedules the
// next. Main thread only.
class HBDesktopReminder : public QObject {
    Q_OBJECT
public:
    explicit HBDesktopReminder(QObject* parent = nullptr);

    // Where the reminder goes: the desktop's notification server unless another is given.
    void setUserNotificationCenter(hb::UserNotificationCenter* center) { m_userNotificationCenter = center; }
    QTimer* desktopCheckTimer() const;

    // Checks now when the last check is more than three days ago (or unknown), else schedules the next.
    void scheduleCheckUp();
    // Reminds of a Desktop of more than 20 entries; schedules the next check.
    void desktopClutter();

private:
    void scheduleDesktopCheck(qint64 seconds);

    hb::UserNotificationCenter* m_userNotificationCenter;
    QPointer<QTimer> m_desktopCheckTimer;
};
