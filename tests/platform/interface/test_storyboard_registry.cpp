#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/WindowController.h"

#include <gtest/gtest.h>

namespace {

class ScopedScene {
public:
    ScopedScene(QString storyboard, QString identifier, hb::StoryboardRegistry::Factory factory)
        : m_storyboard(std::move(storyboard)), m_identifier(std::move(identifier))
    {
        hb::StoryboardRegistry::registerScene(m_storyboard, m_identifier, std::move(factory));
    }
    ~ScopedScene() { hb::StoryboardRegistry::unregisterScene(m_storyboard, m_identifier); }

private:
    QString m_storyboard;
    QString m_identifier;
};

TEST(StoryboardRegistry, AnswersNoneForUnknownNamesAndIdentifiers)
{
    ScopedScene scene(QStringLiteral("TestBoard"), QStringLiteral("Window"),
                      [] { return std::make_unique<hb::WindowController>(); });

    EXPECT_FALSE(hb::Storyboard::storyboardWithName(QStringLiteral("NoSuchBoard")));
    EXPECT_FALSE(hb::Storyboard::storyboardWithName(QStringLiteral("testboard")));

    const std::optional<hb::Storyboard> board = hb::Storyboard::storyboardWithName(QStringLiteral("TestBoard"));
    ASSERT_TRUE(board);
    EXPECT_EQ(board->instantiateControllerWithIdentifier(QStringLiteral("Nope")), nullptr);
    EXPECT_EQ(board->instantiateController<hb::WindowController>(QStringLiteral("Nope")), nullptr);
}

TEST(StoryboardRegistry, MakesANewControllerEachTimeAndChecksItsKind)
{
    ScopedScene scene(QStringLiteral("TestBoard"), QStringLiteral("Window"),
                      [] { return std::make_unique<hb::WindowController>(); });
    const std::optional<hb::Storyboard> board = hb::Storyboard::storyboardWithName(QStringLiteral("TestBoard"));
    ASSERT_TRUE(board);

    std::unique_ptr<hb::WindowController> first = board->instantiateController<hb::WindowController>(
        QStringLiteral("Window"));
    std::unique_ptr<hb::WindowController> second = board->instantiateController<hb::WindowController>(
        QStringLiteral("Window"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first.get(), second.get());
    // A scene of another kind than asked for answers none.
    EXPECT_EQ(board->instantiateController<hb::ViewController>(QStringLiteral("Window")), nullptr);
}

TEST(StoryboardRegistry, ForgetsAStoryboardWhoseLastSceneIsRemoved)
{
    {
        ScopedScene scene(QStringLiteral("ShortLived"), QStringLiteral("Only"),
                          [] { return std::make_unique<hb::ViewController>(); });
        EXPECT_TRUE(hb::Storyboard::storyboardWithName(QStringLiteral("ShortLived")));
    }
    EXPECT_FALSE(hb::Storyboard::storyboardWithName(QStringLiteral("ShortLived")));
}

}  // namespace
