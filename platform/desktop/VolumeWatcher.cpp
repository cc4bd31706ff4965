#include "platform/desktop/VolumeWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace hb {

VolumeWatcher::VolumeWatcher(QObject* parent) : QObject(parent)
{
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &VolumeWatcher::mountTableChanged);
}

VolumeWatcher::~VolumeWatcher()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void VolumeWatcher::mountTableChanged()
{
    // Polling the file takes the change: the condition is raised again only by the next change.
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        emit volumesChanged();
    });
}

}  // namespace hb
