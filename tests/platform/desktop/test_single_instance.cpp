#include "platform/desktop/SingleInstance.h"

#include "TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include <QThread>

#include <atomic>
#include <future>

#include <gtest/gtest.h>

namespace {

using Role = hb::SingleInstance::Role;

Role roleOf(hb::SingleInstance& instance)
{
    const std::variant<Role, hb::Error> role = instance.acquire();
    if (const hb::Error* error = std::get_if<hb::Error>(&role)) {
        ADD_FAILURE() << error->localizedDescription().toStdString();
        return Role::Secondary;
    }
    return std::get<Role>(role);
}

class SingleInstanceTest : public HarbrillTest {};

TEST_F(SingleInstanceTest, OnlyTheFirstServesAndTheLockPassesOnWhenItEnds)
{
    auto first = std::make_unique<hb::SingleInstance>();
    hb::SingleInstance second;
    EXPECT_EQ(roleOf(*first), Role::Primary);
    EXPECT_EQ(roleOf(second), Role::Secondary);
    EXPECT_FALSE(second.isPrimary());
    EXPECT_EQ(QFileInfo(hb::SingleInstance::lockPath()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);

    first.reset();
    EXPECT_EQ(roleOf(second), Role::Primary) << "a later start takes over once the first has ended";
}

TEST_F(SingleInstanceTest, StartedTogetherExactlyOneServes)
{
    constexpr int count = 8;
    std::atomic<bool> go = false;
    std::atomic<int> served = 0;
    std::vector<std::unique_ptr<QThread>> racers;
    for (int i = 0; i < count; ++i) {
        racers.emplace_back(QThread::create([&] {
            while (!go) {
            }
            hb::SingleInstance racer;
            const std::variant<Role, hb::Error> role = racer.acquire();
            if (std::holds_alternative<Role>(role) && std::get<Role>(role) == Role::Primary)
                ++served;
            // Hold the lock until every racer has tried.
            QThread::msleep(200);
        }));
        racers.back()->start();
    }
    go = true;
    for (auto& racer : racers)
        racer->wait();
    EXPECT_EQ(served, 1);
}

TEST_F(SingleInstanceTest, ASecondStartRaisesTheFirst)
{
    hb::SingleInstance first;
    ASSERT_EQ(roleOf(first), Role::Primary);
    QSignalSpy raised(&first, &hb::SingleInstance::raiseRequested);

    std::future<bool> answered = std::async(std::launch::async, [] { return hb::SingleInstance::requestRaise(); });
    ASSERT_TRUE(waitUntil([&] { return answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_TRUE(answered.get());
    EXPECT_EQ(raised.count(), 1);
}

TEST_F(SingleInstanceTest, WithNoInstanceOrAStaleSocketARaiseIsNotAnswered)
{
    EXPECT_FALSE(hb::SingleInstance::requestRaise(200));
    {
        hb::SingleInstance ended;
        ASSERT_EQ(roleOf(ended), Role::Primary);
    }
    // A crashed instance leaves its socket file behind.
    QFile stale(hb::SingleInstance::raiseSocketPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    EXPECT_FALSE(hb::SingleInstance::requestRaise(200));

    hb::SingleInstance next;
    EXPECT_EQ(roleOf(next), Role::Primary) << "the stale socket does not keep a new instance from serving";
}

}  // namespace
