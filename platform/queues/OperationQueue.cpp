#include "platform/queues/OperationQueue.h"

#include <algorithm>

#include <pthread.h>

namespace hb {

std::shared_ptr<BlockOperation> BlockOperation::blockOperationWithBlock(std::function<void()> block)
{
    return std::shared_ptr<BlockOperation>(new BlockOperation(std::move(block)));
}

BlockOperation::BlockOperation(std::function<void()> block) : m_block(std::move(block)) {}

bool BlockOperation::isExecuting() const
{
    std::lock_guard lock(m_mutex);
    return m_executing;
}

bool BlockOperation::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

void BlockOperation::addObserver(const void* owner, const QString& keyPath, Observer observer)
{
    std::lock_guard lock(m_mutex);
    m_observations.push_back({owner, keyPath, std::make_shared<Observer>(std::move(observer))});
}

void BlockOperation::removeObserver(const void* owner, const QString& keyPath)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_observations, [&](const Observation& observation) {
        return observation.owner == owner && observation.keyPath == keyPath;
    });
}

void BlockOperation::waitUntilFinished() const
{
    std::unique_lock lock(m_mutex);
    m_finishedCondition.wait(lock, [this] { return m_finished; });
}

void BlockOperation::change(const QString& keyPath, bool value)
{
    std::vector<std::shared_ptr<Observer>> observers;
    {
        std::lock_guard lock(m_mutex);
        if (keyPath == QLatin1String("isExecuting"))
            m_executing = value;
        else
            m_finished = value;
        for (const Observation& observation : m_observations)
            if (observation.keyPath == keyPath)
                observers.push_back(observation.observer);
    }
    // Called outside the lock: an observer may remove itself or read the operation.
    for (const auto& observer : observers)
        (*observer)(keyPath, value);
}

void BlockOperation::run()
{
    change(QStringLiteral("isExecuting"), true);
    std::function<void()> block = std::move(m_block);
    m_block = nullptr;
    if (block)
        block();
    // The block may own whoever owns this operation; let it go before announcing the end.
    block = nullptr;
    change(QStringLiteral("isExecuting"), false);
    change(QStringLiteral("isFinished"), true);
    m_finishedCondition.notify_all();
}

OperationQueue::OperationQueue(const QString& name, int maxConcurrentOperationCount)
    : m_name(name), m_maxConcurrent(std::max(1, maxConcurrentOperationCount))
{
}

OperationQueue::~OperationQueue()
{
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_pending.empty() && m_running == 0; });
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void OperationQueue::addOperation(std::shared_ptr<BlockOperation> operation)
{
    std::lock_guard lock(m_mutex);
    m_pending.push_back(std::move(operation));
    // Idle workers may not have woken for earlier additions yet: count them against all pending work.
    if (static_cast<int>(m_pending.size()) > m_idleWorkers && static_cast<int>(m_workers.size()) < m_maxConcurrent)
        m_workers.emplace_back([this] { workerLoop(); });
    m_changed.notify_all();
}

int OperationQueue::operationCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_pending.size()) + m_running;
}

void OperationQueue::waitUntilAllOperationsAreFinished() const
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pending.empty() && m_running == 0; });
}

void OperationQueue::workerLoop()
{
    // Worker threads carry the queue's name, so they can be told apart in a debugger or profiler.
    if (!m_name.isEmpty())
        pthread_setname_np(pthread_self(), m_name.left(15).toLocal8Bit().constData());
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idleWorkers;
        m_changed.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
        --m_idleWorkers;
        if (m_pending.empty())
            return;
        std::shared_ptr<BlockOperation> operation = std::move(m_pending.front());
        m_pending.pop_front();
        ++m_running;
        lock.unlock();
        operation->run();
        operation.reset();
        lock.lock();
        --m_running;
        m_changed.notify_all();
    }
}

}  // namespace hb
