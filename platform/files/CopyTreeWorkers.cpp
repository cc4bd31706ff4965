#include "platform/files/CopyTreeWorkers.h"

#include "platform/files/CopyPriority.h"

#include <system_error>

namespace hb::copying {

namespace {

constexpr std::size_t kQueued = 1024;

}  // namespace

CopyWorkers::~CopyWorkers()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_jobAdded.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void CopyWorkers::add(Job job)
{
    std::unique_lock lock(m_mutex);
    if (!m_started) {
        m_started = true;
        try {
            for (int i = 0; i < m_count; ++i)
                m_threads.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            // Fewer threads than asked for, or none: then the caller copies each entry itself.
        }
    }
    if (m_threads.empty()) {
        lock.unlock();
        if (!m_inline)
            m_inline = std::make_unique<ItemCopy>(m_flags);
        job(*m_inline);
        return;
    }
    m_jobTaken.wait(lock, [this] { return m_jobs.size() < kQueued; });
    m_jobs.push_back(std::move(job));
    lock.unlock();
    m_jobAdded.notify_one();
}

void CopyWorkers::stop()
{
    std::unique_lock lock(m_mutex);
    m_jobs.clear();
    m_jobTaken.notify_all();
    m_jobTaken.wait(lock, [this] { return m_running == 0; });
}

void CopyWorkers::work()
{
    lowerCopyThreadPriority();
    ItemCopy copier(m_flags);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_jobAdded.wait(lock, [this] { return m_closing || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_running;
        lock.unlock();
        m_jobTaken.notify_all();
        job(copier);
        job = nullptr;  // its references go before the walker may count it as done
        lock.lock();
        --m_running;
        m_jobTaken.notify_all();
    }
}

}  // namespace hb::copying
