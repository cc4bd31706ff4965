#pragma once

#include "core/engine/PackedBookmarks.h"
#include "platform/base/URL.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

// Makes the undo record's bookmarks of the items a shift puts somewhere, on a thread of its own while
// the shift goes on with its next items, so the record is ready when the last item is. The scopes
// covering the items must stay open until finish() has returned.
class ShiftBookmarker {
public:
    // Adds to `bookmarks` (those of an earlier pass of the same shift).
    explicit ShiftBookmarker(PackedBookmarks bookmarks);
    ~ShiftBookmarker();
    ShiftBookmarker(const ShiftBookmarker&) = delete;
    ShiftBookmarker& operator=(const ShiftBookmarker&) = delete;

    // The item at position `key` of the shift's list of shifted items; keys grow from call to call.
    void add(qsizetype key, const hb::URL& destination);
    // Waits for every item added and hands the bookmarks back.
    PackedBookmarks finish();

private:
    void run();

    static constexpr std::size_t kBatch = 256;

    std::mutex m_mutex;
    std::condition_variable m_added;
    std::deque<std::pair<qsizetype, hb::URL>> m_queue;
    bool m_finishing = false;
    PackedBookmarks m_bookmarks;
    std::thread m_thread;
};
