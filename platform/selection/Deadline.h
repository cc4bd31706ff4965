#pragma once

#include <chrono>

namespace hb::selection {

// A point in time after which a step of the reader gives up, so a window that hangs never holds the
// answer longer than the script's own limit.
class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(std::chrono::milliseconds fromNow) : m_end(Clock::now() + fromNow) {}
    static Deadline earlier(const Deadline& a, const Deadline& b) { return a.m_end < b.m_end ? a : b; }

    bool passed() const { return Clock::now() >= m_end; }
    // Milliseconds left, at least 0; for poll().
    int remainingMs() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_end - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

private:
    Clock::time_point m_end;
};

}  // namespace hb::selection
