#pragma once

#include <QObject>

class QSocketNotifier;

namespace hb {

// Tells when a file system is mounted or unmounted while the program runs: the kernel marks
// /proc/self/mountinfo as changed (an exceptional condition on it) after every change of the mount table.
// A burst of changes is told once, after the event loop has caught up. GUI thread only.
class VolumeWatcher : public QObject {
    Q_OBJECT
public:
    explicit VolumeWatcher(QObject* parent = nullptr);
    ~VolumeWatcher() override;

    bool isWatching() const { return m_fd >= 0; }

signals:
    void volumesChanged();

private:
    void mountTableChanged();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_pending = false;
};

}  // namespace hb
