#include "core/engine/ShiftBookmarker.h"

#include "core/engine/UndoData.h"
#include "platform/files/Bookmark.h"

ShiftBookmarker::ShiftBookmarker(PackedBookmarks bookmarks)
    : m_bookmarks(std::move(bookmarks)), m_thread([this] { run(); })
{
}

ShiftBookmarker::~ShiftBookmarker()
{
    finish();
}

void ShiftBookmarker::add(qsizetype key, const hb::URL& destination)
{
    std::size_t queued = 0;
    {
        std::lock_guard lock(m_mutex);
        m_queue.emplace_back(key, destination);
        queued = m_queue.size();
    }
    // Woken for a batch, not for each item: a wake-up costs the shift about what an item does.
    // A thread still busy with earlier items takes these without being woken.
    if (queued == kBatch)
        m_added.notify_one();
}

PackedBookmarks ShiftBookmarker::finish()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_finishing = true;
        }
        m_added.notify_one();
        m_thread.join();
    }
    return std::move(m_bookmarks);
}

void ShiftBookmarker::run()
{
    hb::Bookmark::Maker maker;
    std::deque<std::pair<qsizetype, hb::URL>> batch;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_added.wait(lock, [this] { return !m_queue.empty() || m_finishing; });
            if (m_queue.empty())
                return;
            batch.swap(m_queue);
        }
        for (const auto& [key, destination] : batch) {
            if (const auto data = UndoData::bookmarkInOpenScope(destination, maker))
                m_bookmarks.append(key, *data);
        }
        batch.clear();
    }
}
