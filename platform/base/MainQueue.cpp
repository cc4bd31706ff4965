#include "platform/base/MainQueue.h"

#include "platform/base/Log.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <climits>

namespace hb::MainQueue {

namespace {

using Clock = std::chrono::steady_clock;

// Timers take whole milliseconds in an int: wait in steps until the deadline has passed.
void fireAt(Clock::time_point deadline, std::function<void()> block)
{
    const auto remaining = deadline - Clock::now();
    if (remaining <= Clock::duration::zero()) {
        block();
        return;
    }
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
    const long long ms = std::min<long long>((ns + 999'999) / 1'000'000, INT_MAX);
    QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, qApp,
                       [deadline, block = std::move(block)]() mutable { fireAt(deadline, std::move(block)); });
}

}  // namespace

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void async(std::function<void()> block)
{
    if (!block)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        qCWarning(hbLog) << "no application: a main-queue block was dropped";
        return;
    }
    QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
}

bool after(std::chrono::nanoseconds delay, std::function<void()> block)
{
    if (delay.count() < 0 || !block || QCoreApplication::instance() == nullptr)
        return false;
    const auto now = Clock::now();
    // Saturate rather than overflow for delays of centuries.
    const auto room = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::time_point::max() - now);
    const auto deadline = delay >= room ? Clock::time_point::max()
                                        : now + std::chrono::duration_cast<Clock::duration>(delay);
    // Always through the event loop: even a delay that has already passed never runs inside the caller.
    async([deadline, block = std::move(block)]() mutable { fireAt(deadline, std::move(block)); });
    return true;
}

void sync(std::function<void()> block)
{
    if (!block)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || isMainThread()) {
        block();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(block), Qt::BlockingQueuedConnection);
}

}  // namespace hb::MainQueue
