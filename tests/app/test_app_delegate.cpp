#include "app/AppDelegate.h"

#include "app/firstlaunch/HBPageViewController.h"
#include "core/store/HBConstants.h"
#include "mainwindow/ViewController.h"
#include "mainwindow/controls/HBWindowController.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/Alert.h"
#include "platform/interface/Application.h"

#include "TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QScopeGuard>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class AppDelegateTest : public HarbrillTest {
protected:
    void TearDown() override
    {
        hb::NotificationCenter::defaultCenter().removeObserver(this);
        delegate.reset();
        for (QWidget* widget : QApplication::topLevelWidgets())
            widget->hide();
    }
    void launch(bool setUpComplete)
    {
        hb::UserDefaults::standard().setBool(setupCompleteDefaultsKey, setUpComplete);
        delegate = std::make_unique<AppDelegate>();
        delegate->applicationDidFinishLaunching();
        ASSERT_TRUE(delegate->windowController);
        ASSERT_TRUE(delegate->window);
    }
    QStringList observe(const QStringList& names)
    {
        for (const QString& name : names)
            hb::NotificationCenter::defaultCenter().addObserver(
                this, name, nullptr, [this](const hb::Notification& n) { posted << n.name; });
        return {};
    }

    std::unique_ptr<AppDelegate> delegate;
    QStringList posted;
};

TEST_F(AppDelegateTest, RegisteredDefaultsApplyOnlyWhereTheUserHasNoValue)
{
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    defaults.setBool(playSoundEffectsDefaultsKey, false);
    defaults.setBool(hideExternalDrivesDefaultsKey, true);
    launch(true);

    EXPECT_FALSE(defaults.boolForKey(playSoundEffectsDefaultsKey));
    EXPECT_TRUE(defaults.boolForKey(hideExternalDrivesDefaultsKey));
    const QVariantMap registered = AppDelegate::registeredDefaults();
    EXPECT_EQ(registered.size(), 9);
    for (const QString& key : {scriptInstalledDefaultsKey, initialToolTipDelayDefaultsKey, scriptRunDefaultsKey,
                               notificationsActiveDefaultsKey, firstRunDefaultsKey, launchAtLoginDefaultsKey})
        EXPECT_EQ(defaults.object(key), registered.value(key)) << key.toStdString();
    EXPECT_EQ(defaults.integerForKey(initialToolTipDelayDefaultsKey), 5);
}

TEST_F(AppDelegateTest, AfterSetUpTheMainControllerWaitsInAHiddenWindowUntilTheTrayItemIsClicked)
{
    launch(true);
    EXPECT_TRUE(delegate->mainViewController);
    EXPECT_EQ(delegate->windowController->contentViewController(), delegate->mainViewController.data());
    EXPECT_FALSE(delegate->window->isVisible());

    delegate->hbStatusItem.performClick();
    EXPECT_TRUE(delegate->window->isVisible());
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == delegate->window.data(); }));

    // Already active, and the window behind another of ours: a click still brings it forward.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &other; }));
    delegate->statusClicked();
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == delegate->window.data(); }));
}

TEST_F(AppDelegateTest, FirstLaunchShowsThePagesAndEndingSetUpSwapsInTheMainControllerInTheSameWindow)
{
    launch(false);
    EXPECT_TRUE(delegate->setupViewController);
    EXPECT_FALSE(delegate->mainViewController);
    EXPECT_TRUE(delegate->window->isVisible());
    hb::Window* window = delegate->window;

    hb::NotificationCenter::defaultCenter().post(setupCompleteNotification);
    EXPECT_FALSE(delegate->setupViewController);
    ASSERT_TRUE(delegate->mainViewController);
    EXPECT_EQ(delegate->windowController->contentViewController(), delegate->mainViewController.data());
    EXPECT_EQ(delegate->window.data(), window);
    EXPECT_TRUE(window->isVisible());

    hb::NotificationCenter::defaultCenter().post(setupCompleteNotification);
    EXPECT_EQ(delegate->windowController->contentViewController(), delegate->mainViewController.data())
        << "a second notification is not listened to";
}

// During first launch nothing would act on the files: the request is refused, not lost.
TEST_F(AppDelegateTest, ServiceRequestsAreRefusedUntilSetUpIsCompleteAndHandedOnAfter)
{
    launch(false);
    observe({receivedDataNotification});
    const QString file = env.writeFile("files/a.txt", "a");
    hb::Pasteboard pasteboard = hb::Pasteboard::withFileURLs({hb::URL::fileURLWithPath(file)});
    hb::ServiceAnswer answer{true, {}};
    EXPECT_TRUE(delegate->performService("moveHarbrill", pasteboard, {}, answer));
    EXPECT_FALSE(answer.ok);
    EXPECT_TRUE(answer.text.contains("not set up yet")) << answer.text.toStdString();
    EXPECT_TRUE(posted.isEmpty());

    hb::NotificationCenter::defaultCenter().post(setupCompleteNotification);
    answer = {};
    EXPECT_TRUE(delegate->performService("moveHarbrill", pasteboard, {}, answer));
    EXPECT_EQ(posted, QStringList({receivedDataNotification}));
    // Handed on: the answer is the main controller's (the file lies outside every granted folder).
    EXPECT_TRUE(answer.text.startsWith("Harbrill took 0 of the 1 items")) << answer.text.toStdString();
    EXPECT_FALSE(delegate->performService("deleteEverything", pasteboard, {}, answer));
}

TEST_F(AppDelegateTest, ActivationChangesAreForwardedAndResigningHidesEveryWindow)
{
    launch(true);
    observe({willBecomeActiveNotification, didBecomeActiveNotification, willResignActiveNotification});
    delegate->statusClicked();
    QWidget other;
    other.show();

    delegate->applicationWillBecomeActive();
    delegate->applicationDidBecomeActive();
    delegate->applicationWillResignActive();
    EXPECT_FALSE(delegate->window->isVisible());
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(posted,
              QStringList({willBecomeActiveNotification, didBecomeActiveNotification, willResignActiveNotification}));
}

// A settings file and a destinations file cut short (a full disk, a crash while another program wrote
// them): the person is told once, in words, what was kept where and what starts anew.
TEST_F(AppDelegateTest, DamagedSettingsAndDestinationsFilesAreToldOnceWithWhereTheyAreKept)
{
    QStringList told;
    hb::Alert::setPresenter([&](const hb::Alert& alert) {
        if (alert.messageText.startsWith("Harbrill could not read"))
            told << alert.messageText + u'\n' + alert.informativeText;
        return int(hb::NSAlertFirstButtonReturn);
    });
    const auto restore = qScopeGuard([] { hb::Alert::setPresenter(nullptr); });
    const QString settings = env.writeFile("config/harbrill/com.mirelda.Harbrill.json", "{\"SETUPCOMPLETE\": {\"ty");
    const QString folders = env.writeFile("config/harbrill/" + locationsSuiteName + ".json", "\x01\x02garbage");
    hb::UserDefaults::resetSharedInstances();
    launch(true);
    ASSERT_TRUE(waitUntil([&] { return !told.isEmpty(); }));
    waitUntil([] { return false; }, 300);
    ASSERT_EQ(told.size(), 1) << told.join("\n---\n").toStdString();
    const QString text = told.first();
    EXPECT_TRUE(text.startsWith("Harbrill could not read its settings and your folders\n")) << text.toStdString();
    const QStringList kept = QDir(env.root() + "/config/harbrill").entryList({"*.corrupt-*"}, QDir::Files, QDir::Name);
    ASSERT_EQ(kept.size(), 2);
    for (const QString& name : kept)
        EXPECT_TRUE(text.contains(env.root() + "/config/harbrill/" + name)) << text.toStdString();
    for (const QString& path : {settings, folders})
        EXPECT_TRUE(text.contains("The file " + path + " was damaged")) << text.toStdString();
    EXPECT_TRUE(text.contains("Harbrill's settings were reset")) << text.toStdString();
    EXPECT_TRUE(text.contains("Your list of favourite folders was reset.")) << text.toStdString();

    // The next start reads the files written since: nothing more to tell.
    delegate.reset();
    hb::UserDefaults::resetSharedInstances();
    launch(true);
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(told.size(), 1) << told.join("\n---\n").toStdString();
}

TEST_F(AppDelegateTest, QuitInTheTrayMenuEndsTheProgramWhenNoShiftRuns)
{
    launch(true);
    QAction* quit = nullptr;
    for (QAction* action : delegate->hbStatusItem.menu()->actions()) {
        if (action->text() == "Quit Harbrill")
            quit = action;
    }
    ASSERT_TRUE(quit);
    QSignalSpy terminated(&hb::Application::shared(), &hb::Application::didTerminate);
    quit->trigger();
    EXPECT_EQ(terminated.count(), 1);
}

}  // namespace
