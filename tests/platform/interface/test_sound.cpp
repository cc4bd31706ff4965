#include "platform/interface/Sound.h"

#include <QAudioDevice>
#include <QMediaDevices>

#include <gtest/gtest.h>

TEST(Sound, BundleSoundsAreFoundByNameAndUnknownNamesGiveNone)
{
    const std::optional<hb::Sound> confirm = hb::Sound::named("Confirm");
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->path(), ":/sounds/Confirm.wav");
    EXPECT_FALSE(hb::Sound::named("NoSuchSound"));
    EXPECT_FALSE(hb::Sound::named("../sounds/Confirm"));
}

TEST(Sound, PlayingAnswersWhetherItStarted)
{
    std::optional<hb::Sound> confirm = hb::Sound::named("Confirm");
    ASSERT_TRUE(confirm);
    // Without an audio output nothing can start; with one the bundled sound does.
    EXPECT_EQ(confirm->play(), !QMediaDevices::audioOutputs().isEmpty());
}
