#include "app/about/AboutScenes.h"
#include "app/firstlaunch/HBFirstLaunchController.h"
#include "app/firstlaunch/HBFirstLaunchScriptInstall.h"
#include "app/firstlaunch/HBHelpVideoViewController.h"

#include "platform/interface/Workspace.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QPushButton>

namespace {

// The program registers its scenes at start-up; so does this test program, before any test runs.
[[maybe_unused]] const bool scenesRegistered = (registerAboutScenes(), true);

QPushButton* buttonNamed(QWidget* widget, const QString& name)
{
    for (QPushButton* button : widget->findChildren<QPushButton*>()) {
        if (button->accessibleName() == name)
            return button;
    }
    return nullptr;
}

class HelpAndAboutTest : public HarbrillTest {
protected:
    void TearDown() override { hb::Workspace::setOpener(nullptr); }
};

TEST_F(HelpAndAboutTest, TheHomeFolderPageBringsUpTheAboutBox)
{
    HBFirstLaunchController page;
    page.loadViewIfNeeded();
    QPushButton* about = buttonNamed(&page, "About Harbrill");
    ASSERT_TRUE(about);
    about->click();
    ASSERT_TRUE(page.aboutWindowController);
    EXPECT_TRUE(page.aboutWindowController->isVisible());
    EXPECT_EQ(page.aboutWindowController->window()->windowTitle(), "About Harbrill");
    page.aboutWindowController->close();
}

TEST_F(HelpAndAboutTest, TheScriptPageShowsTheTutorialWhichOffersASupportMail)
{
    QList<QUrl> opened;
    hb::Workspace::setOpener([&](const QUrl& url) { return opened << url, true; });
    HBFirstLaunchScriptInstall page;
    page.loadViewIfNeeded();
    QPushButton* tutorial = buttonNamed(&page, "Watch Tutorial");
    ASSERT_TRUE(tutorial);
    tutorial->click();

    HBHelpVideoViewController* help = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !help)
            help = window->findChild<HBHelpVideoViewController*>();
    }
    ASSERT_TRUE(help);
    ASSERT_TRUE(help->playerView && help->playerView->player());
    EXPECT_TRUE(help->playerView->player()->mediaPath().endsWith("/tutorial.mp4"));
    EXPECT_EQ(help->playerView->player()->actionAtItemEnd(), hb::Player::ActionAtItemEnd::Pause);

    buttonNamed(help, "Contact Support")->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().toEncoded(), "mailto:support@mirelda.com?subject=Need%20Harbrill%20help");
    help->window()->close();
}

}  // namespace
