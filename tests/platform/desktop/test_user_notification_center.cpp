#include "PrivateNotificationBus.h"

#include "platform/desktop/UserNotificationCenter.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

const hb::UserNotification cluttered{QStringLiteral("Desktop cluttered"),
                                     QStringLiteral("Use Harbrill to quickly clean up and organize your computer."),
                                     QStringLiteral("Close")};

class UserNotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.ready()) << "no private bus with the test notification server";
        QGuiApplication::setDesktopFileName(QStringLiteral("com.mirelda.Harbrill"));
    }
    void TearDown() override { QGuiApplication::setDesktopFileName({}); }

    PrivateNotificationBus bus;
    hb::UserNotificationCenter center{bus.connection()};
};

TEST_F(UserNotificationCenterTest, PostsSummaryBodyAndButtonToTheServerAndKeepsTheId)
{
    center.scheduleNotification(cluttered);
    ASSERT_TRUE(bus.waitForCalls(QStringLiteral("Notify"), 1));
    const QJsonObject call = bus.calls(QStringLiteral("Notify")).first();
    EXPECT_EQ(call.value("app").toString(), "Harbrill");
    EXPECT_EQ(call.value("icon").toString(), "com.mirelda.Harbrill");
    EXPECT_EQ(call.value("summary").toString(), cluttered.title);
    EXPECT_EQ(call.value("body").toString(), cluttered.informativeText);
    EXPECT_EQ(call.value("actions").toArray(), QJsonArray({"default", "Close"}));
    EXPECT_EQ(call.value("hints").toObject().value("desktop-entry").toString(), "com.mirelda.Harbrill");
    ASSERT_TRUE(waitUntil([&] { return !center.deliveredNotifications().isEmpty(); }));
    EXPECT_EQ(center.deliveredNotifications(), QList<quint32>{quint32(call.value("id").toInt())});
}

TEST_F(UserNotificationCenterTest, RemovingClosesEveryPostedOneAlsoThoseNotAnsweredYet)
{
    center.scheduleNotification(cluttered);
    center.scheduleNotification(cluttered);
    ASSERT_TRUE(waitUntil([&] { return center.deliveredNotifications().size() == 2; }));
    // The third is still on its way to the server when the removal comes.
    center.scheduleNotification(cluttered);
    center.removeAllDeliveredNotifications();
    EXPECT_TRUE(center.deliveredNotifications().isEmpty());
    ASSERT_TRUE(bus.waitForCalls(QStringLiteral("CloseNotification"), 3));
    EXPECT_TRUE(waitUntil([&] { return bus.shown().isEmpty(); }));
    // A later one is kept again.
    center.scheduleNotification(cluttered);
    EXPECT_TRUE(waitUntil([&] { return center.deliveredNotifications().size() == 1; }));
}

TEST_F(UserNotificationCenterTest, ReportsItsOwnActionsAndForgetsWhatTheServerClosed)
{
    QSignalSpy activated(&center, &hb::UserNotificationCenter::didActivateNotification);
    center.scheduleNotification(cluttered);
    ASSERT_TRUE(waitUntil([&] { return center.deliveredNotifications().size() == 1; }));
    const uint id = center.deliveredNotifications().first();

    bus.invokeAction(id + 100, QStringLiteral("default"));  // another program's notification
    bus.invokeAction(id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return activated.size() == 1; }));
    EXPECT_EQ(activated.first().value(0).toUInt(), id);
    EXPECT_EQ(activated.first().value(1).toString(), "default");

    bus.closeOnScreen(id);
    EXPECT_TRUE(waitUntil([&] { return center.deliveredNotifications().isEmpty(); }));
    EXPECT_EQ(activated.size(), 1);
}

QStringList logged;
void recordMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    logged << message;
}

TEST(UserNotificationCenterWithoutServer, LogsThatNothingWasShownAndKeepsNoId)
{
    PrivateNotificationBus bus(false);
    ASSERT_TRUE(bus.busReady());
    hb::UserNotificationCenter center(bus.connection());
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
    center.scheduleNotification(cluttered);
    const bool loggedOnce = waitUntil([] { return logged.filter("Notification not shown").size() == 1; });
    qInstallMessageHandler(previous);
    EXPECT_TRUE(loggedOnce) << logged.join('\n').toStdString();
    EXPECT_TRUE(center.deliveredNotifications().isEmpty());
}

}  // namespace
