#include "TestEnvironment.h"

#include "core/hotkey/DDHotKeyCenter.h"
#include "core/store/HBConstants.h"
#include "mainwindow/ViewController.h"
#include "platform/base/NotificationCenter.h"
#include "platform/desktop/HotKey.h"
#include "platform/interface/Alert.h"

namespace {

// The main window opens the browser on "forRecentFiles" and lets it go on its answer.
class RecentPopoverTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::HotKeys::setBackend(std::make_unique<hb::RecordingHotKeyBackend>());
        hb::Alert::setPresenter([](const hb::Alert&) { return int(hb::NSAlertFirstButtonReturn); });
        controller = std::make_unique<ViewController>();
        controller->show();
    }
    void TearDown() override
    {
        controller.reset();
        hb::Alert::setPresenter(nullptr);
        DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
        hb::HotKeys::setBackend(nullptr);
    }
    static void forRecentFiles() { hb::NotificationCenter::defaultCenter().post(forRecentFilesNotification); }

    std::unique_ptr<ViewController> controller;
};

TEST_F(RecentPopoverTest, OneBrowserAtATimeGoneAfterItsAnswer)
{
    forRecentFiles();
    QPointer<RecentViewController> browser = controller->recentFilesViewController();
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->delegate, controller.get());
    ASSERT_TRUE(waitUntil([&] { return browser->isVisible(); }));
    forRecentFiles();
    EXPECT_EQ(controller->recentFilesViewController(), browser);

    const QString file = env.writeFile("home/chosen.txt", "x");
    browser->selectedItemDict.insert(file, hb::URL::fileURLWithPath(file));
    browser->doneButtonClicked();
    EXPECT_FALSE(controller->recentFilesViewController());
    EXPECT_EQ(controller->dataSource(), DataSource::recentFiles);
    EXPECT_TRUE(waitUntil([&] { return browser.isNull(); }));

    forRecentFiles();
    browser = controller->recentFilesViewController();
    ASSERT_TRUE(browser);
    browser->recentCloseButtonClicked();
    EXPECT_FALSE(controller->recentFilesViewController());
    EXPECT_TRUE(waitUntil([&] { return browser.isNull(); }));
}

}  // namespace
