#include "app/firstlaunch/HBFirstLaunchController.h"
#include "app/firstlaunch/HBFirstLaunchFeaturesPage.h"
#include "app/firstlaunch/HBFirstLaunchSecondVideoController.h"
#include "app/firstlaunch/HBPageViewController.h"
#include "app/firstlaunch/HBViewControllerNavigation.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/OpenPanel.h"
#include "platform/interface/StoryboardRegistry.h"

#include "TestEnvironment.h"

#include <QLabel>
#include <QMediaPlayer>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<HBPageViewController> makePages()
{
    std::optional<hb::Storyboard> main = hb::Storyboard::storyboardWithName("Main");
    if (!main)
        return nullptr;
    std::unique_ptr<HBPageViewController> pages = main->instantiateController<HBPageViewController>(
        "PageViewController");
    if (pages) {
        pages->linkData();
        pages->resize(600, 460);
        pages->show();
    }
    return pages;
}

QString pageClass(HBPageViewController& pages)
{
    hb::ViewController* page = pages.selectedViewController();
    return page ? page->metaObject()->className() : QString();
}

QPushButton* buttonNamed(QWidget* page, const QString& name)
{
    for (QPushButton* button : page->findChildren<QPushButton*>()) {
        if (button->accessibleName() == name && button->isVisible())
            return button;
    }
    return nullptr;
}

void post(const QString& name)
{
    hb::NotificationCenter::defaultCenter().post(name);
}

class FirstLaunchTest : public HarbrillTest {
protected:
    void TearDown() override { hb::OpenPanel::setPresenter(nullptr); }
};

TEST_F(FirstLaunchTest, PagesTurnOnlyThroughTheirNotificationsFromTheFirstToTheHomeFolderPage)
{
    std::unique_ptr<HBPageViewController> pages = makePages();
    ASSERT_TRUE(pages);
    EXPECT_EQ(pageClass(*pages), "HBFirstLaunchVideoController");

    QWheelEvent wheel(QPointF(100, 100), QPointF(100, 100), QPoint(0, -120), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(pages.get(), &wheel);
    EXPECT_EQ(pages->selectedIndex(), 0) << "scrolling never turns a page";

    const QStringList expected{"HBFirstLaunchFeaturesPage", "HBFirstLaunchSecondVideoController",
                               "HBFirstLaunchScriptInstall", "HBFirstLaunchController"};
    for (const QString& page : expected) {
        post(nextControllerNotification);
        EXPECT_EQ(pageClass(*pages), page);
    }
    post(nextControllerNotification);
    EXPECT_EQ(pageClass(*pages), "HBFirstLaunchController") << "the last page stays";
    post(backControllerNotification);
    EXPECT_EQ(pageClass(*pages), "HBFirstLaunchScriptInstall");
}

// The program hides its windows whenever it resigns; the pages must still turn when they are back.
TEST_F(FirstLaunchTest, HiddenPagesDoNotTurnAndTurnAgainOnceShown)
{
    std::unique_ptr<HBPageViewController> pages = makePages();
    ASSERT_TRUE(pages);
    pages->hide();
    post(nextControllerNotification);
    EXPECT_EQ(pages->selectedIndex(), 0);
    pages->show();
    post(nextControllerNotification);
    EXPECT_EQ(pages->selectedIndex(), 1);
}

TEST_F(FirstLaunchTest, EveryPageIsWalkedWithItsNamedButtons)
{
    std::unique_ptr<HBPageViewController> pages = makePages();
    ASSERT_TRUE(pages);
    const QStringList names{"Next", "Next", "Next", "Next", "Back"};
    const qsizetype after[] = {1, 2, 3, 4, 3};
    for (qsizetype i = 0; i < names.size(); ++i) {
        QPushButton* button = buttonNamed(pages->selectedViewController(), names[i]);
        ASSERT_TRUE(button) << "page " << i << " has no button " << names[i].toStdString();
        const qsizetype before = pages->selectedIndex();
        button->click();
        EXPECT_EQ(pages->selectedIndex(), before) << "pages turn only after the button's handler has returned";
        ASSERT_TRUE(waitUntil([&] { return pages->selectedIndex() == after[i]; }));
    }
    EXPECT_TRUE(buttonNamed(pages->selectedViewController(), "Install Script"));
    EXPECT_TRUE(buttonNamed(pages->selectedViewController(), "Open Scripts Folder"));
}

TEST_F(FirstLaunchTest, AVideoPlaysFromTheStartEachTimeItsPageIsReachedAndPausesWhenLeft)
{
    std::unique_ptr<HBPageViewController> pages = makePages();
    ASSERT_TRUE(pages);
    post(nextControllerNotification);
    auto* features = qobject_cast<HBFirstLaunchFeaturesPage*>(pages->selectedViewController());
    ASSERT_TRUE(features);
    if (!features->playerView || !features->playerView->player())
        GTEST_SKIP() << "no bundled video in this build";
    hb::Player* player = features->playerView->player();
    ASSERT_TRUE(waitUntil([&] { return player->mediaPlayer()->position() > 300; }, 60000));

    post(nextControllerNotification);
    EXPECT_EQ(player->rate(), 0);
    post(backControllerNotification);
    EXPECT_LT(player->mediaPlayer()->position(), 300) << "back at the start";
    EXPECT_GT(player->rate(), 0);
}

// Pages are told they are left before the next one is told it is reached.
class RecordingPage : public hb::ViewController, public HBViewControllerNavigation {
public:
    static QStringList& log()
    {
        static QStringList calls;
        return calls;
    }
    void appear() override { log() << "appear " + objectName(); }
    void disappear() override { log() << "disappear " + objectName(); }
};

TEST_F(FirstLaunchTest, TheLeftPageDisappearsBeforeTheReachedOneAppears)
{
    for (const QString id : {"2", "3"}) {
        hb::StoryboardRegistry::registerScene("HBFirstLaunch", id, [id] {
            auto page = std::make_unique<RecordingPage>();
            page->setObjectName(id);
            return std::unique_ptr<QObject>(page.release());
        });
    }
    RecordingPage::log().clear();
    {
        std::unique_ptr<HBPageViewController> pages = makePages();
        ASSERT_TRUE(pages);
        post(nextControllerNotification);
        post(nextControllerNotification);
        post(backControllerNotification);
    }
    // Put the real pages back for the other tests.
    hb::StoryboardRegistry::registerScene("HBFirstLaunch", "2", [] {
        return std::unique_ptr<QObject>(std::make_unique<HBFirstLaunchFeaturesPage>().release());
    });
    hb::StoryboardRegistry::registerScene("HBFirstLaunch", "3", [] {
        return std::unique_ptr<QObject>(std::make_unique<HBFirstLaunchSecondVideoController>().release());
    });
    EXPECT_EQ(RecordingPage::log(), QStringList({"appear 2", "disappear 2", "appear 3", "disappear 3", "appear 2"}));
}

class HomeFolderPageTest : public FirstLaunchTest {
protected:
    void SetUp() override
    {
        page.loadViewIfNeeded();
        page.show();
        hb::NotificationCenter::defaultCenter().addObserver(this, setupCompleteNotification, nullptr,
                                                            [this](const hb::Notification&) { ++completions; });
    }
    void TearDown() override
    {
        hb::NotificationCenter::defaultCenter().removeObserver(this);
        FirstLaunchTest::TearDown();
    }
    void answer(std::optional<QString> path)
    {
        hb::OpenPanel::setPresenter([this, path](const hb::OpenPanel& panel) -> std::optional<QList<hb::URL>> {
            shownTitle = panel.title;
            shownMessage = panel.message;
            if (!path)
                return std::nullopt;
            return QList<hb::URL>{hb::URL::fileURLWithPath(*path, true)};
        });
    }
    bool setupComplete() const { return hb::UserDefaults::standard().boolForKey(setupCompleteDefaultsKey); }

    HBFirstLaunchController page;
    int completions = 0;
    QString shownTitle;
    QString shownMessage;
};

TEST_F(HomeFolderPageTest, GrantingTheHomeFolderKeepsItsBookmarkAndEndsSetUpOnceShortlyAfter)
{
    answer(env.home());
    EXPECT_EQ(page.driveURL->path(), env.home());
    EXPECT_EQ(page.driveName, "home");

    QPushButton* grant = buttonNamed(&page, "Grant Access to Home");
    ASSERT_TRUE(grant);
    grant->click();
    grant->click();  // a second press while completing starts nothing more
    EXPECT_EQ(shownTitle, "Choose home");
    EXPECT_EQ(shownMessage, "Choose home and start using Harbrill");
    EXPECT_TRUE(hb::UserDefaults::standard().object(env.home()).isValid()) << "the bookmark is kept under the path";
    EXPECT_EQ(completions, 0);
    QTest::qWait(100);
    EXPECT_EQ(completions, 0) << "set-up ends 0.2 s after the grant";
    ASSERT_TRUE(waitUntil([&] { return completions > 0; }, 2000));
    QTest::qWait(300);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(setupComplete());
}

TEST_F(HomeFolderPageTest, ACancelledPanelChangesNothing)
{
    answer(std::nullopt);
    EXPECT_FALSE(page.run());
    page.selectRootDrive();
    QTest::qWait(400);
    EXPECT_EQ(completions, 0);
    EXPECT_FALSE(setupComplete());
    EXPECT_FALSE(hb::UserDefaults::standard().object(env.home()).isValid());
}

TEST_F(HomeFolderPageTest, OnlyTheHomeFolderItselfCanBeChosen)
{
    const QString home = env.home();
    env.makeFolder("home/Documents");
    const struct {
        QString path;
        bool enabled;
    } cases[] = {{home, true}, {home + "/", true}, {home + "/Documents", false}, {env.root(), false}, {"/", false}};
    for (const auto& c : cases)
        EXPECT_EQ(page.panelShouldEnableURL(hb::URL::fileURLWithPath(c.path, true)), c.enabled) << c.path.toStdString();

    answer(home + "/Documents");
    EXPECT_FALSE(page.run()) << "the panel refuses a folder it does not enable";
}

}  // namespace
