#include "platform/base/Log.h"

#include "platform/base/ProgramIdentity.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <mutex>

// Named after the program, whose identity is set before its first trace.
const QLoggingCategory& hbLog()
{
    static const QByteArray name = hb::programIdentity().command.toUtf8();
    static const QLoggingCategory category(name.constData());
    return category;
}

namespace hb::Log {

namespace {

// A ring of bytes rather than of lines: a signal handler can copy it out without allocating.
std::array<char, 8 * 1024> ring;
std::atomic<std::size_t> totalWritten{0};
std::mutex appendMutex;
QtMessageHandler previousHandler = nullptr;

void append(const QByteArray& bytes)
{
    std::lock_guard lock(appendMutex);
    std::size_t position = totalWritten.load(std::memory_order_relaxed);
    for (const char byte : bytes)
        ring[position++ % ring.size()] = byte;
    totalWritten.store(position, std::memory_order_release);
}

void keepAndPassOn(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    append(qFormatLogMessage(type, context, message).toUtf8() + '\n');
    previousHandler(type, context, message);
}

// The kept bytes as at most two runs in order; the oldest line, cut by the ring, is skipped.
struct Runs {
    const char* first = nullptr;
    std::size_t firstSize = 0;
    const char* second = nullptr;
    std::size_t secondSize = 0;
};

Runs keptRuns()
{
    const std::size_t total = totalWritten.load(std::memory_order_acquire);
    if (total <= ring.size())
        return {ring.data(), total, nullptr, 0};
    std::size_t oldest = total % ring.size();
    std::size_t skipped = 0;
    while (skipped < ring.size() && ring[(oldest + skipped) % ring.size()] != '\n')
        ++skipped;
    oldest = (oldest + skipped + 1) % ring.size();
    const std::size_t end = total % ring.size();
    if (oldest <= end)
        return {ring.data() + oldest, end - oldest, nullptr, 0};
    return {ring.data() + oldest, ring.size() - oldest, ring.data(), end};
}

void writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written <= 0)
            return;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

void keepRecentLines()
{
    static std::once_flag installed;
    std::call_once(installed, [] { previousHandler = qInstallMessageHandler(keepAndPassOn); });
}

QString recentLines()
{
    std::lock_guard lock(appendMutex);
    const Runs runs = keptRuns();
    return QString::fromUtf8(QByteArray(runs.first, qsizetype(runs.firstSize))
                             + QByteArray(runs.second, qsizetype(runs.secondSize)));
}

void writeRecentLines(int fd)
{
    const Runs runs = keptRuns();
    writeAll(fd, runs.first, runs.firstSize);
    writeAll(fd, runs.second, runs.secondSize);
}

}  // namespace hb::Log
