#pragma once

#include <chrono>
#include <functional>

namespace hb {

// The main queue is the Qt GUI thread's event loop.
namespace MainQueue {
bool isMainThread();
void async(std::function<void()> block);
// Runs the block on the main thread once the delay has passed (from any thread); false (nothing
// scheduled) when the delay is negative or there is no application object.
bool after(std::chrono::nanoseconds delay, std::function<void()> block);
// Runs the block on the main thread and waits for it (runs it at once when already there).
void sync(std::function<void()> block);
}  // namespace MainQueue

}  // namespace hb
