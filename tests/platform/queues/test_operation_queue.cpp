#include "platform/queues/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

TEST(OperationQueue, RunsAtMostTheLimitAtOnceAndEveryOperationOnce)
{
    std::atomic<int> running{0}, peak{0}, done{0};
    {
        hb::OperationQueue queue(QStringLiteral("MoveCopy"), 5);
        EXPECT_EQ(queue.name(), "MoveCopy");
        for (int i = 0; i < 12; ++i) {
            queue.addOperation(hb::BlockOperation::blockOperationWithBlock([&] {
                const int now = ++running;
                int seen = peak.load();
                while (now > seen && !peak.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::sleep_for(30ms);
                --running;
                ++done;
            }));
        }
        queue.waitUntilAllOperationsAreFinished();
        EXPECT_EQ(queue.operationCount(), 0);
    }
    EXPECT_EQ(done, 12);
    EXPECT_EQ(peak, 5);
}

TEST(OperationQueue, ObserversSeeTheChangesOnTheWorkerThreadInOrder)
{
    hb::OperationQueue queue(QStringLiteral("q"), 2);
    std::thread::id blockThread;
    auto operation = hb::BlockOperation::blockOperationWithBlock([&] { blockThread = std::this_thread::get_id(); });
    std::mutex mutex;
    std::vector<std::pair<QString, bool>> changes;
    std::vector<std::thread::id> threads;
    int owner = 0;
    for (const char* keyPath : {"isExecuting", "isFinished"}) {
        operation->addObserver(&owner, QString::fromLatin1(keyPath), [&](const QString& key, bool value) {
            std::lock_guard lock(mutex);
            changes.emplace_back(key, value);
            threads.push_back(std::this_thread::get_id());
        });
    }
    queue.addOperation(operation);
    operation->waitUntilFinished();
    queue.waitUntilAllOperationsAreFinished();

    const std::vector<std::pair<QString, bool>> expected{
        {"isExecuting", true}, {"isExecuting", false}, {"isFinished", true}};
    EXPECT_EQ(changes, expected);
    for (const auto& id : threads)
        EXPECT_EQ(id, blockThread);
    EXPECT_NE(blockThread, std::this_thread::get_id());
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->isExecuting());
}

TEST(OperationQueue, RemovedObserverIsNotCalledAndOthersStay)
{
    hb::OperationQueue queue;
    auto operation = hb::BlockOperation::blockOperationWithBlock([] {});
    int first = 0, second = 0;
    std::atomic<int> firstCalls{0}, secondCalls{0};
    operation->addObserver(&first, QStringLiteral("isFinished"), [&](const QString&, bool) { ++firstCalls; });
    operation->addObserver(&second, QStringLiteral("isFinished"), [&](const QString&, bool) { ++secondCalls; });
    operation->removeObserver(&first, QStringLiteral("isFinished"));
    queue.addOperation(operation);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(firstCalls, 0);
    EXPECT_EQ(secondCalls, 1);
}

TEST(OperationQueue, BlockIsReleasedOnceItHasRun)
{
    auto token = std::make_shared<int>(1);
    std::weak_ptr<int> watch = token;
    hb::OperationQueue queue;
    auto operation = hb::BlockOperation::blockOperationWithBlock([token] {});
    token.reset();
    queue.addOperation(operation);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(watch.expired());
}
