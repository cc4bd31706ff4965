#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace hb {

// One unit of work for an OperationQueue. Observers of "isExecuting" and "isFinished" are called on
// the worker thread that changes the value, with the new value: isExecuting true when the block
// starts; isExecuting false and then isFinished true when it returns.
class BlockOperation {
public:
    using Observer = std::function<void(const QString& keyPath, bool newValue)>;

    static std::shared_ptr<BlockOperation> blockOperationWithBlock(std::function<void()> block);

    bool isExecuting() const;
    bool isFinished() const;

    // `owner` identifies the observation for removal; a key path may have several owners.
    void addObserver(const void* owner, const QString& keyPath, Observer observer);
    void removeObserver(const void* owner, const QString& keyPath);

    void waitUntilFinished() const;

private:
    explicit BlockOperation(std::function<void()> block);
    friend class OperationQueue;
    void run();
    void change(const QString& keyPath, bool value);

    struct Observation {
        const void* owner;
        QString keyPath;
        std::shared_ptr<Observer> observer;
    };

    std::function<void()> m_block;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_finishedCondition;
    std::vector<Observation> m_observations;
    bool m_executing = false;
    bool m_finished = false;
};

// A named queue that runs block operations on its own worker threads, at most
// maxConcurrentOperationCount at once, in the order they were added. The destructor waits for every
// added operation to finish.
class OperationQueue {
public:
    explicit OperationQueue(const QString& name = {}, int maxConcurrentOperationCount = 1);
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    const QString& name() const { return m_name; }
    int maxConcurrentOperationCount() const { return m_maxConcurrent; }

    void addOperation(std::shared_ptr<BlockOperation> operation);
    // Operations added and not yet finished.
    int operationCount() const;
    void waitUntilAllOperationsAreFinished() const;

private:
    void workerLoop();

    const QString m_name;
    const int m_maxConcurrent;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<std::shared_ptr<BlockOperation>> m_pending;
    std::vector<std::thread> m_workers;
    int m_idleWorkers = 0;
    int m_running = 0;
    bool m_stopping = false;
};

}  // namespace hb
