#include "TestEnvironment.h"

#include "../files/LoopVolume.h"

#include "platform/desktop/VolumeWatcher.h"
#include "platform/files/Volumes.h"

#include <QSignalSpy>

namespace {

bool isMounted(const QString& path)
{
    const QList<hb::VolumeInfo> volumes = hb::Volumes::mountedVolumes();
    return std::any_of(volumes.begin(), volumes.end(), [&](const hb::VolumeInfo& v) { return v.root.path() == path; });
}

// A real mount and unmount while the watcher runs are each told, and the mount table read afterwards
// already shows the change. Other tests mount volumes of their own at the same time, and the mount table
// is shared, so the changes are counted from each step on rather than exactly.
TEST(VolumeWatcherTest, MountAndUnmountAreTold)
{
    TestEnvironment env;
    hb::VolumeWatcher watcher;
    ASSERT_TRUE(watcher.isWatching());
    QSignalSpy changes(&watcher, &hb::VolumeWatcher::volumesChanged);

    const QString mountPoint = env.root() + "/Stick";
    const qsizetype beforeMount = changes.count();
    LoopVolume volume(mountPoint);
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(volume.reason().toStdString());
    ASSERT_TRUE(waitUntil([&] { return changes.count() > beforeMount; }, 3000));
    EXPECT_TRUE(isMounted(mountPoint));

    const qsizetype beforeUnmount = changes.count();
    volume.unmount();
    ASSERT_TRUE(waitUntil([&] { return changes.count() > beforeUnmount && !isMounted(mountPoint); }, 3000));
}

}  // namespace
