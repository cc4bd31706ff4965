#include "platform/interface/Alert.h"
#include "platform/interface/RepeatingTimer.h"

#include "TestEnvironment.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Pumps the event loop for the whole duration.
void pump(int milliseconds)
{
    QElapsedTimer elapsed;
    elapsed.start();
    waitUntil([&] { return elapsed.elapsed() >= milliseconds; }, milliseconds + 1000);
}

TEST(RepeatingTimer, TicksRepeatedlyUntilInvalidated)
{
    int ticks = 0;
    hb::RepeatingTimer timer(
        10ms, [&] { ++ticks; }, true);
    timer.start();
    EXPECT_TRUE(timer.isValid());
    ASSERT_TRUE(waitUntil([&] { return ticks >= 3; }));
    timer.invalidate();
    EXPECT_FALSE(timer.isValid());
    const int stoppedAt = ticks;
    pump(60);
    EXPECT_EQ(ticks, stoppedAt);
}

TEST(RepeatingTimer, SkipsTicksWhileAModalAlertRunsOnlyWhenAsked)
{
    int skipping = 0;
    int ticking = 0;
    hb::RepeatingTimer skipsWhileModal(
        10ms, [&] { ++skipping; }, true);
    hb::RepeatingTimer keepsTicking(
        10ms, [&] { ++ticking; }, false);
    skipsWhileModal.start();
    keepsTicking.start();
    {
        hb::Modal::Scope modal;
        EXPECT_EQ(hb::Modal::depth(), 1);
        {
            hb::Modal::Scope nested;
            EXPECT_EQ(hb::Modal::depth(), 2);
        }
        pump(80);
        EXPECT_EQ(skipping, 0);
        EXPECT_GT(ticking, 0);
    }
    EXPECT_EQ(hb::Modal::depth(), 0);
    EXPECT_TRUE(waitUntil([&] { return skipping > 0; }));
}

TEST(RepeatingTimer, ATickDuringARealModalAlertIsSkipped)
{
    int ticks = 0;
    int ticksWhileShown = -1;
    hb::RepeatingTimer timer(
        10ms, [&] { ++ticks; }, true);
    timer.start();
    hb::Alert::setPresenter([&](const hb::Alert&) {
        const int before = ticks;
        pump(60);
        ticksWhileShown = ticks - before;
        return int(hb::NSAlertFirstButtonReturn);
    });
    hb::Alert alert;
    alert.runModal();
    hb::Alert::setPresenter(nullptr);
    EXPECT_EQ(ticksWhileShown, 0);
}

}  // namespace
