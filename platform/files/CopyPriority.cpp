#include "platform/files/CopyPriority.h"

#include <linux/ioprio.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace hb::copying {

namespace {

constexpr int kNiceHigher = 10;
constexpr int kLowestBestEffort = IOPRIO_PRIO_VALUE(IOPRIO_CLASS_BE, 7);

// Of the calling thread alone: "process" means the thread to these calls.
int ioPriority()
{
    return static_cast<int>(syscall(SYS_ioprio_get, IOPRIO_WHO_PROCESS, 0));
}
bool setIoPriority(int priority)
{
    return syscall(SYS_ioprio_set, IOPRIO_WHO_PROCESS, 0, priority) == 0;
}

// The priority to copy at, or -1 when `current` is already as low.
int lowered(int current)
{
    if (current >= 0 && IOPRIO_PRIO_CLASS(current) == IOPRIO_CLASS_IDLE)
        return -1;
    return current == kLowestBestEffort ? -1 : kLowestBestEffort;
}

}  // namespace

void lowerCopyThreadPriority()
{
    const pid_t thread = gettid();
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        setpriority(PRIO_PROCESS, thread, std::min(nice + kNiceHigher, 19));
    if (const int priority = lowered(ioPriority()); priority >= 0)
        setIoPriority(priority);
}

LowIoPriority::LowIoPriority()
{
    const int current = ioPriority();
    if (current < 0)
        return;
    const int priority = lowered(current);
    if (priority >= 0 && setIoPriority(priority))
        m_saved = current;
}

LowIoPriority::~LowIoPriority()
{
    if (m_saved >= 0)
        setIoPriority(m_saved);
}

}  // namespace hb::copying
