#include "mainwindow/HBDesktopReminder.h"

#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/UserNotificationCenter.h"

#include <QDateTime>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {

constexpr qint64 checkInterval = 259200;  // three days, in seconds
constexpr qint64 clutteredAbove = 20;

}  // namespace

HBDesktopReminder::HBDesktopReminder(QObject* parent)
    : QObject(parent), m_userNotificationCenter(&hb::UserNotificationCenter::defaultUserNotificationCenter())
{
}

void HBDesktopReminder::scheduleCheckUp()
{
    const QVariant last = hb::UserDefaults::standard().object(checkDesktopDefaultsKey);
    const QDateTime lastCheck = last.typeId() == QMetaType::QDateTime ? last.toDateTime() : QDateTime();
    const qint64 elapsed = lastCheck.isValid() ? lastCheck.secsTo(QDateTime::currentDateTimeUtc()) : 0;
    if (!lastCheck.isValid() || elapsed > checkInterval) {
        desktopClutter();
        return;
    }
    // The stored time stays that of the last check: a program started more often than every three days
    // must still reach its next check.
    scheduleDesktopCheck(checkInterval - std::max<qint64>(elapsed, 0));
}

void HBDesktopReminder::desktopClutter()
{
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    if (defaults.boolForKey(notificationsActiveDefaultsKey)) {
        const QString home = hb::Locations::userDatabaseHome();
        const hb::URL desktop = hb::URL::fileURLWithPath(hb::Path::join(home, QStringLiteral("Desktop")), true);
        if (home.isEmpty()) {
            HBDebug() << "No home folder for this user: the Desktop is not checked";
        } else if (HBURL::shared().directoryContents(desktop) > clutteredAbove) {
            m_userNotificationCenter->removeAllDeliveredNotifications();
            m_userNotificationCenter->scheduleNotification(
                {QStringLiteral("Desktop cluttered"),
                 QStringLiteral("Use Harbrill to quickly clean up and organize your computer."),
                 QStringLiteral("Close")});
        }
    }
    scheduleDesktopCheck(checkInterval);
    defaults.setObject(checkDesktopDefaultsKey, QDateTime::currentDateTimeUtc());
}

void HBDesktopReminder::scheduleDesktopCheck(qint64 seconds)
{
    // One timer: a new schedule replaces the pending one, so only one chain of checks ever runs.
    if (!m_desktopCheckTimer) {
        m_desktopCheckTimer = new QTimer(this);
        m_desktopCheckTimer->setSingleShot(true);
        m_desktopCheckTimer->setTimerType(Qt::VeryCoarseTimer);
        connect(m_desktopCheckTimer, &QTimer::timeout, this, [this] { desktopClutter(); });
    }
    m_desktopCheckTimer->start(std::chrono::seconds(seconds));
}

QTimer* HBDesktopReminder::desktopCheckTimer() const
{
    return m_desktopCheckTimer;
}
