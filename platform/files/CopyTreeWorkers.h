#pragma once

#include "platform/files/CopyTreeItem.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace hb::copying {

// A few threads that copy the entries of a tree while its walker goes on, at a lower priority than
// the rest of the program. Jobs wait in a bounded queue, so a walker far ahead of the copying is held
// back. Each thread has its own ItemCopy.
class CopyWorkers {
public:
    using Job = std::function<void(ItemCopy&)>;

    CopyWorkers(copyfile_flags_t flags, int threads) : m_flags(flags), m_count(threads) {}
    ~CopyWorkers();  // runs what is queued, then ends the threads
    CopyWorkers(const CopyWorkers&) = delete;
    CopyWorkers& operator=(const CopyWorkers&) = delete;

    // Starts the threads on first use; waits while the queue is full. Runs the job itself when no
    // thread could be started.
    void add(Job job);
    // Jobs not yet started are dropped; returns once no job runs.
    void stop();

private:
    void work();

    copyfile_flags_t m_flags;
    int m_count;
    std::mutex m_mutex;
    std::condition_variable m_jobAdded;
    std::condition_variable m_jobTaken;
    std::deque<Job> m_jobs;
    int m_running = 0;
    bool m_closing = false;
    bool m_started = false;
    std::vector<std::thread> m_threads;
    std::unique_ptr<ItemCopy> m_inline;
};

}  // namespace hb::copying
