#include "TestEnvironment.h"
#include "tests/platform/desktop/PrivateNotificationBus.h"

#include "core/hotkey/DDHotKeyCenter.h"
#include "core/hotkey/HBHotKeyManage.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "mainwindow/ViewController.h"
#include "mainwindow/status/HBHotKeyNotification.h"
#include "platform/base/Locations.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/HotKey.h"
#include "platform/desktop/LoginItem.h"
#include "platform/desktop/UserNotificationCenter.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/Alert.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/WindowController.h"
#include "platform/interface/Workspace.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr qint64 threeDaysMs = 259200LL * 1000;

// A controller whose reminders go to a real notification server on a private bus; the Desktop of the
// temporary home is covered by a stored bookmark. Alerts and opened URLs are recorded.
class ViewControllerServicesTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.ready()) << "no private bus with the test notification server";
        m_path = qgetenv("PATH");
        auto recording = std::make_unique<hb::RecordingHotKeyBackend>();
        hotKeys = recording.get();
        hb::HotKeys::setBackend(std::move(recording));
        hb::Alert::setPresenter([this](const hb::Alert& alert) {
            alerts << (alert.messageText + QLatin1Char('|') + alert.informativeText);
            return int(hb::NSAlertFirstButtonReturn);
        });
        hb::Workspace::setOpener([this](const QUrl& url) {
            opened << url;
            return true;
        });
        desktop = env.makeFolder(QStringLiteral("home/Desktop"));
        env.grant(desktop);
        ASSERT_TRUE(HBURL::shared().bookmark(hb::URL::fileURLWithPath(desktop, true), false));
        hb::AccessRegistry::resetForTesting();
        hb::UserDefaults::standard().setBool(notificationsActiveDefaultsKey, true);
    }
    void TearDown() override
    {
        controller.reset();
        qputenv("PATH", m_path);
        hb::Workspace::setOpener(nullptr);
        hb::Alert::setPresenter(nullptr);
        DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
        hb::HotKeys::setBackend(nullptr);
    }

    void start()
    {
        controller = std::make_unique<ViewController>();
        controller->setUserNotificationCenter(&center);
        controller->hotKeyNotification()->setCenter(&hotKeyCenter);
        controller->show();
    }
    // Desktop entries up to `count`, a hidden one among them.
    void fillDesktop(int count) const
    {
        for (int i = int(QDir(desktop).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size());
             i < count; ++i)
            env.writeFile(QStringLiteral("home/Desktop/") + (i == 0 ? QStringLiteral(".hidden") : QString::number(i)),
                          "x");
    }
    static QVariant lastCheck() { return hb::UserDefaults::standard().object(checkDesktopDefaultsKey); }
    // The reminder timers of the controller that are waiting.
    QList<QTimer*> pendingChecks() const
    {
        QList<QTimer*> pending;
        for (QTimer* timer : controller->findChildren<QTimer*>()) {
            if (timer->isActive() && timer->interval() >= 3600 * 1000)
                pending << timer;
        }
        return pending;
    }
    QAction* menuItem(const QString& text) const
    {
        for (QAction* action : controller->settingsMenu()->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }
    // Opens and closes the settings menu as a person would glance at it.
    bool startAtLoginShownOn() const
    {
        controller->settingsMenu()->popup(controller->settingsButton()->mapToGlobal(QPoint()));
        const bool checked = controller->startAtLoginItem()->isChecked();
        controller->settingsMenu()->hide();
        return checked;
    }
    void installLoginHelper() const
    {
        const QString helper = env.writeFile(QStringLiteral("bin/harbrill-helper"), "#!/bin/sh\n");
        QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", (env.root() + QStringLiteral("/bin:/usr/bin:/bin")).toUtf8());
    }

    PrivateNotificationBus bus;
    hb::UserNotificationCenter center{bus.connection()};
    hb::UserNotificationCenter hotKeyCenter{bus.connection()};
    hb::RecordingHotKeyBackend* hotKeys = nullptr;
    std::unique_ptr<ViewController> controller;
    QString desktop;
    QStringList alerts;
    QList<QUrl> opened;
    QByteArray m_path;
};

TEST_F(ViewControllerServicesTest, TheLastCheckDecidesWhetherTheDesktopIsCheckedAtStartAndWhenNext)
{
    fillDesktop(21);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    struct Case {
        const char* name;
        QVariant stored;
        bool checkedAtStart;
        qint64 nextInMs;
    };
    const Case cases[] = {
        {"never", QVariant(), true, threeDaysMs},
        {"not a date", QStringLiteral("yesterday"), true, threeDaysMs},
        {"10 hours ago", now.addSecs(-10 * 3600), false, 62LL * 3600 * 1000},
        {"4 days ago", now.addDays(-4), true, threeDaysMs},
        {"a day ahead (the clock went back)", now.addDays(1), false, threeDaysMs},
    };
    qsizetype reminders = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hb::UserDefaults::standard().setObject(checkDesktopDefaultsKey, c.stored);
        start();
        ASSERT_TRUE(controller->desktopCheckTimer());
        EXPECT_EQ(pendingChecks(), QList<QTimer*>{controller->desktopCheckTimer()});
        EXPECT_LE(controller->desktopCheckTimer()->interval(), c.nextInMs);
        EXPECT_GT(controller->desktopCheckTimer()->interval(), c.nextInMs - 60 * 1000);
        if (c.checkedAtStart) {
            EXPECT_LE(std::abs(lastCheck().toDateTime().secsTo(now)), 60) << "the check's own time is kept";
            EXPECT_TRUE(bus.waitForCalls(QStringLiteral("Notify"), ++reminders));
        } else {
            // The last check's time stays, so starting again every few hours never pushes the check away.
            EXPECT_EQ(lastCheck(), c.stored);
        }
    }
    EXPECT_EQ(bus.calls(QStringLiteral("Notify")).size(), reminders);
}

TEST_F(ViewControllerServicesTest, MoreThanTwentyEntriesBringOneReminderThatReplacesTheLastOne)
{
    fillDesktop(20);
    start();  // never checked: checks at once
    ASSERT_TRUE(lastCheck().isValid());
    fillDesktop(21);
    controller->desktopClutter();
    ASSERT_TRUE(bus.waitForCalls(QStringLiteral("Notify"), 1));
    const QJsonObject first = bus.calls(QStringLiteral("Notify")).first();
    EXPECT_EQ(first.value("summary").toString(), "Desktop cluttered");
    EXPECT_EQ(first.value("body").toString(), "Use Harbrill to quickly clean up and organize your computer.");
    EXPECT_EQ(first.value("actions").toVariant().toStringList(), (QStringList{"default", "Close"}));
    ASSERT_TRUE(waitUntil([&] { return center.deliveredNotifications().size() == 1; }));

    controller->desktopClutter();
    ASSERT_TRUE(bus.waitForCalls(QStringLiteral("Notify"), 2));
    ASSERT_TRUE(waitUntil([&] { return bus.shown().size() == 1; }));
    EXPECT_EQ(bus.shown(), QList<uint>{uint(bus.calls(QStringLiteral("Notify")).last().value("id").toInt())});
    EXPECT_EQ(bus.calls(QStringLiteral("Notify")).size(), 2) << "20 entries gave a reminder";
}

TEST_F(ViewControllerServicesTest, WithRemindersOffTheChainGoesOnWithoutCounting)
{
    fillDesktop(30);
    hb::UserDefaults::standard().setBool(notificationsActiveDefaultsKey, false);
    start();
    ASSERT_TRUE(lastCheck().isValid());
    EXPECT_EQ(pendingChecks().size(), 1);
    hb::UserDefaults::standard().setBool(notificationsActiveDefaultsKey, true);
    controller->desktopClutter();
    ASSERT_TRUE(bus.waitForCalls(QStringLiteral("Notify"), 1));
    EXPECT_EQ(bus.calls(QStringLiteral("Notify")).size(), 1) << "a reminder came while they were off";
}

TEST_F(ViewControllerServicesTest, OneChainOfChecksHowEverOftenTheyRun)
{
    start();
    for (int i = 0; i < 3; ++i)
        controller->desktopClutter();
    controller->scheduleCheckUp();
    EXPECT_EQ(pendingChecks(), QList<QTimer*>{controller->desktopCheckTimer()});
}

TEST_F(ViewControllerServicesTest, StartAtLoginShowsWhetherTheEntryIsThereAndSaysWhyItFailed)
{
    installLoginHelper();
    start();
    const QString entry = hb::LoginItem::entryPath(helperBundleIdentifier);
    EXPECT_FALSE(startAtLoginShownOn());

    controller->startAtLoginItem()->trigger();
    EXPECT_TRUE(QFileInfo::exists(entry));
    EXPECT_TRUE(controller->startAtLoginItem()->isChecked());
    QFile::remove(entry);  // removed by another program
    EXPECT_FALSE(startAtLoginShownOn());
    controller->startAtLoginItem()->trigger();
    controller->startAtLoginItem()->trigger();
    EXPECT_FALSE(QFileInfo::exists(entry));
    EXPECT_FALSE(controller->startAtLoginItem()->isChecked());
    EXPECT_TRUE(alerts.isEmpty());

    qputenv("PATH", "/nonexistent");
    controller->startAtLoginItem()->trigger();
    EXPECT_FALSE(QFileInfo::exists(entry));
    EXPECT_FALSE(controller->startAtLoginItem()->isChecked());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Harbrill cannot start at login|")) << alerts[0].toStdString();
    EXPECT_TRUE(alerts[0].contains("harbrill-helper")) << alerts[0].toStdString();
}

TEST_F(ViewControllerServicesTest, TheSettingsMenuLaunchesSupportMailAndTheScriptsFolder)
{
    start();
    EXPECT_EQ(controller->settingsButton()->accessibleName(), "Settings");
    QStringList texts;
    for (QAction* action : controller->settingsMenu()->actions())
        texts << action->text();
    EXPECT_EQ(texts, (QStringList{"Start at Login", "", "About Harbrill", "Contact Support", "Open Scripts Folder"}));

    menuItem("Contact Support")->trigger();
    menuItem("Open Scripts Folder")->trigger();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].toString(QUrl::FullyEncoded), "mailto:support@mirelda.com?subject=Need%20Harbrill%20help");
    EXPECT_EQ(hb::URL::fromQUrl(opened[1]).path(), hb::Locations::applicationScriptsDirectory());
    EXPECT_TRUE(QFileInfo(hb::Locations::applicationScriptsDirectory()).isDir());

    // Without its scene the about box is simply not there.
    menuItem("About Harbrill")->trigger();
    EXPECT_FALSE(controller->aboutWindowController());
}

TEST_F(ViewControllerServicesTest, TheStoryboardsMenuActionsJoinTheSettingsMenu)
{
    hb::StoryboardRegistry::registerScene(QStringLiteral("Main"), QStringLiteral("MenuActions"), [] {
        auto menu = std::make_unique<QMenu>();
        menu->addAction(QStringLiteral("Send Feedback…"));
        menu->addAction(QStringLiteral("Check for Updates…"));
        return std::unique_ptr<QObject>(menu.release());
    });
    start();
    hb::StoryboardRegistry::unregisterScene(QStringLiteral("Main"), QStringLiteral("MenuActions"));
    const QList<QAction*> actions = controller->settingsMenu()->actions();
    ASSERT_EQ(actions.size(), 8);
    EXPECT_TRUE(actions[5]->isSeparator());
    EXPECT_EQ(actions[6]->text(), "Send Feedback…");
    EXPECT_EQ(actions[7]->text(), "Check for Updates…");
}

TEST_F(ViewControllerServicesTest, EachAboutRequestMakesANewBoxThatGoesWhenTheProgramResigns)
{
    hb::StoryboardRegistry::registerScene(QStringLiteral("HBAboutStoryBoard"), QStringLiteral("AboutBox"),
                                          [] { return std::make_unique<hb::WindowController>(); });
    start();
    controller->showAboutBox();
    ASSERT_TRUE(controller->aboutWindowController());
    QPointer<hb::Window> first = controller->aboutWindowController()->window();
    EXPECT_TRUE(first->isVisible());
    controller->showAboutBox();
    EXPECT_FALSE(first) << "the previous box stays open beside the new one";
    EXPECT_TRUE(controller->aboutWindowController()->window()->isVisible());

    hb::NotificationCenter::defaultCenter().post(willResignActiveNotification);
    EXPECT_FALSE(controller->aboutWindowController());
    hb::StoryboardRegistry::unregisterScene(QStringLiteral("HBAboutStoryBoard"), QStringLiteral("AboutBox"));
}

TEST_F(ViewControllerServicesTest, AddingTheHotKeyAgainKeepsOneHandler)
{
    start();
    controller->addHotKey();
    // The handler of an earlier call, were it still there, would run before this observer.
    bool handledBefore = false;
    hb::NotificationCenter::defaultCenter().addObserver(
        this, hotKeyFiredNotification, nullptr,
        [&](const hb::Notification&) { handledBefore = controller->hotKeyPressed(); });
    controller->addHotKey();
    hb::NotificationCenter::defaultCenter().post(hotKeyFiredNotification);
    hb::NotificationCenter::defaultCenter().removeObserver(this);
    EXPECT_FALSE(handledBefore);
    EXPECT_TRUE(controller->hotKeyPressed());
}

TEST_F(ViewControllerServicesTest, AHotKeyTakenAtStartIsToldAtOnceAndTheNotificationGoesWhenAnotherIsInForce)
{
    namespace Flag = hb::ModifierFlag;
    hb::UserDefaults::standard().setObject(hotKeyDefaultsKey,
                                           QVariantMap{{"KeyCode", 18}, {"ModifierFlags", qlonglong(Flag::Command)}});
    hotKeys->refuse(18, Flag::Command);
    start();
    ASSERT_TRUE(bus.waitForCalls(QStringLiteral("Notify"), 1));
    const QJsonObject note = bus.calls(QStringLiteral("Notify")).first();
    const uint id = uint(note.value("id").toInt());
    EXPECT_EQ(note.value("summary").toString(), "Hot key SUPER+1 is taken");
    EXPECT_EQ(note.value("body").toString(),
              "Another program already uses SUPER+1, so it cannot open Harbrill. Click the "
              "hot key in Harbrill's window to record another.");
    EXPECT_EQ(note.value("actions").toVariant().toStringList(), (QStringList{"default", "Open Harbrill"}));
    ASSERT_TRUE(waitUntil([&] { return hotKeyCenter.deliveredNotifications() == QList<quint32>{id}; }));

    // The Desktop reminder takes down only its own notifications.
    fillDesktop(21);
    controller->desktopClutter();
    ASSERT_TRUE(bus.waitForCalls(QStringLiteral("Notify"), 2));
    EXPECT_TRUE(bus.shown().contains(id));

    // Its button brings the window forward.
    controller->hide();
    bus.invokeAction(id, QStringLiteral("default"));
    EXPECT_TRUE(waitUntil([&] { return controller->isVisible(); }));

    // A combination in force takes it down; it is not told again.
    EXPECT_FALSE(HBHotKeyManage::sharedInstance().registerHotKeyWithKeyCode(19, Flag::Command).has_value());
    ASSERT_TRUE(waitUntil([&] { return !bus.shown().contains(id); }));
    EXPECT_EQ(bus.calls(QStringLiteral("Notify")).size(), 2);
}

}  // namespace
