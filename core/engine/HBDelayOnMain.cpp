#include "core/engine/HBDelayOnMain.h"

#include "platform/base/MainQueue.h"

#include <chrono>
#include <cmath>
#include <algorithm>
#include <cstdint>

bool delayOnMain(double seconds, std::function<void()> execute)
{
    const double nanoseconds = seconds * 1e9;
    // 2^63 is exact in a double; the range is [-2^63, 2^63).
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(nanoseconds) || nanoseconds < -limit || nanoseconds >= limit)
        return false;
    const auto delay = std::chrono::nanoseconds(std::max<std::int64_t>(0, static_cast<std::int64_t>(nanoseconds)));
    return hb::MainQueue::after(delay, std::move(execute));
}
