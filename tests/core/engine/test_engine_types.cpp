#include "TestEnvironment.h"

#include "core/engine/HBDelayOnMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <limits>

TEST(DelayOnMain, RefusesDelaysOutsideTheNanosecondRange)
{
    std::atomic<int> ran = 0;
    for (double seconds : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(), 9.3e9, -9.3e9, 1e300})
        EXPECT_FALSE(delayOnMain(seconds, [&] { ++ran; })) << seconds;
    QThread::msleep(10);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);
}

TEST(DelayOnMain, RunsOnceOnTheMainThreadAfterTheDelay)
{
    std::atomic<int> ran = 0;
    qint64 elapsed = 0;
    bool onMain = false;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(delayOnMain(0.05, [&] {
        elapsed = clock.nsecsElapsed();
        onMain = QThread::currentThread() == qApp->thread();
        ++ran;
    }));
    ASSERT_TRUE(waitUntil([&] { return ran > 0; }));
    EXPECT_GE(elapsed, 50'000'000);
    EXPECT_TRUE(onMain);

    // A past deadline runs as soon as the main queue turns.
    ASSERT_TRUE(delayOnMain(-1.0, [&] { ++ran; }));
    EXPECT_TRUE(waitUntil([&] { return ran == 2; }));
}
