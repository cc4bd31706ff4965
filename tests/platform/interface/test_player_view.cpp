#include "platform/interface/PlayerView.h"

#include "platform/base/Bundle.h"
#include "platform/base/NotificationCenter.h"

#include "TestEnvironment.h"

#include <QMediaPlayer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString bundledVideo()
{
    return hb::Bundle::pathForResource("videos", "newfolder", {"mp4"});
}

TEST(PlayerView, ShowsTheFirstFrameBeforePlayingAndSizesToTheVideo)
{
    if (bundledVideo().isEmpty())
        GTEST_SKIP() << "no bundled video in this build";
    hb::PlayerView view;
    view.setPlayer(new hb::Player(bundledVideo()));
    ASSERT_TRUE(waitUntil([&] { return !view.currentFrame().isNull(); }, 60000));
    QTest::qWait(300);
    EXPECT_EQ(view.player()->mediaPlayer()->playbackState(), QMediaPlayer::PausedState) << "nothing plays until asked";
    EXPECT_EQ(view.player()->rate(), 0);
    ASSERT_TRUE(view.hasHeightForWidth());
    EXPECT_EQ(view.heightForWidth(view.currentFrame().width() * 2), view.currentFrame().height() * 2);

    view.setPlayer(nullptr);
    EXPECT_TRUE(view.currentFrame().isNull());
}

TEST(PlayerView, PlayingToTheEndIsAnnouncedOnceAndPauseAtTheEndStopsThere)
{
    if (bundledVideo().isEmpty())
        GTEST_SKIP() << "no bundled video in this build";
    hb::PlayerView view;
    auto* player = new hb::Player(bundledVideo());
    player->setActionAtItemEnd(hb::Player::ActionAtItemEnd::Pause);
    view.setPlayer(player);
    int ended = 0;
    hb::NotificationCenter::defaultCenter().addObserver(&ended, hb::PlayerDidPlayToEndTimeNotification, player,
                                                        [&](const hb::Notification&) { ++ended; });
    player->setRate(2);
    EXPECT_GT(player->rate(), 0);
    ASSERT_TRUE(waitUntil([&] { return ended > 0; }, 60000));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(view.currentFrame().size(), QSize(480, 270));
    EXPECT_EQ(player->rate(), 0);
    hb::NotificationCenter::defaultCenter().removeObserver(&ended);
}

}  // namespace
