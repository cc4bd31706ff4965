#include "TestEnvironment.h"

#include "core/hotkey/DDHotKeyCenter.h"
#include "core/hotkey/HBHotKeyManage.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "mainwindow/ViewController.h"
#include "mainwindow/controls/HBCustomViews.h"
#include "mainwindow/status/HBHotKeyNotification.h"
#include "mainwindow/status/HBInstallScriptFromTabController.h"
#include "mainwindow/status/HBStatusChooseFolderController.h"
#include "mainwindow/status/HBStatusForSelectFilesController.h"
#include "mainwindow/status/HBStatusTabViewController.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/HotKey.h"
#include "platform/desktop/UserNotificationCenter.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/Alert.h"
#include "platform/interface/LayerAnimation.h"

#include <QLabel>
#include <QPushButton>

namespace {

// The main view controller with its status area, on a folder reachable through a stored bookmark.
class StatusAreaTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        auto recording = std::make_unique<hb::RecordingHotKeyBackend>();
        hotKeys = recording.get();
        hb::HotKeys::setBackend(std::move(recording));
        hb::Alert::setPresenter([](const hb::Alert&) { return hb::NSAlertFirstButtonReturn; });
        work = env.makeFolder(QStringLiteral("work"));
        env.grant(work);
        ASSERT_TRUE(HBURL::shared().bookmark(hb::URL::fileURLWithPath(work, true), false));
        hb::AccessRegistry::resetForTesting();
        controller = std::make_unique<ViewController>();
        controller->hotKeyNotification()->setCenter(&quietNotifications);  // a refused hot key is told to no desktop
        controller->show();
        ASSERT_TRUE(controller->statusTabController());
    }
    void TearDown() override
    {
        controller.reset();
        hb::Alert::setPresenter(nullptr);
        DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
        hb::HotKeys::setBackend(nullptr);
    }
    qsizetype shownTab() const { return controller->statusTabController()->selectedTabViewItemIndex(); }
    template <class Pane>
    Pane& pane(qsizetype index) const
    {
        return *qobject_cast<Pane*>(controller->statusTabController()->viewControllerAtIndex(index));
    }
    void receive(const QStringList& names) const
    {
        QVariantList urls;
        for (const QString& name : names)
            urls << QVariant::fromValue(hb::URL::fileURLWithPath(env.writeFile(QStringLiteral("work/") + name, "x")));
        hb::NotificationCenter::defaultCenter().post(receivedDataNotification, nullptr,
                                                     {{receivedDataUserInfoKey, urls}});
    }

    QString work;
    hb::RecordingHotKeyBackend* hotKeys = nullptr;
    hb::UserNotificationCenter quietNotifications{QDBusConnection(QString())};
    std::unique_ptr<ViewController> controller;
};

TEST_F(StatusAreaTest, TheShownPaneFollowsTheScriptAndTheHeldFiles)
{
    EXPECT_EQ(shownTab(), 2) << "the script is missing";

    pane<HBInstallScriptFromTabController>(2).installButton->click();
    EXPECT_EQ(shownTab(), 0) << "installed from the tab";

    receive({"a.txt", "b.txt"});
    EXPECT_EQ(shownTab(), 1);
    EXPECT_EQ(pane<HBStatusChooseFolderController>(1).fileCountLabel->text(), QStringLiteral("2 selected"));

    pane<HBStatusChooseFolderController>(1).cancelSelectionButton->click();
    EXPECT_EQ(shownTab(), 0) << "the selection was let go";
    EXPECT_FALSE(controller->isDataAvailable());
}

TEST_F(StatusAreaTest, ThePanesThatShowTheHotKeySayWhyItDoesNotWork)
{
    namespace Flag = hb::ModifierFlag;
    HBHotKeyManage& manager = HBHotKeyManage::sharedInstance();
    auto& selectFiles = pane<HBStatusForSelectFilesController>(0);
    auto& noScript = pane<HBInstallScriptFromTabController>(2);
    const auto notices = [&] { return std::pair(selectFiles.hotKeyNotice->text(), noScript.hotKeyNotice->text()); };
    EXPECT_TRUE(selectFiles.hotKeyNotice->isHidden());
    EXPECT_TRUE(noScript.hotKeyNotice->isHidden());

    DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
    hotKeys->refuse(18, Flag::Command);
    hb::UserDefaults::standard().setObject(hotKeyDefaultsKey,
                                           QVariantMap{{"KeyCode", 18}, {"ModifierFlags", qlonglong(Flag::Command)}});
    manager.registerHotKey();
    const QString taken = QStringLiteral("SUPER+1 is taken by another program: click it to record another hot key.");
    EXPECT_EQ(notices(), std::pair(taken, taken));
    EXPECT_FALSE(noScript.hotKeyNotice->isHidden());

    DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
    hotKeys->setUnavailable(true);
    manager.registerHotKey();
    const QString unavailable = QStringLiteral("No global hot key in this session: open Harbrill from its tray icon.");
    EXPECT_EQ(notices(), std::pair(unavailable, unavailable));
    EXPECT_EQ(selectFiles.subText->text(), QStringLiteral("then click the tray icon, or pick recent files"));

    hotKeys->setUnavailable(false);
    EXPECT_FALSE(manager.registerHotKeyWithKeyCode(19, Flag::Command).has_value());
    EXPECT_TRUE(selectFiles.hotKeyNotice->isHidden());
    EXPECT_TRUE(noScript.hotKeyNotice->isHidden());
    EXPECT_EQ(selectFiles.subText->text(), QStringLiteral("then press the hot key, or pick recent files"));
}

// A hand-over that comes while the button is down (a pointer held, or the accessibility press, which
// releases 100 ms later) is not what the person meant to let go.
TEST_F(StatusAreaTest, CancelSelectionLetsGoOnlyOfTheFilesItWasPressedOn)
{
    receive({"a.txt", "b.txt"});
    auto& shown = pane<HBStatusChooseFolderController>(1);
    shown.cancelSelectionButton->animateClick();
    receive({"c.txt"});
    ASSERT_TRUE(waitUntil([&] { return !shown.cancelSelectionButton->isDown(); }));
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(shownTab(), 1);
    EXPECT_TRUE(controller->isDataAvailable());
    EXPECT_EQ(shown.fileCountLabel->text(), QStringLiteral("c.txt"));

    shown.cancelSelectionButton->animateClick();
    ASSERT_TRUE(waitUntil([&] { return !shown.cancelSelectionButton->isDown(); }));
    EXPECT_NE(shownTab(), 1) << "pressed and released on the same files";
    EXPECT_FALSE(controller->isDataAvailable());
}

TEST_F(StatusAreaTest, FilesDroppedOnTheBarBecomeTheHeldFiles)
{
    auto* bar = controller->findChild<HBBottomBarView*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->isAncestorOf(controller->statusTabController()));
    hb::DraggingPasteboard pasteboard;
    pasteboard.writeFileURLs({hb::URL::fileURLWithPath(env.writeFile(QStringLiteral("work/dropped.txt"), "x"))});
    EXPECT_TRUE(bar->performDragOperation(hb::DraggingInfo(pasteboard, hb::NSDragOperationMove, {})));
    EXPECT_EQ(shownTab(), 1);
    EXPECT_EQ(pane<HBStatusChooseFolderController>(1).fileCountLabel->text(), QStringLiteral("dropped.txt"));
}

TEST_F(StatusAreaTest, ATileClickedWithNothingHeldShakesTheStatusLine)
{
    QWidget* line = pane<HBInstallScriptFromTabController>(2).statusLine;
    hb::NotificationCenter::defaultCenter().post(
        destinationSelectedNotification, nullptr,
        {{destinationUserInfoKey, QString()}, {actionUserInfoKey, QStringLiteral("NoneAction")}});
    EXPECT_NE(hb::LayerAnimation::animationForKey(line, QStringLiteral("position.x")), nullptr);
}

}  // namespace
