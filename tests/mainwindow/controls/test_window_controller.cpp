#include "mainwindow/controls/HBWindowController.h"

#include "platform/interface/StoryboardRegistry.h"

#include <gtest/gtest.h>

TEST(HBWindowController, TheMainWindowComesFromTheMainStoryboardStyledAndMovable)
{
    std::optional<hb::Storyboard> main = hb::Storyboard::storyboardWithName("Main");
    ASSERT_TRUE(main);
    std::unique_ptr<HBWindowController> controller = main->instantiateController<HBWindowController>("MainWC");
    ASSERT_TRUE(controller);

    auto* window = qobject_cast<CustomWindow*>(controller->window());
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->movableByWindowBackground);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint)) << "the title is hidden";
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::Tool)) << "an ordinary window the task switcher finds";
    EXPECT_FALSE(window->accessibleName().isEmpty());
}

TEST(CustomWindow, TheDarkBackgroundCannotBeChanged)
{
    CustomWindow window;
    const QColor dark = QColor::fromRgbF(0.145f, 0.165f, 0.208f);
    EXPECT_EQ(window.palette().color(QPalette::Window), dark);

    window.setBackgroundColor(Qt::white);
    QPalette light = window.palette();
    light.setColor(QPalette::Window, Qt::yellow);
    window.setPalette(light);
    EXPECT_EQ(window.backgroundColor(), dark);
    EXPECT_EQ(window.palette().color(QPalette::Window), dark);

    window.setTitlebarAppearsTransparent(false);
    EXPECT_TRUE(window.titlebarAppearsTransparent());
}
